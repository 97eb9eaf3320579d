#pragma once
// What the program asks a drive, in the order it asks it: discovery and selection (identification,
// capabilities and speeds), the medium queries, the drive report, and a burn's set-up, writing
// and closing through the burner component. The drive-answers harness runs it against answers
// from its input; the seed generator runs it against virtual recorders and keeps their answers.
#include <cstdint>

#include "tests/fuzz/FuzzSupport.h"

namespace fuzz {

enum : uint8_t {
  kStageQueries = 1,  // the medium queries of the command layer, one by one
  kStageReport = 2,   // the report on the recorder and its medium
  kStageBurn = 4,     // a small data disc
};

struct TScenario {
  uint8_t stages = kStageQueries | kStageReport | kStageBurn;
  bool testWrite = false;
  bool finalize = false;
  bool udf = false;
};

// First byte of the input: the stages in bits 0-2, test write, finalize and UDF in bits 3-5.
TScenario ReadScenario(TInput& in);
void WriteScenario(TOutput& out, const TScenario& s);

// Runs the scenario against the one drive of the namespace. Checks what must hold whatever the
// drive answers (one completion per burn, a report of 44 lines, medium type codes in range).
void RunScenario(const TScenario& s);

}  // namespace fuzz
