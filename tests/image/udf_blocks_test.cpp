// UDF building blocks checked byte for byte: CRC-16, file identifiers and file entries with
// their tags and time stamps, CS0 text, d-strings and name cutting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/qvpECMA_167.h"
#include "image/qvpUDFArea.h"
#include "image/qvpUDFTime.h"
#include "image/qvpUDFUnicode.h"
#include "image/qvpUDFUtils.h"
#include "image/qvpUDF_CRC.h"
#include "tests/image/udf_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using udftest::BitwiseCrc;

namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return {p, p + n}; }

}  // namespace

TEST(UdfCrc, KnownVectorsSlicingAndZeroTail) {
  const char* text = "123456789";
  EXPECT_EQ(UdfCrc16(reinterpret_cast<const uint8_t*>(text), 9), 0x31C3);
  const uint8_t a = 'A';
  EXPECT_EQ(UdfCrc16(&a, 1), 0x58E5);
  EXPECT_EQ(UdfCrc16(nullptr, 0), 0);

  // Every length and alignment of the eight-byte slicing against the bit-wise form.
  const std::vector<uint8_t> data = testenv::RandomBytes(300, 7);
  for (size_t off = 0; off < 8; ++off)
    for (size_t len = 0; len + off <= data.size(); len += 13)
      ASSERT_EQ(UdfCrc16(data.data() + off, len), BitwiseCrc(data.data() + off, len))
          << off << " " << len;

  // Zero tails of many lengths, including more than a 16-bit count.
  for (size_t zeros : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{1864}, size_t{2032},
                       size_t{65537}, size_t{1} << 20}) {
    std::vector<uint8_t> padded(data.begin(), data.begin() + 40);
    padded.resize(40 + zeros, 0);
    EXPECT_EQ(UdfCrc16Zeros(UdfCrc16(data.data(), 40), zeros),
              BitwiseCrc(padded.data(), padded.size()))
        << zeros;
  }
}

TEST(UdfIdentifierDescriptor, ParentAndNamedIdentifiersByteForByte) {
  uint8_t p[kUdfMaxIdentifierSize];
  ASSERT_EQ(UdfWriteIdentifier(p, 5, kFidDirectory | kFidParent, {}, 3), 40u);
  const std::vector<uint8_t> parent = {0x01, 0x01, 0x02, 0x00, 0x4F, 0x00, 0x01, 0x00, 0x63, 0xCA,
                                       0x18, 0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00,
                                       0x00, 0x08, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(p, 40), parent);

  ASSERT_EQ(UdfWriteIdentifier(p, 7, 0, u"a", 9), 44u);
  const std::vector<uint8_t> named = {
      0x01, 0x01, 0x02, 0x00, 0x12, 0x00, 0x01, 0x00, 0x9B, 0x4F, 0x1C, 0x00, 0x07, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x08, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x61, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(p, 44), named);

  // The longest identifier: 127 characters give 255 bytes and a 296-byte descriptor.
  const std::u16string longest(127, u'x');
  ASSERT_EQ(UdfWriteIdentifier(p, 1, 0, longest, 2), kUdfMaxIdentifierSize);
  EXPECT_EQ(p[19], 255);
  EXPECT_EQ(UdfGet16(p + 10), kUdfMaxIdentifierSize - 16);
  EXPECT_EQ(UdfGet16(p + 8), BitwiseCrc(p + 16, kUdfMaxIdentifierSize - 16));
  EXPECT_EQ(UdfIdentifierSize(1), 44u);
  EXPECT_EQ(UdfIdentifierSize(2), 44u);
  EXPECT_EQ(UdfIdentifierSize(3), 48u);
}

TEST(UdfFileEntry, FixedFieldsOfASmallFile) {
  TUdfTimestamp t = UdfTimestampFromUtc({2024, 3, 5, 15, 13, 45, 30, 500});
  uint8_t s[kUdfSectorSize];
  std::memset(s, 0xEE, sizeof s);
  UdfWriteFileEntry(s, t, 300, kFileTypeFile, 1, 2049, 17, 1234);
  // Tag: file entry, CRC over the 2032 bytes after it, location 300.
  EXPECT_EQ(UdfGet16(s), 261);
  EXPECT_EQ(UdfGet16(s + 10), 2032);
  EXPECT_EQ(UdfGet32(s + 12), 300u);
  EXPECT_EQ(UdfGet16(s + 8), BitwiseCrc(s + 16, 2032));
  const std::vector<uint8_t> icb = {0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(s + 16, 20), icb);
  const std::vector<uint8_t> ids = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xA5, 0x14, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(Bytes(s + 36, 14), ids);
  EXPECT_EQ(UdfGet64(s + 56), 2049u);  // information length
  EXPECT_EQ(UdfGet64(s + 64), 2u);     // blocks recorded
  const std::vector<uint8_t> stamp = {0x00, 0x10, 0xE8, 0x07, 3, 15, 13, 45, 30, 0, 0, 0};
  EXPECT_EQ(Bytes(s + 72, 12), stamp);
  EXPECT_EQ(Bytes(s + 84, 12), stamp);
  EXPECT_EQ(Bytes(s + 96, 12), stamp);
  EXPECT_EQ(UdfGet32(s + 108), 1u);  // checkpoint
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s + 129)), "*Selvorantic VantrUDF");
  EXPECT_EQ(s[152], 6);
  EXPECT_EQ(UdfGet64(s + 160), 17u);
  EXPECT_EQ(UdfGet32(s + 168), 0u);
  EXPECT_EQ(UdfGet32(s + 172), 1872u);
  const std::vector<uint8_t> ad = {0x01, 0x08, 0, 0, 0xD2, 0x04, 0, 0};
  EXPECT_EQ(Bytes(s + 176, 8), ad);
  for (size_t i = 184; i < kUdfSectorSize; ++i) ASSERT_EQ(s[i], 0) << i;
}

