#include "engine/qvpWrite.h"

#include <cstring>
#include <mutex>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpFormat.h"
#include "device/qvpSCSILib.h"
#include "device/qvpSense.h"
#include "engine/qvpMediumFormat.h"
#include "engine/qvpVerify.h"
#include "platform/Clock.h"
#include "platform/FileCheck.h"

using namespace qvp;

namespace {

// Media that are written with streaming performance set from the drive's current speeds.
bool UsesStreaming(uint8_t t) {
  switch (t) {
    case mtDVDR:
    case mtDVDRWRO:
    case mtDVDRWSR:
    case mtDVDPLUSRW:
    case mtDVDPLUSR:
    case mtDVDPLUSRDL:
    case mtBDR:
    case mtBDRRR:
    case mtBDRE:
    case mtHDDVDR:
    case mtHDDVDRAM:
      return true;
    default:
      return false;
  }
}

// Media whose data writes rewrite the image's first block at LBA 0 when the image does not start
// there. A BD-RE grows its volume like a DVD+RW (the set-up puts the image behind the volume
// already on it), so without the rewrite a second burn would be invisible in every view.
bool RewritesFirstBlock(uint8_t t) {
  return t == mtDVDPLUSRW || t == mtDVDRWRO || t == mtDVDRWSR || t == mtDVDRAM || t == mtBDRE;
}

// Media on which the UDF anchor at LBA 256 is rewritten with the first block: those whose
// volume grows (the set-up puts the image behind the volume already there). A DVD-RW continues
// at its track's next writable address instead, and in restricted overwrite it would take only
// whole 16-sector blocks.
bool AnchorFollowsTheVolume(uint8_t t) { return t == mtDVDPLUSRW || t == mtDVDRAM || t == mtBDRE; }

}  // namespace

void WaitWhileNotReady(TJobState& job, TSCSIDevice& d, uint8_t step) {
  const TUninterruptibleStep marked(job, step);
  for (;;) {
    ReadDiscInformation(d, d.DiscInfo, 42);
    if (LastAsc(d) != asc::NotReady) return;
    plat::Sleep(5000);
  }
}

void ResetWriteFigures(TJobState& job, TSCSIDevice& d) {
  ResetSpeedStatistics(d);
  job.Drive.Reset();
  job.Drive.MsPerTick.store(d.MsPerTick);
}

void PublishSpeedSamples(const TSCSIDevice& d, TDriveFigures& f) {
  uint64_t bytes = 0;
  int64_t ticks = 0;
  for (int i = 0; i < kSpeedSamples; ++i) {
    bytes += static_cast<uint64_t>(d.SampleBytes[i]);
    ticks += d.SampleTicks[i];
  }
  f.SampleBytes.store(bytes);
  f.SampleTicks.store(ticks);
}

void PrepareDataWrite(TJobState& job, TSCSIDevice& d, uint8_t type, bool udf) {
  ResetWriteFigures(job, d);
  SetWriteParameters(d, d.TestWrite != 0, d.BurnProof != 0, type, false);
  ReadDiscInformation(d, d.DiscInfo, 64);
  const uint8_t lastTrack = d.DiscInfo[6];
  if (type == mtDVDRWSR || type == mtDVDRWRO) {
    const TUninterruptibleStep formatting(job, kStepFormatting);
    if (type == mtDVDRWRO)
      FormatWith(d, kFormatDvdRwGrow);
    else if (!FormatWith(d, kFormatDvdRwQuick1000))
      FormatWith(d, kFormatDvdRwQuick0);
    WaitWhileNotReady(job, d, kStepFormatting);
  }
  job.VolumeSizeBase = 0;
  bool trackRead = false;
  if (type == mtDVDPLUSRW || type == mtDVDRAM || type == mtBDRE) {
    // Random-access media grow the volume already on them.
    job.SessionStart = job.VolumeSizeBase = FindIsoVolumeSize(d);
  } else {
    // A blank medium when neither track answers, never what an earlier job left behind.
    job.SessionStart = 0;
    if (ReadTrackInformation(d, lastTrack)) {
      trackRead = true;
      const uint32_t next = TrackField(d, trackinfo::NextWritable);
      job.SessionStart = next == 1000 ? 0 : next;
    } else if (ReadTrackInformation(d, 1)) {
      trackRead = true;
      job.SessionStart = TrackField(d, trackinfo::TrackStart);
    }
  }
  // The bridge's addresses count from the track the image goes into; without track information
  // of this job, from where the image starts.
  if (udf) job.UdfBase = trackRead ? TrackField(d, trackinfo::TrackStart) : job.SessionStart;
}

