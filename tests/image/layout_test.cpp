// The sector map and the ISO 9660 structures, checked on the rendered bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/qvpCommonLib.h"
#include "tests/image/image_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using namespace imgtest;

namespace {

struct LayoutTest : ::testing::Test {
  TImageBuilder b;
  void SetUp() override { ClearCompilation(b); }
};

TEST_F(LayoutTest, EmptyCompilationWithoutExtras) {
  SetVolumeID(b, "Zaloha");
  EXPECT_EQ(PrepareImage(b), 150u);
  EXPECT_EQ(b.LPathTable, 18u);
  EXPECT_EQ(b.MPathTable, 19u);
  EXPECT_EQ(b.DirArea, 20u);
  EXPECT_EQ(b.PaddingCount, 150 - 21);
  EXPECT_EQ(b.DataStart, 150u);
  EXPECT_EQ(b.TotalSectors, 160u);
  ASSERT_TRUE(RenderMetadata(b));
  ASSERT_EQ(b.MetadataPos, 150u * 2048);
  for (uint32_t i = 0; i < 16 * 2048; ++i) ASSERT_EQ(b.MetadataBuffer[i], 0) << i;

  const uint8_t* pvd = Sector(b, 16);
  const uint8_t head[7] = {1, 'C', 'D', '0', '0', '1', 1};
  EXPECT_EQ(std::memcmp(pvd, head, 7), 0);
  EXPECT_EQ(Str(pvd + 40, 32), std::string("ZALOHA") + std::string(26, '\0'));
  const uint8_t size[8] = {160, 0, 0, 0, 0, 0, 0, 160};
  EXPECT_EQ(std::memcmp(pvd + 80, size, 8), 0);
  const uint8_t escape[3] = {0x25, 0x2F, 0x40};
  EXPECT_EQ(std::memcmp(pvd + 88, escape, 3), 0);
  const uint8_t sets[12] = {1, 0, 0, 1, 1, 0, 0, 1, 0, 8, 8, 0};
  EXPECT_EQ(std::memcmp(pvd + 120, sets, 12), 0);
  const uint8_t tables[20] = {10, 0, 0, 0, 0, 0, 0, 10, 18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 19};
  EXPECT_EQ(std::memcmp(pvd + 132, tables, 20), 0);
  const uint8_t root[34] = {34, 0, 20, 0, 0, 0, 0, 0, 0, 20, 0, 8, 0, 0, 0, 0, 8,
                            0,  0, 0,  0, 0, 0, 0, 0, 2, 0,  0, 1, 0, 0, 1, 1, 0};
  EXPECT_EQ(std::memcmp(pvd + 156, root, 34), 0);
  EXPECT_EQ(pvd[881], 1);
  for (int i : {7, 39, 72, 79, 91, 119, 152, 155, 190, 800, 880, 882, 2047})
    EXPECT_EQ(pvd[i], 0) << i;

  const uint8_t term[7] = {255, 'C', 'D', '0', '0', '1', 1};
  EXPECT_EQ(std::memcmp(Sector(b, 17), term, 7), 0);

  const uint8_t lTable[12] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(Sector(b, 18), lTable, 12), 0);
  const uint8_t mTable[12] = {1, 0, 0, 0, 0, 20, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(Sector(b, 19), mTable, 12), 0);

  const uint8_t dots[68] = {34, 0, 20, 0, 0, 0, 0, 0, 0, 20, 0, 8, 0, 0, 0, 0, 8,
                            0,  0, 0,  0, 0, 0, 0, 0, 2, 0,  0, 1, 0, 0, 1, 1, 0,
                            34, 0, 20, 0, 0, 0, 0, 0, 0, 20, 0, 8, 0, 0, 0, 0, 8,
                            0,  0, 0,  0, 0, 0, 0, 0, 2, 0,  0, 1, 0, 0, 1, 1, 1};
  EXPECT_EQ(std::memcmp(Sector(b, 20), dots, 68), 0);
  for (uint32_t i = 21 * 2048; i < 150 * 2048; ++i) ASSERT_EQ(b.MetadataBuffer[i], 0) << i;
}

