// Mode pages (write parameters 05h, capabilities 2Ah, the vendor page 30h) and the speed commands.
#include <algorithm>

#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

constexpr uint8_t kPageErrorRecovery = 0x01;
constexpr uint8_t kPageWriteParameters = 0x05;
constexpr uint8_t kPageCapabilities = 0x2A;
constexpr uint8_t kPageVendor = 0x30;
constexpr uint8_t kAllPages = 0x3F;

// Page control values of MODE SENSE besides the current values (0).
constexpr uint8_t kChangeable = 1, kDefault = 2, kSaved = 3;

bool ValidDataBlockTypeForCd(uint8_t t) { return t <= 3 || (t >= 8 && t <= 13); }

}  // namespace

uint32_t TDriveCore::PacketSize() const { return Be32(page5_.data() + 10); }

std::vector<uint8_t> TDriveCore::BuildPage5(uint8_t control) const {
  std::vector<uint8_t> p(kPage5Size, 0);
  p[0] = kPageWriteParameters;
  p[1] = kPage5Size - 2;
  if (control == kChangeable) {
    p[2] = static_cast<uint8_t>(0x2F | (model.bufferUnderrunFree ? 0x40 : 0) |
                                (model.testWrite ? 0x10 : 0));
    p[3] = 0xFF;
    p[4] = 0x0F;
    p[5] = 0xFF;
    p[7] = 0x3F;
    p[8] = 0xFF;
    std::fill(p.begin() + 10, p.end(), 0xFF);
  } else if (control == kDefault) {
    p[2] = 0x01;
    p[3] = 0x04;
    p[4] = 0x08;
    p[15] = 0x96;
  } else {
    std::copy(page5_.begin(), page5_.end(), p.begin());
  }
  return p;
}

std::vector<uint8_t> TDriveCore::BuildPage2A(uint8_t control) const {
  const std::vector<uint32_t> writeSpeeds = model.WriteSpeeds(SpeedKind());
  const size_t n = (state.disc && state.disc->pressed) ? 0 : writeSpeeds.size();
  std::vector<uint8_t> p(32 + 4 * n, 0);
  p[0] = kPageCapabilities;
  p[1] = static_cast<uint8_t>(p.size() - 2);
  if (control == kChangeable) return p;  // nothing on this page can be set
  using K = TMediumKind;
  p[2] = static_cast<uint8_t>(
      (model.Reads(K::CdR) ? 0x01 : 0) | (model.Reads(K::CdRw) ? 0x02 : 0) |
      (model.Reads(K::CdRom) ? 0x04 : 0) | (model.Reads(K::DvdRom) ? 0x08 : 0) |
      (model.Reads(K::DvdR) ? 0x10 : 0) | (model.Reads(K::DvdRam) ? 0x20 : 0));
  p[3] =
      static_cast<uint8_t>((model.Writes(K::CdR) ? 0x01 : 0) | (model.Writes(K::CdRw) ? 0x02 : 0) |
                           (model.testWrite ? 0x04 : 0) | (model.Writes(K::DvdR) ? 0x10 : 0) |
                           (model.Writes(K::DvdRam) ? 0x20 : 0));
  p[4] = static_cast<uint8_t>(0x70 | (model.bufferUnderrunFree ? 0x80 : 0));
  p[5] = 0x03;
  p[6] = static_cast<uint8_t>(0x29 | (prevent_ ? 0x02 : 0));
  const bool defaults = control == kDefault;
  const uint32_t maxRead = MaxReadSpeed(), maxWrite = n ? MaxWriteSpeed() : 0;
  Put16(&p[8], maxRead);
  Put16(&p[10], 256);
  Put16(&p[12], model.bufferKB);
  Put16(&p[14], defaults ? maxRead : CurrentReadSpeed());
  Put16(&p[18], maxWrite);
  Put16(&p[20], defaults ? maxWrite : (n ? CurrentWriteSpeed() : 0));
  Put16(&p[28], defaults ? maxWrite : (n ? CurrentWriteSpeed() : 0));
  Put16(&p[30], static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) Put16(&p[32 + 4 * i + 2], writeSpeeds[i]);
  return p;
}

std::vector<uint8_t> TDriveCore::BuildPage01(uint8_t control) const {
  std::vector<uint8_t> p(page1_.begin(), page1_.end());
  if (control == kChangeable) {
    // The retry behaviour and counts can be set; the recovery time limit cannot.
    std::fill(p.begin() + 2, p.end(), 0);
    p[2] = 0xFF;
    p[3] = 0xFF;
    p[8] = 0xFF;
  } else if (control == kDefault) {
    p = {kPageErrorRecovery, 0x0A, 0x00, 0x20, 0, 0, 0, 0, 0x01, 0, 0, 0};
  }
  return p;
}

