#include "frontend/BurnSequence.h"

#include <algorithm>

#include "device/qvpConsts.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Readiness.h"
#include "frontend/SizeEstimate.h"
#include "frontend/Texts.h"

namespace fe {

bool MediumSimulates(uint8_t mediumType) {
  switch (mediumType) {
    case qvp::mtCDR:
    case qvp::mtCDRW:
    case qvp::mtDVDR:
    case qvp::mtDVDRW:
    case qvp::mtDVDRWSR:
    case qvp::mtDDCDR:
    case qvp::mtDDCDRW:
      return true;
    default:
      return false;
  }
}

void TBurnSequence::Log(const std::string& text) { host_.Log(LogLine(text)); }

void TBurnSequence::Enter(TBurnState state) {
  state_ = state;
  host_.StateChanged(state);
}

void TBurnSequence::Refuse() {
  host_.Eject();
  Enter(TBurnState::Refused);
}

bool TBurnSequence::Stop() {
  if (!host_.StopRequested()) return false;
  Conclude(TBurnOutcome::Aborted);
  Enter(TBurnState::Stopped);
  return true;
}

void TBurnSequence::Press(const TBurnRequest& request) {
  request_ = request;
  outcome_ = TBurnOutcome::None;
  reason_.clear();
  skipped_.clear();
  abortAsked_ = false;
  ApplyWriteOptions();
  testWrite_ = qvx_.GetTestWrite();
  Log(text::kStart);
  if (Stop()) return;
  const qvp::TMediumReadiness ready = MediumPresent();
  if (ready == qvp::TMediumReadiness::Aborted && Stop()) return;
  if (ready != qvp::TMediumReadiness::Ready) {
    host_.Log(LogLine(NotReadyLogLine(ready)));
    Enter(TBurnState::Refused);
    return;
  }
  Enter(TBurnState::Checking);
  if (!CheckWritable() || !CheckRewritable()) return;
  uint32_t freeBlocks = 0;
  if (!CheckFreeSpace(freeBlocks) || Stop()) return;
  StartJob(freeBlocks);
}

void TBurnSequence::ApplyWriteOptions() {
  if (request_.Finalize) qvx_.SetFinalizeDisc(*request_.Finalize);
  if (request_.TestWrite) qvx_.SetTestWrite(*request_.TestWrite);
  if (request_.BurnProof) qvx_.SetBurnProof(*request_.BurnProof);
  if (request_.SpeedKBps) qvx_.SetSpeed(0, *request_.SpeedKBps);
}

qvp::TMediumReadiness TBurnSequence::MediumPresent() {
  // Every later query of the sequence follows this one.
  return MediumReadiness(qvx_, request_.WaitForMedium, [this] { return host_.StopRequested(); });
}

bool TBurnSequence::CheckWritable() {
  if (!qvx_.IsDiscWritable()) {
    Log(text::kNotWritable);
    Refuse();
    return false;
  }
  Log(text::kWritable);
  // A medium that cannot simulate would be refused by the drive only once the job runs; say so
  // before anything starts, and leave the medium as it is.
  if (testWrite_ && !MediumSimulates(qvx_.GetMediumType())) {
    Log(text::kNoSimulation);
    Refuse();
    return false;
  }
  return true;
}

bool TBurnSequence::CheckRewritable() {
  Log(text::kMediumKind);
  if (!qvx_.IsErasable()) return true;
  Log(text::kRewritable);
  Log(text::kCheckRewritable);
  // Less free space than capacity: something is recorded on it.
  if (qvx_.GetTotalBlocks() <= qvx_.GetFreeBlocks()) return true;
  Log(text::kHoldsData);
  const bool erase = host_.AskEraseData();
  if (Stop()) return false;
  if (!erase) {
    Log(text::kDataKept);
    Refuse();
    return false;
  }
  Log(text::kErasing);
  Enter(TBurnState::Erasing);
  // The erase's end (EraseDone) logs and ejects; the burn starts again with the medium back in.
  if (!qvx_.EraseDisc(true)) {
    Log(text::kEraseFailedInBurn);
    Enter(TBurnState::Refused);
  }
  return false;
}

bool TBurnSequence::CheckFreeSpace(uint32_t& freeBlocks) {
  const TNumberSeparators numbers = host_.Numbers();
  requiredKB_ = request_.Mode == TBurnMode::Image ? FileSizeKB(request_.ImageFile)
                : request_.Compilation != nullptr ? request_.Compilation->TotalSizeKB()
                                                  : 0;
  Log(text::kCheckSpace);
  freeBlocks = qvx_.GetFreeBlocks();
  // The line shows the medium's whole capacity; what decides is the free space (2 KB a block),
  // so a disc that already holds sessions is not overfilled.
  const uint32_t totalBlocks = qvx_.GetTotalBlocks();
  Log(text::kCapacity + BlocksToMB(totalBlocks, numbers) + text::kCapacityEnd);
  // A disc that holds sessions already has less room than its capacity; say how much.
  if (freeBlocks < totalBlocks)
    Log(text::kFreeSpace + BlocksToMB(freeBlocks, numbers) + text::kCapacityEnd);
  if (requiredKB_ <= uint64_t{freeBlocks} * 2) return true;
  Log(text::kNoSpace + FormatSize(requiredKB_, numbers) + ")");
  Refuse();
  return false;
}

void TBurnSequence::StartJob(uint32_t freeBlocks) {
  bool started;
  if (request_.Mode == TBurnMode::Compilation) {
    StartCompilation(qvx_, request_.VolumeId, request_.Boot);
    Log(text::kPreparing);
    const std::vector<std::string> paths = request_.Compilation != nullptr
                                               ? request_.Compilation->Paths()
                                               : std::vector<std::string>();
    skipped_ = FillCompilation(qvx_, paths, [this](const std::string& line) { host_.Log(line); });
    Log(text::kInitializing);
    const int32_t prepared = qvx_.PrepareImage();
    if (Stop()) return;
    // The estimate counts file contents only; the laid-out image, with its directories and
    // descriptors, has to fit too, up to the end of its last 64 KiB block, which the write fills.
    const uint64_t sectors =
        prepared > 0 ? std::max<uint64_t>(static_cast<uint64_t>(prepared), qvx_.GetImageSectors())
                     : 0;
    if (sectors > freeBlocks) {
      Log(text::kNoSpace + FormatSize(sectors * 2, host_.Numbers()) + ")");
      Refuse();
      return;
    }
    SayFormat();
    started = qvx_.BurnData();
    if (started)
      Log(text::kBurning);
    else
      Log(text::kWriteFailed + (reason_ = qvx_.GetLastErrorText()));
  } else {
    qvx_.ClearCompilation();
    SayFormat();
    started = qvx_.BurnImage(request_.ImageFile);
    if (started)
      Log(text::kWritingImage);
    else
      Log(text::kImageFailed + (reason_ = qvx_.GetLastErrorText()));
  }
  if (started) {
    Enter(TBurnState::Writing);
    return;
  }
  Conclude(TBurnOutcome::Failed);
  Enter(TBurnState::NotStarted);
}

void TBurnSequence::SayFormat() {
  // The job formats such a medium before its first write; without this line the minutes of
  // formatting would look like a hang.
  if (qvx_.MediumNeedsFormat()) Log(text::kWillFormat);
}

bool TBurnSequence::Storno() {
  if (abortAsked_) return false;
  abortAsked_ = true;
  Log(text::kStorno);
  qvx_.Abort();
  return true;
}

void TBurnSequence::WriteDone(bool failed) {
  // A job whose buffer failed while it filled reports its end after the component refused to
  // start it; that end was told already.
  if (state_ == TBurnState::NotStarted) {
    state_ = TBurnState::Idle;
    return;
  }
  const bool ran = state_ == TBurnState::Writing;
  // Logged whatever the outcome: a failure shows through the status lines before it.
  Log(text::kWriteDone);
  host_.Log(std::string());
  qvx_.FlushDriveCache();
  host_.Eject();
  if (ran) {
    if (failed) {
      reason_ = qvx_.GetLastErrorText();
      Conclude(abortAsked_ ? TBurnOutcome::Aborted : TBurnOutcome::Failed);
    } else {
      Conclude(!skipped_.empty() ? TBurnOutcome::Incomplete
               : testWrite_      ? TBurnOutcome::Simulated
                                 : TBurnOutcome::Complete);
    }
  }
  Enter(TBurnState::Ended);
}

void TBurnSequence::Conclude(TBurnOutcome outcome) {
  outcome_ = outcome;
  host_.Concluding(outcome, reason_);
  switch (outcome) {
    case TBurnOutcome::Complete:
      Log(text::kOutcomeDone);
      break;
    case TBurnOutcome::Simulated:
      Log(text::kOutcomeSimulated);
      break;
    case TBurnOutcome::Incomplete:
      // Nothing the user asked for is left out without being named.
      for (const TSkippedEntry& e : skipped_)
        host_.Log(text::kSkippedPrefix + e.Path + " (" + e.Reason + ")");
      Log(text::kOutcomeIncomplete + std::to_string(skipped_.size()) + ").");
      break;
    case TBurnOutcome::Aborted:
      Log(text::kOutcomeAborted);
      break;
    case TBurnOutcome::Failed:
      Log(text::kOutcomeFailed + reason_);
      break;
    case TBurnOutcome::None:
      break;
  }
}

void TBurnSequence::EraseDone(bool failed) {
  if (failed) {
    Log(text::kEraseFailedInBurn);
  } else {
    Log(text::kEraseDoneInBurn);
    qvx_.FlushDriveCache();
    host_.Eject();
    Log(host_.LoadBack() ? text::kEraseLoadedBack : text::kEraseNextStep);
  }
  Enter(TBurnState::EraseEnded);
}

}  // namespace fe
