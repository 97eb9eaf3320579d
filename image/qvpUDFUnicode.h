#pragma once
// OSTA CS0 text of the UDF bridge: compression 16 (UCS-2 big-endian after the compression
// byte) for every name, d-strings, and the cutting of names that an identifier cannot hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace img {

// An identifier length is one byte, so with compression 16 at most 127 UTF-16 units fit.
constexpr size_t kUdfMaxNameLength = 127;

// Writes compression byte 16 and the units big-endian; returns the byte count 2n + 1, or 0 (and
// writes nothing) for an empty text, which UDF records as no bytes at all.
size_t UdfCs0Encode(std::u16string_view s, uint8_t* out);
// A d-string field: the CS0 bytes, zeros, and the byte count in the field's last byte (all zero
// for an empty text). cs0Length must be below fieldLength.
void UdfPutDString(uint8_t* field, size_t fieldLength, const uint8_t* cs0, size_t cs0Length);

// Length of the longest prefix of s of at most max units that does not end inside a surrogate
// pair.
size_t UdfCutLength(std::u16string_view s, size_t max);

// A name of at most kUdfMaxNameLength units for a longer one. Attempt 0 cuts the name, keeping
// a short extension (the last dot and up to 15 units after it); attempt k > 0 puts "~k" before
// the extension, so a caller can try attempts until the result is unique in its folder.
std::u16string UdfShortenName(std::u16string_view name, uint32_t attempt);

}  // namespace img
