#include "platform/Clock.h"

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <mutex>

namespace plat {
namespace {

constexpr int64_t kNsPerSec = 1000000000;
constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kTicksPerSec = 10000000;  // file-time units (100 ns) per second
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDelta = 11644473600;
constexpr int64_t kPerfFrequency = 10000000;

int64_t RealMonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
}

// The clock runs at `scale` times real time from an anchor; changing the scale re-anchors, so the
// clock never jumps or runs backwards.
struct TScaledClock {
  std::mutex m;
  double scale = 1.0;
  int64_t realAnchor = RealMonotonicNs();
  int64_t clockAnchor = 0;

  int64_t NowLocked(int64_t real) const {
    const int64_t elapsed = real - realAnchor;
    if (scale == 1.0) return clockAnchor + elapsed;
    return clockAnchor + static_cast<int64_t>(static_cast<long double>(elapsed) * scale);
  }
};

TScaledClock& Clock() {
  static TScaledClock c;
  return c;
}

// Clock time in nanoseconds since the process's first clock use.
int64_t ClockNs() {
  TScaledClock& c = Clock();
  std::lock_guard<std::mutex> g(c.m);
  return c.NowLocked(RealMonotonicNs());
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (valid far beyond 1601..30827).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

TSystemTime FromTm(const tm& t, long nanoseconds) {
  TSystemTime s;
  s.Year = static_cast<uint16_t>(t.tm_year + 1900);
  s.Month = static_cast<uint16_t>(t.tm_mon + 1);
  s.DayOfWeek = static_cast<uint16_t>(t.tm_wday);
  s.Day = static_cast<uint16_t>(t.tm_mday);
  s.Hour = static_cast<uint16_t>(t.tm_hour);
  s.Minute = static_cast<uint16_t>(t.tm_min);
  s.Second = static_cast<uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);  // no leap seconds here
  s.Milliseconds = static_cast<uint16_t>(nanoseconds / kNsPerMs);
  return s;
}

timespec RealNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return ts;
}

void EnsureTzset() {
  static std::once_flag once;
  std::call_once(once, [] { tzset(); });
}

// Local offset (seconds east of UTC) and whether daylight time is in effect at a Unix instant.
bool LocalOffsetAt(int64_t unixSeconds, long& gmtoff, bool& isDst) {
  EnsureTzset();
  const time_t t = static_cast<time_t>(unixSeconds);
  tm lt{};
  if (!localtime_r(&t, &lt)) return false;
  gmtoff = lt.tm_gmtoff;
  isDst = lt.tm_isdst > 0;
  return true;
}

}  // namespace

TSystemTime UtcNow() {
  const timespec ts = RealNow();
  tm t{};
  gmtime_r(&ts.tv_sec, &t);
  return FromTm(t, ts.tv_nsec);
}

TSystemTime LocalNow() {
  EnsureTzset();
  const timespec ts = RealNow();
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  return FromTm(t, ts.tv_nsec);
}

TFileTime FileTimeNow() {
  const timespec ts = RealNow();
  return FileTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

TTimeZoneInfo GetTimeZoneInfo() {
  EnsureTzset();
  TTimeZoneInfo tz;
  // Sample the middle of January and of July of this year: where the zone has daylight time,
  // one of them has it (either hemisphere). The smaller offset is taken as standard time, so
  // zones that call their summer time "standard" (negative daylight saving) still read with
  // the usual signs.
  const time_t now = time(nullptr);
  tm lt{};
  localtime_r(&now, &lt);
  const int64_t year = lt.tm_year + 1900;
  const int64_t jan = DaysFromCivil(year, 1, 15) * 86400 + 12 * 3600;
  const int64_t jul = DaysFromCivil(year, 7, 15) * 86400 + 12 * 3600;
  long offJan = 0, offJul = 0;
  bool dstJan = false, dstJul = false;
  if (!LocalOffsetAt(jan, offJan, dstJan) || !LocalOffsetAt(jul, offJul, dstJul)) {
    tz.Bias = static_cast<int32_t>(timezone / 60);
    return tz;
  }
  const long standard = std::min(offJan, offJul);
  const long daylight = std::max(offJan, offJul);
  // UTC = local + Bias, so the bias is minus the offset east of UTC.
  tz.Bias = static_cast<int32_t>(-standard / 60);
  tz.StandardBias = 0;
  tz.DaylightBias = static_cast<int32_t>(-(daylight - standard) / 60);
  return tz;
}

TFileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  // Normalise the nanoseconds into [0, 1 s).
  seconds += nanoseconds / kNsPerSec;
  nanoseconds %= kNsPerSec;
  if (nanoseconds < 0) {
    nanoseconds += kNsPerSec;
    --seconds;
  }
  const int64_t since1601 = seconds + kEpochDelta;
  if (since1601 < 0) return TFileTime{0};
  if (since1601 > static_cast<int64_t>(INT64_MAX / kTicksPerSec) - 1)
    return TFileTime{static_cast<uint64_t>(INT64_MAX)};
  return TFileTime{static_cast<uint64_t>(since1601 * kTicksPerSec + nanoseconds / 100)};
}

