// Disc contents read back: a pressed disc made from the input, read whole by the disc-copy
// reader and probed by the burner's volume-size query. The image must hold the disc's blocks
// in order (zeros only where a block could not be read), be no longer than the table of
// contents says, and the volume size must be the one the disc's descriptors record.
//
// Input: 2-byte length and the READ TOC answer; a byte: how many READ commands before the
// medium leaves the drive (the count plus one); a byte n and n unreadable ranges (4-byte first
// block, 2-byte count); the 4-byte block where the given content starts, then the content (all
// other blocks are zeros).
#include <algorithm>
#include <cstring>

#include "device/qvpSCSILib.h"
#include "platform/Clock.h"
#include "reader/rdDevices.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr uint32_t kBlock = 2048;

struct TRange {
  uint32_t first, count;
};

struct TDisc {
  std::vector<uint8_t> toc;
  uint32_t readsLeft = 0;
  std::vector<TRange> unreadable;
  uint32_t contentStart = 0;
  std::vector<uint8_t> content;

  bool Readable(uint32_t lba) const {
    for (const TRange& r : unreadable)
      if (lba >= r.first && lba - r.first < r.count) return false;
    return true;
  }
  // Block lba as the disc holds it.
  void Block(uint32_t lba, uint8_t* out) const {
    std::memset(out, 0, kBlock);
    if (lba < contentStart) return;
    const uint64_t at = uint64_t{lba - contentStart} * kBlock;
    if (at < content.size())
      std::memcpy(out, content.data() + at, std::min<size_t>(kBlock, content.size() - at));
  }
};

TDisc gDisc;

uint8_t Answer(const fuzz::TCommandView& c) {
  switch (c.Cdb[0]) {
    case 0x12: {  // a plain DVD reader
      uint8_t inquiry[96] = {5, 0x80, 0, 0x32, 91};
      std::memcpy(inquiry + 8, "ARDOVAN DISC READER     1.00", 28);
      return fuzz::Reply(c, inquiry, sizeof inquiry);
    }
    case 0x00:
      return 0;
    case 0x43:
      return fuzz::Reply(c, gDisc.toc.data(), gDisc.toc.size());
    case 0x28: {
      if (gDisc.readsLeft == 0) return fuzz::CheckCondition(c, 2, 0x3A, 0x00);
      --gDisc.readsLeft;
      const uint32_t lba =
          uint32_t{c.Cdb[2]} << 24 | uint32_t{c.Cdb[3]} << 16 | uint32_t{c.Cdb[4]} << 8 | c.Cdb[5];
      const uint32_t count = uint32_t{c.Cdb[7]} << 8 | c.Cdb[8];
      if (c.DataLength < uint64_t{count} * kBlock) return fuzz::CheckCondition(c, 5, 0x24, 0x00);
      for (uint32_t i = 0; i < count; ++i)
        if (!gDisc.Readable(lba + i)) return fuzz::CheckCondition(c, 3, 0x11, 0x00);
      for (uint32_t i = 0; i < count; ++i) gDisc.Block(lba + i, c.Data + size_t{i} * kBlock);
      return 0;
    }
    default:
      return fuzz::CheckCondition(c, 5, 0x20, 0x00);
  }
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The number of blocks the table of contents gives the disc: the start of its last descriptor,
// the lead-out (none when the answer holds no descriptor).
int64_t LastBlock(const std::vector<uint8_t>& toc) {
  std::vector<uint8_t> t = toc;
  t.resize(rd::kTocAllocation, 0);
  const int descriptors = std::min((t[0] << 8 | t[1]) >> 3, rd::kMaxTocDescriptors);
  if (descriptors == 0) return 0;
  return static_cast<int32_t>(Be32(t.data() + 4 + 8 * (descriptors - 1) + 4));
}

void CheckImage(const std::string& path, bool complete) {
  const std::vector<uint8_t> image = fuzz::ReadFile(path);
  const int64_t last = std::max<int64_t>(LastBlock(gDisc.toc), 0);
  fuzz::Check(image.size() % kBlock == 0, "the image ends inside a block");
  fuzz::Check(image.size() <= uint64_t(last) * kBlock, "the image is longer than the disc");
  if (complete)
    fuzz::Check(image.size() == uint64_t(last) * kBlock,
                "a complete copy is shorter than the disc");
  uint8_t expected[kBlock];
  for (size_t lba = 0; lba * kBlock < image.size(); ++lba) {
    const uint8_t* got = image.data() + lba * kBlock;
    if (gDisc.Readable(static_cast<uint32_t>(lba))) {
      gDisc.Block(static_cast<uint32_t>(lba), expected);
    } else {
      fuzz::Check(!complete, "a copy with unreadable blocks is called complete");
      std::memset(expected, 0, kBlock);
    }
    fuzz::Check(std::memcmp(got, expected, kBlock) == 0,
                [&] { return "block " + std::to_string(lba) + " differs"; });
  }
}

// The volume space size of the first supplementary, else primary, descriptor in blocks 16-31.
uint32_t VolumeSize() {
  uint8_t b[kBlock];
  for (uint8_t type : {2, 1}) {
    for (uint32_t lba = 16; lba < 32; ++lba) {
      gDisc.Block(lba, b);
      if (gDisc.Readable(lba) && b[0] == type && std::memcmp(b + 1, "CD001", 5) == 0)
        return uint32_t{b[80]} | uint32_t{b[81]} << 8 | uint32_t{b[82]} << 16 |
               uint32_t{b[83]} << 24;
    }
  }
  return 0;
}

std::unique_ptr<qvp::TSCSIDevice> gDevice;
std::unique_ptr<rd::TDevices> gList;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plat::SetClockScale(1e6);
  fuzz::InstallDrive(std::make_shared<fuzz::TScriptedDrive>(Answer));
  gList = std::make_unique<rd::TDevices>();
  fuzz::Check(gList->Count() == 1, "the reading library does not list the drive");
  gDevice = std::make_unique<qvp::TSCSIDevice>();
  qvp::ResetDevice(*gDevice);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  gDisc = TDisc{};
  gDisc.toc = in.Bytes(in.U16());
  const uint32_t reads = in.Byte() % 64 + 1u;
  for (uint8_t n = in.Byte(); n > 0; --n) {
    const uint32_t first = in.U32();
    gDisc.unreadable.push_back(TRange{first, in.U16()});
  }
  gDisc.contentStart = in.U32();
  gDisc.content = in.Rest();

  // The copy: the whole disc into an image file.
  gDisc.readsLeft = reads;
  rd::TDeviceReader reader(&gList->Items(0)->Info());
  reader.OnProgress = [](rd::TDeviceReader*, int32_t, int32_t percent) {
    fuzz::Check(percent >= 0 && percent <= 100, "progress beyond 0 to 100 percent");
  };
  const std::string image = fuzz::ScratchDir() + "/ardovan.iso";
  const bool complete = reader.ReadToImage(image);
  CheckImage(image, complete);

  // The burner's probe of the volume already on a medium.
  gDisc.readsLeft = 32;
  qvp::TSCSIDevice& d = *gDevice;
  if (d.DriveCount == 0) {
    qvp::InitializeDevices(d, 0, "", "");
    qvp::SelectDevice(d, 0);
  }
  fuzz::Check(qvp::FindIsoVolumeSize(d) == VolumeSize(), "the volume size probe read another size");
  return 0;
}
