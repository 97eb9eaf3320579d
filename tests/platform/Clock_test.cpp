#include "platform/Clock.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

using namespace plat;

namespace {

// Runs a test body in a named time zone and puts the previous one back afterwards.
class TZone {
 public:
  explicit TZone(const char* tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

std::string Fmt(const TSystemTime& t) {
  char buf[64];
  snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", t.Year, t.Month, t.Day,
           t.Hour, t.Minute, t.Second, t.Milliseconds, t.DayOfWeek);
  return buf;
}

// Restores the real-time clock after a scaled test.
struct TScaleGuard {
  ~TScaleGuard() { SetClockScale(1.0); }
};

}  // namespace

TEST(TimeZone, SignConventions) {
  {
    TZone z("Europe/Prague");
    const TTimeZoneInfo tz = GetTimeZoneInfo();
    EXPECT_EQ(tz.Bias, -60);
    EXPECT_EQ(tz.StandardBias, 0);
    EXPECT_EQ(tz.DaylightBias, -60);
  }
  {
    TZone z("America/New_York");
    EXPECT_EQ(GetTimeZoneInfo().Bias, 300);
    EXPECT_EQ(GetTimeZoneInfo().DaylightBias, -60);
  }
  {
    // Daylight time in January: the standard offset is July's.
    TZone z("Australia/Sydney");
    EXPECT_EQ(GetTimeZoneInfo().Bias, -600);
    EXPECT_EQ(GetTimeZoneInfo().DaylightBias, -60);
  }
  {
    // Winter is the zone's "daylight" time here (negative saving); the signs stay the usual ones.
    TZone z("Europe/Dublin");
    EXPECT_EQ(GetTimeZoneInfo().Bias, 0);
    EXPECT_EQ(GetTimeZoneInfo().DaylightBias, -60);
  }
  {
    TZone z("UTC");
    EXPECT_EQ(GetTimeZoneInfo().Bias, 0);
    EXPECT_EQ(GetTimeZoneInfo().DaylightBias, 0);
  }
}

TEST(TimeZone, LocalTimeUsesTheRulesOfThatInstant) {
  TZone z("Europe/Prague");
  TSystemTime t;
  int32_t off = 0;
  ASSERT_TRUE(FileTimeToLocal(TFileTime{133497936000000000ULL}, t, &off));  // 2024-01-15 12:00 UTC
  EXPECT_EQ(Fmt(t), "2024-01-15 13:00:00.000 w1");
  EXPECT_EQ(off, 60);
  ASSERT_TRUE(FileTimeToLocal(TFileTime{133655184000000000ULL}, t, &off));  // 2024-07-15 12:00 UTC
  EXPECT_EQ(Fmt(t), "2024-07-15 14:00:00.000 w1");
  EXPECT_EQ(off, 120);
  // Either side of the spring change (01:00 UTC on 2024-03-31).
  ASSERT_TRUE(FileTimeToLocal(TFileTime{133563203990000000ULL}, t, &off));
  EXPECT_EQ(Fmt(t), "2024-03-31 01:59:59.000 w0");
  EXPECT_EQ(off, 60);
  ASSERT_TRUE(FileTimeToLocal(TFileTime{133563204000000000ULL}, t, &off));
  EXPECT_EQ(Fmt(t), "2024-03-31 03:00:00.000 w0");
  EXPECT_EQ(off, 120);
}

TEST(FileTimes, ConversionsAgainstKnownInstants) {
  TSystemTime t;
  ASSERT_TRUE(FileTimeToUtc(TFileTime{0}, t));
  EXPECT_EQ(Fmt(t), "1601-01-01 00:00:00.000 w1");
  ASSERT_TRUE(FileTimeToUtc(TFileTime{116444736000000000ULL}, t));
  EXPECT_EQ(Fmt(t), "1970-01-01 00:00:00.000 w4");
  ASSERT_TRUE(FileTimeToUtc(TFileTime{125963423987654321ULL}, t));
  EXPECT_EQ(Fmt(t), "2000-02-29 23:59:58.765 w2");
  EXPECT_FALSE(FileTimeToUtc(TFileTime{0x8000000000000000ULL}, t));

  EXPECT_EQ(FileTimeFromUnix(0, 0).Value, 116444736000000000ULL);
  EXPECT_EQ(FileTimeFromUnix(951868798, 999999999).Value, 125963423989999999ULL);
  EXPECT_EQ(FileTimeFromUnix(951868799, -1).Value, 125963423989999999ULL);  // normalised
  EXPECT_EQ(FileTimeFromUnix(-11644473601LL, 0).Value, 0u);                 // before 1601: clamped

  TSystemTime s;
  s.Year = 2000;
  s.Month = 2;
  s.Day = 29;
  s.Hour = 23;
  s.Minute = 59;
  s.Second = 58;
  s.Milliseconds = 765;
  EXPECT_EQ(SystemTimeToFileTime(s).Value, 125963423987650000ULL);
}

TEST(ScaledClock, SleepsAndTicksRunOnClockTime) {
  TScaleGuard guard;
  SetClockScale(1000);
  EXPECT_EQ(ClockScale(), 1000.0);
  const uint32_t t0 = TickCount();
  const int64_t p0 = PerformanceCounter();
  Sleep(5000);  // 5 ms of real time
  const uint32_t t1 = TickCount();
  const int64_t p1 = PerformanceCounter();
  EXPECT_GE(t1 - t0, 5000u);
  EXPECT_GE(p1 - p0, 5 * PerformanceFrequency());
  EXPECT_GE(ClockMsToRealNs(5000), 5000000);
  EXPECT_LE(ClockMsToRealNs(5000), 5000002);

  // Changing the scale never moves the clock backwards.
  SetClockScale(1.0);
  const uint32_t t2 = TickCount();
  EXPECT_GE(t2, t1);
  EXPECT_GE(ClockMsToRealNs(5), 5000000);
  SetClockScale(0);  // nonsense falls back to real time
  EXPECT_EQ(ClockScale(), 1.0);
}