TWriteThread::TWriteThread(TJobState& job, TSCSIDevice& device, uint8_t mediumType)
    : job_(job), d_(device), type_(mediumType) {
  Resume();
}

TWriteThread::~TWriteThread() { WaitFor(); }

void TWriteThread::ClearBufferFigures() {
  d_.BufferLength = 0;
  d_.BufferBlank = 0;
  PublishFigures();
}

void TWriteThread::PublishFigures() {
  PublishSpeedSamples(d_, job_.Drive);
  job_.Drive.BufferLength.store(d_.BufferLength);
  job_.Drive.BufferBlank.store(d_.BufferBlank);
}

bool TWriteThread::PrepareDrive(uint32_t startLba) {
  const plat::TSystemTime started = plat::UtcNow();
  SynchronizeCache(d_, false);
  RezeroUnit(d_);
  // Drives simulate only on some media (CD-R/RW, DVD-R/RW) and refuse the test-write bit on the
  // others. Writing on after such a refusal would record for real what the user only meant to
  // try, so a refused simulation ends the job here, before the first WRITE, with the refusal's
  // sense data as its error.
  const bool test = d_.TestWrite != 0;
  if (!SetWriteParameters(d_, test, d_.BurnProof != 0, type_, false) && test) return false;
  ReadDiscInformation(d_, d_.DiscInfo, 64);
  // A drive that refuses READ BUFFER CAPACITY is not asked again during the write.
  pollBuffer_ = ReadBufferCapacity(d_);
  if (!FormatFreshMedium()) return false;
  if (!SetWriteParameters(d_, test, d_.BurnProof != 0, type_,
                          type_ == mtDVDPLUSR && d_.FinalizeDisc == 0) &&
      test)
    return false;
  SetCdSpeed(d_, d_.RequestedReadSpeed, d_.RequestedWriteSpeed);
  if (UsesStreaming(type_)) {
    const uint16_t writeSpeed = GetCurrentWriteSpeed(d_);
    const uint16_t readSpeed = GetCurrentReadSpeed(d_);
    if (!ReadTrackInformation(d_, d_.DiscInfo[6]))
      mmc::PutHost32(d_.TrackInfo + trackinfo::TrackSize, job_.TotalSectors.load() + startLba);
    SetStreamingPerformance(d_, TrackField(d_, trackinfo::TrackSize), readSpeed, 1000, writeSpeed,
                            1000);
  }
  sessions_ = static_cast<uint32_t>(GetCompleteSessionCount(d_));
  if (type_ == mtDVDR) {
    SendDvdTimestamp(d_, started);
    ReserveTrack(d_, job_.TotalSectors.load());
  }
  d_.CloseAfterCommand = 0;
  return true;
}

bool TWriteThread::FormatFreshMedium() {
  if (!NeedsFormatBeforeWrite(d_, type_)) return true;
  // Shown as the background format it mostly is; an Abort meanwhile keeps its own status.
  job_.SetStatus(kStatusBackgroundFormat);
  const bool formatted = FormatBeforeFirstWrite(d_, type_, [this] { return !job_.Aborted(); });
  uint16_t formatting = kStatusBackgroundFormat;
  job_.Status->compare_exchange_strong(formatting, kStatusWriting);
  return formatted;
}

