// Device and medium notifications, polled on the scaled platform clock.
#include <gtest/gtest.h>

#include <mutex>

#include "platform/Clock.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"
#include "tests/reader/DiscDrive.h"

using rdtest::TDiscDrive;

namespace {

// Collects "<kind> <letter>" lines from the watcher thread and wakes the test on each.
class TEventLog {
 public:
  void Add(const std::string& line) {
    {
      std::lock_guard<std::mutex> g(m_);
      lines_.push_back(line);
    }
    arrived_.Set();
  }
  // Waits until `count` lines have arrived (a generous guard, on the scaled clock).
  std::vector<std::string> WaitFor(size_t count) {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard<std::mutex> g(m_);
        if (lines_.size() >= count) return lines_;
        arrived_.Reset();
      }
      arrived_.WaitFor(60000);
    }
    std::lock_guard<std::mutex> g(m_);
    return lines_;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> g(m_);
    return lines_;
  }

 private:
  std::mutex m_;
  std::vector<std::string> lines_;
  plat::TEvent arrived_;
};

class NotifierTest : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetClockScale(1000);
    rd::SetDriveWatchInterval(100);
  }
  void TearDown() override {
    rdtest::RemoveDrives();
    rd::SetDriveWatchInterval(rd::kDefaultWatchIntervalMs);
    plat::SetClockScale(1);
  }
};

TEST_F(NotifierTest, DrivesEnteringAndLeavingTheNamespaceAreReported) {
  auto d = std::make_shared<TDiscDrive>();
  auto e = std::make_shared<TDiscDrive>();
  e->Load(std::vector<uint8_t>(2048, 0));
  rdtest::InstallDrives({d});
  TEventLog log;
  rd::TDeviceNotifier devices;
  rd::TDiskNotifier disks;
  devices.OnDeviceArrival = [&](rd::TDeviceNotifier*, const std::string& l) { log.Add("arrival " + l); };
  devices.OnDeviceRemoval = [&](rd::TDeviceNotifier*, const std::string& l) { log.Add("removal " + l); };
  disks.OnDiskInserted = [&](rd::TDiskNotifier*, const std::string& l) { log.Add("inserted " + l); };
  disks.OnDiskRemoved = [&](rd::TDiskNotifier*, const std::string& l) { log.Add("removed " + l); };
  devices.Start();
  disks.Start();

  // A drive with a disc in it comes, then goes.
  std::vector<std::shared_ptr<plat::TVirtualDrive>> both{d, e};
  plat::SetVirtualDriveProvider([both] { return both; });
  EXPECT_EQ(log.WaitFor(2), (std::vector<std::string>{"arrival E", "inserted E"}));
  std::vector<std::shared_ptr<plat::TVirtualDrive>> one{d};
  plat::SetVirtualDriveProvider([one] { return one; });
  EXPECT_EQ(log.WaitFor(4), (std::vector<std::string>{"arrival E", "inserted E", "removed E", "removal E"}));
  devices.Stop();
  disks.Stop();
  EXPECT_FALSE(devices.Active());
}

}  // namespace