TEST_F(LayoutTest, DescriptorSequencesFollowTheOptions) {
  auto types = [&]() {
    std::string seq;
    for (uint32_t s = 16;; ++s) {
      const uint8_t* d = Sector(b, s);
      seq += std::to_string(d[0]) + "v" + std::to_string(d[6]) + " ";
      if (d[0] == 255) return seq;
    }
  };
  b.JolietFileSystem = 1;
  Render(b);
  EXPECT_EQ(types(), "1v1 2v1 255v1 ");
  EXPECT_EQ(b.JolietLPathTable, 21u);
  EXPECT_EQ(b.DirArea, 23u);
  EXPECT_EQ(b.JolietDirArea, 24u);

  b.JolietFileSystem = 0;
  b.ISO9660v1999FS = 1;
  Render(b);
  EXPECT_EQ(types(), "1v1 2v2 255v1 ");
  const uint8_t* pvd = Sector(b, 16);
  const uint8_t* v2 = Sector(b, 17);
  EXPECT_EQ(std::memcmp(pvd + 88, "\0\0\0", 3), 0) << "no escape sequence with ISO 9660:1999";
  EXPECT_EQ(std::memcmp(pvd + 7, v2 + 7, 874), 0) << "same volume fields and root";
  EXPECT_EQ(v2[881], 2);

  const std::string dir = testenv::MakeTempDir("boot");
  testenv::WriteFile(dir + "/boot.img", std::string(2048, 'B'));
  ASSERT_TRUE(SetBootImage(b, dir + "/boot.img"));
  b.JolietFileSystem = 1;
  Render(b);
  EXPECT_EQ(types(), "1v1 0v1 2v2 2v1 255v1 ");
  EXPECT_EQ(Sector(b, 19)[88], 0x25) << "Joliet at 19";
}

TEST_F(LayoutTest, FilesGetExtentsInInsertionOrderAndRecordsInNameOrder) {
  TDirNode* sub = AddDir(b, b.Root, u"sub");
  TFileNode* empty = AddFile(b, sub, u"empty.txt", 0);
  TFileNode* z = AddFile(b, b.Root, u"z.bin", 2049);
  TFileNode* a = AddFile(b, b.Root, u"a.bin", 1);
  EXPECT_EQ(PrepareImage(b), 150u + 3);
  EXPECT_EQ(z->Extent, 0u);
  EXPECT_EQ(a->Extent, 2u);
  EXPECT_EQ(empty->Extent, 0u);
  EXPECT_EQ(b.DataSectors, 3u);
  ASSERT_TRUE(RenderMetadata(b));
  auto root = ReadRecords(Sector(b, b.DirArea), b.Root->IsoSize);
  ASSERT_EQ(root.size(), 5u);
  EXPECT_EQ(root[2].Id, "A.BIN");
  EXPECT_EQ(root[2].Extent, 152u);
  EXPECT_EQ(root[2].DataLength, 1u);
  EXPECT_EQ(root[3].Id, "SUB");
  EXPECT_EQ(root[3].Flags, 2);
  EXPECT_EQ(root[3].Extent, b.DirArea + 1);
  EXPECT_EQ(root[4].Id, "Z.BIN");
  EXPECT_EQ(root[4].Extent, 150u);
  EXPECT_EQ(root[4].DataLength, 2049u);
  EXPECT_EQ(root[4].Length, 33 + 5);
  auto inner = ReadRecords(Sector(b, b.DirArea + 1), sub->IsoSize);
  ASSERT_EQ(inner.size(), 3u);
  EXPECT_EQ(inner[1].Extent, b.DirArea) << ".. is the root";
  EXPECT_EQ(inner[2].Id, "EMPTY.TXT");
  EXPECT_EQ(inner[2].Extent, 0u);
  EXPECT_EQ(inner[2].DataLength, 0u);
  EXPECT_EQ(inner[2].Length, 33 + 9) << "odd identifiers need no pad byte";

  // Session start and volume size base move every recorded address.
  b.SessionStart = 1000;
  b.VolumeSizeBase = 1000;
  ASSERT_TRUE(RenderMetadata(b));
  EXPECT_EQ(Le32(Sector(b, 16) + 80), 1000u + b.TotalSectors);
  EXPECT_EQ(Le32(Sector(b, 16) + 140), 1018u);
  EXPECT_EQ(Le32(Sector(b, b.LPathTable) + 2), 1000u + b.DirArea);
  root = ReadRecords(Sector(b, b.DirArea), b.Root->IsoSize);
  EXPECT_EQ(root[2].Extent, 1152u);
  EXPECT_EQ(root[0].Extent, 1000u + b.DirArea);
}

