#include "frontend/EraseSequence.h"

#include "engine/qvpQuorvexPro.h"
#include "frontend/Readiness.h"
#include "frontend/Texts.h"

namespace fe {

bool TEraseSequence::Start(bool waitForMedium) {
  reason_.clear();
  const qvp::TMediumReadiness ready = MediumReadiness(qvx_, waitForMedium);
  if (ready != qvp::TMediumReadiness::Ready) {
    host_.Message(NotReadyMessage(ready, text::kNotReady));
    return false;
  }
  if (!qvx_.IsErasable()) {
    host_.Message(text::kNotErasable);
    return false;
  }
  const std::optional<bool> quick = host_.AskQuick();
  if (!quick) return false;
  // A refused erase starts no job and so sends no completion: nothing to wait for.
  if (!qvx_.EraseDisc(*quick)) {
    reason_ = qvx_.GetLastErrorText();
    host_.Message(text::kEraseFailed);
    return false;
  }
  host_.Started();
  return true;
}

void TEraseSequence::Done(bool failed) {
  if (failed) reason_ = qvx_.GetLastErrorText();
  host_.Ended(failed);
  if (failed) host_.Message(text::kEraseFailed);
  qvx_.FlushDriveCache();
  host_.Eject();
}

}  // namespace fe
