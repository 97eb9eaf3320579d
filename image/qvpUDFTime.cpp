#include "image/qvpUDFTime.h"

#include "image/qvpUDFUtils.h"

namespace img {

TUdfTimestamp UdfTimestampFromUtc(const plat::TSystemTime& utc) {
  TUdfTimestamp t;
  t.TypeAndTimezone = 0x1000;
  t.Year = static_cast<int16_t>(utc.Year);
  t.Month = static_cast<uint8_t>(utc.Month);
  t.Day = static_cast<uint8_t>(utc.Day);
  t.Hour = static_cast<uint8_t>(utc.Hour);
  t.Minute = static_cast<uint8_t>(utc.Minute);
  t.Second = static_cast<uint8_t>(utc.Second);
  return t;
}

TUdfTimestamp UdfTimestampNow() { return UdfTimestampFromUtc(plat::UtcNow()); }

void UdfPutTimestamp(uint8_t* p, const TUdfTimestamp& t) {
  UdfPut16(p, t.TypeAndTimezone);
  UdfPut16(p + 2, static_cast<uint16_t>(t.Year));
  p[4] = t.Month;
  p[5] = t.Day;
  p[6] = t.Hour;
  p[7] = t.Minute;
  p[8] = t.Second;
  p[9] = t.Centiseconds;
  p[10] = t.HundredsOfMicroseconds;
  p[11] = t.Microseconds;
}

}  // namespace img
