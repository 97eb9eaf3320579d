#pragma once
// What READ FORMAT CAPACITIES says about the loaded medium: whether it is formatted, and the
// formats the drive offers for it, so that a medium that must be formatted before its first
// write is formatted the way the drive itself proposes.
#include <cstdint>

namespace qvp {

struct TSCSIDevice;

// The current capacity descriptor of READ FORMAT CAPACITIES and the format descriptors that
// follow it, as the drive lists them.
struct TFormatCapacities {
  static constexpr uint8_t kUnformatted = 1, kFormatted = 2, kNoMedium = 3;
  uint32_t CurrentBlocks = 0;
  uint8_t CurrentType = 0;  // descriptor type: kUnformatted, kFormatted or kNoMedium
  struct TFormat {
    uint32_t Blocks = 0;
    uint8_t FormatType = 0;  // MMC format type (byte 4 bits 7-2)
    uint32_t Parameter = 0;  // type dependent parameter (bytes 5-7)
  };
  TFormat Formats[16];
  uint8_t FormatCount = 0;
};
bool ReadFormatCapacityList(TSCSIDevice& dev, TFormatCapacities& out);

// The FORMAT UNIT parameter list (12 bytes: header with FOV and IMMED, one descriptor) for the
// first format of the list whose type is formatType; false when the drive offers none.
bool BuildFormatList(const TFormatCapacities& caps, uint8_t formatType, uint8_t (&list)[12]);

}  // namespace qvp