TWriteThread::TWritten TWriteThread::WriteAtStartOfMedium(uint32_t lba, uint8_t* data,
                                                          int32_t length) {
  const uint16_t blocks = static_cast<uint16_t>(length / kSectorBytes);
  uint32_t counter = 0;
  while (!Write10(d_, lba, blocks, static_cast<uint32_t>(length), data)) {
    const uint8_t sensed = LastAsc(d_);
    const bool busy = d_.Busy != 0;
    // An unformatted DVD+RW is formatted once and the write tried once more.
    if (type_ == mtDVDPLUSRW && counter == 0 && sensed == asc::IncompatibleMedium &&
        LastAscq(d_) == ascq::IncompatibleFormat) {
      const TUninterruptibleStep formatting(job_, kStepFormatting);
      if (FormatWith(d_, kFormatDvdPlusRwBasic)) WaitWhileNotReady(job_, d_, kStepFormatting);
      ++counter;
      if (job_.Aborted()) return TWritten::Aborted;
      continue;
    }
    if ((busy || sensed == asc::NotReady) && counter < 5000) {
      if (!job_.SleepUnlessAborted(200)) return TWritten::Aborted;
      ++counter;
      continue;
    }
    if ((busy || sensed == 0 || sensed == asc::ResetOccurred) && counter < 100) {
      if (!job_.SleepUnlessAborted(sensed == asc::ResetOccurred ? 1200 : 200))
        return TWritten::Aborted;
      ++counter;
      continue;
    }
    job_.FailOnCommand(d_);
    return TWritten::Failed;
  }
  return TWritten::Done;
}

TWriteThread::TWritten TWriteThread::WriteBlock(uint32_t lba, int32_t length) {
  const uint16_t blocks = static_cast<uint16_t>(length / kSectorBytes);
  uint32_t counter = 0;
  while (!Write10(d_, lba, blocks, static_cast<uint32_t>(length), block_.get())) {
    const uint8_t sensed = LastAsc(d_);
    if (!(d_.Busy != 0 || sensed == asc::NotReady || sensed == 0) || ++counter >= 5000) {
      job_.FailOnCommand(d_);
      return TWritten::Failed;
    }
    // A drive that stays not ready must not keep the user's abort waiting.
    if (!job_.SleepUnlessAborted(100)) return TWritten::Aborted;
  }
  return TWritten::Done;
}

void TWriteThread::WaitForClosing() {
  WaitWhileNotReady(job_, d_, kStepClosing);
  do {
    TestUnitReady(d_);
    plat::Sleep(5000);
  } while (LastAsc(d_) == asc::NotReady);
}

void TWriteThread::Closed(bool accepted, const char* what) {
  if (accepted) return;
  const TSense sense = LastSenseOf(d_);
  const std::string why = d_.Busy != 0 ? std::string("it answered BUSY")
                          : sense.Empty()
                              ? "no answer: " + plat::SystemErrorText(d_.LastSystemError)
                              : FormatSense(sense);
  job_.FailWith(
      kErrClosingFailed,
      std::string("The recorder refused to ") + what + " (" + why + "); the disc may be left open",
      sense.Empty() ? nullptr : &sense);
}

