// Joliet names and descriptor, and the El Torito structures, on the rendered bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "image/qvpCommonLib.h"
#include "tests/image/image_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using namespace imgtest;

namespace {

std::u16string Ucs2(const std::string& be) {
  std::u16string s;
  for (size_t i = 0; i + 1 < be.size(); i += 2)
    s += static_cast<char16_t>(static_cast<uint8_t>(be[i]) << 8 | static_cast<uint8_t>(be[i + 1]));
  return s;
}

struct JolietTest : ::testing::Test {
  TImageBuilder b;
  void SetUp() override {
    ClearCompilation(b);
    b.JolietFileSystem = 1;
  }
};

TEST_F(JolietTest, RecordOfA64CharacterNameSharesTheDataExtent) {
  const std::u16string name = u"Č" + std::u16string(63, u'n');
  AddFile(b, b.Root, name, 5000, u"N~1.BIN");
  Render(b);
  auto iso = ReadRecords(Sector(b, b.DirArea), 2048);
  auto jol = ReadRecords(Sector(b, b.JolietDirArea), 2048);
  ASSERT_EQ(jol.size(), 3u);
  EXPECT_EQ(jol[2].Length, 162);
  EXPECT_EQ(jol[2].Raw[32], 128);
  EXPECT_EQ(jol[2].Raw[33], 0x01);
  EXPECT_EQ(jol[2].Raw[34], 0x0C);
  EXPECT_EQ(jol[2].Raw[161], 0) << "pad byte";
  EXPECT_EQ(Ucs2(jol[2].Id), name);
  EXPECT_EQ(jol[2].Extent, iso[2].Extent);
  EXPECT_EQ(jol[2].DataLength, 5000u);
  EXPECT_EQ(std::memcmp(jol[2].Raw + 18, iso[2].Raw + 18, 8), 0) << "same date and flags";
  EXPECT_EQ(jol[0].Extent, b.JolietDirArea);
}

TEST_F(JolietTest, DescriptorAndCutVolumeIdentifiers) {
  SetVolumeID(b, "Fotky z léta 2024 - archiv");  // 26 characters
  TDirNode* d = AddDir(b, b.Root, u"Ab");
  Render(b);
  const uint8_t* svd = Sector(b, 17);
  const uint8_t head[7] = {2, 'C', 'D', '0', '0', '1', 1};
  EXPECT_EQ(std::memcmp(svd, head, 7), 0);
  EXPECT_EQ(Ucs2(Str(svd + 40, 32)), u"Fotky z léta 202");
  EXPECT_EQ(Str(Sector(b, 16) + 40, 32), "FOTKY Z L_TA 2024 - ARCHIV" + std::string(6, '\0'));
  const uint8_t escape[3] = {0x25, 0x2F, 0x40};
  EXPECT_EQ(std::memcmp(svd + 88, escape, 3), 0);
  EXPECT_EQ(Le32(svd + 132), 10u + 8 + 4);
  EXPECT_EQ(Le32(svd + 140), b.JolietLPathTable);
  EXPECT_EQ(Be32(svd + 148), b.JolietMPathTable);
  EXPECT_EQ(Le32(svd + 156 + 2), b.JolietDirArea);
  EXPECT_EQ(Le32(svd + 156 + 10), 2048u);
  EXPECT_EQ(svd[881], 1);
  const uint8_t table[22] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 0, 0, 1, 0, 0, 'A', 0, 'b'};
  uint8_t expected[22];
  std::memcpy(expected, table, 22);
  PutLE32(expected + 2, b.JolietDirArea);
  PutLE32(expected + 12, b.JolietDirArea + d->JolietExtent);
  EXPECT_EQ(std::memcmp(Sector(b, b.JolietLPathTable), expected, 22), 0);
  EXPECT_EQ(Sector(b, b.JolietLPathTable)[22], 0);
}

TEST_F(JolietTest, VolumeIdentifierCutKeepsCharactersWhole) {
  // The sixteenth unit is the first half of a character outside the basic plane: it goes with
  // its second half, so the identifier holds 15 units.
  SetVolumeID(b, "Fotky z léta 23\xF0\x9F\x98\x80!");
  Render(b);
  EXPECT_EQ(Ucs2(Str(Sector(b, 17) + 40, 32)), std::u16string(u"Fotky z léta 23") + u'\0');
}