TEST_F(LayoutTest, HiddenBitAndAttributeZeroSetTheExistenceFlag) {
  plat::TFindData fd = Record(u"hidden", 1, plat::kAttrHidden);
  AddEntry(b, b.Root, fd, false, 0, u"/h");
  fd = Record(u"plain", 1, 0);
  AddEntry(b, b.Root, fd, false, 0, u"/p");
  fd = Record(u"normal", 1, plat::kAttrArchive | plat::kAttrHidden);
  AddEntry(b, b.Root, fd, false, 0, u"/n");
  Render(b);
  auto recs = ReadRecords(Sector(b, b.DirArea), 2048);
  ASSERT_EQ(recs.size(), 5u);
  EXPECT_EQ(recs[2].Id, "HIDDEN.");
  EXPECT_EQ(recs[2].Flags, 1);
  EXPECT_EQ(recs[3].Id, "NORMAL.");
  EXPECT_EQ(recs[3].Flags, 0);
  EXPECT_EQ(recs[4].Flags, 1);
}

TEST_F(LayoutTest, DirectoryThatExactlyFillsASectorAndOneByteMore) {
  // 11-character names give 44-byte records: 45 of them fill the 1980 free bytes exactly.
  TDirNode* full = AddDir(b, b.Root, u"full");
  TDirNode* over = AddDir(b, b.Root, u"over");
  for (int i = 0; i < 45; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "FILE%03d.TXT", i);
    AddFile(b, full, plat::AnsiToWide(name), 1);
    if (i < 44) AddFile(b, over, plat::AnsiToWide(name), 1);
  }
  AddFile(b, over, u"ZZZZZZZZ.TXT", 1);  // 46 bytes: two more than fit
  Render(b);
  EXPECT_EQ(full->IsoSize, 2048u);
  EXPECT_EQ(over->IsoSize, 4096u);
  auto recs = ReadRecords(Sector(b, b.DirArea + full->IsoExtent), 2048);
  ASSERT_EQ(recs.size(), 47u);
  EXPECT_EQ(recs.back().Offset + recs.back().Length, 2048u);
  recs = ReadRecords(Sector(b, b.DirArea + over->IsoExtent), 4096);
  ASSERT_EQ(recs.size(), 47u);
  EXPECT_EQ(recs.back().Offset, 2048u) << "the record that does not fit opens the next sector";
  EXPECT_EQ(recs.back().Id, "ZZZZZZZZ.TXT");
  for (uint32_t i = 68 + 44 * 44; i < 2048; ++i)
    EXPECT_EQ(Sector(b, b.DirArea + over->IsoExtent)[i], 0);
}

