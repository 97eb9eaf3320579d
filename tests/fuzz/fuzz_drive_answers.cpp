// Drive answers: a drive whose every answer comes from the input, behind the virtual-drive seam,
// asked what the program asks a real one (discovery, capabilities, medium queries, the report, a
// burn's set-up and closing). Short answers, lengths that lie, garbage sense data and BUSY storms
// must never crash the program or hang it.
//
// Input: the scenario byte (DriveScenario.h), then one answer per command: a header byte h with
// the kind in its low two bits.
//   0: GOOD with data-in: 2-byte count n; with h & 04h a 2-byte count k of bytes given, the rest
//      of the n zeros, else n bytes given. Bytes beyond n keep what the buffer held.
//   1: CHECK CONDITION: a count byte, then that many sense bytes.
//   2: BUSY.
//   3: GOOD without data.
// When the input is used up the medium is gone (NOT READY, medium not present), so every retry
// loop of the program ends.
#include <algorithm>

#include "platform/Clock.h"
#include "tests/fuzz/DriveAnswers.h"
#include "tests/fuzz/DriveScenario.h"

namespace {

std::unique_ptr<fuzz::TInput> gInput;

uint8_t Answer(const fuzz::TCommandView& c) {
  fuzz::TInput& in = *gInput;
  if (in.Empty()) return fuzz::CheckCondition(c, 2, 0x3A, 0x00);
  const uint8_t h = in.Byte();
  switch (h & 3) {
    case fuzz::kAnswerData: {
      const uint16_t n = in.U16();
      const uint16_t given = (h & fuzz::kAnswerZeroTail) ? in.U16() : n;
      const std::vector<uint8_t> bytes = in.Bytes(std::min(given, n));
      if (c.Data == nullptr) return 0;
      const size_t room = std::min<size_t>(n, c.DataLength);
      std::copy_n(bytes.begin(), std::min(room, bytes.size()), c.Data);
      if (room > bytes.size()) std::fill(c.Data + bytes.size(), c.Data + room, 0);
      return 0;
    }
    case fuzz::kAnswerCheck: {
      const std::vector<uint8_t> sense = in.Bytes(in.Byte());
      if (c.Sense != nullptr)
        std::copy_n(sense.begin(), std::min<size_t>(sense.size(), c.SenseLength), c.Sense);
      return 2;
    }
    case fuzz::kAnswerBusy:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every wait of the program (drive polls of seconds) passes in microseconds.
  plat::SetClockScale(1e6);
  fuzz::InstallDrive(std::make_shared<fuzz::TScriptedDrive>(Answer));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gInput = std::make_unique<fuzz::TInput>(data, size);
  const fuzz::TScenario scenario = fuzz::ReadScenario(*gInput);
  fuzz::RunScenario(scenario);
  gInput.reset();
  return 0;
}