void TWriteThread::Close() {
  const TUninterruptibleStep closing(job_, kStepClosing);
  const bool leaveOpen = d_.FinalizeDisc == 0;
  const uint8_t s = static_cast<uint8_t>(sessions_);
  constexpr const char* kFlush = "write its cache to the disc";
  constexpr const char* kCloseSession = "close the session";
  // The command that leaves the disc readable decides the outcome; a track closed on the way
  // there may be refused when the drive has already closed it.
  switch (type_) {
    case mtDVDR:
      Closed(SynchronizeCache(d_, false), kFlush);
      ClearBufferFigures();
      CloseTrackSession(d_, false, closefn::Track, 0, 0, static_cast<uint8_t>(s + 1));
      CloseTrackSession(d_, false, closefn::Track, 0, 0, static_cast<uint8_t>(s + 2));
      // Written with the next session allowed, a DVD-R stays appendable when its session is
      // closed; asked to finalize, the close is told that no session follows.
      if (d_.FinalizeDisc) Closed(SetNoNextSession(d_), "finalize the disc");
      Closed(CloseTrackSession(d_, false, closefn::Session, 0, 0, static_cast<uint8_t>(s + 3)),
             kCloseSession);
      break;
    case mtDVDPLUSR:
      Closed(SynchronizeCache(d_, false), kFlush);
      ClearBufferFigures();
      CloseTrackSession(d_, false, closefn::Track, 0, 0, static_cast<uint8_t>(s + 1));
      // Closing the session leaves a DVD+R appendable whatever the write parameters say;
      // finalizing is a close function of its own.
      if (d_.FinalizeDisc)
        Closed(CloseTrackSession(d_, false, closefn::FinalizeDisc, 0, 0, 0), "finalize the disc");
      else
        Closed(CloseTrackSession(d_, false, closefn::Session, 0, 0, kCloseAnyTrack), kCloseSession);
      break;
    case mtDVDPLUSRDL:
      Closed(SynchronizeCache(d_, false), kFlush);
      ClearBufferFigures();
      CloseTrackSession(d_, false, closefn::Track, 0, 0, static_cast<uint8_t>(s + 1));
      if (d_.FinalizeDisc)
        Closed(CloseTrackSession(d_, false, closefn::FinalizeDisc, 0, 0, 0), "finalize the disc");
      else
        Closed(CloseTrackSession(d_, false, closefn::Session, 0, 0, 0), kCloseSession);
      break;
    case mtDVDPLUSRW:
      Closed(SynchronizeCache(d_, false), kFlush);
      ClearBufferFigures();
      Closed(CloseTrackSession(d_, false, closefn::CompleteFormat, 0, 0, kCloseAnyTrack),
             kCloseSession);
      break;
    case mtDVDRW:
    case mtDVDRWRO:
    case mtDVDRWSR:
      Closed(SynchronizeCache(d_, false), kFlush);
      ClearBufferFigures();
      CloseTrackSession(d_, false, closefn::Track, 0, 0, 1);
      Closed(CloseTrackSession(d_, true, closefn::Session, 0, 0, 0), kCloseSession);
      WaitWhileNotReady(job_, d_, kStepClosing);
      break;
    case mtCDR:
    case mtCDRW: {
      Closed(SynchronizeCache(d_, true), kFlush);
      WaitForClosing();
      ClearBufferFigures();
      SetWriteParameters(d_, d_.TestWrite != 0, d_.BurnProof != 0, type_, leaveOpen);
      bool closed = CloseTrackOrSession(d_, false, true, 0);
      // A drive that wants the track closed first gets it, and then the session once more: a
      // session left open hides the track from readers and catches the next burn.
      if (!closed && CloseTrackOrSession(d_, true, true, 0)) {
        WaitForClosing();
        closed = CloseTrackOrSession(d_, false, true, 0);
      }
      Closed(closed, kCloseSession);
      break;
    }
    default: {
      Closed(SynchronizeCache(d_, true), kFlush);
      if (type_ != mtDVDRAM) WaitForClosing();
      ClearBufferFigures();
      if (!CloseTrackOrSession(d_, true, false, 0)) CloseTrackOrSession(d_, true, true, 0);
      SetWriteParameters(d_, d_.TestWrite != 0, d_.BurnProof != 0, type_, leaveOpen);
      bool closed;
      if (type_ == mtBDR && d_.FinalizeDisc) {
        // A BD-R, like a DVD+R, is finalized by a close function of its own.
        closed = CloseTrackSession(d_, true, closefn::FinalizeDisc, 0, 0, 0);
      } else {
        closed = CloseTrackOrSession(d_, false, true, 0);
        if (!closed) closed = CloseTrackOrSession(d_, false, false, 0);
      }
      // Random-access media have no session to close: the drive refuses, and the data is in
      // place once the cache is written.
      const bool randomAccess = type_ == mtDVDRAM || type_ == mtBDRE || type_ == mtHDDVDRAM;
      if (!randomAccess) Closed(closed, kCloseSession);
      break;
    }
  }
}

