#include "frontend/Readiness.h"

#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"

namespace fe {
namespace {

// ASC of the last command: 04h becoming ready / operation in progress, 28h medium changed,
// 29h reset.
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscReset = 0x29;
constexpr int kReadyPolls = 120;
constexpr uint32_t kReadyPollMs = 500;

}  // namespace

bool MediumReady(TQuorvexPro& qvx, bool wait, const std::function<bool()>& stop) {
  if (!wait) return qvx.IsUnitReady();
  bool ready = false;
  for (int i = 0; i < kReadyPolls && !(stop && stop()); ++i) {
    if (qvx.IsUnitReady()) {
      ready = true;
      break;
    }
    const uint8_t asc = qvx.GetLastSense().Asc;
    if (asc != kAscNotReady && asc != kAscMediumChanged && asc != kAscReset) break;
    plat::Sleep(kReadyPollMs);
  }
  qvx.GetLastErrorText();
  return ready;
}

}  // namespace fe
