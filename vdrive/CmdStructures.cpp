// GET PERFORMANCE, READ DVD STRUCTURE (and its Blu-ray form) and SEND OPC INFORMATION: what
// burning programs ask a DVD or BD recorder about speeds and the physical format of the medium.
#include <algorithm>

#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

using K = TMediumKind;

constexpr uint32_t kDvdDataStart = 0x030000;  // physical sector number of LBA 0 on a DVD

// Book type and part version of the physical format information.
uint8_t BookType(K k) {
  switch (k) {
    case K::DvdRam:
      return 0x16;
    case K::DvdR:
      return 0x25;
    case K::DvdRw:
      return 0x32;
    case K::DvdPlusRw:
      return 0x92;
    case K::DvdPlusR:
      return 0xA1;
    case K::DvdPlusRDl:
      return 0xE1;
    default:
      return 0x01;  // read-only
  }
}

bool DualLayer(K k) { return k == K::DvdPlusRDl; }

// Blocks of the first layer of a dual-layer disc: half of it, on a recording unit.
uint32_t LayerZeroBlocks(uint32_t capacity) { return capacity / 2 / 16 * 16; }

}  // namespace

TSense TDriveCore::SendOpcInformation(const TCommand& c) {
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  if (d.pressed || !model.Writes(d.kind)) return sense::kIncompatibleMedium;
  // Optimum power calibration: the drive runs it (DOPC) or takes a table; either way nothing is
  // left to do on a medium that never burns.
  if ((c.cdb[1] & 0x01) == 0 && Be16(c.cdb + 7) > 0 &&
      ParameterList(c, Be16(c.cdb + 7)) == nullptr) {
    return sense::kParameterListLength;
  }
  return sense::kGood;
}

TSense TDriveCore::GetPerformance(const TCommand& c) {
  const uint8_t type = c.cdb[10];
  const uint32_t maxDescriptors = Be16(c.cdb + 8);
  std::vector<std::vector<uint8_t>> descriptors;
  const bool loaded = !Ready().Failed();
  const uint32_t last = loaded && state.disc->capacity ? state.disc->capacity - 1 : 0;
  uint8_t flags = 0;
  if (type == 0x00) {
    // Nominal performance over the medium (no exceptions to report), reading or writing.
    const bool write = c.cdb[1] & 0x04;
    const uint8_t except = c.cdb[1] & 0x03;
    flags = static_cast<uint8_t>((write ? 0x02 : 0) | (except ? 0x01 : 0));
    const uint32_t speed = write ? CurrentWriteSpeed() : CurrentReadSpeed();
    if (except == 0 && loaded && speed > 0) {
      std::vector<uint8_t> e(16, 0);
      Put32(e.data() + 4, speed);
      Put32(e.data() + 8, last);
      Put32(e.data() + 12, speed);
      descriptors.push_back(e);
    }
  } else if (type == 0x03) {
    // The write speeds of the loaded medium, fastest first.
    if (loaded) {
      for (uint32_t w : model.WriteSpeeds(state.disc->kind)) {
        if (state.disc->pressed) break;
        std::vector<uint8_t> e(16, 0);
        Put32(e.data() + 4, last);
        Put32(e.data() + 8, MaxReadSpeed());
        Put32(e.data() + 12, w);
        descriptors.push_back(e);
      }
    }
  } else {
    return sense::kInvalidField;
  }
  std::vector<uint8_t> r(8, 0);
  Put32(r.data(), static_cast<uint32_t>(4 + 16 * descriptors.size()));
  r[4] = flags;
  const size_t n = std::min<size_t>(descriptors.size(), maxDescriptors);
  for (size_t i = 0; i < n; ++i) r.insert(r.end(), descriptors[i].begin(), descriptors[i].end());
  return Reply(c, r, static_cast<uint32_t>(r.size()));
}

