#include "app/Formats.h"

#include <QLocale>

#include <cmath>

namespace app {

QString FormatGrouped(double value, int decimals) {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(value, 'f', decimals);
}

QString FormatPlain(double value, int decimals) {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
  return locale.toString(value, 'f', decimals);
}

QString SectorsToMB(int64_t sectors) {
  return FormatGrouped(static_cast<double>(sectors) * 2048.0 / 1024.0 / 1024.0, 2);
}

QString SpeedText(double kbPerSecond) {
  return QLatin1Char(' ') + FormatGrouped(kbPerSecond, 0) + QStringLiteral(" KB/s");
}

int64_t RoundHalfEven(double value) {
  const double down = std::floor(value);
  const double diff = value - down;
  if (diff > 0.5) return static_cast<int64_t>(down) + 1;
  if (diff < 0.5) return static_cast<int64_t>(down);
  const auto d = static_cast<int64_t>(down);
  return (d % 2 == 0) ? d : d + 1;
}

QString LogTime(const plat::TSystemTime& t) {
  return QString::asprintf("%02d:%02d:%02d.%03d", int(t.Hour), int(t.Minute), int(t.Second),
                           int(t.Milliseconds));
}

QString ShortLogTime(const plat::TSystemTime& t) {
  return QString::asprintf("%02d:%02d:%03d", int(t.Minute), int(t.Second), int(t.Milliseconds));
}

QString EnsureTrailingSlash(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace app
