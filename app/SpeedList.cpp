#include "app/SpeedList.h"

#include <algorithm>

#include "app/Formats.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Texts.h"

namespace app {

QString SpeedEntryText(double kbps, double unit) {
  return QString::number(fe::RoundHalfEven(kbps / unit)) + QLatin1Char('x') + QStringLiteral(" (") +
         FormatGrouped(kbps, 0) + QStringLiteral(" KB/s)");
}

std::vector<TSpeedEntry> ProbeWriteSpeeds(TQuorvexPro& qvx) {
  std::vector<TSpeedEntry> list{{QStringLiteral("Max"), 0}};
  const uint16_t requestedRead = qvx.GetRequestedReadSpeed(),
                 requestedWrite = qvx.GetRequestedWriteSpeed();
  const double unit = fe::SpeedUnit(qvx.GetMediumType());
  const int64_t steps = fe::RoundHalfEven(qvx.GetMaxWriteSpeed() / unit);
  for (int64_t i = steps; i >= 1; --i) {
    const int64_t request = fe::RoundHalfEven(static_cast<double>(i) * unit);
    qvx.SetSpeed(0, static_cast<uint16_t>(std::min<int64_t>(request, 0xFFFF)));
    const uint16_t w = qvx.GetCurrentWriteSpeed();
    const QString text = SpeedEntryText(w, unit);
    if (std::none_of(list.begin(), list.end(),
                     [&](const TSpeedEntry& e) { return e.Text == text; }))
      list.push_back({text, w});
  }
  // The probe leaves the recorder at its slowest step; put back the speed asked for.
  qvx.SetSpeed(requestedRead, requestedWrite);
  return list;
}

TSpeedEntry SpeedInForce(TQuorvexPro& qvx) {
  const uint16_t requested = qvx.GetRequestedWriteSpeed();
  if (requested == 0) return {QStringLiteral("Max"), 0};
  // Asked once, without waiting: with no medium ready the requested speed stands for itself.
  if (qvx.WaitUntilMediumReady(nullptr, 0) != qvp::TMediumReadiness::Ready)
    return {FormatGrouped(requested, 0) + QStringLiteral(" KB/s"), requested};
  const uint16_t w = qvx.GetCurrentWriteSpeed();
  return {SpeedEntryText(w, fe::SpeedUnit(qvx.GetMediumType())), w};
}

}  // namespace app
