// Medium queries: disc and track information, the medium type with its fallbacks for drives
// without profiles, session count, erasability, writability, free and total blocks, and the
// size of an ISO 9660 volume on the medium.
#include <algorithm>
#include <array>
#include <cstring>

#include "device/qvpSCSILib.h"
#include "device/qvpSCSIRequest.h"

namespace qvp {

namespace {

constexpr uint8_t kDiscStatusEmpty = 0, kDiscStatusIncomplete = 1, kDiscStatusComplete = 2;

// Keeps only what the drive said it returned (its data length field counts the bytes after the
// field itself); the rest reads as zero instead of as older data.
void ClipToDataLength(uint8_t* data, size_t size, uint32_t announced, size_t lengthFieldSize) {
  const size_t valid = std::min<size_t>(size, announced + lengthFieldSize);
  if (valid < size) std::memset(data + valid, 0, size - valid);
}

bool ReadDiscInfo(TSCSIDevice& dev) {
  std::memset(dev.DiscInfo, 0, sizeof dev.DiscInfo);
  if (!ReadDiscInformation(dev, dev.DiscInfo, sizeof dev.DiscInfo)) return false;
  ClipToDataLength(dev.DiscInfo, sizeof dev.DiscInfo, mmc::GetBE16(dev.DiscInfo), 2);
  return true;
}

uint8_t DiscStatus(const TSCSIDevice& dev) { return dev.DiscInfo[2] & 3; }
bool DiscErasable(const TSCSIDevice& dev) { return (dev.DiscInfo[2] & 0x10) != 0; }

uint8_t MediumFromProfile(uint16_t profile) {
  switch (profile) {
    case 0x0008:
      return mtCDROM;
    case 0x0009:
      return mtCDR;
    case 0x000A:
      return mtCDRW;
    case 0x0010:
      return mtDVDROM;
    case 0x0011:
      return mtDVDR;
    case 0x0012:
      return mtDVDRAM;
    case 0x0013:
      return mtDVDRWRO;
    case 0x0014:
      return mtDVDRWSR;
    case 0x001A:
      return mtDVDPLUSRW;
    case 0x001B:
      return mtDVDPLUSR;
    case 0x002B:
      return mtDVDPLUSRDL;
    case 0x0040:
      return mtBDROM;
    case 0x0041:
      return mtBDR;
    case 0x0042:
      return mtBDRRR;
    case 0x0043:
      return mtBDRE;
    case 0x0050:
      return mtHDDVDROM;
    case 0x0051:
      return mtHDDVDR;
    case 0x0052:
      return mtHDDVDRAM;
    case 0x0020:
      return mtDDCDROM;
    case 0x0021:
      return mtDDCDR;
    case 0x0022:
      return mtDDCDRW;
    default:
      return mtUNKNOWN;
  }
}

// a - b for block counts; a volume larger than its track leaves nothing free rather than
// about four billion blocks.
uint32_t Remaining(uint32_t a, uint32_t b) { return a > b ? a - b : 0; }

bool ReadLastTrackOfLastSession(TSCSIDevice& dev) {
  return ReadDiscInfo(dev) && ReadTrackInformation(dev, dev.DiscInfo[6]);
}

bool FindVolumeDescriptor(TSCSIDevice& dev, uint8_t type, uint8_t* block) {
  for (uint32_t lba = 16; lba < 32; ++lba) {
    if (Read10(dev, lba, 1, block) && block[0] == type && std::memcmp(block + 1, "CD001", 5) == 0)
      return true;
  }
  return false;
}

}  // namespace

bool ReadTrackInformation(TSCSIDevice& dev, uint8_t track) {
  uint8_t* t = dev.TrackInfo;
  std::memset(t, 0, sizeof dev.TrackInfo);
  TRequest r(10, op::ReadTrackInformation, kFlagsRead, t, sizeof dev.TrackInfo);
  r.Cdb()[1] = 1;  // the address is a track number
  r.Cdb()[5] = track;
  r.Cdb()[8] = sizeof dev.TrackInfo;
  if (!r.Completed(dev)) return false;
  ClipToDataLength(t, sizeof dev.TrackInfo, mmc::GetBE16(t), 2);
  mmc::SwapToHost16(t + trackinfo::DataLength);
  for (int offset : {trackinfo::TrackStart, trackinfo::NextWritable, trackinfo::FreeBlocks,
                     trackinfo::FixedPacketSize, trackinfo::TrackSize, trackinfo::LastRecorded})
    mmc::SwapToHost32(t + offset);
  return true;
}

uint32_t ReadFormatCapacities(TSCSIDevice& dev) {
  alignas(4) std::array<uint8_t, 124> data{};
  TRequest r(10, op::ReadFormatCapacities, kFlagsRead, data.data(), data.size());
  r.Cdb()[8] = static_cast<uint8_t>(data.size());
  if (!r.Completed(dev)) return 0;
  const size_t listEnd = std::min<size_t>(data.size(), 4 + size_t{data[3]});
  ClipToDataLength(data.data(), data.size(), data[3], 4);
  for (size_t offset = 4; offset + 4 <= data.size() && offset <= 92; offset += 8)
    mmc::SwapToHost32(data.data() + offset);
  // A descriptor of 2048-byte blocks (format type 0) among the first four, else the current or
  // maximum capacity.
  for (size_t offset = 4; offset + 8 <= listEnd && offset <= 28; offset += 8) {
    const uint8_t* d = data.data() + offset;
    if (d[4] == 0x00 && d[5] == 0x00 && d[6] == 0x08 && d[7] == 0x00) return mmc::GetHost32(d);
  }
  return mmc::GetHost32(data.data() + 4);
}

uint8_t GetMediumType(TSCSIDevice& dev) {
  std::memset(dev.Configuration, 0, sizeof dev.Configuration);
  if (GetConfiguration(dev, dev.Configuration, sizeof dev.Configuration, 0)) {
    mmc::SwapToHost16(dev.Configuration + 6);
    return MediumFromProfile(mmc::GetHost16(dev.Configuration + 6));
  }
  // Drives that predate profiles: the ATIP tells pressed from recordable CDs.
  uint8_t* atip = dev.DataBuffer;
  std::memset(atip, 0, 30);
  if (ReadTocPmaAtip(dev, 4, 0, 30, atip, true)) {
    if (!(atip[6] & 0x80)) return mtCDROM;
    return (atip[6] & 0x40) ? mtCDRW : mtCDR;
  }
  if (ReadDiscInfo(dev)) return DiscErasable(dev) ? mtCDRW : mtCDR;
  return TestUnitReady(dev) ? mtCDROM : mtUNKNOWN;
}

uint8_t GetCompleteSessionCount(TSCSIDevice& dev) {
  if (ReadDiscInfo(dev)) {
    // An empty last session is the one still to be written, not one on the disc.
    if (((dev.DiscInfo[2] >> 2) & 3) == 0 && dev.DiscInfo[4] > 0) --dev.DiscInfo[4];
    return dev.DiscInfo[4];
  }
  return GetMediumType(dev) == mtDVDRAM ? 1 : 0;
}

uint8_t GetLastTrackNumber(TSCSIDevice& dev) { return ReadDiscInfo(dev) ? dev.DiscInfo[6] : 0; }

bool IsErasable(TSCSIDevice& dev) {
  switch (GetMediumType(dev)) {
    case mtDVDRAM:
    case mtDVDRW:
    case mtDVDRWRO:
    case mtDVDRWSR:
    case mtDVDPLUSRW:
      return true;
    default:
      return ReadDiscInfo(dev) && DiscErasable(dev);
  }
}

bool IsDiscWritable(TSCSIDevice& dev) {
  const uint8_t mt = GetMediumType(dev);
  if (mt == mtDVDRAM || mt == mtDVDRWRO || mt == mtDVDPLUSRW || mt == mtBDRE) return true;
  if (ReadDiscInfo(dev)) {
    const uint8_t status = DiscStatus(dev);
    if (status == kDiscStatusEmpty || status == kDiscStatusIncomplete) return true;
    if (status == kDiscStatusComplete) return false;
  }
  SetWriteParameters(dev, dev.TestWrite, dev.BurnProof, mt, false);
  if (ReadTrackInformation(dev, 0xFF)) return TrackField(dev, trackinfo::FreeBlocks) != 0;
  if (ReadTrackInformation(dev, static_cast<uint8_t>(dev.DiscInfo[6] + 1)))
    return TrackField(dev, trackinfo::FreeBlocks) != 0;
  return false;
}

uint32_t GetFreeBlocks(TSCSIDevice& dev) {
  if (!IsDiscWritable(dev)) return 0;
  const uint8_t mt = GetMediumType(dev);
  SetWriteParameters(dev, false, false, mt, false);
  if (ReadLastTrackOfLastSession(dev)) {
    const uint32_t size = TrackField(dev, trackinfo::TrackSize);
    const uint32_t free = TrackField(dev, trackinfo::FreeBlocks);
    if (size == 0xFFFFFFFF) return 0;
    // Restricted overwrite is written in place like the random-access media: its track spans
    // the whole formatted extent whether or not anything is recorded, so what is taken is the
    // volume on it (a blank one has its whole capacity free).
    if (mt == mtDVDRWRO) return Remaining(ReadFormatCapacities(dev), FindIsoVolumeSize(dev));
    if (mt == mtDVDRAM || mt == mtDVDPLUSRW || mt == mtBDRE)
      return Remaining(size, FindIsoVolumeSize(dev));
    return std::max(free, size);
  }
  if (mt == mtDVDRAM || mt == mtDVDPLUSRW)
    return Remaining(ReadFormatCapacities(dev), FindIsoVolumeSize(dev));
  return 0;
}

uint32_t GetTotalBlocks(TSCSIDevice& dev) {
  SetWriteParameters(dev, false, false, GetMediumType(dev), false);
  if (ReadLastTrackOfLastSession(dev)) {
    const uint32_t size = TrackField(dev, trackinfo::TrackSize);
    if (!(dev.TrackInfo[trackinfo::Flags6] & 0x10))
      return TrackField(dev, trackinfo::TrackStart) + size;
    return size == 0xFFFFFFFF ? 0 : ReadFormatCapacities(dev);
  }
  return ReadFormatCapacities(dev);
}

uint32_t FindIsoVolumeSize(TSCSIDevice& dev) {
  alignas(4) std::array<uint8_t, kSectorSize> block;
  block.fill(0xFF);
  SetWriteParameters(dev, dev.TestWrite, dev.BurnProof, GetMediumType(dev), false);
  if (!FindVolumeDescriptor(dev, 2, block.data()) && !FindVolumeDescriptor(dev, 1, block.data()))
    return 0;
  // The little-endian half of the both-endian volume space size.
  const uint8_t* v = block.data() + 80;
  return uint32_t{v[0]} | uint32_t{v[1]} << 8 | uint32_t{v[2]} << 16 | uint32_t{v[3]} << 24;
}

uint8_t GetDiscStatus(TSCSIDevice& dev) {
  if (!ReadDiscInfo(dev)) return kDiscStatusUnknown;
  const uint8_t status = DiscStatus(dev);
  return status <= kDiscComplete ? status : kDiscStatusUnknown;
}

bool IsOverwritable(uint8_t mediumType) {
  switch (mediumType) {
    case mtDVDRAM:
    case mtDVDRWRO:
    case mtDVDPLUSRW:
    case mtBDRE:
    case mtHDDVDRAM:
      return true;
    default:
      return false;
  }
}

}  // namespace qvp