TEST_F(JolietTest, LongNamesAreCutToFitTheirRecordsAndStayUnique) {
  const std::u16string n110(110, u'k');
  const std::u16string stem(120, u's');
  TFileNode* keep = AddFile(b, b.Root, n110, 1);
  TFileNode* one = AddFile(b, b.Root, stem + u"1.txt", 1);
  TFileNode* two = AddFile(b, b.Root, stem + u"2.txt", 1);
  // A name equal to what the first cut would give is taken before the cut ones.
  TFileNode* clash = AddFile(b, b.Root, std::u16string(106, u's') + u".txt", 1);
  TDirNode* d127 = AddDir(b, b.Root, std::u16string(127, u'd'));
  TDirNode* d128 = AddDir(b, b.Root, std::u16string(128, u'D') + u"x");
  Render(b);
  EXPECT_EQ(JolietIdentifier(keep), n110);
  std::set<std::u16string> names;
  for (const TFileNode* e : {one, two, clash, d127->Entry, d128->Entry}) {
    const std::u16string_view j = JolietIdentifier(e);
    EXPECT_LE(j.size(), 110u);
    names.insert(plat::ToUpper(j));
  }
  EXPECT_EQ(names.size(), 5u);
  EXPECT_TRUE(JolietIdentifier(one).ends_with(u".txt"));
  EXPECT_EQ(JolietIdentifier(clash), std::u16string(106, u's') + u".txt");
  EXPECT_EQ(JolietIdentifier(d127).size(), 110u)
      << "the path table names folders as their records do";
  auto recs = ReadRecords(Sector(b, b.JolietDirArea), b.Root->JolietSize);
  ASSERT_EQ(recs.size(), 8u);
  for (const auto& r : recs) EXPECT_LE(r.Length, 254);
  // The ISO tree keeps its own names; long names never reach it. Both folders' short names are
  // DDDDDDDDDDDD there, so the second is recorded as DDDDDD~1.
  EXPECT_EQ(b.PathTableSize, 10u + (8 + 12) + (8 + 8));
}

struct ToritoTest : JolietTest {
  std::string MakeBoot(size_t size) {
    const std::string path = testenv::MakeTempDir("boot") + "/boot.img";
    testenv::WriteFile(path, std::string(size, '\x5A'));
    return path;
  }
};

TEST_F(ToritoTest, NoEmulationImageOfOneSector) {
  b.JolietFileSystem = 0;
  ASSERT_TRUE(SetBootImage(b, MakeBoot(2048)));
  AddFile(b, b.Root, u"f", 10);
  EXPECT_EQ(PrepareImage(b), 152u);
  EXPECT_EQ(b.BootCatalog, 22u) << "after the primary directory";
  EXPECT_EQ(b.BootImageLba, 150u);
  EXPECT_EQ(b.DataStart, 151u);
  b.SessionStart = 0x100;
  ASSERT_TRUE(RenderMetadata(b));
  const uint8_t* br = Sector(b, 17);
  const uint8_t head[] = {0,   'C', 'D', '0', '0', '1', 1,   'E', 'L', ' ', 'T',
                          'O', 'R', 'I', 'T', 'O', ' ', 'S', 'P', 'E', 'C', 'I',
                          'F', 'I', 'C', 'A', 'T', 'I', 'O', 'N', 0};
  EXPECT_EQ(std::memcmp(br, head, sizeof head), 0);
  const uint8_t lba[4] = {0x16, 0x01, 0, 0};
  EXPECT_EQ(std::memcmp(br + 71, lba, 4), 0);
  const uint8_t catalog[64] = {
      1, 0, 0, 0, 'Q', 'u', 'o',  'r',  'v',  'e',  'x',  0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0,
      0, 0, 0, 0, 0,   0,   0xFC, 0x07, 0x55, 0xAA, 0x88, 0, 0, 0, 0, 0, 4, 0, 0x96, 0x01, 0, 0,
      0, 0, 0, 0, 0,   0,   0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,    0};
  EXPECT_EQ(std::memcmp(Sector(b, 22), catalog, 64), 0);
  uint16_t sum = 0;
  for (int i = 0; i < 32; i += 2) sum = static_cast<uint16_t>(sum + Le16(Sector(b, 22) + i));
  EXPECT_EQ(sum, 0);
}

TEST_F(ToritoTest, DisketteEmulationTakesTheWholeImage) {
  // 1.2 MB, 1.44 MB and 2.88 MB diskettes: media types 1, 2 and 3, one virtual sector loaded.
  const std::pair<size_t, uint8_t> kinds[] = {{1228800, 1}, {1474560, 2}, {2949120, 3}};
  for (const auto& [size, type] : kinds) {
    ClearCompilation(b);
    ASSERT_TRUE(SetBootImage(b, MakeBoot(size)));
    PrepareImage(b);
    EXPECT_EQ(b.DataStart, b.BootImageLba + size / 2048) << size;
    ASSERT_TRUE(RenderMetadata(b));
    const uint8_t* entry = Sector(b, b.BootCatalog) + 32;
    EXPECT_EQ(entry[0], 0x88) << size;
    EXPECT_EQ(entry[1], type) << size;
    EXPECT_EQ(Le16(entry + 6), 1) << size;
    EXPECT_EQ(Le32(entry + 8), b.BootImageLba) << size;
  }
}

}  // namespace
