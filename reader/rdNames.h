#pragma once
// Name tables of the reading library: the media profiles it can name from GET CONFIGURATION
// and the SCSI peripheral device types.
#include <cstdint>
#include <string_view>

namespace rd {

// One named medium profile: the profile number of GET CONFIGURATION, the library's own code
// for it, its identifier and the text shown for it.
struct TProfileName {
  uint16_t Profile;
  uint8_t Code;
  std::string_view Identifier;
  std::string_view Text;
};

// The profiles the library knows; null for any other profile number.
const TProfileName* FindProfile(uint16_t profile);

// The 13 device type names: the SCSI peripheral device types 0 to 9, then "Invalid",
// "Any Type Device" and "Other Type Device".
constexpr int kDeviceTypeNameCount = 13;
std::string_view DeviceTypeNameAt(int index);
// Name of a peripheral device type (INQUIRY byte 0, low five bits): 0 to 9 by the table, 0x1F
// (no device at this unit) "Invalid", anything else "Other Type Device".
std::string_view DeviceTypeName(uint8_t peripheralType);

}  // namespace rd
