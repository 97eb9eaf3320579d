// Media written more than once: a second session on appendable write-once media and a DVD+RW
// whose volume grows, read back by xorriso.
#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

uint32_t Le32(const std::vector<uint8_t>& s, size_t at) {
  return uint32_t(s[at]) | uint32_t(s[at + 1]) << 8 | uint32_t(s[at + 2]) << 16 |
         uint32_t(s[at + 3]) << 24;
}

// The next writable address the recorder reports (medium LBA where a new session starts), read
// from the export: the second session's descriptors are the first "CD001" after the first.
uint32_t SecondSessionStart(const std::vector<uint8_t>& medium, uint32_t after) {
  for (uint32_t lba = after; (lba + 17) * 2048 <= medium.size(); ++lba)
    if (std::memcmp(&medium[(lba + 16) * 2048 + 1], "CD001", 5) == 0 &&
        medium[(lba + 16) * 2048] == 1)
      return lba;
  return 0;
}

class EngineSessionsTest : public EngineBurn, public ::testing::WithParamInterface<TMediumKind> {};

TEST_P(EngineSessionsTest, SecondSessionOnAnAppendableMedium) {
  Use("bd");
  Insert(GetParam());
  q->SetFinalizeDisc(false);
  const std::string first = MakeSourceFolder(1);
  Compile(first, "Prvni");
  BurnData();
  const uint32_t firstTotal = uint32_t(q->GetTotalSectors());
  EXPECT_EQ(q->GetSessionCount(), 1);
  EXPECT_TRUE(q->IsDiscWritable());

  const std::string second = MakeSourceFolder(2, 123457);
  Compile(second, "Druha");
  BurnData();
  EXPECT_EQ(q->GetSessionCount(), 2);

  const std::string medium = Export();
  const auto bytes = testenv::ReadFile(medium);
  const uint32_t start = SecondSessionStart(bytes, firstTotal);
  ASSERT_GT(start, firstTotal);
  // The first session is still whole; the second is found through its own descriptors.
  ExpectSameTree(first, ExtractJoliet(medium), "first session");
  ExpectSameTree(second, ExtractJoliet(medium, start),
                 "second session at " + std::to_string(start));
}

INSTANTIATE_TEST_SUITE_P(WriteOnce, EngineSessionsTest,
                         ::testing::Values(TMediumKind::CdR, TMediumKind::DvdPlusR),
                         [](const auto& info) {
                           return info.param == TMediumKind::CdR ? "cd_r" : "dvdplusr";
                         });

TEST_F(EngineBurn, DvdPlusRwBurnedTwiceGrowsItsVolume) {
  Use("bd");
  Insert(TMediumKind::DvdPlusRw);
  const std::string first = MakeSourceFolder(5);
  Compile(first, "Jedna");
  BurnData();
  const uint32_t firstTotal = uint32_t(q->GetTotalSectors());
  const auto before = testenv::ReadFile(Export());
  EXPECT_EQ(Le32(before, 16 * 2048 + 80), firstTotal);

  const std::string second = MakeSourceFolder(6, 200001);
  Compile(second, "Dve");
  BurnData();
  const uint32_t secondTotal = uint32_t(q->GetTotalSectors());
  const std::string medium = Export();
  const auto after = testenv::ReadFile(medium);
  ASSERT_GE(after.size(), size_t(firstTotal + secondTotal) * 2048);
  // The descriptors at LBA 0 are those of the new volume, which spans both.
  EXPECT_EQ(Le32(after, 16 * 2048 + 80), firstTotal + secondTotal);
  EXPECT_TRUE(
      std::equal(after.begin(), after.begin() + 65536, after.begin() + size_t(firstTotal) * 2048));
  // The first volume's file data is still in place behind the new descriptors; only the UDF
  // anchor at 256 and the file set at 257 now lead to the new volume.
  const size_t anchorAt = 256 * 2048;
  EXPECT_TRUE(std::equal(before.begin() + 65536, before.begin() + anchorAt, after.begin() + 65536));
  for (size_t at : {anchorAt, anchorAt + 2048})
    EXPECT_FALSE(std::equal(before.begin() + at, before.begin() + at + 2048, after.begin() + at));
  EXPECT_TRUE(std::equal(before.begin() + anchorAt + 4096,
                         before.begin() + size_t(firstTotal) * 2048,
                         after.begin() + anchorAt + 4096));
  ExpectSameTree(second, ExtractJoliet(medium), "grown volume");
}

// A random-access medium burned twice with the UDF bridge: the ISO 9660, Joliet and UDF views
// all show the second burn.
class EngineGrownUdfTest : public EngineBurn, public ::testing::WithParamInterface<TMediumKind> {};

TEST_P(EngineGrownUdfTest, EveryViewShowsTheSecondBurn) {
  if (!testenv::HaveProgram("udfinfo")) GTEST_SKIP() << "udfinfo is not installed";
  Use("bd");
  Insert(GetParam(), GetParam() != TMediumKind::DvdPlusRw);
  const std::string first = MakeSourceFolder(31);
  Compile(first, "Prvni vypal");
  BurnData();
  const uint32_t start = uint32_t(q->GetTotalSectors());

  const std::string second = MakeSourceFolder(32, 150001);
  testenv::WriteFile(second + "/jen ve druhém.txt", std::string("druhý"));
  Compile(second, "Druhy vypal");
  BurnData();
  const std::string medium = Export();
  const auto bytes = testenv::ReadFile(medium);
  ASSERT_GE(bytes.size(), size_t(start + q->GetTotalSectors()) * 2048);

  // The anchor UDF readers look for at 256 records 256 and leads to the second image's
  // descriptor sequences.
  const std::vector<uint8_t> anchor(bytes.begin() + 256 * 2048, bytes.begin() + 257 * 2048);
  EXPECT_EQ(anchor[0], 2);
  EXPECT_EQ(anchor[1], 0);
  EXPECT_EQ(Le32(anchor, 12), 256u);
  EXPECT_EQ(Le32(anchor, 16), 32768u);
  EXPECT_EQ(Le32(anchor, 20), start + 32);
  EXPECT_EQ(Le32(anchor, 24), 32768u);
  EXPECT_EQ(Le32(anchor, 28), start + 48);

  const std::string info = Sh("udfinfo --utf8 " + testenv::Quote(medium) + " 2>&1");
  EXPECT_NE(info.find("label=Druhy vypal"), std::string::npos) << info;
  ExpectSameTree(second, ExtractUdf(medium), "7z, UDF view");
  ExpectSameTree(second, ExtractJoliet(medium), "xorriso, Joliet view");
  const std::string iso = Sh("isoinfo -d -i " + testenv::Quote(medium));
  EXPECT_NE(iso.find("Volume id: DRUHY VYPAL"), std::string::npos) << iso;
  // The level-1 tree lists the second burn's six files and two folders (the first had one file
  // less).
  const std::string names = Sh("isoinfo -f -i " + testenv::Quote(medium));
  EXPECT_EQ(std::count(names.begin(), names.end(), '\n'), 8) << names;
}

INSTANTIATE_TEST_SUITE_P(RandomAccess, EngineGrownUdfTest,
                         ::testing::Values(TMediumKind::DvdPlusRw, TMediumKind::DvdRam,
                                           TMediumKind::BdRe),
                         [](const auto& info) {
                           return std::string(info.param == TMediumKind::DvdPlusRw ? "dvdplusrw"
                                              : info.param == TMediumKind::DvdRam  ? "dvdram"
                                                                                   : "bdre");
                         });

}  // namespace
}  // namespace engine_e2e