TEST_F(LayoutTest, Iso1999RecordsLongNamesUpToTheLongestRecord) {
  b.ISO9660v1999FS = 1;
  const std::u16string n217 = u"Č" + std::u16string(216, u'a');
  TDirNode* d = AddDir(b, b.Root, n217);
  AddFile(b, d, std::u16string(216, u'b'), 5);
  Render(b);
  auto root = ReadRecords(Sector(b, b.DirArea), 2048);
  ASSERT_EQ(root.size(), 3u);
  // 33 + 217 bytes: an odd identifier needs no pad byte, and records keep an even length.
  EXPECT_EQ(root[2].Length, 250);
  EXPECT_EQ(root[2].Id, "_" + std::string(216, 'a'));
  auto inner = ReadRecords(Sector(b, b.DirArea + d->IsoExtent), 2048);
  EXPECT_EQ(inner[2].Length, 250) << "216 characters and a pad byte";
  EXPECT_EQ(b.PathTableSize, 10u + 8 + 217 + 1);
  const uint8_t* pt = Sector(b, b.LPathTable) + 10;
  EXPECT_EQ(pt[0], 217);
  EXPECT_EQ(Le16(pt + 6), 1);
  EXPECT_EQ(Str(pt + 8, 217), "_" + std::string(216, 'a'));
}

TEST_F(LayoutTest, PathTablesListDirectoriesBreadthFirstByName) {
  TDirNode* beta = AddDir(b, b.Root, u"beta");
  TDirNode* inner = AddDir(b, beta, u"inner");
  TDirNode* alpha = AddDir(b, b.Root, u"alpha");
  Render(b);
  ASSERT_EQ(b.PathDirs.size(), 4u);
  EXPECT_EQ(b.PathDirs[1], alpha);
  EXPECT_EQ(b.PathDirs[2], beta);
  EXPECT_EQ(b.PathDirs[3], inner);
  // Directory extents stay in creation order.
  EXPECT_EQ(beta->IsoExtent, 1u);
  EXPECT_EQ(inner->IsoExtent, 2u);
  EXPECT_EQ(alpha->IsoExtent, 3u);
  const uint8_t l[] = {1, 0, 20, 0, 0, 0, 1, 0, 0,   0,                      //
                       5, 0, 23, 0, 0, 0, 1, 0, 'A', 'L', 'P', 'H', 'A', 0,  //
                       4, 0, 21, 0, 0, 0, 1, 0, 'B', 'E', 'T', 'A',          //
                       5, 0, 22, 0, 0, 0, 3, 0, 'I', 'N', 'N', 'E', 'R', 0, 0};
  EXPECT_EQ(b.PathTableSize, sizeof l - 1);
  EXPECT_EQ(std::memcmp(Sector(b, 18), l, sizeof l), 0);
  const uint8_t m[] = {1, 0, 0, 0, 0, 20, 0, 1, 0,   0,                      //
                       5, 0, 0, 0, 0, 23, 0, 1, 'A', 'L', 'P', 'H', 'A', 0,  //
                       4, 0, 0, 0, 0, 21, 0, 1, 'B', 'E', 'T', 'A',          //
                       5, 0, 0, 0, 0, 22, 0, 3, 'I', 'N', 'N', 'E', 'R', 0, 0};
  EXPECT_EQ(std::memcmp(Sector(b, 19), m, sizeof m), 0);
}

TEST_F(LayoutTest, EqualLevelOneNamesAreMadeUniqueAndSorted) {
  // Short names from two folders, and a case-only pair: one identifier each would make
  // readers show one file twice and lose the other.
  AddFile(b, b.Root, u"zeta", 1);
  TFileNode* first = AddFile(b, b.Root, u"Report one.doc", 1, u"REPORT~1.DOC");
  TFileNode* second = AddFile(b, b.Root, u"Report two.doc", 1, u"REPORT~1.DOC");
  TFileNode* lower = AddFile(b, b.Root, u"a.txt", 1);
  TFileNode* upper = AddFile(b, b.Root, u"A.TXT", 1);
  TDirNode* dir = AddDir(b, b.Root, u"Docs");
  TDirNode* caps = AddDir(b, b.Root, u"DOCS");
  for (int layout = 0; layout < 2; ++layout) {
    PrepareImage(b);
    EXPECT_EQ(IsoIdentifier(b, first), "REPORT~1.DOC");
    EXPECT_EQ(IsoIdentifier(b, second), "REPORT~2.DOC");
    EXPECT_EQ(IsoIdentifier(b, lower), "A.TXT");
    EXPECT_EQ(IsoIdentifier(b, upper), "A~1.TXT");
    EXPECT_EQ(IsoIdentifier(b, dir), "DOCS");
    EXPECT_EQ(IsoIdentifier(b, caps), "DOCS~1") << "the path table names it as its record does";
    std::vector<std::string> order;
    for (const TFileNode* e = b.Root->FirstEntry; e != nullptr; e = e->Next)
      order.push_back(IsoIdentifier(b, e));
    EXPECT_EQ(order, (std::vector<std::string>{"A.TXT", "A~1.TXT", "DOCS", "DOCS~1", "REPORT~1.DOC",
                                               "REPORT~2.DOC", "ZETA."}));
  }
  // ISO 9660:1999 records the long names, where only characters outside ASCII can meet.
  b.ISO9660v1999FS = 1;
  TFileNode* c1 = AddFile(b, b.Root, u"č.txt", 1);
  TFileNode* c2 = AddFile(b, b.Root, u"ř.txt", 1);
  PrepareImage(b);
  EXPECT_EQ(IsoIdentifier(b, c1), "_.txt");
  EXPECT_EQ(IsoIdentifier(b, c2), "_~1.txt");
  EXPECT_EQ(IsoIdentifier(b, upper), "A.TXT");
}

