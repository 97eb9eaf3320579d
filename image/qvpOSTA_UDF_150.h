#pragma once
// The OSTA UDF 1.50 identifiers the bridge records.
#include <cstdint>

namespace img {

constexpr uint16_t kUdfRevision = 0x0150;

// charspec type 0, "OSTA Compressed Unicode" (64 bytes).
void OstaPutCharspec(uint8_t* p);
// This program's implementation identifier (32 bytes).
void OstaPutImplementationId(uint8_t* p);
// "*OSTA UDF Compliant", revision 1.50; the logical volume descriptor also records the domain
// flags 3 (hard and soft write protection) (32 bytes).
void OstaPutDomainId(uint8_t* p, bool withDomainFlags);
// Implementation use volume descriptor identifier "*UDF LV Info" (32 bytes).
void OstaPutLvInfoId(uint8_t* p);
// Partition contents "+NSR02" (32 bytes).
void OstaPutNsrContents(uint8_t* p);

}  // namespace img
