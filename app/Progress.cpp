#include "app/Progress.h"

#include "app/Formats.h"
#include "app/Texts.h"

namespace app {

QString ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs) {
  QString line = SectorsToMB(done) + QLatin1Char('/') + SectorsToMB(total) + QStringLiteral(" MB");
  if (done == 0) return line;
  // A figure read while the job is still setting up may have no total yet.
  const double percent = total > 0 ? static_cast<double>(done) / static_cast<double>(total) * 100.0 : 0.0;
  line += QStringLiteral(" (") + FormatPlain(percent, 2) + QStringLiteral("%)");
  if (status != 11) line += QStringLiteral(" @ ") + FormatPlain(speedKBs, 2) + QStringLiteral(" KB/s");
  return line;
}

TStatusLog::TResult TStatusLog::Update(uint16_t status, const plat::TSystemTime& utc) {
  TResult r;
  const QString name = StatusName(status);
  if (name != last_) {
    r.Line = LogTime(utc) + QStringLiteral(" >>> ") + name;
    r.Abort = last_ == StatusName(9);
  }
  last_ = name;
  return r;
}

}  // namespace app