TEST(UdfFileEntry, LargeFilesTakeConsecutiveExtentsWithFullLength) {
  uint8_t s[kUdfSectorSize];
  const TUdfTimestamp t;
  // Just below 1 GiB: still the single descriptor.
  UdfWriteFileEntry(s, t, 1, kFileTypeFile, 1, 0x3FFFFFFF, 16, 1000);
  EXPECT_EQ(UdfGet32(s + 176), 0x3FFFFFFFu);
  EXPECT_EQ(UdfGet32(s + 184), 0u);

  // Exactly 1 GiB: two extents, the first a whole number of blocks.
  UdfWriteFileEntry(s, t, 1, kFileTypeFile, 1, 0x40000000, 16, 1000);
  EXPECT_EQ(UdfGet32(s + 176), 0x3FFFF800u);
  EXPECT_EQ(UdfGet32(s + 180), 1000u);
  EXPECT_EQ(UdfGet32(s + 184), 0x800u);
  EXPECT_EQ(UdfGet32(s + 188), 1000u + 0x7FFFF);
  EXPECT_EQ(UdfGet32(s + 192), 0u);
  EXPECT_EQ(UdfGet16(s + 8), BitwiseCrc(s + 16, 2032));

  // 5 GiB + 1: the full 64-bit length, six extents, nothing lost.
  const uint64_t size = 5ull << 30 | 1;
  UdfWriteFileEntry(s, t, 1, kFileTypeFile, 1, size, 16, 500);
  EXPECT_EQ(UdfGet64(s + 56), size);
  EXPECT_EQ(UdfGet64(s + 64), (5ull << 19) + 1);
  uint64_t total = 0;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(UdfGet32(s + 180 + 8 * i), 500u + i * 0x7FFFFu) << i;
    total += UdfGet32(s + 176 + 8 * i);
  }
  EXPECT_EQ(UdfGet32(s + 176 + 40), 0x2801u);
  EXPECT_EQ(total, size);
  EXPECT_EQ(UdfGet32(s + 176 + 48), 0u);
  EXPECT_EQ(UdfGet16(s + 8), BitwiseCrc(s + 16, 2032));
}

TEST(UdfText, Cs0AndDStrings) {
  uint8_t out[16] = {};
  ASSERT_EQ(UdfCs0Encode(u"\u010Cau", out), 7u);
  const std::vector<uint8_t> cs0 = {16, 0x01, 0x0C, 0x00, 0x61, 0x00, 0x75};
  EXPECT_EQ(Bytes(out, 7), cs0);
  EXPECT_EQ(UdfCs0Encode(u"", out), 0u);

  uint8_t field[32];
  std::memset(field, 0xEE, sizeof field);
  UdfPutDString(field, 32, cs0.data(), cs0.size());
  EXPECT_EQ(Bytes(field, 7), cs0);
  for (int i = 7; i < 31; ++i) EXPECT_EQ(field[i], 0) << i;
  EXPECT_EQ(field[31], 7);
  // An empty d-string is all zeros, its length byte included.
  UdfPutDString(field, 32, cs0.data(), 0);
  EXPECT_EQ(Bytes(field, 32), std::vector<uint8_t>(32, 0));
}

TEST(UdfText, LongNamesAreCutKeepingExtensionAndSurrogatePairs) {
  const std::u16string name = std::u16string(200, u'n') + u".txt";
  const std::u16string cut = UdfShortenName(name, 0);
  EXPECT_EQ(cut.size(), 127u);
  EXPECT_EQ(cut, std::u16string(123, u'n') + u".txt");
  EXPECT_EQ(UdfShortenName(name, 12), std::u16string(120, u'n') + u"~12.txt");
  // Names that fit are kept.
  EXPECT_EQ(UdfShortenName(std::u16string(127, u'k'), 0), std::u16string(127, u'k'));
  // An extension longer than 15 characters is not kept apart.
  const std::u16string longExt = std::u16string(150, u'a') + u"." + std::u16string(20, u'e');
  EXPECT_EQ(UdfShortenName(longExt, 0), longExt.substr(0, 127));
  // A pair that would be split at the cut is left out whole.
  std::u16string emoji(126, u'z');
  emoji += u"\U0001F600";
  emoji += std::u16string(50, u'z');
  const std::u16string e = UdfShortenName(emoji, 0);
  EXPECT_EQ(e.size(), 126u);
  EXPECT_EQ(UdfCutLength(emoji, 127), 126u);
  EXPECT_EQ(UdfCutLength(emoji, 128), 128u);
}