TEST_F(LayoutTest, FilesOf4GiBAndMoreTakeSeveralExtents) {
  b.JolietFileSystem = 1;
  const uint64_t big = 5ull << 30;
  AddFile(b, b.Root, u"big.bin", big);
  TFileNode* after = AddFile(b, b.Root, u"c.bin", 1);
  TFileNode* exact = AddFile(b, b.Root, u"d.bin", kMaxExtentBytes);
  Render(b);
  EXPECT_EQ(b.DataSectors, Sectors(big) + 1 + kMaxExtentBytes / 2048);
  EXPECT_EQ(after->Extent, Sectors(big));
  EXPECT_EQ(exact->Extent, Sectors(big) + 1);
  for (bool joliet : {false, true}) {
    auto recs = ReadRecords(Sector(b, joliet ? b.JolietDirArea : b.DirArea), 2048);
    ASSERT_EQ(recs.size(), 6u);
    EXPECT_EQ(recs[2].Flags, 0x80);
    EXPECT_EQ(recs[2].Extent, 150u);
    EXPECT_EQ(recs[2].DataLength, 0xFFFFF800u);
    EXPECT_EQ(recs[3].Flags, 0);
    EXPECT_EQ(recs[3].Id, recs[2].Id);
    EXPECT_EQ(recs[3].Extent, 150u + 0x1FFFFF);
    EXPECT_EQ(recs[3].DataLength, big - 0xFFFFF800u);
    EXPECT_EQ(recs[5].Flags, 0) << "4 GiB - 2048 bytes still fit one extent";
    EXPECT_EQ(recs[5].DataLength, 0xFFFFF800u);
  }
}

TEST_F(LayoutTest, UdfClosingAnchorMayOpenANewBlock) {
  b.UDFBridge = 1;
  const uint32_t count = PrepareImage(b);
  EXPECT_EQ(count, b.DataStart + 1);
  EXPECT_EQ(b.Udf.AreaSectors, 2u) << "root file entry and one identifier sector";
  EXPECT_EQ(b.DataStart, 264u) << "VRS 18-20, fixed UDF part to 258, path tables 259-260, root 261";
  EXPECT_EQ(b.TotalSectors, 288u);
  EXPECT_FALSE(b.Udf.AnchorOpensNewBlock);
  // A file's UDF entry takes one sector before the data; 23 data sectors then end the data
  // exactly at a block boundary, so the closing anchor opens a block of its own.
  AddFile(b, b.Root, u"f", 23 * 2048);
  PrepareImage(b);
  EXPECT_EQ(b.DataStart + b.DataSectors, 288u);
  EXPECT_TRUE(b.Udf.AnchorOpensNewBlock);
  EXPECT_EQ(b.TotalSectors, 320u);
  EXPECT_EQ(b.Udf.LastSector, 319u);
}

}  // namespace
