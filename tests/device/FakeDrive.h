#pragma once
// Drives in software for the device-layer tests: scripted drives that answer from per-opcode
// handlers (INQUIRY with their identification unless a test says otherwise).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/qvpSCSILib.h"
#include "tests/support/ScriptedDrive.h"
#include "tests/support/TestEnv.h"

namespace devtest {

class TFakeDrive : public scripted::TScriptedDrive {
 public:
  // Returns the SCSI status.
  using THandler = std::function<uint8_t(const scripted::TExchange& x)>;

  explicit TFakeDrive(std::string vendor = "ARDOVAN", std::string product = "Fake Recorder",
                      std::string revision = "1.0")
      : TScriptedDrive(testenv::MakeTempDir("fake"),
                       {std::move(vendor), std::move(product), std::move(revision), ""}) {
    Reply(0x12, InquiryAnswer());
  }

  void On(uint8_t opcode, THandler h) {
    std::lock_guard<std::mutex> g(m_);
    handlers_[opcode] = std::move(h);
  }
  // Answers an opcode with fixed data (status GOOD).
  void Reply(uint8_t opcode, std::vector<uint8_t> bytes) {
    On(opcode, [bytes](const scripted::TExchange& x) { return x.Reply(bytes); });
  }
  // Answers an opcode with CHECK CONDITION.
  void Fail(uint8_t opcode, uint8_t key = 5, uint8_t asc = 0x20, uint8_t ascq = 0) {
    On(opcode, [=](const scripted::TExchange& x) { return x.Check(key, asc, ascq); });
  }

 protected:
  uint8_t Answer(const scripted::TExchange& x) override {
    THandler h;
    {
      std::lock_guard<std::mutex> g(m_);
      auto it = handlers_.find(x.Cdb[0]);
      if (it != handlers_.end()) h = it->second;
    }
    return h ? h(x) : uint8_t{0};
  }

 private:
  std::mutex m_;
  std::map<uint8_t, THandler> handlers_;
};

// Each test starts with no drive in the namespace and a device record of its own.
class FakeDriveTest : public testing::Test {
 protected:
  void SetUp() override {
    scripted::InstallDrives({});
    dev = std::make_unique<qvp::TSCSIDevice>();
    std::memset(dev.get(), 0, sizeof *dev);
  }
  void TearDown() override {
    qvp::ReleaseDevice(*dev);
    scripted::RemoveDrives();
  }
  // One addressed fake drive, discovered and selected.
  std::shared_ptr<TFakeDrive> SelectOne() {
    auto d = std::make_shared<TFakeDrive>();
    d->SetAddress(1, 0, 0);
    scripted::InstallDrives({d});
    EXPECT_TRUE(qvp::InitializeDevices(*dev, 0, "", ""));
    EXPECT_TRUE(qvp::SelectDevice(*dev, 0));
    d->Forget();
    return d;
  }

  std::unique_ptr<qvp::TSCSIDevice> dev;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// A CDB padded with zeros to its length, for literal comparisons.
inline std::vector<uint8_t> Cdb(size_t length, std::initializer_list<int> head) {
  std::vector<uint8_t> out = Bytes(head);
  out.resize(length, 0);
  return out;
}

}  // namespace devtest
