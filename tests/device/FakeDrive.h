#pragma once
// Drives in software for the device-layer tests: they sit behind the drive namespace's
// virtual-drive seam (the one the virtual recorder uses), remember every command block that
// reached them and answer from per-opcode handlers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/qvpSCSILib.h"
#include "platform/Drives.h"
#include "tests/support/TestEnv.h"

namespace devtest {

struct TSeenCommand {
  std::vector<uint8_t> Cdb;
  uint8_t Direction = 0xFF;
  uint32_t DataLength = 0;
  std::vector<uint8_t> DataOut;  // what a data-out command carried
};

// Fixed-format sense with a key and ASC/ASCQ.
inline void FillSense(uint8_t* sense, uint8_t senseLen, uint8_t key, uint8_t asc, uint8_t ascq) {
  uint8_t s[32] = {};
  s[0] = 0x70;
  s[2] = key;
  s[7] = 10;
  s[12] = asc;
  s[13] = ascq;
  std::memcpy(sense, s, std::min<size_t>(senseLen, sizeof s));
}

class TFakeDrive : public plat::TVirtualDrive {
 public:
  // Returns the SCSI status; data holds len bytes of the transfer.
  using THandler = std::function<uint8_t(const uint8_t* cdb, uint8_t* data, uint32_t len, uint8_t* sense,
                                         uint8_t senseLen)>;

  explicit TFakeDrive(std::string vendor = "ARDOVAN", std::string product = "Fake Recorder",
                      std::string revision = "1.0")
      : path_(testenv::MakeTempDir("fake")), vendor_(std::move(vendor)), product_(std::move(product)),
        revision_(std::move(revision)) {
    On(0x12, [this](const uint8_t*, uint8_t* d, uint32_t n, uint8_t*, uint8_t) {
      uint8_t inq[96] = {};
      inq[0] = 5;
      inq[4] = 91;
      std::memset(inq + 8, ' ', 28);
      std::memcpy(inq + 8, vendor_.data(), std::min<size_t>(8, vendor_.size()));
      std::memcpy(inq + 16, product_.data(), std::min<size_t>(16, product_.size()));
      std::memcpy(inq + 32, revision_.data(), std::min<size_t>(4, revision_.size()));
      std::memcpy(d, inq, std::min<size_t>(n, sizeof inq));
      return uint8_t{0};
    });
  }

  void SetAddress(uint8_t port, uint8_t target, uint8_t lun) {
    hasAddress_ = true;
    address_.PortNumber = port;
    address_.TargetId = target;
    address_.Lun = lun;
  }

  void On(uint8_t opcode, THandler h) {
    std::lock_guard<std::mutex> g(m_);
    handlers_[opcode] = std::move(h);
  }
  // Answers an opcode with fixed data (status GOOD).
  void Reply(uint8_t opcode, std::vector<uint8_t> bytes) {
    On(opcode, [bytes](const uint8_t*, uint8_t* d, uint32_t n, uint8_t*, uint8_t) {
      std::memcpy(d, bytes.data(), std::min<size_t>(n, bytes.size()));
      return uint8_t{0};
    });
  }
  // Answers an opcode with CHECK CONDITION.
  void Fail(uint8_t opcode, uint8_t key = 5, uint8_t asc = 0x20, uint8_t ascq = 0) {
    On(opcode, [=](const uint8_t*, uint8_t*, uint32_t, uint8_t* s, uint8_t sl) {
      FillSense(s, sl, key, asc, ascq);
      return uint8_t{2};
    });
  }

  std::vector<TSeenCommand> Seen() const {
    std::lock_guard<std::mutex> g(m_);
    return seen_;
  }
  // The commands with one opcode, in order.
  std::vector<TSeenCommand> Seen(uint8_t opcode) const {
    std::vector<TSeenCommand> out;
    for (auto& c : Seen())
      if (c.Cdb[0] == opcode) out.push_back(c);
    return out;
  }
  void Forget() {
    std::lock_guard<std::mutex> g(m_);
    seen_.clear();
  }

  std::string Path() const override { return path_; }
  bool Address(plat::TScsiAddress& a) const override {
    if (!hasAddress_) return false;
    a = address_;
    return true;
  }
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data, uint32_t dataLen,
                  uint8_t* sense, uint8_t senseLen) override {
    THandler h;
    {
      std::lock_guard<std::mutex> g(m_);
      TSeenCommand c;
      c.Cdb.assign(cdb, cdb + cdbLen);
      c.Direction = direction;
      c.DataLength = dataLen;
      if (direction == plat::kScsiDataOut && data) c.DataOut.assign(data, data + dataLen);
      seen_.push_back(std::move(c));
      auto it = handlers_.find(cdb[0]);
      if (it != handlers_.end()) h = it->second;
    }
    if (!h) return 0;
    return h(cdb, data, dataLen, sense, senseLen);
  }

 private:
  mutable std::mutex m_;
  std::string path_;
  std::string vendor_, product_, revision_;
  bool hasAddress_ = false;
  plat::TScsiAddress address_;
  std::map<uint8_t, THandler> handlers_;
  std::vector<TSeenCommand> seen_;
};

// Puts fake drives into the namespace (letters from D, in order) and takes them out again.
class FakeDriveTest : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));  // no real drive of the machine
    dev = std::make_unique<qvp::TSCSIDevice>();
    std::memset(dev.get(), 0, sizeof *dev);
  }
  void TearDown() override {
    qvp::ReleaseDevice(*dev);
    plat::SetVirtualDriveProvider(nullptr);
    plat::RescanDrives();
  }
  void Install(std::vector<std::shared_ptr<TFakeDrive>> drives) {
    std::vector<std::shared_ptr<plat::TVirtualDrive>> list(drives.begin(), drives.end());
    plat::SetVirtualDriveProvider([list] { return list; });
    plat::RescanDrives();
  }
  // One addressed fake drive, discovered and selected.
  std::shared_ptr<TFakeDrive> SelectOne() {
    auto d = std::make_shared<TFakeDrive>();
    d->SetAddress(1, 0, 0);
    Install({d});
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
