#pragma once
// A scripted drive for the reading-library tests: it holds a pressed data disc or none, answers
// the commands the library sends, and can be told to fail reads of some blocks.
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/ScriptedDrive.h"
#include "tests/support/TestEnv.h"

namespace rdtest {

class TDiscDrive : public scripted::TScriptedDrive {
 public:
  explicit TDiscDrive(std::string product = "DVD-RW TEST 1", std::string vendor = "ARDOVAN")
      : TScriptedDrive(testenv::MakeTempDir("disc"),
                       {std::move(vendor), std::move(product), "1.02", "VS-2026-11-30"}) {}

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

 protected:
  uint8_t Answer(const scripted::TExchange& x) override {
    std::lock_guard<std::mutex> g(m_);
    if (unitAttention_ && x.Cdb[0] != 0x12) {
      unitAttention_ = false;
      return x.Check(6, 0x28);
    }
    switch (x.Cdb[0]) {
      case 0x12:
        return x.Reply(InquiryAnswer());
      case 0x00:
        return loaded_ ? uint8_t{0} : x.Check(2, 0x3A);
      case 0x46: {
        std::vector<uint8_t> h(8, 0);
        const uint16_t p = loaded_ ? profile_ : 0;
        h[3] = 4;
        h[6] = static_cast<uint8_t>(p >> 8);
        h[7] = static_cast<uint8_t>(p);
        return x.Reply(h);
      }
      case 0x43: {
        if (!loaded_) return x.Check(2, 0x3A);
        if (failToc_) return x.Check(3, 0x57);
        // One data track from 0 and the lead-out.
        std::vector<uint8_t> t = {0, 18, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0};
        for (int shift : {24, 16, 8, 0}) t.push_back(static_cast<uint8_t>(leadOut_ >> shift));
        return x.Reply(t);
      }
      case 0x28: {
        if (!loaded_) return x.Check(2, 0x3A);
        const uint8_t* c = x.Cdb;
        const uint32_t lba =
            uint32_t{c[2]} << 24 | uint32_t{c[3]} << 16 | uint32_t{c[4]} << 8 | c[5];
        const uint32_t count = uint32_t{c[7]} << 8 | c[8];
        if (badTimes_ != 0 && lba < badFirst_ + badCount_ && badFirst_ < lba + count) {
          if (badTimes_ > 0) --badTimes_;
          return x.Check(3, 0x11);
        }
        if (uint64_t{lba} + count > image_.size() / 2048 || x.DataLength < count * 2048)
          return x.Check(5, 0x21);
        std::memcpy(x.Data, image_.data() + size_t{lba} * 2048, size_t{count} * 2048);
        return 0;
      }
      default:
        return 0;
    }
  }

 private:
  std::mutex m_;
  std::vector<uint8_t> image_;
  uint32_t leadOut_ = 0;
  uint16_t profile_ = 0;
  bool loaded_ = false;
  bool failToc_ = false;
  bool unitAttention_ = false;
  uint32_t badFirst_ = 0, badCount_ = 0;
  int badTimes_ = 0;
};

}  // namespace rdtest
