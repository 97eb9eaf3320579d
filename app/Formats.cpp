#include "app/Formats.h"

#include <QLocale>

namespace app {

fe::TNumberSeparators Numbers() {
  const QLocale locale;
  return fe::TNumberSeparators{locale.decimalPoint().toStdString(),
                               locale.groupSeparator().toStdString()};
}

QString FormatGrouped(double value, int decimals) {
  return Q(fe::FormatGrouped(value, decimals, Numbers()));
}

QString FormatSize(uint64_t kb) { return Q(fe::FormatSize(kb, Numbers())); }

QString LogLine(const char* text) { return Q(fe::LogLine(text)); }

}  // namespace app
