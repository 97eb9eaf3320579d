#include "cli/Formats.h"

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace cli {
namespace {

TNumberSeparators& Separators() {
  static TNumberSeparators s;
  return s;
}

// Digits of |value| rounded to `decimals` places, as "integer" and "fraction" parts.
void SplitDigits(double value, int decimals, std::string& integer, std::string& fraction) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value));
  const std::string text(buf);
  const size_t dot = text.find('.');
  integer = text.substr(0, dot);
  fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
}

std::string Compose(double value, int decimals, const TNumberSeparators& s, bool group) {
  std::string integer, fraction;
  // The C locale is in force, so the formatted number always has '.' as its decimal point.
  SplitDigits(value, decimals, integer, fraction);
  std::string out;
  if (group && !s.Thousands.empty()) {
    const size_t n = integer.size();
    for (size_t i = 0; i < n; ++i) {
      if (i > 0 && (n - i) % 3 == 0) out += s.Thousands;
      out += integer[i];
    }
  } else {
    out = integer;
  }
  if (!fraction.empty()) out += s.Decimal + fraction;
  // A value that rounds to zero shows no sign.
  const bool zero = integer.find_first_not_of('0') == std::string::npos &&
                    fraction.find_first_not_of('0') == std::string::npos;
  if (value < 0 && !zero) out.insert(out.begin(), '-');
  return out;
}

}  // namespace

const TNumberSeparators& LocaleSeparators() { return Separators(); }

void LoadLocaleSeparators() {
  static std::once_flag once;
  std::call_once(once, [] {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string keep = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
      const std::lconv* lc = std::localeconv();
      TNumberSeparators s;
      if (lc->decimal_point && *lc->decimal_point) s.Decimal = lc->decimal_point;
      // Grouping in threes is what the number forms ask for; a locale without grouping has none.
      if (lc->thousands_sep && lc->grouping && *lc->grouping > 0) s.Thousands = lc->thousands_sep;
      Separators() = s;
    }
    std::setlocale(LC_NUMERIC, keep.c_str());
  });
}

std::string FormatGrouped(double value, int decimals, const TNumberSeparators& s) {
  return Compose(value, decimals, s, true);
}

std::string FormatPlain(double value, int decimals, const TNumberSeparators& s) {
  return Compose(value, decimals, s, false);
}

std::string SectorsToMB(int64_t sectors, const TNumberSeparators& s) {
  return FormatGrouped(static_cast<double>(sectors) * 2048.0 / 1024.0 / 1024.0, 2, s);
}

std::string SpeedText(double kbPerSecond, const TNumberSeparators& s) {
  std::string text(1, ' ');
  text += FormatGrouped(kbPerSecond, 0, s);
  text += " KB/s";
  return text;
}

std::string FormatSize(uint64_t kb, const TNumberSeparators& s) {
  static const std::array<const char*, 7> units = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  // kb x 1024 as a 64-bit count: sizes beyond 16 EiB wrap as they always have.
  double value = static_cast<double>(kb * 1024u);
  size_t i = 0;
  while (value >= 1024) {
    value /= 1024;
    ++i;
  }
  if (value >= 1000) {
    value /= 1024;
    ++i;
  }
  if (i >= units.size()) return "too large";
  return FormatPlain(value, 2, s) + " " + units[i];
}

std::string LogTime(const plat::TSystemTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", int(t.Hour), int(t.Minute), int(t.Second),
                int(t.Milliseconds));
  return buf;
}

std::string LogLine(const std::string& text) { return LogTime(plat::UtcNow()) + text; }

}  // namespace cli
