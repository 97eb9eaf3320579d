#pragma once
// Number, size and time texts in the forms the program shows them, with the decimal and thousands
// separators of the process locale (taken once at start; the C locale has no thousands separator).
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace cli {

struct TNumberSeparators {
  std::string Decimal = ".";
  std::string Thousands;  // empty: no grouping
};

// The separators of the user's locale (LC_NUMERIC from the environment). The process itself keeps
// the C locale, so libraries that print numbers into files are not affected.
const TNumberSeparators& LocaleSeparators();
// Reads the user's separators; called once by main.
void LoadLocaleSeparators();

// "#,##0.00"-style: thousands grouped in threes, `decimals` places, rounded half away from zero.
std::string FormatGrouped(double value, int decimals, const TNumberSeparators& s = LocaleSeparators());
// "0.00"-style: no grouping.
std::string FormatPlain(double value, int decimals, const TNumberSeparators& s = LocaleSeparators());

// Megabytes of a count of 2048-byte sectors, "#,##0.00".
std::string SectorsToMB(int64_t sectors, const TNumberSeparators& s = LocaleSeparators());
// " #,##0 KB/s": a speed with its leading blank.
std::string SpeedText(double kbPerSecond, const TNumberSeparators& s = LocaleSeparators());

// A size in KB shown with two decimals and the unit from "B" to "EB": the value in bytes is
// divided by 1024 while it is at least 1024, and once more when it is then at least 1000
// (1,000 KB gives "0.98 MB"). "too large" past exabytes.
std::string FormatSize(uint64_t kb, const TNumberSeparators& s = LocaleSeparators());

// "hh:mm:ss.zzz" of a UTC time: the stamp of every log line.
std::string LogTime(const plat::TSystemTime& t);
// A log line: the current UTC time, then the text (which begins with " >>> ").
std::string LogLine(const std::string& text);

}  // namespace cli
