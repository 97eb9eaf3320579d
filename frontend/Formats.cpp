#include "frontend/Formats.h"

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace fe {
namespace {

TNumberSeparators& Separators() {
  static TNumberSeparators s;
  return s;
}

// Digits of |value| rounded to `decimals` places, half away from zero as the number forms
// round, as "integer" and "fraction" parts. The decision is taken on the value's exact decimal
// expansion (which the C library prints in full), so 4482.625 gives 4482.63, not the even 4482.62.
void SplitDigits(double value, int decimals, std::string& integer, std::string& fraction) {
  char buf[512];
  // The C locale is in force, so the formatted number always has '.' as its decimal point. Sixty
  // more places hold every fraction digit of a double of 1 or more.
  std::snprintf(buf, sizeof buf, "%.*f", decimals + 60, std::fabs(value));
  const std::string text(buf);
  const size_t dot = text.find('.');
  std::string digits = text.substr(0, dot) + text.substr(dot + 1, static_cast<size_t>(decimals));
  if (text[dot + 1 + static_cast<size_t>(decimals)] >= '5') {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i - 1];
  }
  integer = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
  fraction = digits.substr(digits.size() - static_cast<size_t>(decimals));
}

std::string Compose(double value, int decimals, const TNumberSeparators& s, bool group) {
  std::string integer, fraction;
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

void SetLocaleSeparators(const TNumberSeparators& s) { Separators() = s; }

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

std::string BlocksToMB(uint32_t blocks, const TNumberSeparators& s) {
  return FormatGrouped(static_cast<double>(blocks) / 512.0, 2, s);
}

std::string SpeedText(double kbPerSecond, const TNumberSeparators& s) {
  return " " + FormatGrouped(kbPerSecond, 0, s) + " KB/s";
}

std::string FormatSize(uint64_t kb, const TNumberSeparators& s) {
  static const std::array<const char*, 7> units = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(kb) * 1024.0;
  size_t i = 0;
  while (value >= 1024.0) {
    value /= 1024.0;
    ++i;
  }
  if (value >= 1000.0) {
    value /= 1024.0;
    ++i;
  }
  if (i >= units.size()) return "too large";
  return FormatPlain(value, 2, s) + " " + units[i];
}

int64_t RoundHalfEven(double value) {
  const double down = std::floor(value);
  const double diff = value - down;
  const auto d = static_cast<int64_t>(down);
  if (diff > 0.5) return d + 1;
  if (diff < 0.5) return d;
  return d % 2 == 0 ? d : d + 1;
}

std::string LogTime(const plat::TSystemTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", int(t.Hour), int(t.Minute), int(t.Second),
                int(t.Milliseconds));
  return buf;
}

std::string ShortLogTime(const plat::TSystemTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%03d", int(t.Minute), int(t.Second),
                int(t.Milliseconds));
  return buf;
}

std::string LogLine(const std::string& text) { return LogTime(plat::UtcNow()) + text; }

std::string EnsureTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace fe
