#include "frontend/BurnSequence.h"

#include <algorithm>
#include <utility>

#include "device/qvpConsts.h"
#include "engine/qvpEvents.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Readiness.h"
#include "frontend/SizeEstimate.h"
#include "frontend/Texts.h"
#include "frontend/VerifyResult.h"
#include "platform/Threads.h"

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

namespace {

// Hears the host's stop request while the component reads the medium's last session on the
// front end's own thread: the read ends with Aborted.
class TStopWatch : public plat::TThread {
 public:
  TStopWatch(TQuorvexPro& qvx, TBurnHost& host) : qvx_(qvx), host_(host) { Resume(); }
  ~TStopWatch() override {
    done_.Set();
    WaitFor();
  }

 protected:
  void Execute() override {
    while (!done_.WaitFor(100))
      if (host_.StopRequested()) {
        qvx_.Abort();
        return;
      }
  }

 private:
  TQuorvexPro& qvx_;
  TBurnHost& host_;
  plat::TEvent done_;
};

}  // namespace

void TBurnSequence::Log(const std::string& text) { host_.Log(LogLine(text)); }

void TBurnSequence::Enter(TBurnState state) {
  state_ = state;
  if (state != TBurnState::Checking && state != TBurnState::Writing && state != TBurnState::Erasing)
    Release();
  host_.StateChanged(state);
}

void TBurnSequence::Release() { qvx_.ReleaseRecorder(); }

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
  failure_ = TJobFailure();
  skipped_.clear();
  abortAsked_ = false;
  verifyAborted_ = false;
  stepTold_ = false;
  Log(text::kStart);
  if (Stop() || !Claim()) return;
  ApplyWriteOptions();
  testWrite_ = qvx_.GetTestWrite();
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

bool TBurnSequence::Claim() {
  // The recorder is this program's from its first command to the job's end: another program's
  // burn on it would spoil both discs.
  if (qvx_.ClaimRecorder()) return true;
  failure_ = TakeFailure(qvx_);
  reason_ = FailureText(failure_);
  Log(text::kNotStartedPrefix + FailureTextCz(failure_) + "... ");
  Enter(TBurnState::Refused);
  return false;
}

void TBurnSequence::ApplyWriteOptions() {
  if (request_.Finalize) qvx_.SetFinalizeDisc(*request_.Finalize);
  if (request_.TestWrite) qvx_.SetTestWrite(*request_.TestWrite);
  if (request_.BurnProof) qvx_.SetBurnProof(*request_.BurnProof);
  if (request_.Verify) qvx_.SetVerify(*request_.Verify);
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
  // Less free space than capacity: something is recorded on it. Files kept in view are added
  // to, never erased.
  if (qvx_.GetTotalBlocks() <= qvx_.GetFreeBlocks() || Importing()) return true;
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
    if (!HandOver() || !Import()) return;
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
    if (started) Log(text::kBurning);
  } else {
    qvx_.ClearCompilation();
    SayFormat();
    started = qvx_.BurnImage(request_.ImageFile);
    if (started) Log(text::kWritingImage);
  }
  if (started) {
    Enter(TBurnState::Writing);
    return;
  }
  failure_ = TakeFailure(qvx_);
  reason_ = FailureText(failure_);
  // The described line with the component's text, then the outcome says it in full.
  Log((request_.Mode == TBurnMode::Compilation ? text::kWriteFailed : text::kImageFailed) +
      failure_.Text);
  Conclude(TBurnOutcome::Failed);
  Enter(TBurnState::NotStarted);
}

void TBurnSequence::SayFormat() {
  // The job formats such a medium before its first write; without this line the minutes of
  // formatting would look like a hang.
  if (qvx_.MediumNeedsFormat()) Log(text::kWillFormat);
}

