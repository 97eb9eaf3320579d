#pragma once
// The kinds of medium the virtual recorder knows: their names, MMC profiles, usual capacities and
// the physical rules (write alignment, gaps between sessions) that the write rules build on.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdrive {

enum class TMediumKind : uint8_t {
  CdRom,
  CdR,
  CdRw,
  DvdRom,
  DvdR,
  DvdRw,
  DvdPlusR,
  DvdPlusRw,
  DvdPlusRDl,
  DvdRam,
  BdRom,
  BdR,
  BdRe,
  HdDvdRom,
  HdDvdR,
  HdDvdRam,
};
constexpr int kMediumKindCount = 16;

enum class TFamily : uint8_t { Cd, Dvd, Bd, HdDvd };

// How a medium takes data: pressed (never), sequentially at the next writable address, or
// anywhere inside its formatted area.
enum class TAccess : uint8_t { Rom, Sequential, Random };

struct TMediumTraits {
  TMediumKind kind;
  const char* name;  // as `ardovan-vdrive insert --medium` takes it
  uint16_t profile;  // current profile when loaded (DVD-RW: sequential recording)
  TFamily family;
  TAccess access;
  bool erasable;      // BLANK or FORMAT can empty it
  uint32_t capacity;  // usual user capacity in 2048-byte blocks
  uint32_t align;     // recording unit: tracks start and close on multiples of it
  uint32_t firstGap;  // blocks between the first session and the second
  uint32_t laterGap;  // blocks between later sessions
};

const TMediumTraits& Traits(TMediumKind kind);
std::optional<TMediumKind> ParseMediumKind(std::string_view name);
inline std::string MediumName(TMediumKind kind) { return Traits(kind).name; }

constexpr uint16_t kProfileDvdRwRestricted = 0x0013;
constexpr uint16_t kProfileDvdRwSequential = 0x0014;

// User blocks of a BD-RE of the given capacity (with the default spare areas) when it is
// formatted without spare areas.
uint32_t BdReCapacityWithoutSpares(uint32_t capacity);
// User blocks of a BD-R of the given (unformatted) capacity once formatted with the default
// spare areas.
uint32_t BdRCapacityWithSpares(uint32_t capacity);

// Speed of "1x" in kB/s (1000 bytes) for a family.
double SpeedUnit(TFamily family);

}  // namespace vdrive
