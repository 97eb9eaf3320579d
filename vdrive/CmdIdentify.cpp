// INQUIRY and GET CONFIGURATION: who the drive is and what it can do with the loaded medium.
#include <algorithm>
#include <cstring>

#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

using K = TMediumKind;

void PutPadded(uint8_t* p, size_t width, const std::string& s) {
  std::memset(p, ' ', width);
  std::memcpy(p, s.data(), std::min(width, s.size()));
}

// Every feature the drive may announce, in ascending order.
constexpr uint16_t kFeatures[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0010, 0x001D, 0x001E,
                                  0x001F, 0x0020, 0x0021, 0x0023, 0x0024, 0x0026, 0x002A,
                                  0x002B, 0x002D, 0x002E, 0x002F, 0x003B, 0x0040, 0x0041,
                                  0x0050, 0x0051, 0x0100, 0x0107};

bool AnyOf(const TDriveModel& m, bool writes, std::initializer_list<K> kinds) {
  return std::any_of(kinds.begin(), kinds.end(),
                     [&](K k) { return writes ? m.Writes(k) : m.Reads(k); });
}

bool Supported(const TDriveModel& m, uint16_t code) {
  switch (code) {
    case 0x0000:
    case 0x0001:
    case 0x0002:
    case 0x0003:
    case 0x0010:
    case 0x0100:
      return true;
    case 0x001D:
    case 0x001E:
      return AnyOf(m, false, {K::CdRom, K::CdR, K::CdRw});
    case 0x001F:
      return AnyOf(
          m, false,
          {K::DvdRom, K::DvdR, K::DvdRw, K::DvdPlusR, K::DvdPlusRw, K::DvdPlusRDl, K::DvdRam});
    case 0x0020:
    case 0x0024:
      return AnyOf(m, true, {K::DvdRam, K::BdRe, K::HdDvdRam});
    case 0x0021:
      return AnyOf(m, true, {K::CdR, K::CdRw, K::DvdR, K::DvdRw, K::BdR, K::HdDvdR});
    case 0x0023:
      return AnyOf(m, true, {K::DvdRw, K::DvdPlusRw, K::DvdRam, K::BdRe, K::HdDvdRam});
    case 0x0026:
      return m.Writes(K::DvdRw);
    case 0x002A:
      return m.Reads(K::DvdPlusRw);
    case 0x002B:
      return m.Reads(K::DvdPlusR);
    case 0x002D:
    case 0x002E:
      return AnyOf(m, true, {K::CdR, K::CdRw});
    case 0x002F:
      return AnyOf(m, true, {K::DvdR, K::DvdRw});
    case 0x003B:
      return m.Reads(K::DvdPlusRDl);
    case 0x0040:
      return AnyOf(m, false, {K::BdRom, K::BdR, K::BdRe});
    case 0x0041:
      return AnyOf(m, true, {K::BdR, K::BdRe});
    case 0x0050:
      return AnyOf(m, false, {K::HdDvdRom, K::HdDvdR, K::HdDvdRam});
    case 0x0051:
      return AnyOf(m, true, {K::HdDvdR, K::HdDvdRam});
    case 0x0107:
      return m.streaming;
    default:
      return false;
  }
}

}  // namespace

TSense TDriveCore::Inquiry(const TCommand& c) {
  const bool evpd = c.cdb[1] & 0x01;
  const uint8_t page = c.cdb[2];
  const uint32_t alloc = Be16(c.cdb + 3);
  if (!evpd && page != 0) return sense::kInvalidField;
  if (evpd) {
    std::vector<uint8_t> d = {0x05, page, 0, 0};
    if (page == 0x00) {
      d.insert(d.end(), {0x00, 0x80});
    } else if (page == 0x80) {
      const std::string serial =
          "VR" + model.product.substr(0, std::min<size_t>(6, model.product.size()));
      d.insert(d.end(), serial.begin(), serial.end());
    } else {
      return sense::kInvalidField;
    }
    d[3] = static_cast<uint8_t>(d.size() - 4);
    return Reply(c, d, alloc);
  }
  uint8_t d[96] = {};
  d[0] = 0x05;  // CD/DVD device
  d[1] = 0x80;  // removable medium
  d[2] = 0x05;
  d[3] = 0x02;
  d[4] = sizeof d - 5;
  PutPadded(d + 8, 8, model.vendor);
  PutPadded(d + 16, 16, model.product);
  PutPadded(d + 32, 4, model.revision);
  PutPadded(d + 36, 20, "VIRTUAL RECORDER");
  Put16(d + 58, 0x02A0);  // MMC-5
  Put16(d + 60, 0x0300);  // SPC-3
  return Reply(c, d, sizeof d, alloc);
}

