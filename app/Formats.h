#pragma once
// Number and time texts in the forms the windows show, with the separators of the locale in
// effect (the system's, unless a test sets another default).
#include <QString>

#include <cstdint>

#include "platform/Clock.h"

namespace app {

// "#,##0.00"-style: grouped thousands, `decimals` places ("1 234,50" in Czech).
QString FormatGrouped(double value, int decimals);
// "0.00"-style: no grouping ("1234,50" in Czech).
QString FormatPlain(double value, int decimals);
// Megabytes of a count of 2048-byte sectors, "#,##0.00".
QString SectorsToMB(int64_t sectors);
// " #,##0 KB/s": a speed line value (with its leading blank).
QString SpeedText(double kbPerSecond);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
int64_t RoundHalfEven(double value);

// "hh:mm:ss.zzz" of a time (the progress log's time stamp).
QString LogTime(const plat::TSystemTime& t);
// "mm:ss.zzz" (the smart-reference line's shorter stamp).
QString ShortLogTime(const plat::TSystemTime& t);

// The folder text with one trailing '/' (kept when it already ends with one).
QString EnsureTrailingSlash(const QString& folder);

}  // namespace app