bool TBurnSequence::HandOver() {
  StartCompilation(qvx_, request_.VolumeId, request_.Boot);
  Log(text::kPreparing);
  const std::vector<std::string> paths =
      request_.Compilation != nullptr ? request_.Compilation->Paths() : std::vector<std::string>();
  skipped_ = FillCompilation(qvx_, paths, [this](const std::string& line) { host_.Log(line); });
  if (Stop()) return false;
  if (skipped_.empty()) return true;
  // Nothing the user asked for is left out without being named, and a disc (a write-once one
  // above all) is not spent on less than was asked for unless the user agrees.
  for (const TSkippedEntry& e : skipped_)
    host_.Log(text::kSkippedPrefix + e.Path + " (" + e.Reason + ")");
  if (host_.AllowIncomplete(skipped_)) return !Stop();
  Log(text::kIncompletePrefix + std::to_string(skipped_.size()) + text::kIncompleteSuffix);
  Refuse();
  return false;
}

bool TBurnSequence::Importing() const {
  return request_.Mode == TBurnMode::Compilation && request_.Import;
}

bool TBurnSequence::Import() {
  if (!Importing()) return true;
  TImportResult result;
  {
    const TStopWatch watch(qvx_, host_);
    result = qvx_.ImportSession();
  }
  if (ImportGoesOn(result)) return true;
  if (result == TImportResult::Aborted) {
    Conclude(TBurnOutcome::Aborted);
    Enter(TBurnState::Stopped);
    return false;
  }
  // Nothing was written: the disc is as it was.
  failure_ = TJobFailure();
  reason_ = TQuorvexPro::ImportResultText(result);
  reasonCz_ = ImportRefusalCz(result);
  Conclude(TBurnOutcome::Failed);
  Enter(TBurnState::NotStarted);
  return false;
}

bool TBurnSequence::Storno() {
  if (abortAsked_) return false;
  abortAsked_ = true;
  Log(text::kStorno);
  qvx_.Abort();
  Poll();
  return true;
}

void TBurnSequence::Poll() {
  if (!abortAsked_ || stepTold_ || state_ != TBurnState::Writing) return;
  const uint8_t step = qvx_.GetUninterruptibleStep();
  if (step == kStepNone) return;
  stepTold_ = true;
  Log(UninterruptibleLine(step));
  host_.Uninterruptible(step);
}

void TBurnSequence::WriteDone(bool failed) {
  // A job whose buffer failed while it filled reports its end after the component refused to
  // start it; that end was told already.
  if (state_ == TBurnState::NotStarted) {
    state_ = TBurnState::Idle;
    return;
  }
  const bool ran = state_ == TBurnState::Writing;
  // The verification's result comes before the end of the job, as the pass did.
  const TVerifyReport verified = qvx_.GetVerifyReport();
  verifyAborted_ = verified.Outcome == TVerifyOutcome::Aborted;
  if (ran && verified.Outcome != TVerifyOutcome::NotRun) Log(VerifyResultText(verified));
  // Logged whatever the outcome: a failure shows through the status lines before it.
  Log(text::kWriteDone);
  host_.Log(std::string());
  qvx_.FlushDriveCache();
  host_.Eject();
  if (ran) {
    if (failed) {
      failure_ = TakeFailure(qvx_);
      reason_ = FailureText(failure_);
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
      // The entries were named before the burn began.
      Log(text::kOutcomeIncomplete + std::to_string(skipped_.size()) + ").");
      break;
    case TBurnOutcome::Aborted:
      Log(verifyAborted_ ? text::kOutcomeVerifyAborted : text::kOutcomeAborted);
      break;
    case TBurnOutcome::Failed:
      Log(text::kOutcomeFailed +
          (reasonCz_.empty() ? FailureTextCz(failure_) : std::exchange(reasonCz_, {})));
      break;
    case TBurnOutcome::None:
      break;
  }
}

void TBurnSequence::EraseDone(bool failed) {
  if (failed) {
    failure_ = TakeFailure(qvx_);
    reason_ = FailureText(failure_);
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
