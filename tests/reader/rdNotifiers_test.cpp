// Device and medium notifications, polled on the scaled platform clock.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "reader/rdDevices.h"
#include "tests/reader/DiscDrive.h"
#include "tests/reader/EventLog.h"

using rdtest::TDiscDrive;

namespace {

class NotifierTest : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetClockScale(1000);
    rd::SetDriveWatchInterval(100);
  }
  void TearDown() override {
    scripted::RemoveDrives();
    rd::SetDriveWatchInterval(rd::kDefaultWatchIntervalMs);
    plat::SetClockScale(1);
  }
};

TEST_F(NotifierTest, DrivesEnteringAndLeavingTheNamespaceAreReported) {
  auto d = std::make_shared<TDiscDrive>();
  auto e = std::make_shared<TDiscDrive>();
  e->Load(std::vector<uint8_t>(2048, 0));
  scripted::InstallDrives({d});
  rdtest::TEventLog log;
  rd::TDeviceNotifier devices;
  rd::TDiskNotifier disks;
  devices.OnDeviceArrival = [&](rd::TDeviceNotifier*, const std::string& l) {
    log.Add("arrival " + l);
  };
  devices.OnDeviceRemoval = [&](rd::TDeviceNotifier*, const std::string& l) {
    log.Add("removal " + l);
  };
  disks.OnDiskInserted = [&](rd::TDiskNotifier*, const std::string& l) {
    log.Add("inserted " + l);
  };
  disks.OnDiskRemoved = [&](rd::TDiskNotifier*, const std::string& l) { log.Add("removed " + l); };
  devices.Start();
  disks.Start();

  // A drive with a disc in it comes, then goes.
  std::vector<std::shared_ptr<plat::TVirtualDrive>> both{d, e};
  plat::SetVirtualDriveProvider([both] { return both; });
  EXPECT_EQ(log.WaitFor(2), (std::vector<std::string>{"arrival E", "inserted E"}));
  std::vector<std::shared_ptr<plat::TVirtualDrive>> one{d};
  plat::SetVirtualDriveProvider([one] { return one; });
  EXPECT_EQ(log.WaitFor(4),
            (std::vector<std::string>{"arrival E", "inserted E", "removed E", "removal E"}));
  devices.Stop();
  disks.Stop();
  EXPECT_FALSE(devices.Active());
}

}  // namespace