bool FileTimeToUtc(TFileTime ft, TSystemTime& out) {
  if (ft.Value >= 0x8000000000000000ULL) return false;
  const int64_t total = static_cast<int64_t>(ft.Value);
  const int64_t secs = total / kTicksPerSec;
  const int64_t rem = total % kTicksPerSec;
  const int64_t unixSecs = secs - kEpochDelta;
  int64_t days = unixSecs / 86400;
  int64_t sod = unixSecs % 86400;
  if (sod < 0) {
    sod += 86400;
    --days;
  }
  int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  if (y > 30827) return false;
  out.Year = static_cast<uint16_t>(y);
  out.Month = static_cast<uint16_t>(m);
  out.Day = static_cast<uint16_t>(d);
  // 1970-01-01 was a Thursday.
  int64_t wd = (days + 4) % 7;
  if (wd < 0) wd += 7;
  out.DayOfWeek = static_cast<uint16_t>(wd);
  out.Hour = static_cast<uint16_t>(sod / 3600);
  out.Minute = static_cast<uint16_t>(sod % 3600 / 60);
  out.Second = static_cast<uint16_t>(sod % 60);
  out.Milliseconds = static_cast<uint16_t>(rem / 10000);
  return true;
}

bool FileTimeToLocal(TFileTime ft, TSystemTime& out, int32_t* utcOffsetMinutes) {
  if (ft.Value >= 0x8000000000000000ULL) return false;
  const int64_t unixSecs = static_cast<int64_t>(ft.Value / kTicksPerSec) - kEpochDelta;
  long gmtoff = 0;
  bool isDst = false;
  if (!LocalOffsetAt(unixSecs, gmtoff, isDst)) gmtoff = -timezone;
  const int64_t shifted =
      static_cast<int64_t>(ft.Value) + static_cast<int64_t>(gmtoff) * kTicksPerSec;
  if (shifted < 0) return false;
  if (!FileTimeToUtc(TFileTime{static_cast<uint64_t>(shifted)}, out)) return false;
  if (utcOffsetMinutes) *utcOffsetMinutes = static_cast<int32_t>(gmtoff / 60);
  return true;
}

TFileTime SystemTimeToFileTime(const TSystemTime& utc) {
  const int64_t days = DaysFromCivil(utc.Year, utc.Month, utc.Day);
  const int64_t secs = days * 86400 + utc.Hour * 3600 + utc.Minute * 60 + utc.Second;
  return FileTimeFromUnix(secs, static_cast<int64_t>(utc.Milliseconds) * kNsPerMs);
}

uint32_t TickCount() { return static_cast<uint32_t>(static_cast<uint64_t>(ClockNs() / kNsPerMs)); }

int64_t PerformanceCounter() { return ClockNs() / (kNsPerSec / kPerfFrequency); }

int64_t PerformanceFrequency() { return kPerfFrequency; }

void Sleep(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  // Sleep until the clock has advanced by at least ms: a scale change in between is honoured
  // and a rounding shortfall is made up by another round.
  const int64_t target = ClockNs() + static_cast<int64_t>(ms) * kNsPerMs;
  for (;;) {
    const int64_t now = ClockNs();
    if (now >= target) return;
    const int64_t clockLeft = target - now;
    const double scale = ClockScale();
    int64_t realNs = static_cast<int64_t>(std::ceil(static_cast<double>(clockLeft) / scale));
    if (realNs < 1) realNs = 1;
    timespec ts{static_cast<time_t>(realNs / kNsPerSec), static_cast<long>(realNs % kNsPerSec)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }
}

void SetClockScale(double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) factor = 1.0;
  TScaledClock& c = Clock();
  std::lock_guard<std::mutex> g(c.m);
  const int64_t real = RealMonotonicNs();
  c.clockAnchor = c.NowLocked(real);
  c.realAnchor = real;
  c.scale = factor;
}

double ClockScale() {
  TScaledClock& c = Clock();
  std::lock_guard<std::mutex> g(c.m);
  return c.scale;
}

int64_t ClockMsToRealNs(uint32_t ms) {
  const double scale = ClockScale();
  const double ns = std::ceil(static_cast<double>(ms) * static_cast<double>(kNsPerMs) / scale);
  return ns < 1 ? (ms ? 1 : 0) : static_cast<int64_t>(ns) + 1;
}

}  // namespace plat
