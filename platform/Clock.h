#pragma once
// The program's one source of time. Every sleep, millisecond tick and performance-counter
// reading of the engine, the jobs and the virtual recorder goes through here, so tests can run
// the clock scaled (a 5000 ms drive poll then costs 5 ms of real time).
#include <cstdint>

namespace plat {

// Calendar time split into fields, 16 bits each (DayOfWeek: 0 = Sunday).
struct TSystemTime {
  uint16_t Year = 0, Month = 0, DayOfWeek = 0, Day = 0;
  uint16_t Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

// 100-nanosecond intervals since 1601-01-01 00:00 UTC.
struct TFileTime {
  uint64_t Value = 0;
};

// Time-zone record with the usual sign conventions: UTC = local time + Bias (minutes), so
// Central Europe has Bias = -60 and DaylightBias = -60; StandardBias is 0.
struct TTimeZoneInfo {
  int32_t Bias = 0;
  int32_t StandardBias = 0;
  int32_t DaylightBias = 0;
};

TSystemTime UtcNow();
TSystemTime LocalNow();
TFileTime FileTimeNow();
TTimeZoneInfo GetTimeZoneInfo();

TFileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
bool FileTimeToUtc(TFileTime ft, TSystemTime& out);
// Converts to local time with the rules in effect at that instant; utcOffsetMinutes (when
// given) receives local - UTC at that instant (+60 in Prague in winter, +120 in summer).
bool FileTimeToLocal(TFileTime ft, TSystemTime& out, int32_t* utcOffsetMinutes = nullptr);
TFileTime SystemTimeToFileTime(const TSystemTime& utc);

// Milliseconds since an arbitrary start, on the (possibly scaled) clock.
uint32_t TickCount();
// High-resolution counter on the (possibly scaled) clock, and its ticks per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();
// Sleeps for ms milliseconds of clock time.
void Sleep(uint32_t ms);

// Test facility: clock time runs `factor` times faster than real time (1 = off, the default).
// Wall-clock dates (UtcNow, LocalNow) are never scaled.
void SetClockScale(double factor);
double ClockScale();
// Real nanoseconds that correspond to ms of clock time (for timed waits on condition variables).
int64_t ClockMsToRealNs(uint32_t ms);

}  // namespace plat
