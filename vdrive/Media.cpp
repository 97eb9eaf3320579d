#include "vdrive/Media.h"

namespace vdrive {
namespace {

// Session gaps: a CD session ends with its lead-out (6750 blocks after the first session, 2250
// after later ones) and the next starts with a lead-in of 4500 blocks and a pre-gap of 150. DVD
// and HD DVD sessions are separated by a border zone, BD-R sessions by a closing zone.
constexpr TMediumTraits kTraits[kMediumKindCount] = {
    {TMediumKind::CdRom, "cd-rom", 0x0008, TFamily::Cd, TAccess::Rom, false, 359847, 1, 0, 0},
    {TMediumKind::CdR, "cd-r", 0x0009, TFamily::Cd, TAccess::Sequential, false, 359847, 1, 11400,
     6900},
    {TMediumKind::CdRw, "cd-rw", 0x000A, TFamily::Cd, TAccess::Sequential, true, 359847, 1, 11400,
     6900},
    {TMediumKind::DvdRom, "dvd-rom", 0x0010, TFamily::Dvd, TAccess::Rom, false, 2295104, 16, 0, 0},
    {TMediumKind::DvdR, "dvd-r", 0x0011, TFamily::Dvd, TAccess::Sequential, false, 2298496, 16,
     16384, 3072},
    {TMediumKind::DvdRw, "dvd-rw", kProfileDvdRwSequential, TFamily::Dvd, TAccess::Sequential, true,
     2298496, 16, 16384, 3072},
    {TMediumKind::DvdPlusR, "dvd+r", 0x001B, TFamily::Dvd, TAccess::Sequential, false, 2295104, 16,
     16384, 3072},
    {TMediumKind::DvdPlusRw, "dvd+rw", 0x001A, TFamily::Dvd, TAccess::Random, true, 2295104, 16, 0,
     0},
    {TMediumKind::DvdPlusRDl, "dvd+r-dl", 0x002B, TFamily::Dvd, TAccess::Sequential, false, 4173824,
     16, 16384, 3072},
    {TMediumKind::DvdRam, "dvd-ram", 0x0012, TFamily::Dvd, TAccess::Random, true, 2236704, 16, 0,
     0},
    {TMediumKind::BdRom, "bd-rom", 0x0040, TFamily::Bd, TAccess::Rom, false, 12219392, 32, 0, 0},
    {TMediumKind::BdR, "bd-r", 0x0041, TFamily::Bd, TAccess::Sequential, false, 12219392, 32, 4096,
     4096},
    {TMediumKind::BdRe, "bd-re", 0x0043, TFamily::Bd, TAccess::Random, true, 11826176, 32, 0, 0},
    {TMediumKind::HdDvdRom, "hddvd-rom", 0x0050, TFamily::HdDvd, TAccess::Rom, false, 7650304, 32,
     0, 0},
    {TMediumKind::HdDvdR, "hddvd-r", 0x0051, TFamily::HdDvd, TAccess::Sequential, false, 7650304,
     32, 16384, 3072},
    {TMediumKind::HdDvdRam, "hddvd-ram", 0x0052, TFamily::HdDvd, TAccess::Random, true, 9591840, 32,
     0, 0},
};

}  // namespace

const TMediumTraits& Traits(TMediumKind kind) { return kTraits[static_cast<int>(kind)]; }

std::optional<TMediumKind> ParseMediumKind(std::string_view name) {
  for (const auto& t : kTraits) {
    if (name == t.name) return t.kind;
  }
  return std::nullopt;
}

uint32_t BdReCapacityWithoutSpares(uint32_t capacity) {
  // The usual disc gives up 393,216 blocks to its spare areas; other sizes in proportion.
  if (capacity == Traits(TMediumKind::BdRe).capacity) return Traits(TMediumKind::BdR).capacity;
  return capacity + capacity / 30;
}

uint32_t BdRCapacityWithSpares(uint32_t capacity) {
  if (capacity == Traits(TMediumKind::BdR).capacity) return Traits(TMediumKind::BdRe).capacity;
  return capacity - capacity / 31;
}

double SpeedUnit(TFamily family) {
  switch (family) {
    case TFamily::Cd:
      return 176.4;
    case TFamily::Dvd:
      return 1385.0;
    case TFamily::Bd:
      return 4495.5;
    case TFamily::HdDvd:
      return 4568.0;
  }
  return 176.4;
}

}  // namespace vdrive
