#pragma once
// TCDBurnerInfo: what the reading library knows of one drive of its list.
#include <cstdint>
#include <string>

#include "platform/Drives.h"

namespace rd {

struct TCDBurnerInfo {
  int32_t Index = 0;  // position in the list, from 0
  char Letter = 0;
  uint32_t Address = 0;  // see MakeAddress
  std::string Product;   // INQUIRY product, trimmed
  std::string Vendor;    // INQUIRY vendor, trimmed
  std::string Name;      // "<vendor> <product>"
  std::string VendorSpecific;
  std::string Revision;
  // The volume handle of the enumeration. The list closes it once the drive is identified, so
  // that the reading library holds no drive open between its commands.
  plat::TDriveHandle Handle = plat::kInvalidDriveHandle;
  uint8_t HostAdapter = 0;
  uint8_t Target = 0;
  uint8_t Lun = 0;
};

// host adapter × 2^24 + target × 2^16 + (LUN × 32 + (letter code and 31)) × 2^8
inline uint32_t MakeAddress(uint8_t hostAdapter, uint8_t target, uint8_t lun, char letter) {
  uint32_t low = (static_cast<uint32_t>(lun) * 32 + (static_cast<uint8_t>(letter) & 31)) & 0xFF;
  return (static_cast<uint32_t>(hostAdapter) << 24) + (static_cast<uint32_t>(target) << 16) +
         (low << 8);
}

}  // namespace rd
