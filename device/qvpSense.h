#pragma once
// Sense data in the program's terms: the additional sense codes the jobs react to, the sense of
// the last command, and a short English description of a sense key with its ASC/ASCQ for the
// messages the front ends show when a drive refuses something.
#include <cstdint>
#include <string>

#include "device/qvpDeviceTypes.h"

namespace qvp {

// Sense keys.
namespace key {
constexpr uint8_t NoSense = 0x0;
constexpr uint8_t RecoveredError = 0x1;
constexpr uint8_t NotReady = 0x2;
constexpr uint8_t MediumError = 0x3;
constexpr uint8_t HardwareError = 0x4;
constexpr uint8_t IllegalRequest = 0x5;
constexpr uint8_t UnitAttention = 0x6;
constexpr uint8_t DataProtect = 0x7;
constexpr uint8_t BlankCheck = 0x8;
constexpr uint8_t AbortedCommand = 0xB;
}  // namespace key

// Additional sense codes (ASC) the jobs and queries look at.
namespace asc {
constexpr uint8_t NotReady = 0x04;  // ASCQ 01 becoming ready, 04 formatting, 07/08 long operation
constexpr uint8_t WriteError = 0x0C;
constexpr uint8_t InvalidCommand = 0x20;
constexpr uint8_t InvalidAddress = 0x21;
constexpr uint8_t InvalidFieldInCdb = 0x24;
constexpr uint8_t MediumChanged = 0x28;
constexpr uint8_t ResetOccurred = 0x29;
constexpr uint8_t IncompatibleMedium = 0x30;  // ASCQ 05: cannot write, incompatible format
constexpr uint8_t MediumNotPresent = 0x3A;    // ASCQ 02: tray open
}  // namespace asc
namespace ascq {
constexpr uint8_t BecomingReady = 0x01;
constexpr uint8_t IncompatibleFormat = 0x05;  // with asc::IncompatibleMedium
constexpr uint8_t TrayOpen = 0x02;            // with asc::MediumNotPresent
}  // namespace ascq

// A sense key with its ASC and ASCQ; all zero means no sense data.
struct TSense {
  uint8_t Key = 0, Asc = 0, Ascq = 0;
  bool Empty() const { return Key == 0 && Asc == 0 && Ascq == 0; }
  // ASC x 256 + ASCQ, the device error code of the error texts.
  uint16_t Code() const { return static_cast<uint16_t>(Asc << 8 | Ascq); }
  uint32_t Packed() const { return uint32_t{Key} << 16 | uint32_t{Asc} << 8 | Ascq; }
  static TSense FromPacked(uint32_t v) {
    return TSense{static_cast<uint8_t>(v >> 16 & 0x0F), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v)};
  }
  bool operator==(const TSense&) const = default;
};

// Sense of the last command (zero when it succeeded).
inline uint8_t LastSenseKey(const TSCSIDevice& d) { return d.LastSense[2] & 0x0F; }
inline uint8_t LastAsc(const TSCSIDevice& d) { return d.LastSense[12]; }
inline uint8_t LastAscq(const TSCSIDevice& d) { return d.LastSense[13]; }
inline TSense LastSenseOf(const TSCSIDevice& d) {
  return TSense{LastSenseKey(d), LastAsc(d), LastAscq(d)};
}

// Name of a sense key: "medium error", "hardware error", "illegal request", ...
std::string SenseKeyName(uint8_t senseKey);
// Short description of an ASC/ASCQ pair ("write error", "medium not present"); the sense key's
// name when the pair is not in the table.
std::string DescribeSense(const TSense& s);
// "3/0C/00 medium error: write error" (hex digits, as drives' manuals print them).
std::string FormatSense(const TSense& s);

}  // namespace qvp