TSense TDriveCore::ReadDvdStructure(const TCommand& c) {
  const uint8_t mediaType = c.cdb[1] & 0x0F;
  const uint8_t layer = c.cdb[6];
  const uint8_t format = c.cdb[7];
  const uint32_t alloc = Be16(c.cdb + 8);
  if (mediaType > 1) return sense::kInvalidField;
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  const TFamily family = d.Traits().family;
  const bool bd = mediaType == 1;
  if ((bd && family != TFamily::Bd) ||
      (!bd && family != TFamily::Dvd && family != TFamily::HdDvd)) {
    return TSense{5, 0x30, 0x02};  // cannot read medium: incompatible format
  }
  const uint8_t layers = DualLayer(d.kind) ? 2 : 1;
  std::vector<uint8_t> r(4, 0);
  auto body = [&](size_t n) -> uint8_t* {
    r.resize(4 + n, 0);
    return r.data() + 4;
  };
  if (bd) {
    switch (format) {
      case 0x00: {
        // Disc information: one unit naming the disc type.
        uint8_t* p = body(64);
        p[0] = 'D';
        p[1] = 'I';
        p[2] = 0x01;
        p[3] = 0x08;  // first unit of one
        const char* id = d.kind == K::BdR ? "BDR" : d.kind == K::BdRe ? "BDW" : "BDO";
        std::copy(id, id + 3, p + 8);
        p[11] = 0x01;  // 120 mm, class 0, version 1
        p[12] = 0x11;  // one layer, 25 GB per layer
        break;
      }
      case 0xFF: {
        uint8_t* p = body(8);
        p[0] = 0x00;
        p[1] = 0x40;
        Put16(p + 2, 64);
        p[4] = 0xFF;
        p[5] = 0x40;
        Put16(p + 6, 8);
        break;
      }
      default:
        return sense::kInvalidField;
    }
    Put16(r.data(), static_cast<uint32_t>(r.size() - 2));
    return Reply(c, r, alloc);
  }
  const bool plus = d.kind == K::DvdPlusR || d.kind == K::DvdPlusRw || d.kind == K::DvdPlusRDl;
  const bool minus = d.kind == K::DvdR || (d.kind == K::DvdRw);
  switch (format) {
    case 0x00:
    case 0x10: {
      if (format == 0x10 && !minus) return sense::kInvalidField;
      if (layer >= layers) return sense::kInvalidField;
      // Physical format information (of the control data zone, or as recorded in the lead-in).
      uint8_t* p = body(2048);
      p[0] = BookType(d.kind);
      p[1] = 0x02;  // 120 mm, 10.08 Mbit/s
      const uint8_t layerType = d.pressed ? 0x01 : d.Erasable() ? 0x04 : 0x02;
      p[2] = static_cast<uint8_t>((layers == 2 ? 0x20 | 0x10 : 0) | layerType);
      p[3] = 0x10;
      Put32(p + 4, kDvdDataStart);
      const uint32_t blocks = layers == 2 ? LayerZeroBlocks(d.capacity) : d.capacity;
      Put32(p + 8, kDvdDataStart + blocks - 1);
      if (layers == 2) Put32(p + 12, kDvdDataStart + LayerZeroBlocks(d.capacity) - 1);
      break;
    }
    case 0x01: {
      body(4);  // no copy protection, all regions
      break;
    }
    case 0x04:
      body(2048);  // disc manufacturing information: nothing recorded
      break;
    case 0x11: {
      if (!plus) return sense::kInvalidField;
      uint8_t* p = body(256);  // ADIP: disc category and version, then the manufacturer fields
      p[0] = BookType(d.kind);
      p[1] = 0x02;
      p[2] = static_cast<uint8_t>(layers == 2 ? 0x31 : d.Erasable() ? 0x04 : 0x02);
      break;
    }
    case 0x20: {
      if (layers != 2) return sense::kInvalidField;
      uint8_t* p = body(8);
      p[0] = d.LastRecorded() ? 0x80 : 0;  // the layer break is fixed once anything is recorded
      Put32(p + 4, LayerZeroBlocks(d.capacity));
      break;
    }
    case 0xFF: {
      // The structures this drive returns for the medium, each readable (RDS).
      std::vector<std::pair<uint8_t, uint16_t>> list = {{0x00, 2048}, {0x01, 4}, {0x04, 2048}};
      if (minus) list.push_back({0x10, 2048});
      if (plus) list.push_back({0x11, 256});
      if (layers == 2) list.push_back({0x20, 8});
      list.push_back({0xFF, 0});
      uint8_t* p = body(4 * list.size());
      for (const auto& [code, length] : list) {
        p[0] = code;
        p[1] = 0x40;
        Put16(p + 2, length);
        p += 4;
      }
      break;
    }
    default:
      return sense::kInvalidField;
  }
  Put16(r.data(), static_cast<uint32_t>(r.size() - 2));
  return Reply(c, r, alloc);
}

}  // namespace vdrive
