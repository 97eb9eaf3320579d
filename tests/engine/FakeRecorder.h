#pragma once
// A scripted recorder behind the platform's virtual-drive seam (the same one the virtual
// recorder uses): it answers the MMC commands the engine sends from a small medium model, keeps
// what is written, records every command block, and lets a test refuse chosen commands with
// sense data or BUSY. The engine above it, the command layer and the pass-through are the real
// ones.
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace fake {

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

class TRecorder : public plat::TVirtualDrive {
 public:
  TMedium Medium;
  // Consulted before every command; a fault it returns is the command's answer.
  std::function<std::optional<TFault>(const std::vector<uint8_t>& cdb)> Fault;

  std::string Path() const override { return "/fake/recorder"; }
  bool Address(plat::TScsiAddress& a) const override {
    a.PortNumber = 1;
    a.PathId = 0;
    a.TargetId = 2;
    a.Lun = 0;
    return true;
  }

  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t, uint8_t* data, uint32_t dataLen,
                  uint8_t* sense, uint8_t senseLen) override {
    std::vector<uint8_t> c(cdb, cdb + cdbLen);
    {
      std::lock_guard<std::mutex> g(m_);
      trace_.push_back(c);
      // Parameter lists (mode pages, format lists, streaming descriptors, time stamps).
      if (c[0] != 0x2A && data && dataLen > 0 && dataLen <= 512)
        lists_[trace_.size() - 1].assign(data, data + dataLen);
    }
    // The hook runs without the recorder's lock, so it may look at the trace.
    if (Fault) {
      if (auto f = Fault(c)) {
        if (f->Status == 2 && sense && senseLen >= 14) {
          std::memset(sense, 0, senseLen);
          sense[0] = 0x70;
          sense[2] = f->Key;
          sense[7] = 10;
          sense[12] = f->Asc;
          sense[13] = f->Ascq;
        }
        return f->Status;
      }
    }
    std::lock_guard<std::mutex> g(m_);
    pending_ = TFault{};
    const uint8_t status = Answer(c, data, dataLen);
    if (status == 2 && sense && senseLen >= 14) {
      std::memset(sense, 0, senseLen);
      sense[0] = 0x70;
      sense[2] = pending_.Key;
      sense[7] = 10;
      sense[12] = pending_.Asc;
      sense[13] = pending_.Ascq;
    }
    return status;
  }

  // The data sent or received with command number i of the trace (empty when none was kept).
  std::vector<uint8_t> List(size_t i) const {
    std::lock_guard<std::mutex> g(m_);
    auto it = lists_.find(i);
    return it == lists_.end() ? std::vector<uint8_t>{} : it->second;
  }

  std::vector<std::vector<uint8_t>> Trace() const {
    std::lock_guard<std::mutex> g(m_);
    return trace_;
  }
  void ClearTrace() {
    std::lock_guard<std::mutex> g(m_);
    trace_.clear();
    lists_.clear();
  }
  // Opcodes of the trace, in order.
  std::vector<uint8_t> Opcodes() const {
    std::vector<uint8_t> ops;
    for (const auto& c : Trace()) ops.push_back(c[0]);
    return ops;
  }
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
    for (uint32_t i = 0; i < sectors; ++i) sectors_[lba + i].assign(bytes + i * 2048u, bytes + (i + 1) * 2048u);
  }

 private:
  static uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
  static void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
  }
  static void PutBe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8), p[1] = uint8_t(v); }

  uint8_t Answer(const std::vector<uint8_t>& c, uint8_t* data, uint32_t dataLen) {
    auto fill = [&](const std::vector<uint8_t>& reply) {
      if (data) {
        std::memset(data, 0, dataLen);
        if (!reply.empty())
          std::memcpy(data, reply.data(), std::min<size_t>(reply.size(), dataLen));
      }
      return uint8_t{0};
    };
    switch (c[0]) {
      case 0x12: {  // INQUIRY
        std::vector<uint8_t> r(36, ' ');
        r[0] = 5, r[1] = 0x80, r[2] = 5, r[3] = 2, r[4] = 31, r[5] = 0, r[6] = 0, r[7] = 0;
        std::memcpy(&r[8], "ARDOVAN FAKE RECORDER   1.00", 28);
        return fill(r);
      }
      case 0x5A: {  // MODE SENSE(10)
        const uint8_t page = c[2] & 0x3F;
        std::vector<uint8_t> r(8, 0);
        if (page == 0x2A) {
          std::vector<uint8_t> p(32, 0);
          p[0] = 0x2A, p[1] = 30, p[2] = 0x3F, p[3] = 0x37, p[4] = 0x80;
          PutBe16(&p[8], 8467), PutBe16(&p[12], 4096), PutBe16(&p[14], 8467);
          PutBe16(&p[18], 7056), PutBe16(&p[20], 7056);
          r.insert(r.end(), p.begin(), p.end());
        } else if (page == 0x05) {
          std::vector<uint8_t> p(0x34, 0);
          p[0] = 0x05, p[1] = 0x32;
          r.insert(r.end(), p.begin(), p.end());
        } else {
          return Check(0x05, 0x24, 0);
        }
        PutBe16(&r[0], uint16_t(r.size() - 2));
        return fill(r);
      }
      case 0x46: {  // GET CONFIGURATION
        std::vector<uint8_t> r(8, 0);
        PutBe32(&r[0], 4);
        PutBe16(&r[6], Medium.Profile);
        return fill(r);
      }
      case 0x51: {  // READ DISC INFORMATION
        std::vector<uint8_t> r(34, 0);
        PutBe16(&r[0], 32);
        r[2] = uint8_t((Medium.Erasable ? 0x10 : 0) | (Medium.LastSessionState << 2) | Medium.DiscStatus);
        r[3] = 1, r[4] = Medium.Sessions, r[5] = Medium.LastTrack, r[6] = Medium.LastTrack;
        return fill(r);
      }
      case 0x52: {  // READ TRACK INFORMATION
        if (Medium.TrackInfoFails) return Check(0x05, 0x24, 0);
        std::vector<uint8_t> r(36, 0);
        PutBe16(&r[0], 34);
        r[2] = c[5];
        r[7] = 1;  // next writable address valid
        PutBe32(&r[8], Medium.TrackStart);
        PutBe32(&r[12], Medium.NextWritable);
        PutBe32(&r[16], Medium.FreeBlocks);
        PutBe32(&r[24], Medium.TrackSize);
        return fill(r);
      }
      case 0x5C: {  // READ BUFFER CAPACITY
        if (Medium.BufferCapacityFails) return Check(0x05, 0x20, 0);
        std::vector<uint8_t> r(12, 0);
        PutBe16(&r[0], 10);
        PutBe32(&r[4], 4u << 20);
        PutBe32(&r[8], 3u << 20);
        return fill(r);
      }
      case 0x23:  // READ FORMAT CAPACITIES
        return fill(Medium.FormatCapacities);
      case 0x28: {  // READ(10)
        const uint32_t lba = Be32(&c[2]);
        const uint32_t count = uint32_t(c[7]) << 8 | c[8];
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
        const uint32_t lba = Be32(&c[2]);
        const uint32_t count = uint32_t(c[7]) << 8 | c[8];
        for (uint32_t i = 0; i < count && data && (i + 1) * 2048 <= dataLen; ++i)
          sectors_[lba + i].assign(data + i * 2048, data + (i + 1) * 2048);
        return 0;
      }
      default:
        return 0;
    }
  }

  uint8_t Check(uint8_t key, uint8_t asc, uint8_t ascq) {
    pending_ = TFault{2, key, asc, ascq};
    return 2;
  }

  mutable std::mutex m_;
  std::vector<std::vector<uint8_t>> trace_;
  std::map<uint32_t, std::vector<uint8_t>> sectors_;
  std::map<size_t, std::vector<uint8_t>> lists_;
  TFault pending_;
};

}  // namespace fake
