#pragma once
// The report on the selected recorder and its medium: 44 lines built from the burner component's
// queries, the same lines the medium information window shows.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Formats.h"

class TQuorvexPro;

namespace fe {

// What the report shows, as the component answered.
struct TMediumFacts {
  bool UnitReady = false;
  uint8_t MediumType = 0;
  bool Erasable = false;
  bool Writable = false;
  int32_t Sessions = 0;
  uint32_t TotalBlocks = 0;
  uint32_t FreeBlocks = 0;
  uint16_t MaxWriteSpeed = 0;
  uint16_t CurrentReadSpeed = 0;
  uint16_t CurrentWriteSpeed = 0;
  uint16_t DefaultMaxReadSpeed = 0;
  uint16_t DefaultMaxWriteSpeed = 0;
  std::array<uint8_t, 43> Capability{};  // by capability code 0..42
};

// Asks the component, in the order the report lists the answers.
TMediumFacts CollectMediumFacts(TQuorvexPro& qvx);

// The 44 lines (empty strings for the empty lines).
std::vector<std::string> ReportLines(const TMediumFacts& f,
                                     const TNumberSeparators& s = LocaleSeparators());

}  // namespace fe
