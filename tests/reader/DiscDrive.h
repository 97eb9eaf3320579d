#pragma once
// A drive in software for the reading-library tests, behind the namespace's virtual-drive seam
// (the one the virtual recorder implements): it holds a pressed data disc or none, answers the
// commands the library sends, can be told to fail reads of some blocks, and remembers every
// command block that reached it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "tests/support/TestEnv.h"

namespace rdtest {

class TDiscDrive : public plat::TVirtualDrive {
 public:
  explicit TDiscDrive(std::string product = "DVD-RW TEST 1", std::string vendor = "ARDOVAN")
      : path_(testenv::MakeTempDir("disc")), vendor_(std::move(vendor)), product_(std::move(product)) {}

  void SetAddress(uint8_t port, uint8_t target, uint8_t lun) {
    std::lock_guard<std::mutex> g(m_);
    hasAddress_ = true;
    address_ = plat::TScsiAddress{8, port, 0, target, lun};
  }
  // Loads a disc holding image (a whole number of blocks); the lead-out follows its last block.
  void Load(std::vector<uint8_t> image, uint16_t profile = 0x0010) {
    std::lock_guard<std::mutex> g(m_);
    image_ = std::move(image);
    leadOut_ = static_cast<uint32_t>(image_.size() / 2048);
    profile_ = profile;
    loaded_ = true;
  }
  void Eject() {
    std::lock_guard<std::mutex> g(m_);
    loaded_ = false;
  }
  void SetLeadOut(uint32_t lba) {
    std::lock_guard<std::mutex> g(m_);
    leadOut_ = lba;
  }
  // READ(10) touching blocks [first, first + count) fails with a medium error, `times` times
  // (negative: always).
  void FailReads(uint32_t first, uint32_t count, int times = -1) {
    std::lock_guard<std::mutex> g(m_);
    badFirst_ = first;
    badCount_ = count;
    badTimes_ = times;
  }
  void FailToc() {
    std::lock_guard<std::mutex> g(m_);
    failToc_ = true;
  }
  // The next command answers unit attention (medium may have changed), as after an insertion.
  void PendUnitAttention() {
    std::lock_guard<std::mutex> g(m_);
    unitAttention_ = true;
  }

  std::vector<std::vector<uint8_t>> Seen(int opcode = -1) const {
    std::lock_guard<std::mutex> g(m_);
    std::vector<std::vector<uint8_t>> out;
    for (auto& c : seen_)
      if (opcode < 0 || c[0] == opcode) out.push_back(c);
    return out;
  }
  void Forget() {
    std::lock_guard<std::mutex> g(m_);
    seen_.clear();
  }

  std::string Path() const override { return path_; }
  bool Address(plat::TScsiAddress& a) const override {
    std::lock_guard<std::mutex> g(m_);
    a = address_;
    return hasAddress_;
  }

  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t, uint8_t* data, uint32_t dataLen, uint8_t* sense,
                  uint8_t senseLen) override {
    std::lock_guard<std::mutex> g(m_);
    seen_.emplace_back(cdb, cdb + cdbLen);
    auto check = [&](uint8_t key, uint8_t asc) {
      uint8_t s[18] = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, 0};
      std::memcpy(sense, s, std::min<size_t>(senseLen, sizeof s));
      return uint8_t{2};
    };
    auto put = [&](const std::vector<uint8_t>& bytes) {
      std::memcpy(data, bytes.data(), std::min<size_t>(dataLen, bytes.size()));
      return uint8_t{0};
    };
    if (unitAttention_ && cdb[0] != 0x12) {
      unitAttention_ = false;
      return check(6, 0x28);
    }
    switch (cdb[0]) {
      case 0x12: {
        std::vector<uint8_t> inq(96, 0);
        inq[0] = 5;
        inq[4] = 91;
        std::memset(&inq[8], ' ', 28);
        std::memcpy(&inq[8], vendor_.data(), std::min<size_t>(8, vendor_.size()));
        std::memcpy(&inq[16], product_.data(), std::min<size_t>(16, product_.size()));
        std::memcpy(&inq[32], "1.02", 4);
        std::memcpy(&inq[36], "VS-2026-11-30", 13);
        return put(inq);
      }
      case 0x00:
        return loaded_ ? uint8_t{0} : check(2, 0x3A);
      case 0x46: {
        std::vector<uint8_t> h(8, 0);
        uint16_t p = loaded_ ? profile_ : 0;
        h[3] = 4;
        h[6] = static_cast<uint8_t>(p >> 8);
        h[7] = static_cast<uint8_t>(p);
        return put(h);
      }
      case 0x43: {
        if (!loaded_) return check(2, 0x3A);
        if (failToc_) return check(3, 0x57);
        // One data track from 0 and the lead-out.
        std::vector<uint8_t> t = {0, 18, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0};
        t.push_back(static_cast<uint8_t>(leadOut_ >> 24));
        t.push_back(static_cast<uint8_t>(leadOut_ >> 16));
        t.push_back(static_cast<uint8_t>(leadOut_ >> 8));
        t.push_back(static_cast<uint8_t>(leadOut_));
        return put(t);
      }
      case 0x28: {
        if (!loaded_) return check(2, 0x3A);
        uint32_t lba = (uint32_t{cdb[2]} << 24) | (uint32_t{cdb[3]} << 16) | (uint32_t{cdb[4]} << 8) | cdb[5];
        uint32_t count = (uint32_t{cdb[7]} << 8) | cdb[8];
        if (badTimes_ != 0 && lba < badFirst_ + badCount_ && badFirst_ < lba + count) {
          if (badTimes_ > 0) --badTimes_;
          return check(3, 0x11);
        }
        if (uint64_t{lba} + count > image_.size() / 2048 || dataLen < count * 2048) return check(5, 0x21);
        std::memcpy(data, image_.data() + size_t{lba} * 2048, size_t{count} * 2048);
        return 0;
      }
      default:
        return 0;
    }
  }

 private:
  mutable std::mutex m_;
  std::string path_, vendor_, product_;
  bool hasAddress_ = false;
  plat::TScsiAddress address_;
  std::vector<uint8_t> image_;
  uint32_t leadOut_ = 0;
  uint16_t profile_ = 0;
  bool loaded_ = false;
  bool failToc_ = false;
  bool unitAttention_ = false;
  uint32_t badFirst_ = 0, badCount_ = 0;
  int badTimes_ = 0;
  std::vector<std::vector<uint8_t>> seen_;
};

// Puts drives into the namespace (letters from D, in order), with no real drive of the machine.
inline void InstallDrives(const std::vector<std::shared_ptr<TDiscDrive>>& drives) {
  plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
  std::vector<std::shared_ptr<plat::TVirtualDrive>> list(drives.begin(), drives.end());
  plat::SetVirtualDriveProvider([list] { return list; });
  plat::RescanDrives();
}

inline void RemoveDrives() {
  plat::SetVirtualDriveProvider(nullptr);
  plat::RescanDrives();
}

}  // namespace rdtest
