// Media written more than once: a second session on appendable write-once media and a DVD+RW
// whose volume grows, read back by xorriso.
#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

uint32_t Le32(const std::vector<uint8_t>& s, size_t at) {
  return uint32_t(s[at]) | uint32_t(s[at + 1]) << 8 | uint32_t(s[at + 2]) << 16 | uint32_t(s[at + 3]) << 24;
}

// The next writable address the recorder reports (medium LBA where a new session starts), read
// from the export: the second session's descriptors are the first "CD001" after the first.
uint32_t SecondSessionStart(const std::vector<uint8_t>& medium, uint32_t after) {
  for (uint32_t lba = after; (lba + 17) * 2048 <= medium.size(); ++lba)
    if (std::memcmp(&medium[(lba + 16) * 2048 + 1], "CD001", 5) == 0 && medium[(lba + 16) * 2048] == 1) return lba;
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
  ExpectSameTree(second, ExtractJoliet(medium, start), "second session at " + std::to_string(start));
}

INSTANTIATE_TEST_SUITE_P(WriteOnce, EngineSessionsTest, ::testing::Values(TMediumKind::CdR, TMediumKind::DvdPlusR),
                         [](const auto& info) { return info.param == TMediumKind::CdR ? "cd_r" : "dvdplusr"; });

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
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 65536, after.begin() + size_t(firstTotal) * 2048));
  // The first volume's file data is still in place behind the new descriptors.
  EXPECT_TRUE(std::equal(before.begin() + 65536, before.begin() + size_t(firstTotal) * 2048, after.begin() + 65536));
  ExpectSameTree(second, ExtractJoliet(medium), "grown volume");
}

}  // namespace
}  // namespace engine_e2e
