#pragma once
// CRC-16 of UDF descriptor tags: polynomial 0x1021 (x^16 + x^12 + x^5 + 1), initial value 0,
// no reflection, no final inversion.
#include <cstddef>
#include <cstdint>

namespace img {

uint16_t UdfCrc16(const uint8_t* data, size_t length, uint16_t crc = 0);
// The CRC after `count` further zero bytes, in logarithmic time: most of a file entry is zero
// padding, and this keeps its CRC from costing a pass over 2 KiB per file.
uint16_t UdfCrc16Zeros(uint16_t crc, size_t count);

}  // namespace img
