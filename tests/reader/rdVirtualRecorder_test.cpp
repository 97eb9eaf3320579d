// The reading library against virtual recorders driven by ardovan-vdrive, as a user's copy runs.
#include <gtest/gtest.h>

#include "platform/Aspi.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"
#include "reader/rdSCSI.h"
#include "tests/reader/EventLog.h"
#include "tests/support/TestEnv.h"
#include "vdrive/VirtualDrives.h"

namespace {

class VirtualRecorderTest : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetClockScale(1000);
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
  }
  void TearDown() override {
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::SetVirtualDriveProvider(nullptr);
    plat::RescanDrives();
    rd::SetDriveWatchInterval(rd::kDefaultWatchIntervalMs);
    plat::SetClockScale(1);
  }

  static void Vdrive(const std::string& args) {
    std::string out;
    const std::string tool = testenv::BinaryDir() + "/vdrive/ardovan-vdrive";
    ASSERT_EQ(testenv::Run(testenv::Quote(tool) + " " + args, &out), 0) << args << "\n" << out;
  }
  // Recorders in new folders, made by the tool, then the namespace's letters D, E, ...
  std::vector<std::string> Recorders(int n, const std::string& createArgs = "") {
    std::vector<std::string> dirs;
    std::string list;
    for (int i = 0; i < n; ++i) {
      dirs.push_back(testenv::MakeTempDir("recorder"));
      Vdrive("create " + testenv::Quote(dirs.back()) + " " + createArgs);
      list += (i ? ":" : "") + dirs.back();
    }
    testenv::SetEnv("ARDOVAN_VDRIVES", list);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
    return dirs;
  }
  std::string PressedImage(size_t blocks, uint32_t seed) {
    std::string path = testenv::MakeTempDir("images") + "/disc.iso";
    testenv::WriteFile(path, testenv::RandomBytes(blocks * 2048, seed));
    return path;
  }
  // A freshly loaded medium takes its load time before it answers: wait as the copy window does,
  // until the unit is ready.
  // Copies the disc of the list's first drive once it is ready, keeping the reader's messages.
  bool Copy(const std::string& to) {
    rd::TDevices list;
    EXPECT_EQ(list.Count(), 1);
    rd::TDevice& dev = *list.Items(0);
    EXPECT_TRUE(WaitReady(dev.Info()));
    dev.Reader().OnMessage = [this](rd::TDeviceReader*, const std::string& t) {
      messages.push_back(t);
    };
    return dev.Reader().ReadToImage(to);
  }
  static bool WaitReady(const rd::TCDBurnerInfo& info) {
    const uint8_t tur[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 1000; ++i) {
      if (rd::ExecuteOn(info, tur, sizeof tur, 0, nullptr, 0) == plat::SS_COMP) return true;
      plat::Sleep(50);
    }
    return false;
  }

  std::vector<std::string> messages;
};

TEST_F(VirtualRecorderTest, PressedDiscIsCopiedBackByteForByte) {
  auto dirs = Recorders(1);
  const std::string image = PressedImage(3001, 77);
  Vdrive("insert " + testenv::Quote(dirs[0]) + " --rom " + testenv::Quote(image));

  const std::string copy = plat::TempPath() + "ardovan.iso";
  ASSERT_TRUE(Copy(copy));
  EXPECT_TRUE(testenv::ReadFile(copy) == testenv::ReadFile(image));
  EXPECT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0], "Get Last Block Address : 3001");
}

TEST_F(VirtualRecorderTest, ArmedReadFaultLeavesZerosAMessageAndFailure) {
  auto dirs = Recorders(1);
  const std::string image = PressedImage(200, 78);
  Vdrive("insert " + testenv::Quote(dirs[0]) + " --rom " + testenv::Quote(image));
  Vdrive("fault " + testenv::Quote(dirs[0]) +
         " --opcode 28 --sense 3/11/00 --lba 100-103 --times 0");

  const std::string copy = plat::TempPath() + "ardovan.iso";
  EXPECT_FALSE(Copy(copy));

  auto expected = testenv::ReadFile(image);
  std::fill(expected.begin() + 100 * 2048, expected.begin() + 104 * 2048, 0);
  auto got = testenv::ReadFile(copy);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  EXPECT_NE(std::find(messages.begin(), messages.end(),
                      "Unreadable Blocks : 100 - 103, written as zeros"),
            messages.end());
}

TEST_F(VirtualRecorderTest, RecordersWithoutAddressShareOneNewAdapter) {
  auto dirs = Recorders(2, "--no-address");
  Vdrive("insert " + testenv::Quote(dirs[1]) + " --rom " + testenv::Quote(PressedImage(40, 79)));
  {
    rd::TrdSCSI scsi;
    EXPECT_EQ(scsi.GetSupportInfo(), 0x0102u);
  }
  rd::TDevices list;
  ASSERT_EQ(list.Count(), 2);
  const rd::TCDBurnerInfo& d = list.Items(0)->Info();
  const rd::TCDBurnerInfo& e = list.Items(1)->Info();
  EXPECT_EQ((std::vector<int>{d.Letter, d.HostAdapter, d.Target, d.Lun}),
            (std::vector<int>{'D', 1, 0, 0}));
  EXPECT_EQ((std::vector<int>{e.Letter, e.HostAdapter, e.Target, e.Lun}),
            (std::vector<int>{'E', 1, 1, 0}));
  EXPECT_EQ(e.Vendor, "ARDOVAN");
  ASSERT_TRUE(WaitReady(e));
  rd::TToc toc;
  EXPECT_EQ(list.Items(1)->Reader().ReadToc(toc), plat::SS_COMP);
  ASSERT_GE(toc.DescriptorCount, 2);
  EXPECT_EQ(toc.Descriptors[static_cast<size_t>(toc.DescriptorCount - 1)].Address, 40u);
}

TEST_F(VirtualRecorderTest, InsertAndEjectAreNotifiedToTheDeviceOfThatDrive) {
  rd::SetDriveWatchInterval(200);
  auto dirs = Recorders(2);
  rd::TDevices list;
  ASSERT_EQ(list.Count(), 2);
  rdtest::TEventLog seen;
  for (int i = 0; i < 2; ++i) {
    rd::TDevice* dev = list.Items(i);
    auto log = [&seen, dev](const std::string& what) {
      seen.Add(std::string(1, dev->Info().Letter) + what + dev->DiscInfo().ProfileText());
    };
    dev->OnDiskInserted = [log](rd::TDevice*, const std::string& l) { log(" in " + l + " "); };
    dev->OnDiskRemoved = [log](rd::TDevice*, const std::string& l) { log(" out " + l + " "); };
  }
  list.StartNotifications();
  Vdrive("insert " + testenv::Quote(dirs[1]) + " --rom " + testenv::Quote(PressedImage(20, 80)));
  EXPECT_EQ(seen.WaitFor(1), (std::vector<std::string>{"E in E CD-ROM"}));
  Vdrive("eject " + testenv::Quote(dirs[1]));
  EXPECT_EQ(seen.WaitFor(2), (std::vector<std::string>{"E in E CD-ROM", "E out E NONE"}));
  list.StopNotifications();
  // Once stopped, nothing more is reported.
  Vdrive("insert " + testenv::Quote(dirs[0]) + " --rom " + testenv::Quote(PressedImage(20, 81)));
  ASSERT_TRUE(WaitReady(list.Items(0)->Info()));
  EXPECT_EQ(seen.Lines().size(), 2u);
}

}  // namespace
