// The component's readiness wait and its question whether the medium needs formatting.
#include "device/qvpSCSILib.h"
#include "engine/qvpMediumFormat.h"
#include "engine/qvpQuorvexPro.h"

qvp::TMediumReadiness TQuorvexPro::WaitUntilMediumReady(const std::function<bool()>& KeepWaiting,
                                                        uint32_t LimitMs) {
  const qvp::TMediumReadiness r = qvp::WaitUntilMediumReady(Device(), KeepWaiting, LimitMs);
  // Only a wait that ran its time out says the drive never gets ready; a drive asked once (a
  // window's watcher looking while a disc loads) is merely not ready yet.
  if (r != qvp::TMediumReadiness::Aborted && (LimitMs > 0 || r != qvp::TMediumReadiness::TimedOut))
    mediumWaitTimedOut_ = r == qvp::TMediumReadiness::TimedOut;
  return r;
}

qvp::TMediumReadiness TQuorvexPro::Settle() {
  return WaitUntilMediumReady(nullptr, mediumWaitTimedOut_ ? 0 : qvp::kMediumReadyLimitMs);
}

qvp::TSCSIDevice& TQuorvexPro::SettledDevice() {
  Settle();
  return Device();
}

bool TQuorvexPro::MediumNeedsFormat() {
  qvp::TSCSIDevice& d = SettledDevice();
  return NeedsFormatBeforeWrite(d, qvp::GetMediumType(d));
}