std::vector<uint8_t> TDriveCore::BuildPage30() const {
  return {kPageVendor, 0x06, uint8_t(model.bufferUnderrunFree ? 1 : 0), 0, 0, 0, 0, 0};
}

TSense TDriveCore::ModeSense(const TCommand& c) {
  const bool dbd = c.cdb[1] & 0x08;
  const uint8_t control = c.cdb[2] >> 6;
  const uint8_t page = c.cdb[2] & 0x3F;
  const uint32_t alloc = Be16(c.cdb + 7);
  if (control == kSaved) return sense::kSavingNotSupported;
  if (c.cdb[3] != 0 || faults.RefusesPage(page)) return sense::kInvalidField;
  std::vector<uint8_t> out(8, 0);
  if (model.blockDescriptor && !dbd) {
    Put16(&out[6], 8);
    out.resize(16, 0);
    const uint32_t blocks =
        !Ready().Failed() ? std::min<uint32_t>(state.disc->capacity, 0xFFFFFF) : 0;
    Put24(&out[9], blocks);
    Put24(&out[13], kSectorBytes);
  }
  auto add = [&](const std::vector<uint8_t>& p) { out.insert(out.end(), p.begin(), p.end()); };
  switch (page) {
    case kPageErrorRecovery:
      add(BuildPage01(control));
      break;
    case kPageWriteParameters:
      add(BuildPage5(control));
      break;
    case kPageCapabilities:
      add(BuildPage2A(control));
      break;
    case kPageVendor:
      if (!model.page30) return sense::kInvalidField;
      add(BuildPage30());
      break;
    case kAllPages:
      if (!faults.RefusesPage(kPageErrorRecovery)) add(BuildPage01(control));
      if (!faults.RefusesPage(kPageWriteParameters)) add(BuildPage5(control));
      if (!faults.RefusesPage(kPageCapabilities)) add(BuildPage2A(control));
      if (model.page30 && !faults.RefusesPage(kPageVendor)) add(BuildPage30());
      break;
    default:
      return sense::kInvalidField;
  }
  Put16(&out[0], static_cast<uint32_t>(out.size() - 2));
  return Reply(c, out, alloc);
}

TSense TDriveCore::ValidatePage5(const uint8_t* p) const {
  const std::vector<uint8_t> mask = BuildPage5(kChangeable);
  for (size_t i = 2; i < kPage5Size; ++i) {
    if ((p[i] ^ page5_[i]) & ~mask[i]) return sense::kInvalidParameter;
  }
  const uint8_t writeType = p[2] & 0x0F;
  const bool test = p[2] & 0x10;
  const uint8_t multiSession = p[3] >> 6;
  const bool fixedPacket = p[3] & 0x20;
  const uint8_t trackMode = p[3] & 0x0F;
  const uint8_t blockType = p[4] & 0x0F;
  const uint8_t sessionFormat = p[8];
  const uint32_t packet = Be32(p + 10);
  if (writeType > 4 || multiSession == 2) return sense::kInvalidParameterValue;
  if (sessionFormat != 0x00 && sessionFormat != 0x10 && sessionFormat != 0x20)
    return sense::kInvalidParameterValue;
  if (Ready().Failed()) return sense::kGood;
  const TDisc& d = *state.disc;
  if (test && !d.SupportsTestWrite()) return sense::kInvalidParameterValue;
  if (d.Access() != TAccess::Sequential) return sense::kGood;  // the page plays no part
  const TMediumKind k = d.kind;
  if (d.Traits().family == TFamily::Cd) {
    if (writeType == 4 || !ValidDataBlockTypeForCd(blockType)) return sense::kInvalidParameterValue;
    if (blockType >= 8 && (trackMode & 0x04) == 0)
      return sense::kInvalidParameterValue;  // data in audio mode
    if (writeType == 0 && fixedPacket && packet == 0) return sense::kInvalidParameterValue;
    return sense::kGood;
  }
  if (k == TMediumKind::DvdR || k == TMediumKind::DvdRw || k == TMediumKind::HdDvdR) {
    if (writeType != 0 && writeType != 2) return sense::kInvalidParameterValue;
    if (blockType != 8) return sense::kInvalidParameterValue;
    if (writeType == 0 && fixedPacket && packet != 16) return sense::kInvalidParameterValue;
  }
  return sense::kGood;
}

