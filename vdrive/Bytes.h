#pragma once
// Big-endian field access for command blocks and the answers built for them.
#include <cstddef>
#include <cstdint>

namespace vdrive {

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void Put24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// CD addresses in minutes, seconds and frames: LBA 0 is 00:02:00 (the 150-block pre-gap).
inline void PutMsf(uint8_t* p, int64_t lba) {
  const int64_t f = lba + 150;
  p[0] = 0;
  p[1] = static_cast<uint8_t>(f / (60 * 75));
  p[2] = static_cast<uint8_t>(f / 75 % 60);
  p[3] = static_cast<uint8_t>(f % 75);
}

}  // namespace vdrive
