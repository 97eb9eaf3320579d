#include "engine/qvpErase.h"

#include <vector>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpFormat.h"
#include "device/qvpSCSILib.h"
#include "device/qvpSCSIReady.h"
#include "device/qvpSense.h"
#include "engine/qvpWrite.h"
#include "platform/Clock.h"

using namespace qvp;

TEraseThread::TEraseThread(TJobState& job, TSCSIDevice& device, bool quick, TEraseDoneEvent handler)
    : job_(job), d_(device), quick_(quick), handler_(std::move(handler)) {
  Resume();
}

TEraseThread::~TEraseThread() { WaitFor(); }

bool TEraseThread::WriteZeros(uint32_t count, bool keepHandleOpen) {
  // A zero block of our own: the device's data buffer also receives the capabilities page that
  // the first timed WRITE reads, which would put its bytes on the medium.
  const std::vector<uint8_t> zeros(kCacheBlockBytes, 0);
  if (keepHandleOpen) d_.CloseAfterCommand = 0;
  bool ok = true;
  for (uint32_t i = 0; i < count; ++i) {
    // An erase of a rewritable disc may stop between two writes: the disc is rewritten anyway.
    if (job_.Aborted()) {
      ok = false;
      break;
    }
    if (!keepHandleOpen) d_.CloseAfterCommand = 0;
    const bool written =
        Write10(d_, i * kCacheBlockSectors, kCacheBlockSectors, kCacheBlockBytes, zeros.data());
    if (!keepHandleOpen) d_.CloseAfterCommand = 1;
    if (!written) {
      ok = Refused();
      break;
    }
  }
  return ok;
}

bool TEraseThread::FormatThenWait(const uint8_t (&list)[12]) {
  const TUninterruptibleStep formatting(job_, kStepFormatting);
  if (!FormatWith(d_, list)) return false;
  WaitWhileNotReady(job_, d_, kStepFormatting);
  return true;
}

bool TEraseThread::Refused() {
  job_.FailOnCommand(d_);
  return false;
}

void TEraseThread::Execute() {
  MarkJobThread(this);
  bool failed = false;
  // A disc that just went in answers with a unit attention and is becoming ready for seconds.
  WaitUntilMediumReady(d_);
  const uint8_t type = GetMediumType(d_);
  SetCdSpeed(d_, d_.RequestedReadSpeed, d_.RequestedWriteSpeed);
  SetWriteParameters(d_, false, false, type, false);

  switch (type) {
    case mtDVDRAM:
      if (quick_) {
        failed = !WriteZeros(128, true);
        d_.CloseAfterCommand = 1;
        SynchronizeCache(d_, false);
      } else {
        const TUninterruptibleStep formatting(job_, kStepFormatting);
        if (FormatWith(d_, kFormatDvdRamFull)) {
          do {
            TestUnitReady(d_);
            plat::Sleep(5000);
          } while (LastAsc(d_) == asc::NotReady);
        } else {
          failed = !Refused();
        }
      }
      break;
    case mtDVDPLUSRW:
      if (quick_) {
        FormatThenWait(kFormatDvdPlusRwBasic);
        failed = !WriteZeros(16, false);
        d_.CloseAfterCommand = 0;
        SynchronizeCache(d_, false);
        CloseTrackSession(d_, false, closefn::CompleteFormat, 0, 0, 0);
        d_.CloseAfterCommand = 1;
      } else if (FormatThenWait(kFormatDvdPlusRwBasic)) {
        job_.SetStatus(kStatusBackgroundFormat);
        failed = !WriteZeros(2048, true);
        SynchronizeCache(d_, false);
        d_.CloseAfterCommand = 1;
      } else {
        failed = !Refused();
      }
      break;
    case mtBDRE:
      if (quick_) {
        FormatThenWait(kFormatBdReQuick);
        failed = !WriteZeros(16, false);
        d_.CloseAfterCommand = 0;
        SynchronizeCache(d_, false);
        CloseTrackSession(d_, false, closefn::CompleteFormat, 0, 0, 0);
        d_.CloseAfterCommand = 1;
      }
      // A full erase of a BD-RE needs nothing sent: the medium is rewritten in place.
      break;
    default: {
      const TUninterruptibleStep blanking(job_, kStepBlanking);
      if (Blank(d_, quick_)) {
        plat::Sleep(5000);
        WaitWhileNotReady(job_, d_, kStepBlanking);
      } else {
        failed = !Refused();
      }
      break;
    }
  }
  job_.ReleaseJobClaim();
  // Idle before the event, so a handler that looks at the status sees the job ended.
  job_.SetStatus(kStatusIdle);
  job_.DeliverEraseDone(handler_, failed);
}