TSense TDriveCore::ModeSelect(const TCommand& c) {
  if ((c.cdb[1] & 0x10) == 0 || (c.cdb[1] & 0x01) != 0)
    return sense::kInvalidField;  // PF needed, SP not offered
  const uint32_t len = Be16(c.cdb + 7);
  if (len == 0) return sense::kGood;
  const uint8_t* p = ParameterList(c, len);
  if (p == nullptr || len < 8) return sense::kParameterListLength;
  const uint32_t descriptorLength = Be16(p + 6);
  if (descriptorLength != 0 && descriptorLength != 8) return sense::kInvalidParameter;
  uint32_t off = 8 + descriptorLength;
  if (off > len) return sense::kParameterListLength;
  std::optional<std::array<uint8_t, kPage5Size>> newPage5;
  std::optional<std::array<uint8_t, 12>> newPage1;
  while (off < len) {
    if (off + 2 > len) return sense::kParameterListLength;
    const uint8_t code = p[off] & 0x3F;
    const uint32_t pageLength = p[off + 1];
    if (p[off] & 0x80) return sense::kInvalidParameter;  // PS is not for selecting
    if (off + 2 + pageLength > len) return sense::kParameterListLength;
    if (code == kPageWriteParameters) {
      if (pageLength != 0x32 && pageLength != 0x36) return sense::kInvalidParameter;
      if (TSense s = ValidatePage5(p + off); s.Failed()) return s;
      std::array<uint8_t, kPage5Size> page{};
      std::copy(p + off, p + off + kPage5Size, page.begin());
      page[0] = kPageWriteParameters;
      page[1] = kPage5Size - 2;
      newPage5 = page;
    } else if (code == kPageErrorRecovery && !faults.RefusesPage(kPageErrorRecovery)) {
      if (pageLength != page1_.size() - 2) return sense::kInvalidParameter;
      const std::vector<uint8_t> mask = BuildPage01(kChangeable);
      for (size_t i = 2; i < page1_.size(); ++i) {
        if ((p[off + i] ^ page1_[i]) & ~mask[i]) return sense::kInvalidParameter;
      }
      newPage1 = std::array<uint8_t, 12>{};
      std::copy(p + off, p + off + 12, newPage1->begin());
      (*newPage1)[0] = kPageErrorRecovery;
    } else if (code == kPageVendor && model.page30 && !faults.RefusesPage(kPageVendor)) {
      // The vendor page only switches buffer-underrun protection, which this drive always has.
    } else {
      return sense::kInvalidParameter;
    }
    off += 2 + pageLength;
  }
  if (newPage1) page1_ = *newPage1;
  if (newPage5) {
    page5_ = *newPage5;
    simulatedNext_.reset();
  }
  return sense::kGood;
}

TSense TDriveCore::SetCdSpeed(const TCommand& c) {
  if ((c.cdb[1] & 0x03) > 1) return sense::kInvalidField;  // CLV or CAV only
  requestedRead_ = Be16(c.cdb + 2);
  requestedWrite_ = Be16(c.cdb + 4);
  return sense::kGood;
}

TSense TDriveCore::SetStreaming(const TCommand& c) {
  if (c.cdb[8] != 0) return sense::kInvalidField;  // only the performance descriptor
  const uint32_t len = Be16(c.cdb + 9);
  const uint8_t* p = ParameterList(c, 28);
  if (len < 28 || p == nullptr) return sense::kParameterListLength;
  if (p[0] & 0x04) {  // restore the drive's defaults
    requestedRead_ = requestedWrite_ = 0xFFFF;
    return sense::kGood;
  }
  const uint32_t start = Be32(p + 4), end = Be32(p + 8);
  const uint32_t readSize = Be32(p + 12), readTime = Be32(p + 16);
  const uint32_t writeSize = Be32(p + 20), writeTime = Be32(p + 24);
  if (end < start || readTime == 0 || writeTime == 0) return sense::kInvalidParameter;
  const auto rate = [](uint32_t size, uint32_t ms) {
    return static_cast<uint16_t>(std::min<uint64_t>(uint64_t(size) * 1000 / ms, 0xFFFF));
  };
  requestedRead_ = rate(readSize, readTime);
  requestedWrite_ = rate(writeSize, writeTime);
  return sense::kGood;
}

}  // namespace vdrive