std::vector<uint16_t> TDriveCore::Profiles() const {
  std::vector<uint16_t> p;
  for (int i = 0; i < kMediumKindCount; ++i) {
    const K k = static_cast<K>(i);
    if (!model.Reads(k)) continue;
    p.push_back(Traits(k).profile);
    if (k == K::DvdRw) p.push_back(kProfileDvdRwRestricted);
  }
  std::sort(p.begin(), p.end(), std::greater<>());
  p.erase(std::unique(p.begin(), p.end()), p.end());
  return p;
}

bool TDriveCore::FeatureCurrent(uint16_t code) const {
  switch (code) {
    case 0x0000:
    case 0x0001:
    case 0x0002:
    case 0x0003:
    case 0x0100:
    case 0x0107:
      return true;
    default:
      break;
  }
  if (Ready().Failed()) return false;
  const TDisc& d = *state.disc;
  const K k = d.kind;
  const TFamily f = d.Traits().family;
  const bool writable = model.Writes(k) && !d.pressed;
  switch (code) {
    case 0x0010:
      return d.LastRecorded().has_value() || d.pressed;
    case 0x001D:
    case 0x001E:
      return f == TFamily::Cd;
    case 0x001F:
      return f == TFamily::Dvd;
    case 0x0020:
    case 0x0024:
      return writable && d.formatted && (k == K::DvdRam || k == K::BdRe || k == K::HdDvdRam);
    case 0x0021:
      return writable && !d.finalized && d.Access() == TAccess::Sequential;
    case 0x0023:
      return writable && (k == K::DvdRw || k == K::DvdPlusRw || k == K::DvdRam || k == K::BdRe ||
                          k == K::HdDvdRam);
    case 0x0026:
      return writable && d.restrictedOverwrite;
    case 0x002A:
      return k == K::DvdPlusRw;
    case 0x002B:
      return k == K::DvdPlusR;
    case 0x002D:
    case 0x002E:
      return writable && f == TFamily::Cd;
    case 0x002F:
      return writable && (k == K::DvdR || (k == K::DvdRw && !d.restrictedOverwrite));
    case 0x003B:
      return k == K::DvdPlusRDl;
    case 0x0040:
      return f == TFamily::Bd;
    case 0x0041:
      return writable && f == TFamily::Bd;
    case 0x0050:
      return f == TFamily::HdDvd;
    case 0x0051:
      return writable && f == TFamily::HdDvd;
    default:
      return false;
  }
}

