// The readiness wait after a medium change.
#include "device/qvpSCSIReady.h"

#include <algorithm>

#include "device/qvpSCSILib.h"
#include "device/qvpSense.h"
#include "platform/Clock.h"

namespace qvp {

namespace {

// "Logical unit not ready" causes that end by themselves: cause not reportable, becoming ready,
// format, operation and long write in progress.
constexpr bool EndsByItself(uint8_t ascq) {
  return ascq == 0x00 || ascq == 0x01 || ascq == 0x04 || ascq == 0x07 || ascq == 0x08;
}
// A drive reports one attention per event (medium changed, reset, ...), so a few in a row are
// normal; an endless stream is a drive that is not well and is waited for like a busy one.
constexpr int kAttentionsInARow = 8;

}  // namespace

TMediumReadiness WaitUntilMediumReady(TSCSIDevice& dev, const std::function<bool()>& keepWaiting,
                                      uint32_t limitMs) {
  const uint16_t errorBefore = dev.LastAscAscq;
  const uint32_t start = plat::TickCount();
  int attentions = 0;
  for (;;) {
    if (keepWaiting && !keepWaiting()) return TMediumReadiness::Aborted;
    if (TestUnitReady(dev)) {
      dev.LastAscAscq = errorBefore;
      return TMediumReadiness::Ready;
    }
    const uint8_t key = LastSenseKey(dev), asc = dev.LastSense[12];
    if (key == key::UnitAttention && ++attentions <= kAttentionsInARow) continue;
    if (dev.Busy == 0 && !FailedWhileSettling(dev)) {
      if (asc == asc::MediumNotPresent) return TMediumReadiness::NoMedium;
      if (key == 0 && asc == 0) return TMediumReadiness::NotAnswering;
      return TMediumReadiness::Unusable;
    }
    attentions = 0;
    const uint32_t waited = plat::TickCount() - start;
    if (waited >= limitMs) return TMediumReadiness::TimedOut;
    plat::Sleep(std::min(kMediumReadyPollMs, limitMs - waited));
  }
}

bool FailedWhileSettling(const TSCSIDevice& dev) {
  const uint8_t key = LastSenseKey(dev);
  return key == key::UnitAttention || (key == key::NotReady && dev.LastSense[12] == asc::NotReady &&
                                       EndsByItself(dev.LastSense[13]));
}

}  // namespace qvp
