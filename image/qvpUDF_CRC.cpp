#include "image/qvpUDF_CRC.h"

#include <array>

namespace img {

namespace {

// Tables for eight bytes at a time: Table[k][b] is the CRC state of byte b followed by k zero
// bytes.
struct TCrcTables {
  std::array<std::array<uint16_t, 256>, 8> Table{};
  // ZeroOp[i][j]: the state reached from the single bit j after 2^i zero bytes. The CRC is
  // linear over GF(2), so these 16 columns describe the whole operation.
  std::array<std::array<uint16_t, 16>, 64> ZeroOp{};

  static uint16_t Apply(const std::array<uint16_t, 16>& op, uint16_t s) {
    uint16_t r = 0;
    for (int j = 0; s; ++j, s >>= 1)
      if (s & 1) r ^= op[j];
    return r;
  }

  TCrcTables() {
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t c = b << 8;
      for (int i = 0; i < 8; ++i) c = (c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1;
      Table[0][b] = static_cast<uint16_t>(c);
    }
    for (int k = 1; k < 8; ++k)
      for (uint32_t b = 0; b < 256; ++b) {
        const uint16_t prev = Table[k - 1][b];
        Table[k][b] = static_cast<uint16_t>((prev << 8) ^ Table[0][prev >> 8]);
      }
    for (int j = 0; j < 16; ++j) {
      const uint16_t s = static_cast<uint16_t>(1u << j);
      ZeroOp[0][j] = static_cast<uint16_t>((s << 8) ^ Table[0][s >> 8]);
    }
    for (int i = 1; i < 64; ++i)
      for (int j = 0; j < 16; ++j) ZeroOp[i][j] = Apply(ZeroOp[i - 1], ZeroOp[i - 1][j]);
  }
};

const TCrcTables& Tables() {
  static const TCrcTables tables;
  return tables;
}

}  // namespace

uint16_t UdfCrc16(const uint8_t* data, size_t length, uint16_t crc) {
  const auto& t = Tables().Table;
  while (length >= 8) {
    crc = static_cast<uint16_t>(t[7][data[0] ^ (crc >> 8)] ^ t[6][data[1] ^ (crc & 0xFF)] ^
                                t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                t[1][data[6]] ^ t[0][data[7]]);
    data += 8;
    length -= 8;
  }
  while (length--) crc = static_cast<uint16_t>((crc << 8) ^ t[0][(crc >> 8) ^ *data++]);
  return crc;
}

uint16_t UdfCrc16Zeros(uint16_t crc, size_t count) {
  const auto& ops = Tables().ZeroOp;
  for (int i = 0; count && crc; ++i, count >>= 1)
    if (count & 1) crc = TCrcTables::Apply(ops[i], crc);
  return crc;
}

}  // namespace img
