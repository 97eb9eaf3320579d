// The blank offered for a job waiting for one: the source's family, room enough, a kind the
// recorder writes, the user's last choice first.
#include "tests/vdrive/Harness.h"
#include "vdrive/BlankChoice.h"

namespace vdtest {
namespace {

using vdrive::TBlankNeed;
using vdrive::TFamily;
using K = vdrive::TMediumKind;

vdrive::TDriveModel Model(const char* name) { return *vdrive::PresetModel(name); }

TEST(BlankChoice, FamilyRoomAndTheRecordersMedia) {
  const auto bd = Model("bd");
  // A pressed DVD of 1 GB and one of 6 GB: single layer while it fits, then double layer.
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Dvd, 500000}), K::DvdPlusR);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Dvd, 3000000}), K::DvdPlusRDl);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Dvd, 5000000}), std::nullopt);
  // A CD stays a CD; the last choice wins when it qualifies, not when it has no room or is no CD.
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Cd, 1000}), K::CdR);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Cd, 1000}, K::CdRw), K::CdRw);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Cd, 1000}, K::DvdRw), K::CdR);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{TFamily::Dvd, 2296000}, K::DvdRam), K::DvdR);
  // No family: the smallest that holds it.
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{std::nullopt, 400000}), K::DvdPlusR);
  EXPECT_EQ(vdrive::ChooseBlank(bd, TBlankNeed{std::nullopt, 5000000}), K::BdR);
  // A recorder that writes no such medium has nothing to offer.
  EXPECT_EQ(vdrive::ChooseBlank(Model("cd"), TBlankNeed{TFamily::Dvd, 1000}), std::nullopt);
  EXPECT_EQ(vdrive::ChooseBlank(Model("dvd"), TBlankNeed{std::nullopt, 5000000}), std::nullopt);
  EXPECT_EQ(vdrive::ChooseBlank(Model("hddvd"), TBlankNeed{TFamily::HdDvd, 1}), K::HdDvdR);
}

TEST(BlankChoice, CopyOfTheDiscInTheRecorder) {
  TDrive d("bd");
  const std::string image = testenv::MakeTempDir("rom") + "/disc.iso";
  testenv::WriteFile(image, std::vector<uint8_t>(1000 * 2048, 0x5A));
  std::string error;
  ASSERT_TRUE(vdrive::InsertPressed(d.dir, image, K::DvdRom, error)) << error;
  vdrive::TLoadState s;
  ASSERT_TRUE(vdrive::ReadLoadState(d.dir, s, error));
  const TBlankNeed need = vdrive::NeedOf(*s.disc);
  EXPECT_EQ(need.family, TFamily::Dvd);
  EXPECT_EQ(need.blocks, 1000u);
  EXPECT_EQ(vdrive::InsertBlankFor(d.dir, need, K::DvdRw, error), K::DvdRw) << error;
  ASSERT_TRUE(vdrive::ReadLoadState(d.dir, s, error));
  EXPECT_EQ(s.disc->kind, K::DvdRw);
  EXPECT_EQ(s.disc->DiscStatus(), 0);
  EXPECT_EQ(vdrive::InsertBlankFor(d.dir, TBlankNeed{TFamily::Cd, 400000}, std::nullopt, error),
            std::nullopt);
  EXPECT_NE(error.find("writes no blank"), std::string::npos) << error;
}

}  // namespace
}  // namespace vdtest