void TDriveCore::AppendFeature(std::vector<uint8_t>& out, uint16_t code, uint8_t rt,
                               uint16_t start) const {
  if (!Supported(model, code)) return;
  const bool current = FeatureCurrent(code);
  if (rt == 0 && code < start) return;
  if (rt == 1 && (code < start || !current)) return;
  if (rt == 2 && code != start) return;
  const bool persistent = code <= 0x0003 || code == 0x0100;
  uint8_t version = 0;
  std::vector<uint8_t> body;
  const bool buf = model.bufferUnderrunFree;
  switch (code) {
    case 0x0000:
      for (uint16_t p : Profiles()) {
        const bool cur = Ready().Failed() ? false : state.disc->Profile() == p;
        body.insert(body.end(), {uint8_t(p >> 8), uint8_t(p), uint8_t(cur ? 1 : 0), 0});
      }
      break;
    case 0x0001:
      version = 2;
      body = {0, 0, 0, 1, 0x03, 0, 0, 0};  // SCSI, device busy events and full INQUIRY
      break;
    case 0x0002:
      version = 1;
      body = {0x02, 0, 0, 0};
      break;
    case 0x0003:
      body = {0x29, 0, 0, 0};  // tray, eject, lock
      break;
    case 0x0010: {
      body.assign(8, 0);
      Put32(body.data(), kSectorBytes);
      const uint32_t blocking = Ready().Failed() ? 1 : state.disc->Traits().align;
      Put16(body.data() + 4, blocking);
      body[6] = 0x01;
      break;
    }
    case 0x001E:
      version = 2;
      body = {0x02, 0, 0, 0};
      break;
    case 0x001F:
      version = 1;
      body = {0x01, 0, 0, 0};
      break;
    case 0x0020: {
      version = 1;
      body.assign(12, 0);
      const uint32_t last =
          !Ready().Failed() && state.disc->formatted ? state.disc->formattedBlocks - 1 : 0;
      Put32(body.data(), last);
      Put32(body.data() + 4, kSectorBytes);
      Put16(body.data() + 8, Ready().Failed() ? 16 : state.disc->Traits().align);
      body[10] = 0x01;
      break;
    }
    case 0x0021:
      version = 1;
      body = {0x01, 0x00, uint8_t(0x02 | (buf ? 0x01 : 0)), 1, 7, 0, 0, 0};
      break;
    case 0x0023:
    case 0x0024:
      body = {0, 0, 0, 0};
      if (code == 0x0023) body.resize(8, 0);
      break;
    case 0x002A:
      version = 1;
      body = {uint8_t(model.Writes(K::DvdPlusRw) ? 1 : 0), 0, 0, 0};
      break;
    case 0x002B:
      version = 1;
      body = {uint8_t(model.Writes(K::DvdPlusR) ? 1 : 0), 0, 0, 0};
      break;
    case 0x002D:
      version = 2;
      body = {uint8_t((buf ? 0x40 : 0) | (model.testWrite ? 0x04 : 0) |
                      (model.Writes(K::CdRw) ? 0x02 : 0)),
              0, 0x01, 0x00};
      break;
    case 0x002E:
      version = 1;
      body = {uint8_t((buf ? 0x40 : 0) | 0x20 | (model.testWrite ? 0x04 : 0) |
                      (model.Writes(K::CdRw) ? 0x02 : 0)),
              0x00, 0x0F, 0xFF};
      break;
    case 0x002F:
      version = 1;
      body = {uint8_t((buf ? 0x40 : 0) | (model.testWrite ? 0x04 : 0) |
                      (model.Writes(K::DvdRw) ? 0x02 : 0)),
              0, 0, 0};
      break;
    case 0x003B:
      body = {uint8_t(model.Writes(K::DvdPlusRDl) ? 1 : 0), 0, 0, 0};
      break;
    case 0x0040:
      version = 1;
      body.assign(28, 0);
      if (model.Reads(K::BdRe)) Put16(body.data() + 4, 0x000E);
      if (model.Reads(K::BdR)) Put16(body.data() + 12, 0x0002);
      if (model.Reads(K::BdRom)) Put16(body.data() + 20, 0x0002);
      break;
    case 0x0041:
      version = 1;
      body.assign(20, 0);
      if (model.Writes(K::BdRe)) Put16(body.data() + 4, 0x000E);
      if (model.Writes(K::BdR)) Put16(body.data() + 12, 0x0002);
      break;
    case 0x0050:
      body = {uint8_t(model.Reads(K::HdDvdR) ? 1 : 0), 0, uint8_t(model.Reads(K::HdDvdRam) ? 1 : 0),
              0};
      break;
    case 0x0051:
      body = {uint8_t(model.Writes(K::HdDvdR) ? 1 : 0), 0,
              uint8_t(model.Writes(K::HdDvdRam) ? 1 : 0), 0};
      break;
    case 0x0107:
      version = 3;
      body = {0x1B, 0, 0,
              0};  // buffer capacity in blocks, SET CD SPEED, write speed, stream writing
      break;
    default:
      break;
  }
  out.push_back(static_cast<uint8_t>(code >> 8));
  out.push_back(static_cast<uint8_t>(code));
  out.push_back(
      static_cast<uint8_t>(version << 2 | (persistent ? 0x02 : 0) | (current ? 0x01 : 0)));
  out.push_back(static_cast<uint8_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
}

TSense TDriveCore::GetConfiguration(const TCommand& c) {
  const uint8_t rt = c.cdb[1] & 0x03;
  if (rt == 3) return sense::kInvalidField;
  const uint16_t start = Be16(c.cdb + 2);
  const uint32_t alloc = Be16(c.cdb + 7);
  std::vector<uint8_t> out(8, 0);
  const uint16_t profile = Ready().Failed() ? 0 : state.disc->Profile();
  Put16(out.data() + 6, profile);
  for (uint16_t code : kFeatures) AppendFeature(out, code, rt, start);
  Put32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return Reply(c, out, alloc);
}

}  // namespace vdrive
