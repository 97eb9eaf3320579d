#pragma once
// The one time stamp of an image, in the ECMA-167 form.
#include <cstdint>

#include "image/qvpUDFTypes.h"
#include "platform/Clock.h"

namespace img {

// Type 1 (local time) with offset 0, so the fields are UTC; centiseconds and finer fields 0.
TUdfTimestamp UdfTimestampFromUtc(const plat::TSystemTime& utc);
TUdfTimestamp UdfTimestampNow();
// The 12 bytes on disc.
void UdfPutTimestamp(uint8_t* p, const TUdfTimestamp& t);

}  // namespace img
