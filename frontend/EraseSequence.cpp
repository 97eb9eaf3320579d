#include "frontend/EraseSequence.h"

#include "engine/qvpQuorvexPro.h"
#include "frontend/Outcome.h"
#include "frontend/Readiness.h"
#include "frontend/Texts.h"

namespace fe {

bool TEraseSequence::Start(bool waitForMedium) {
  reason_.clear();
  failure_ = TJobFailure();
  // Held from the first command to the job's end: another program's job would spoil the erase.
  if (!qvx_.ClaimRecorder()) {
    Refused();
    return false;
  }
  const qvp::TMediumReadiness ready = MediumReadiness(qvx_, waitForMedium);
  if (ready != qvp::TMediumReadiness::Ready) {
    qvx_.ReleaseRecorder();
    host_.Message(NotReadyMessage(ready, text::kNotReady));
    return false;
  }
  if (!qvx_.IsErasable()) {
    qvx_.ReleaseRecorder();
    host_.Message(text::kNotErasable);
    return false;
  }
  const std::optional<bool> quick = host_.AskQuick();
  if (!quick) {
    qvx_.ReleaseRecorder();
    return false;
  }
  // A refused erase starts no job and so sends no completion: nothing to wait for.
  if (!qvx_.EraseDisc(*quick)) {
    Refused();
    return false;
  }
  host_.Started();
  return true;
}

void TEraseSequence::Refused() {
  failure_ = TakeFailure(qvx_);
  reason_ = FailureText(failure_);
  qvx_.ReleaseRecorder();
  host_.Message(failure_.InUse() ? "Mazání se neprovede: " + FailureTextCz(failure_) + "."
                                 : std::string(text::kEraseFailed));
}

void TEraseSequence::Done(bool failed) {
  if (failed) {
    failure_ = TakeFailure(qvx_);
    reason_ = FailureText(failure_);
  }
  host_.Ended(failed);
  if (failed) host_.Message(text::kEraseFailed);
  qvx_.FlushDriveCache();
  host_.Eject();
  qvx_.ReleaseRecorder();
}

}  // namespace fe
