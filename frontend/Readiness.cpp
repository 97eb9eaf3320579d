#include "frontend/Readiness.h"

#include "engine/qvpQuorvexPro.h"
#include "frontend/Texts.h"

namespace fe {

qvp::TMediumReadiness MediumReadiness(TQuorvexPro& qvx, bool wait,
                                      const std::function<bool()>& stop) {
  if (!wait) return qvx.WaitUntilMediumReady(nullptr, 0);
  return qvx.WaitUntilMediumReady(stop ? std::function<bool()>([&stop] { return !stop(); })
                                       : std::function<bool()>());
}

bool MediumReady(TQuorvexPro& qvx, bool wait, const std::function<bool()>& stop) {
  return MediumReadiness(qvx, wait, stop) == qvp::TMediumReadiness::Ready;
}

namespace {

// The start of the words for a drive that is not ready, or null for an empty drive.
const char* NotReadyStart(qvp::TMediumReadiness r) {
  using R = qvp::TMediumReadiness;
  switch (r) {
    case R::TimedOut:
      return text::kNotReadyYet;
    case R::NotAnswering:
      return text::kNotAnswering;
    case R::Unusable:
      return text::kUnusable;
    default:
      return nullptr;
  }
}

}  // namespace

std::string NotReadyLogLine(qvp::TMediumReadiness r) {
  const char* start = NotReadyStart(r);
  return start != nullptr ? std::string(" >>> ") + start + text::kNotReadyBurn : text::kNoMedium;
}

std::string NotReadyMessage(qvp::TMediumReadiness r, const std::string& noMedium) {
  const char* start = NotReadyStart(r);
  return start != nullptr ? std::string(start) + text::kNotReadyAgain : noMedium;
}

}  // namespace fe
