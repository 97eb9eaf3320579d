// The virtual recorder as a second program sees it while a burn holds it, and as a user meets
// recorders that do not work: every case is told apart, none is taken for another.
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

std::string Status(const std::string& rec) {
  std::string json, error;
  EXPECT_TRUE(vdrive::RecorderStatus(rec, json, error)) << error;
  return json;
}

void Arm(const std::string& rec, const std::function<void(vdrive::TFaults&)>& change) {
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(rec, change, error)) << error;
}

TEST_F(EngineBurn, OneRecorderOneBurnTheOtherProgramIsRefusedAndChangesNothing) {
  Use("bd");
  Insert(TMediumKind::CdR);
  // The first program holds the recorder from before its checks to the end of its burn.
  ASSERT_TRUE(q->ClaimRecorder());
  TQuorvexPro other(true);
  ASSERT_TRUE(other.InitializeDevices(0, "", ""));
  ASSERT_TRUE(other.SelectDevice(0));
  const std::string before = Status(rec);
  const std::string src = MakeSourceFolder(31);
  other.ClearCompilation();
  ASSERT_NE(other.InsertDir("\\", src, false, true, "*.*"), nullptr);
  ASSERT_GT(other.PrepareImage(), 0);
  EXPECT_FALSE(other.BurnData());
  EXPECT_EQ(other.GetLastErrorCode(), kErrRecorderInUse);
  EXPECT_EQ(other.GetRecorderHolderPid(), ::getpid());
  EXPECT_EQ(Status(rec), before);
  // Asking about the medium stays possible.
  EXPECT_EQ(other.GetMediumType(), 2);

  Compile(src, "Jeden");
  BurnData();
  ExpectSameTree(src, ExtractJoliet(Export()), "the burn that held the recorder");
  q->ReleaseRecorder();
  EXPECT_TRUE(other.ClaimRecorder());
}

TEST_F(EngineBurn, RecordersThatDoNotWorkAreNotTakenForNone) {
  // None at all.
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  vdrive::RegisterVirtualDrives();
  plat::RescanDrives();
  {
    TQuorvexPro none(true);
    none.InitializeDevices(0, "", "");
    EXPECT_EQ(none.GetDeviceCount(), 0);
    EXPECT_TRUE(none.GetUnusableRecorders().empty());
  }
  // A recorder whose folder is damaged is named with its reason.
  const std::string damaged = testenv::MakeTempDir("damaged");
  std::string error;
  ASSERT_TRUE(vdrive::CreateRecorder(damaged, "dvd", false, error)) << error;
  testenv::WriteFile(damaged + "/drive.json", std::string("{ not json"));
  testenv::SetEnv("ARDOVAN_VDRIVES", damaged);
  plat::RescanDrives();
  {
    TQuorvexPro broken(true);
    broken.InitializeDevices(0, "", "");
    EXPECT_EQ(broken.GetDeviceCount(), 0);
    const auto unusable = broken.GetUnusableRecorders();
    ASSERT_EQ(unusable.size(), 1u);
    EXPECT_EQ(unusable[0].Path, damaged);
    EXPECT_FALSE(unusable[0].Reason.empty());
  }

  // A recorder that keeps answering BUSY, and one that refuses to identify itself.
  Use("dvd");
  Arm(rec, [](vdrive::TFaults& f) { f.busy = 1000; });
  EXPECT_FALSE(q->SelectDevice(0));
  EXPECT_EQ(q->GetSelectAnswer(), kSelectBusy);
  ASSERT_TRUE(vdrive::ClearFaults(rec, error)) << error;
  Arm(rec, [](vdrive::TFaults& f) {
    vdrive::TOpcodeFault refuse;
    refuse.opcode = 0x12;
    refuse.times = 0;
    refuse.sense = vdrive::TSense{0x05, 0x24, 0x00};
    f.commands.push_back(refuse);
  });
  EXPECT_FALSE(q->SelectDevice(0));
  EXPECT_EQ(q->GetSelectAnswer(), kSelectRefused);
  EXPECT_FALSE(q->SelectDevice(3));
  EXPECT_EQ(q->GetSelectAnswer(), kSelectNoSuchDrive);
  ASSERT_TRUE(vdrive::ClearFaults(rec, error)) << error;
  ASSERT_TRUE(q->SelectDevice(0));
  EXPECT_EQ(q->GetSelectAnswer(), kSelectAnswered);
}

TEST_F(EngineBurn, NoMediumIsToldFromAMediumNotReadyYet) {
  using qvp::TMediumReadiness;
  Use("dvd");
  // Asked once each time: the answer as the drive gives it now.
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), TMediumReadiness::NoMedium);
  std::string error;
  ASSERT_TRUE(vdrive::EjectMedium(rec, error)) << error;
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), TMediumReadiness::NoMedium);
  Insert(TMediumKind::DvdPlusR);
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), TMediumReadiness::Ready);
  // The drive still spinning the disc up: not ready yet, which is no missing disc.
  Arm(rec, [](vdrive::TFaults& f) {
    vdrive::TOpcodeFault spinning;
    spinning.opcode = 0x00;
    spinning.sense = vdrive::TSense{0x02, 0x04, 0x01};
    f.commands.push_back(spinning);
  });
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), TMediumReadiness::TimedOut);
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), TMediumReadiness::Ready);
}

}  // namespace
}  // namespace engine_e2e
