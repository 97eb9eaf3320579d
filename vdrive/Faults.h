#pragma once
// Faults armed on a recorder (faults.json): sense codes for chosen commands, BUSY answers,
// NOT READY periods and commands or mode pages the drive pretends not to know.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/Sense.h"

namespace vdrive {

struct TOpcodeFault {
  uint8_t opcode = 0;
  std::optional<uint32_t> lbaFirst, lbaLast;  // only commands touching this range (inclusive)
  uint32_t from = 1;                          // fires from the k-th matching command on
  uint32_t times = 1;                         // how often it fires; 0 = every time
  TSense sense;
  uint32_t seen = 0, fired = 0;  // counters kept across processes
};

// Blocks whose READ answers come back damaged: one byte of every block of the range flipped,
// the recorded data left as it is.
struct TDamage {
  uint32_t first = 0, last = 0;  // inclusive
};

struct TFaults {
  std::vector<TOpcodeFault> commands;
  uint32_t busy = 0;                 // the next k commands answer BUSY
  uint32_t notReadyMs = 0;           // a NOT READY period, started where it is first noticed
  uint64_t notReadyArm = 0;          // changes with every arming, so each is noticed once
  std::vector<uint8_t> refuse;       // opcodes answered with 5/20/00
  std::vector<uint8_t> refusePages;  // mode pages answered with 5/24/00
  bool plusRwNeedsFormat = false;    // a blank DVD+RW refuses writes with 5/30/05
  std::vector<TDamage> damaged;

  // Flips the damaged bytes of count blocks at lba read into data.
  void DamageRead(uint32_t lba, uint32_t count, uint8_t* data) const;

  bool Refuses(uint8_t opcode) const;
  bool RefusesPage(uint8_t page) const;
};

std::string FaultsToJson(const TFaults& f);
bool FaultsFromJson(std::string_view text, TFaults& f, std::string& error);

}  // namespace vdrive
