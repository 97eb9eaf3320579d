// READ FORMAT CAPACITIES as a list: the current capacity descriptor with its type, and the
// formats the drive offers for the loaded medium.
#include "device/qvpSCSIFormats.h"

#include <array>

#include "device/qvpSCSILib.h"
#include "device/qvpSCSIRequest.h"

namespace qvp {

bool ReadFormatCapacityList(TSCSIDevice& dev, TFormatCapacities& out) {
  out = TFormatCapacities{};
  std::array<uint8_t, 252> data{};
  TRequest r(10, op::ReadFormatCapacities, kFlagsRead, data.data(), data.size());
  r.Cdb()[8] = static_cast<uint8_t>(data.size());
  if (!r.Completed(dev)) return false;
  // The list length counts the descriptors after the 4-byte header; the first is the current
  // or maximum capacity.
  const size_t end = std::min<size_t>(data.size(), 4 + size_t{data[3]});
  if (end < 12) return false;
  out.CurrentBlocks = mmc::GetBE32(&data[4]);
  out.CurrentType = data[8] & 0x03;
  for (size_t at = 12; at + 8 <= end && out.FormatCount < std::size(out.Formats); at += 8) {
    TFormatCapacities::TFormat& f = out.Formats[out.FormatCount++];
    f.Blocks = mmc::GetBE32(&data[at]);
    f.FormatType = data[at + 4] >> 2;
    f.Parameter = uint32_t{data[at + 5]} << 16 | uint32_t{data[at + 6]} << 8 | data[at + 7];
  }
  return true;
}

bool BuildFormatList(const TFormatCapacities& caps, uint8_t formatType, uint8_t (&list)[12]) {
  for (uint8_t i = 0; i < caps.FormatCount; ++i) {
    const TFormatCapacities::TFormat& f = caps.Formats[i];
    if (f.FormatType != formatType) continue;
    // Header: format options valid, immediate; one 8-byte descriptor.
    list[0] = 0x00;
    list[1] = 0x82;
    list[2] = 0x00;
    list[3] = 0x08;
    mmc::PutBE32(list + 4, f.Blocks);
    list[8] = static_cast<uint8_t>(formatType << 2);
    list[9] = static_cast<uint8_t>(f.Parameter >> 16);
    list[10] = static_cast<uint8_t>(f.Parameter >> 8);
    list[11] = static_cast<uint8_t>(f.Parameter);
    return true;
  }
  return false;
}

}  // namespace qvp
