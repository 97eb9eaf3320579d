#include "frontend/VerifyResult.h"

namespace fe {

std::string VerifyResultText(const TVerifyReport& r) {
  switch (r.Outcome) {
    case TVerifyOutcome::NotRun:
      return std::string();
    case TVerifyOutcome::Passed:
      return text::kVerifyPassed;
    case TVerifyOutcome::Differs:
    case TVerifyOutcome::Unreadable:
      return text::kVerifyFailed + std::to_string(r.Block) + text::kVerifyFailedFile +
             (r.Path.empty() ? std::string(text::kVerifyNoFile) : r.Path);
    case TVerifyOutcome::Aborted:
      return text::kVerifyAborted;
    case TVerifyOutcome::Failed:
      return text::kVerifyNotDone;
  }
  return std::string();
}

}  // namespace fe
