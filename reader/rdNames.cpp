#include "reader/rdNames.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace rd {
namespace {

// Sorted by profile number, as the lookup below relies on. Code 12 is not used.
constexpr TProfileName kProfiles[] = {
    {0x0000, 0, "pdtNoCurrentProfile", "NONE"},
    {0x0001, 1, "pdtNonRemovableDisk", "NonRemovable"},
    {0x0002, 2, "pdtRemovableDisk", "Removable"},
    {0x0003, 3, "pdtMagnetoOptical_Erasable", "Erasable"},
    {0x0004, 4, "pdtOptical_WriteOnce", "WriteOnce"},
    {0x0005, 5, "pdfAS-MO", "AS-MO"},
    {0x0008, 6, "pdfCD-ROM", "CD-ROM"},
    {0x0009, 7, "pdfCD-R", "CD-R"},
    {0x000A, 8, "pdfCD-RW", "CD-RW"},
    {0x0010, 9, "pdfDVD-ROM", "DVD-ROM"},
    {0x0011, 10, "pdfDVD-R", "DVD-R"},
    {0x0012, 11, "pdfDVD-RAM", "DVD-RAM"},
    {0x0013, 13, "pdfDVD-RW Restricted", "DVD-RW Restricted Overwrite"},
    {0x0014, 14, "pdfDVD-RW Sequential", "DVD-RW Sequential Recording"},
    {0x001A, 15, "pdfDVD+RW", "DVD+RW"},
    {0x001B, 16, "pdfDVD+R", "DVD+R"},
    {0x0020, 17, "pdfDDCD-ROM", "DDCD-ROM"},
    {0x0021, 18, "pdfDDCD-R", "DDCD-R"},
    {0x0022, 19, "pdfDDCD-RW", "DDCD-RW"},
    {0xFFFF, 20, "pdfUNKNOWN", "UNKNOWN"},
};

constexpr std::array<std::string_view, kDeviceTypeNameCount> kDeviceTypeNames = {
    "Disk Drive",   "Tape Drive",      "Printer",           "Processor", "WORM Drive",
    "CD-ROM Drive", "Scanner",         "Optical Drive",     "Changer",   "Communication Device",
    "Invalid",      "Any Type Device", "Other Type Device",
};

constexpr int kInvalidName = 10;
constexpr int kOtherName = 12;

}  // namespace

const TProfileName* FindProfile(uint16_t profile) {
  auto it = std::lower_bound(std::begin(kProfiles), std::end(kProfiles), profile,
                             [](const TProfileName& p, uint16_t v) { return p.Profile < v; });
  return it != std::end(kProfiles) && it->Profile == profile ? &*it : nullptr;
}

std::string_view DeviceTypeNameAt(int index) {
  return index >= 0 && index < kDeviceTypeNameCount ? kDeviceTypeNames[static_cast<size_t>(index)]
                                                    : std::string_view();
}

std::string_view DeviceTypeName(uint8_t peripheralType) {
  if (peripheralType <= 9) return kDeviceTypeNames[peripheralType];
  return kDeviceTypeNames[peripheralType == 0x1F ? kInvalidName : kOtherName];
}

}  // namespace rd
