// A medium that reports itself unformatted is formatted by the write job before its first
// WRITE, the way the drive proposes or else with the erase's list.
#include "device/qvpFormat.h"
#include "engine/qvpErase.h"
#include "tests/engine/JobFixture.h"
#include "tests/support/TestEnv.h"

namespace {

using fake::TFault;

struct FreshMediumTest : JobFixture {
  void SetUp() override {
    JobFixture::SetUp();
    drive->Medium.Profile = 0x0043;  // BD-RE
    const std::string dir = testenv::MakeTempDir("src");
    testenv::WriteFile(dir + "/a.bin", testenv::RandomBytes(100000, 1));
    q->ClearCompilation();
    ASSERT_NE(q->InsertDir("\\", dir, false, true, "*.*"), nullptr);
    ASSERT_GT(q->PrepareImage(), 0);
  }
  // An unformatted medium of 0xB47400 blocks with these format descriptors after it.
  void Offer(std::vector<uint8_t> descriptors) {
    std::vector<uint8_t> a{
        0, 0, 0, uint8_t(8 + descriptors.size()), 0x00, 0xB4, 0x74, 0x00, 0x01, 0x00, 0x08, 0x00};
    a.insert(a.end(), descriptors.begin(), descriptors.end());
    drive->Medium.FormatCapacities = a;
  }
  std::vector<uint8_t> FormatList() const {
    const int i = IndexOf(0x04);
    return i < 0 ? std::vector<uint8_t>{} : drive->DataOut(i);
  }
};

TEST_F(FreshMediumTest, FormattedAsTheDriveProposesBeforeTheFirstWrite) {
  Offer({0x00, 0xB4, 0x74, 0x00, 0x00, 0x00, 0x08, 0x00,    // 00h
         0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x30, 0x00});  // 30h, spare areas
  EXPECT_TRUE(q->MediumNeedsFormat());
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(FormatList(), (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0xB4, 0x74, 0x00,
                                                0xC0, 0x00, 0x30, 0x00}));
  EXPECT_EQ(Commands(0x04).at(0)[1], 0x11);
  EXPECT_GT(IndexOf(0x2A), IndexOf(0x04));
  EXPECT_EQ(Commands(0x04).size(), 1u);

  // A drive that proposes nothing fit gets the erase's BD-RE list.
  drive->Forget();
  writeEvents = 0;
  Offer({0x00, 0xBA, 0x74, 0x00, 0xC4, 0x00, 0x00, 0x00});  // only 31h
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_EQ(FormatList(), std::vector<uint8_t>(qvp::kFormatBdReQuick, qvp::kFormatBdReQuick + 12));
}

TEST_F(FreshMediumTest, RefusedFormatEndsTheJobBeforeAnyWrite) {
  Offer({0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x30, 0x00});
  drive->Fault = [](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x04) return TFault{2, 0x05, 0x31, 0x01};  // format command failed
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(IndexOf(0x2A), -1);
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 12545");
}

}  // namespace
