#pragma once
// The medium a recorder harness starts from, as the first bytes of its input: kind, flags
// (bit 0: formatted), capacity (3 bytes, 0 for the kind's usual one) and model.
#include <string>

#include "tests/fuzz/FuzzSupport.h"
#include "vdrive/Disc.h"
#include "vdrive/Model.h"

namespace fuzz {

struct TRecorderSetup {
  vdrive::TMediumKind kind = vdrive::TMediumKind::CdR;
  bool formatted = false;
  uint32_t capacity = 0;
  std::string model = "bd";
};

inline TRecorderSetup ReadRecorderSetup(TInput& in) {
  TRecorderSetup s;
  s.kind = static_cast<vdrive::TMediumKind>(in.Byte() % vdrive::kMediumKindCount);
  s.formatted = (in.Byte() & 1) != 0;
  s.capacity = in.U24();
  const auto models = vdrive::PresetModelNames();
  s.model = models[in.Byte() % models.size()];
  return s;
}

inline void WriteRecorderSetup(TOutput& out, const TRecorderSetup& s) {
  out.Byte(static_cast<uint8_t>(s.kind));
  out.Byte(s.formatted ? 1 : 0);
  out.U24(s.capacity);
  const auto models = vdrive::PresetModelNames();
  for (size_t i = 0; i < models.size(); ++i)
    if (models[i] == s.model) out.Byte(static_cast<uint8_t>(i));
}

// The disc the setup describes: blank, or pressed for the kinds that only come pressed.
inline vdrive::TDisc MakeDisc(const TRecorderSetup& s) {
  const uint32_t capacity = s.capacity != 0 ? s.capacity : vdrive::Traits(s.kind).capacity;
  if (vdrive::Traits(s.kind).access == vdrive::TAccess::Rom)
    return vdrive::TDisc::Pressed(s.kind, capacity);
  return vdrive::TDisc::Blank(s.kind, capacity, s.formatted);
}

}  // namespace fuzz