void TWriteThread::Execute() {
  MarkJobThread(this);
  job_.SetStatus(kStatusWriting);
  ClearBufferFigures();
  const uint32_t startLba = job_.ImageSource ? 0 : job_.SessionStart;
  if (!PrepareDrive(startLba)) {
    // Nothing has been written, so there is no track to close and nothing to reload: the
    // producer is stopped and the job reports its failure.
    job_.FailOnCommand(d_);
    job_.RequestAbort();
    job_.WrittenSectors.store(0);
    job_.SetStatus(kStatusWriteError);
    failed_ = true;
    Finish();
    return;
  }

  job_.WrittenSectors.store(0);
  int32_t length;
  while ((length = TakeBlock(job_, block_, 10)) < 0) {
  }

  TWritten outcome = TWritten::Done;
  if (!job_.ImageSource && RewritesFirstBlock(type_)) {
    SynchronizeCache(d_, false);
    // The descriptors at the start of the medium must describe the grown volume.
    if (startLba != 0 && length > 0) {
      outcome = WriteAtStartOfMedium(0, block_.get(), length);
      // The UDF bridge's anchor, and the file set at its partition's start, lie beyond that block.
      // Left as they are, they would keep showing UDF readers the previous volume while ISO 9660
      // readers see the new one. (An image that starts before them covers them with its own data.)
      const auto anchorBytes = static_cast<int32_t>(job_.MediumAnchor.size());
      if (outcome == TWritten::Done && anchorBytes > 0 && AnchorFollowsTheVolume(type_) &&
          startLba >= kMediumAnchorLba + anchorBytes / kSectorBytes)
        outcome = WriteAtStartOfMedium(kMediumAnchorLba, job_.MediumAnchor.data(), anchorBytes);
      if (outcome == TWritten::Done) SynchronizeCache(d_, false);
    }
  }

  uint32_t lba = startLba;
  int countdown = 2;
  while (outcome == TWritten::Done && length != 0) {
    if (length < 0) {
      length = TakeBlock(job_, block_, 10);
      continue;
    }
    outcome = WriteBlock(lba, length);
    if (outcome != TWritten::Done) break;
    if (--countdown < 0 && pollBuffer_) {
      ReadBufferCapacity(d_);
      countdown = 5;
    }
    PublishFigures();
    const uint32_t sectors = static_cast<uint32_t>(length) / kSectorBytes;
    lba += sectors;
    job_.WrittenSectors.fetch_add(sectors);
    length = TakeBlock(job_, block_, 10);
  }

  const bool writeError = outcome == TWritten::Failed;
  if (writeError) {
    job_.RequestAbort();
    plat::Sleep(100);
    job_.SetStatus(kStatusWriteError);
    failed_ = true;
  } else {
    job_.SetStatus(kStatusClosingTrack);
  }

  d_.CloseAfterCommand = 1;
  Close();
  if (type_ != mtDVDRAM) {
    WaitWhileNotReady(job_, d_, kStepClosing);
    AllowMediumRemoval(d_);
    LoadMedium(d_, false);
    RezeroUnit(d_);
    TestUnitReady(d_);
  }
  // The producer of the write ends before its stream is made again for the verification.
  WaitForProducer();
  if (!failed_) VerifyAfterWrite(job_, d_);
  Finish();
}

void TWriteThread::WaitForProducer() {
  std::unique_lock<plat::TCriticalSection> g(job_.Lock);
  job_.Changed.wait(g, [&] { return job_.BufferFinished.load(); });
}

void TWriteThread::Finish() {
  WaitForProducer();
  block_.reset();

  // The last command has been sent: the recorder is free for others before the owner hears.
  job_.ReleaseJobClaim();
  TWriteDoneEvent handler;
  {
    std::lock_guard<plat::TCriticalSection> g(job_.Lock);
    if (job_.HasFailed() || job_.OutOfMemory.load()) failed_ = true;
    job_.SetStatus(kStatusIdle);
    handler = job_.WriteDone;
  }
  // Outside the lock: a handler called on this thread may start the next job at once.
  job_.DeliverWriteDone(handler, failed_);
}
