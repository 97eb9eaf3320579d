#pragma once
// The write speeds a recorder accepts for the loaded medium, as the settings window and the
// compilation page's options list them: "Max", then each distinct speed the recorder took when
// asked for every step from its maximum down, fastest first.
#include <QString>
#include <cstdint>
#include <vector>

class TQuorvexPro;

namespace app {

struct TSpeedEntry {
  QString Text;  // "8x (11 080 KB/s)", or "Max"
  int KBps = 0;  // 0 for "Max"
};

// "8x (11 080 KB/s)": the steps of `unit` KB/s and the speed itself.
QString SpeedEntryText(double kbps, double unit);
// Probes the recorder step by step; afterwards it is asked for the speeds it had been asked for
// before, so the probe changes nothing.
std::vector<TSpeedEntry> ProbeWriteSpeeds(TQuorvexPro& qvx);
// The entry of the write speed in force: "Max" when none was asked for, else the speed the
// recorder applies (the requested one when it cannot tell).
TSpeedEntry SpeedInForce(TQuorvexPro& qvx);

}  // namespace app
