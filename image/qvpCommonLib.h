#pragma once
// Sector arithmetic and the byte orders of the recorded structures.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace img {

// Sectors of 2048 bytes that n bytes occupy: n / 2048 rounded up, 0 for 0.
constexpr uint32_t Sectors(uint64_t n) { return static_cast<uint32_t>((n + 2047) / 2048); }

inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutBE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}
// Both-endian numbers: little-endian followed by big-endian.
inline void PutBoth16(uint8_t* p, uint16_t v) {
  PutLE16(p, v);
  PutBE16(p + 2, v);
}
inline void PutBoth32(uint8_t* p, uint32_t v) {
  PutLE32(p, v);
  PutBE32(p + 4, v);
}
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint32_t GetBE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[3]) | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[0]) << 24;
}

// Writes the text as UCS-2 big-endian (high byte first); returns the bytes written.
size_t PutUcs2BE(uint8_t* p, std::u16string_view text);
// Copies ASCII text and upper-cases its letters; returns the bytes written.
size_t PutUpperAscii(uint8_t* p, std::string_view text);

}  // namespace img
