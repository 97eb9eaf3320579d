#pragma once
// The shared core's texts and number forms as the windows show them: QStrings, with the number
// separators of the locale in effect (the system's, unless a test sets another default).
#include <QString>
#include <cstdint>
#include <string>

#include "frontend/Formats.h"

namespace app {

// The decimal and thousands separators of the default QLocale.
fe::TNumberSeparators Numbers();

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// "#,##0.00"-style: grouped thousands, `decimals` places ("1 234,50" in Czech).
QString FormatGrouped(double value, int decimals);
// A size in KB with two decimals and its unit ("1,00 KB", "0,98 MB").
QString FormatSize(uint64_t kb);
// A log line: the current UTC time, then the text.
QString LogLine(const char* text);

}  // namespace app
