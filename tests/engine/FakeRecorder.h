#pragma once
// A scripted recorder for the engine tests: it answers the MMC commands the engine sends from a
// small medium model, keeps what is written, and lets a test refuse chosen commands with sense
// data or BUSY. The engine above it, the command layer and the pass-through are the real ones.
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "device/qvpSCSIDefs.h"
#include "tests/support/ScriptedDrive.h"

namespace fake {

using qvp::mmc::GetBE16;
using qvp::mmc::GetBE32;
using qvp::mmc::PutBE16;
using qvp::mmc::PutBE32;

struct TFault {
  uint8_t Status = 2;  // 2 check condition, 8 busy
  uint8_t Key = 0, Asc = 0, Ascq = 0;
};

struct TMedium {
  uint16_t Profile = 0x0009;  // CD-R
  uint8_t DiscStatus = 0;     // 0 blank, 1 incomplete, 2 complete
  uint8_t LastSessionState = 0;
  uint8_t Sessions = 1;
  uint8_t LastTrack = 1;
  bool Erasable = false;
  uint32_t TrackStart = 0;
  uint32_t NextWritable = 0;
  uint32_t FreeBlocks = 359847;
  uint32_t TrackSize = 359847;
  bool TrackInfoFails = false;
  bool BufferCapacityFails = false;
  std::vector<uint8_t> FormatCapacities;  // READ FORMAT CAPACITIES answer; empty: all zeros
};

class TRecorder : public scripted::TScriptedDrive {
 public:
  TRecorder() : TScriptedDrive("/fake/recorder", {"ARDOVAN", "FAKE RECORDER", "1.00", ""}) {
    SetAddress(1, 2, 0);
  }

  TMedium Medium;
  // Consulted before every command (without the recorder's lock, so it may look at the log); a
  // fault it returns is the command's answer.
  std::function<std::optional<TFault>(const std::vector<uint8_t>& cdb)> Fault;

  // Bytes written at lba (2048 per sector), zeros where nothing was written.
  std::vector<uint8_t> Read(uint32_t lba, uint32_t sectors) const {
    std::lock_guard<std::mutex> g(m_);
    std::vector<uint8_t> out(static_cast<size_t>(sectors) * 2048, 0);
    for (uint32_t i = 0; i < sectors; ++i) {
      auto it = sectors_.find(lba + i);
      if (it != sectors_.end()) std::memcpy(out.data() + i * 2048u, it->second.data(), 2048);
    }
    return out;
  }
  void Store(uint32_t lba, const uint8_t* bytes, uint32_t sectors) {
    std::lock_guard<std::mutex> g(m_);
    for (uint32_t i = 0; i < sectors; ++i)
      sectors_[lba + i].assign(bytes + i * 2048u, bytes + (i + 1) * 2048u);
  }

 protected:
  uint8_t Answer(const scripted::TExchange& x) override {
    const std::vector<uint8_t> c(x.Cdb, x.Cdb + x.CdbLength);
    if (Fault)
      if (auto f = Fault(c)) return f->Status == 2 ? x.Check(f->Key, f->Asc, f->Ascq) : f->Status;
    std::lock_guard<std::mutex> g(m_);
    return FromMedium(c, x);
  }

 private:
  uint8_t FromMedium(const std::vector<uint8_t>& c, const scripted::TExchange& x) {
    uint8_t* data = x.Data;
    const uint32_t dataLen = x.DataLength;
    // What the recorder does not say is zeros.
    auto fill = [&](const std::vector<uint8_t>& reply) {
      if (data) std::memset(data, 0, dataLen);
      return x.Reply(reply);
    };
    switch (c[0]) {
      case 0x12:  // INQUIRY
        return fill(InquiryAnswer());
      case 0x5A: {  // MODE SENSE(10)
        const uint8_t page = c[2] & 0x3F;
        std::vector<uint8_t> r(8, 0);
        if (page == 0x2A) {
          std::vector<uint8_t> p(32, 0);
          p[0] = 0x2A, p[1] = 30, p[2] = 0x3F, p[3] = 0x37, p[4] = 0x80;
          PutBE16(&p[8], 8467), PutBE16(&p[12], 4096), PutBE16(&p[14], 8467);
          PutBE16(&p[18], 7056), PutBE16(&p[20], 7056);
          r.insert(r.end(), p.begin(), p.end());
        } else if (page == 0x05) {
          std::vector<uint8_t> p(0x34, 0);
          p[0] = 0x05, p[1] = 0x32;
          r.insert(r.end(), p.begin(), p.end());
        } else {
          return x.Check(0x05, 0x24, 0);
        }
        PutBE16(&r[0], uint16_t(r.size() - 2));
        return fill(r);
      }
      case 0x46: {  // GET CONFIGURATION
        std::vector<uint8_t> r(8, 0);
        PutBE32(&r[0], 4);
        PutBE16(&r[6], Medium.Profile);
        return fill(r);
      }
      case 0x51: {  // READ DISC INFORMATION
        std::vector<uint8_t> r(34, 0);
        PutBE16(&r[0], 32);
        r[2] = uint8_t((Medium.Erasable ? 0x10 : 0) | (Medium.LastSessionState << 2) |
                       Medium.DiscStatus);
        r[3] = 1, r[4] = Medium.Sessions, r[5] = Medium.LastTrack, r[6] = Medium.LastTrack;
        return fill(r);
      }
      case 0x52: {  // READ TRACK INFORMATION
        if (Medium.TrackInfoFails) return x.Check(0x05, 0x24, 0);
        std::vector<uint8_t> r(36, 0);
        PutBE16(&r[0], 34);
        r[2] = c[5];
        r[7] = 1;  // next writable address valid
        PutBE32(&r[8], Medium.TrackStart);
        PutBE32(&r[12], Medium.NextWritable);
        PutBE32(&r[16], Medium.FreeBlocks);
        PutBE32(&r[24], Medium.TrackSize);
        return fill(r);
      }
      case 0x5C: {  // READ BUFFER CAPACITY
        if (Medium.BufferCapacityFails) return x.Check(0x05, 0x20, 0);
        std::vector<uint8_t> r(12, 0);
        PutBE16(&r[0], 10);
        PutBE32(&r[4], 4u << 20);
        PutBE32(&r[8], 3u << 20);
        return fill(r);
      }
      case 0x23:  // READ FORMAT CAPACITIES
        return fill(Medium.FormatCapacities);
      case 0x28: {  // READ(10)
        const uint32_t lba = GetBE32(&c[2]);
        const uint32_t count = GetBE16(&c[7]);
        if (data) {
          std::memset(data, 0, dataLen);
          for (uint32_t i = 0; i < count && (i + 1) * 2048 <= dataLen; ++i) {
            auto it = sectors_.find(lba + i);
            if (it != sectors_.end()) std::memcpy(data + i * 2048, it->second.data(), 2048);
          }
        }
        return 0;
      }
      case 0x2A: {  // WRITE(10)
        const uint32_t lba = GetBE32(&c[2]);
        const uint32_t count = GetBE16(&c[7]);
        for (uint32_t i = 0; i < count && data && (i + 1) * 2048 <= dataLen; ++i)
          sectors_[lba + i].assign(data + i * 2048, data + (i + 1) * 2048);
        return 0;
      }
      default:
        return 0;
    }
  }

  mutable std::mutex m_;
  std::map<uint32_t, std::vector<uint8_t>> sectors_;
};

}  // namespace fake
