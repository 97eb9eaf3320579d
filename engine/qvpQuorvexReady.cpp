// The component's readiness wait and its question whether the medium needs formatting.
#include "device/qvpSCSILib.h"
#include "engine/qvpMediumFormat.h"
#include "engine/qvpQuorvexPro.h"

qvp::TMediumReadiness TQuorvexPro::WaitUntilMediumReady(const std::function<bool()>& KeepWaiting,
                                                        uint32_t LimitMs) {
  return qvp::WaitUntilMediumReady(Device(), KeepWaiting, LimitMs);
}

void TQuorvexPro::SettleMedium() { qvp::WaitUntilMediumReady(Device()); }

bool TQuorvexPro::MediumNeedsFormat() {
  SettleMedium();
  return NeedsFormatBeforeWrite(Device(), qvp::GetMediumType(Device()));
}
