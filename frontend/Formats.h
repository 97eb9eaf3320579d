#pragma once
// Number, size and time texts in the forms the program shows them. The separators are the
// caller's: a window passes its toolkit's locale, the command line the process locale (taken
// once at start; the C locale has no thousands separator).
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace fe {

struct TNumberSeparators {
  std::string Decimal = ".";
  std::string Thousands;  // empty: no grouping
};

// The separators that apply when none are given: the C locale's until SetLocaleSeparators or
// LoadLocaleSeparators.
const TNumberSeparators& LocaleSeparators();
void SetLocaleSeparators(const TNumberSeparators& s);
// Reads the user's separators (LC_NUMERIC from the environment) once. The process itself keeps
// the C locale, so libraries that print numbers into files are not affected.
void LoadLocaleSeparators();

// "#,##0.00"-style: thousands grouped in threes, `decimals` places.
std::string FormatGrouped(double value, int decimals,
                          const TNumberSeparators& s = LocaleSeparators());
// "0.00"-style: no grouping.
std::string FormatPlain(double value, int decimals,
                        const TNumberSeparators& s = LocaleSeparators());
// Megabytes of a count of 2048-byte sectors, "#,##0.00".
std::string SectorsToMB(int64_t sectors, const TNumberSeparators& s = LocaleSeparators());
// Megabytes of a count of 2048-byte blocks as the report and the capacity line show them:
// blocks / 512, "#,##0.00".
std::string BlocksToMB(uint32_t blocks, const TNumberSeparators& s = LocaleSeparators());
// " #,##0 KB/s": a speed with its leading blank.
std::string SpeedText(double kbPerSecond, const TNumberSeparators& s = LocaleSeparators());

// A size in KB shown with two decimals and the unit from "B" to "EB" ("1.00 KB", "0.98 MB"): the
// value in bytes is divided by 1024 while it is at least 1024, and once more when it is then at
// least 1000. Counted in floating point from the start, so no KB figure wraps; "too large" past
// exabytes.
std::string FormatSize(uint64_t kb, const TNumberSeparators& s = LocaleSeparators());

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
int64_t RoundHalfEven(double value);

// "hh:mm:ss.zzz" of a UTC time: the stamp of every log line.
std::string LogTime(const plat::TSystemTime& t);
// "mm:ss.zzz": the smart-reference line's shorter stamp.
std::string ShortLogTime(const plat::TSystemTime& t);
// A log line: the current UTC time, then the text (which begins with " >>> ").
std::string LogLine(const std::string& text);

// The folder with one trailing '/' (kept when it already ends with one).
std::string EnsureTrailingSlash(std::string folder);

}  // namespace fe
