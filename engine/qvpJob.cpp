#include "engine/qvpJob.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#include "platform/Clock.h"
#include "platform/FileCheck.h"

void TBlockDeleter::operator()(uint8_t* p) const { std::free(p); }

TJobState::TJobState() = default;

void TDriveFigures::Reset() {
  SampleBytes.store(0);
  SampleTicks.store(0);
  BufferLength.store(0);
  BufferBlank.store(0);
}

namespace {
thread_local const plat::TThread* tCurrentJobThread = nullptr;
}

void MarkJobThread(const plat::TThread* t) { tCurrentJobThread = t; }
bool IsCurrentJobThread(const plat::TThread* t) { return t != nullptr && t == tCurrentJobThread; }

void TJobState::Notify() {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  Changed.notify_all();
}

void TJobState::RequestAbort() {
  AbortFlag.store(1);
  Notify();
}

TBlock TJobState::NewBlock() {
  {
    std::lock_guard<plat::TCriticalSection> g(Lock);
    if (!Spare.empty()) {
      TBlock b = std::move(Spare.back());
      Spare.pop_back();
      return b;
    }
  }
  uint8_t* p =
      AllocateBlock ? AllocateBlock() : static_cast<uint8_t*>(std::malloc(kCacheBlockBytes));
  return TBlock(p);
}

void TJobState::Recycle(TBlock block) {
  if (!block) return;
  std::lock_guard<plat::TCriticalSection> g(Lock);
  // Only while the producer runs, and never more than it could fill at once.
  if (!BufferFinished.load() && Spare.size() < 4) Spare.push_back(std::move(block));
}

void TJobState::ReleaseBlocks() {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  Slots.clear();
  Spare.clear();
  Count.store(0);
  Changed.notify_all();
}

void TJobState::FailWith(uint32_t code, const std::string& detail, const qvp::TSense* sense) {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  if (HasFailed()) return;
  FailureDetail = detail;
  if (sense != nullptr) {
    FailureSense.store(sense->Packed());
    FailureSenseSet.store(true);
  }
  FailureSenseUnread.store(false);
  ErrorCode.store(code);
}

void TJobState::FailOnDevice(const qvp::TSense& sense) {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  if (HasFailed()) return;
  FailureSense.store(sense.Packed());
  FailureSenseSet.store(true);
  FailureSenseUnread.store(true);
}

void TJobState::FailOnCommand(const qvp::TSCSIDevice& d) {
  const qvp::TSense sense = qvp::LastSenseOf(d);
  if (d.Busy != 0)
    FailWith(kErrDriveBusy, std::string());
  else if (sense.Empty())
    FailWith(kErrNoAnswer, " (" + plat::SystemErrorText(d.LastSystemError) + ")");
  else
    FailOnDevice(sense);
}

void TJobState::ResetOutcome() {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  ErrorCode.store(kErrNone);
  FailureDetail.clear();
  FailureSenseSet.store(false);
  FailureSenseUnread.store(false);
  FailureSense.store(0);
  Uninterruptible.store(kStepNone);
}

void TJobState::ReleaseJobClaim() {
  plat::TDriveHandle claim = plat::kInvalidDriveHandle;
  {
    std::lock_guard<plat::TCriticalSection> g(Lock);
    JobHoldsClaim = false;
    if (!JobOwnsClaim) return;
    claim = std::exchange(Claim, plat::kInvalidDriveHandle);
    JobOwnsClaim = false;
  }
  plat::CloseDrive(claim);
}

bool TJobState::SleepUnlessAborted(uint32_t ms) {
  while (ms > 0) {
    if (Aborted()) return false;
    const uint32_t slice = std::min(ms, kAbortPollMs);
    plat::Sleep(slice);
    ms -= slice;
  }
  return !Aborted();
}

void TJobState::DeliverWriteDone(const TWriteDoneEvent& handler, bool failed) {
  if (!handler) return;
  if (Window)
    Window->Post(kMsgWriteDone, 0, failed ? 1 : 0);
  else
    handler(Component, 0, failed);
}

void TJobState::DeliverEraseDone(const TEraseDoneEvent& handler, bool failed) {
  if (!handler) return;
  if (Window)
    Window->Post(kMsgEraseDone, 0, failed ? 1 : 0);
  else
    handler(Component, 0, failed);
}

void TJobState::DeliverVerifyDone(const TVerifyDoneEvent& handler, int32_t fileId, bool failed) {
  if (!handler) return;
  if (Window)
    Window->Post(kMsgVerifyDone, static_cast<uintptr_t>(static_cast<intptr_t>(fileId)),
                 failed ? 1 : 0);
  else
    handler(Component, 0, fileId, failed);
}

std::string ErrorTextFor(uint32_t engineCode, uint16_t deviceCode, const std::string& source,
                         const std::string& detail) {
  switch (engineCode) {
    case kErrNone:
      break;
    case kErrDataNotPrepared:
      return "Data not prepared ";
    case kErrOpenFile:
      return source.empty() ? "Error opening file" : "Error opening file \\" + source + "\\";
    case kErrCreateFile:
      return source.empty() ? "Error creating file" : "Error creating file \\" + source + "\\";
    case kErrAborted:
      return "Aborted by user";
    case kErrSourceChanged:
      return "Source file changed while it was written: " + detail;
    case kErrRecorderInUse:
      return "The recorder is in use by another program" + detail;
    case kErrClosingFailed:
      return detail;
    case kErrImageEmpty:
      return "The image file is empty" + (source.empty() ? std::string() : ": \\" + source + "\\");
    case kErrImageNotRegular:
      return "The image is not a regular file" + detail;
    case kErrDiscNotBlank:
      return "The disc is not blank: an image is written only onto a blank or a rewritable disc";
    case kErrRecorderNotOpened:
      return "The recorder cannot be opened for writing" + detail;
    case kErrDriveBusy:
      return "The recorder stayed busy and took no more data";
    case kErrNoAnswer:
      return "The recorder stopped answering" + detail;
    case kErrVerifyFailed:
      return detail;
    default:
      break;
  }
  if (engineCode == kErrNone && deviceCode == 0) return "Unknown/No Error!";
  char text[32];
  std::snprintf(text, sizeof text, "Hardware Error %u",
                engineCode != kErrNone ? engineCode : deviceCode);
  return text;
}
