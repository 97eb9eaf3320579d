#pragma once
// Helpers of the UDF tests: trees built through the tree's own insertion primitive, and an
// independent reading of descriptor tags and identifiers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/qvpTree.h"
#include "tests/image/image_test_support.h"

using namespace img;

namespace udftest {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) { return Get16(p) | uint32_t{Get16(p + 2)} << 16; }
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | uint64_t{Get32(p + 4)} << 32; }

// Bit-at-a-time CRC-16 (polynomial 0x1021, initial 0), independent of the program's tables.
inline uint16_t BitwiseCrc(const uint8_t* p, size_t n) {
  uint32_t c = 0;
  for (size_t i = 0; i < n; ++i) {
    c ^= uint32_t{p[i]} << 8;
    for (int k = 0; k < 8; ++k) c = (c & 0x8000) ? ((c << 1) ^ 0x1021) & 0xFFFF : (c << 1) & 0xFFFF;
  }
  return static_cast<uint16_t>(c);
}

// A descriptor tag: identifier, version 2, serial 1, location, CRC length, CRC and checksum.
inline void ExpectTag(const uint8_t* d, uint16_t ident, uint32_t location, uint16_t crcLength) {
  EXPECT_EQ(Get16(d), ident);
  EXPECT_EQ(Get16(d + 2), 2);
  EXPECT_EQ(d[5], 0);
  EXPECT_EQ(Get16(d + 6), 1);
  EXPECT_EQ(Get16(d + 10), crcLength) << "tag " << ident;
  EXPECT_EQ(Get32(d + 12), location) << "tag " << ident;
  EXPECT_EQ(Get16(d + 8), BitwiseCrc(d + 16, crcLength)) << "CRC of tag " << ident;
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i)
    if (i != 4) sum = static_cast<uint8_t>(sum + d[i]);
  EXPECT_EQ(d[4], sum) << "checksum of tag " << ident;
}

// Size of the file identifier descriptor at f.
inline size_t IdentifierSize(const uint8_t* f) {
  return (38 + f[19] + Get16(f + 36) + 3) & ~size_t{3};
}

// Text of a CS0 identifier with compression 8 or 16.
inline std::u16string DecodeCs0(const uint8_t* p, size_t n) {
  std::u16string s;
  if (n == 0) return s;
  if (p[0] == 8) {
    for (size_t i = 1; i < n; ++i) s += char16_t(p[i]);
  } else {
    EXPECT_EQ(p[0], 16);
    for (size_t i = 1; i + 1 < n; i += 2) s += char16_t(p[i] << 8 | p[i + 1]);
  }
  return s;
}

using imgtest::AddDir;
using imgtest::AddFile;
using imgtest::Record;

// A tree of about n entries: nested folders, names of 1 to 217 characters (Czech letters among
// them, long ones sharing a prefix so their cut forms collide), empty, small, 1 GiB and 4 GiB
// files, and a few fixed extents.
inline void BuildRandomTree(TImageBuilder& b, std::mt19937& rng, int n) {
  static const std::u16string letters = u"abcdefghijklmnopqrstuvwxyz0123456789 ěščřžýáíéůúĚŠČŘŽ";
  const std::u16string shared(130, u'p');
  std::vector<TDirNode*> dirs = {b.Root};
  auto pick = [&](uint32_t k) { return std::uniform_int_distribution<uint32_t>(0, k - 1)(rng); };
  for (int i = 0; i < n; ++i) {
    std::u16string name;
    const uint32_t kind = pick(10);
    const uint32_t len = kind == 0 ? 90 + pick(128) : 1 + pick(40);
    for (uint32_t k = 0; k < len; ++k) name += letters[pick(static_cast<uint32_t>(letters.size()))];
    if (kind == 1) name = shared + name;
    if (name.size() > 217) name.resize(217);
    TDirNode* dir = dirs[pick(static_cast<uint32_t>(dirs.size()))];
    if (pick(5) == 0) {
      plat::TFindData fd = Record(name, 0, plat::kAttrDirectory);
      if (TDirNode* d = AddSubdirectory(b, dir, fd)) dirs.push_back(d);
      continue;
    }
    static const uint64_t sizes[] = {
        0, 1, 2047, 2048, 2049, 100000, 1ull << 30, (1ull << 30) - 1, 5ull << 30, 0x3FFFF800};
    const uint64_t size = sizes[pick(10)];
    plat::TFindData fd = Record(name, size);
    AddEntry(b, dir, fd, false, pick(15) == 0 ? 300 + pick(1000) : 0, u"/nowhere/source");
  }
}

}  // namespace udftest
