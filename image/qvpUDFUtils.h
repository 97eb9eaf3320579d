#pragma once
// Small helpers of the UDF bridge: little-endian stores (every UDF number is little-endian),
// sector arithmetic and the sizes of file identifier descriptors.
#include <cstdint>
#include <cstring>

#include "image/qvpCommonLib.h"

namespace img {

constexpr uint32_t kUdfSectorSize = 2048;

inline void UdfPut16(uint8_t* p, uint16_t v) { PutLE16(p, v); }
inline void UdfPut32(uint8_t* p, uint32_t v) { PutLE32(p, v); }
inline void UdfPut64(uint8_t* p, uint64_t v) {
  PutLE32(p, static_cast<uint32_t>(v));
  PutLE32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline uint16_t UdfGet16(const uint8_t* p) { return GetLE16(p); }
inline uint32_t UdfGet32(const uint8_t* p) { return GetLE32(p); }
inline uint64_t UdfGet64(const uint8_t* p) {
  return static_cast<uint64_t>(GetLE32(p)) | (static_cast<uint64_t>(GetLE32(p + 4)) << 32);
}

// Sectors that n bytes occupy: n / 2048 rounded up, 0 for 0.
constexpr uint64_t UdfSectors(uint64_t n) { return (n + kUdfSectorSize - 1) / kUdfSectorSize; }

// Size of a file identifier descriptor whose identifier is nameLength UTF-16 units recorded in
// CS0 with compression 16 (2n + 1 bytes): 38 fixed bytes plus the identifier, rounded up to a
// multiple of 4. The parent identifier (no name) is 40.
constexpr uint32_t UdfIdentifierSize(uint32_t nameLength) {
  const uint32_t raw = 38 + (nameLength ? 2 * nameLength + 1 : 0);
  return (raw + 3) & ~3u;
}
constexpr uint32_t kUdfParentIdentifierSize = 40;
// Largest descriptor: a 255-byte identifier.
constexpr uint32_t kUdfMaxIdentifierSize = UdfIdentifierSize(127);

}  // namespace img
