// Descriptions of the sense codes optical drives answer most often, so a refusal can be shown as
// what it means ("medium not present", "write error") next to its raw numbers.
#include "device/qvpSense.h"

#include <cstdio>

namespace qvp {

namespace {

struct TSenseText {
  uint8_t Asc;
  int Ascq;  // -1: any qualifier
  const char* Text;
};

// Exact pairs first within an ASC, then the ASC's general text.
constexpr TSenseText kSenseTexts[] = {
    {0x00, 0x00, "no additional information"},
    {0x02, -1, "no seek complete"},
    {0x04, 0x00, "not ready"},
    {0x04, 0x01, "becoming ready"},
    {0x04, 0x02, "not ready, initializing command required"},
    {0x04, 0x03, "not ready, manual intervention required"},
    {0x04, 0x04, "not ready, format in progress"},
    {0x04, 0x07, "not ready, operation in progress"},
    {0x04, 0x08, "not ready, long write in progress"},
    {0x04, -1, "not ready"},
    {0x06, -1, "no reference position found"},
    {0x09, -1, "track following error"},
    {0x0C, 0x07, "write error, recovery needed"},
    {0x0C, 0x09, "write error, loss of streaming"},
    {0x0C, 0x0A, "write error, padding blocks added"},
    {0x0C, -1, "write error"},
    {0x11, -1, "unrecovered read error"},
    {0x15, -1, "positioning error"},
    {0x1A, -1, "parameter list length error"},
    {0x20, -1, "invalid command operation code"},
    {0x21, 0x02, "invalid address for write"},
    {0x21, -1, "logical block address out of range"},
    {0x24, -1, "invalid field in command"},
    {0x26, -1, "invalid field in parameter list"},
    {0x27, -1, "medium is write protected"},
    {0x28, -1, "medium may have changed"},
    {0x29, -1, "power on or reset occurred"},
    {0x2A, -1, "parameters changed"},
    {0x2C, -1, "command sequence error"},
    {0x30, 0x00, "incompatible medium installed"},
    {0x30, 0x01, "cannot read medium, unknown format"},
    {0x30, 0x02, "cannot read medium, incompatible format"},
    {0x30, 0x05, "cannot write medium, incompatible format"},
    {0x30, 0x06, "cannot format medium, incompatible medium"},
    {0x30, -1, "incompatible medium"},
    {0x31, -1, "medium format corrupted"},
    {0x3A, 0x01, "medium not present, tray closed"},
    {0x3A, 0x02, "medium not present, tray open"},
    {0x3A, -1, "medium not present"},
    {0x3E, -1, "drive has not self-configured yet"},
    {0x44, -1, "internal drive failure"},
    {0x53, 0x02, "medium removal prevented"},
    {0x57, -1, "unable to recover table of contents"},
    {0x5D, -1, "failure prediction threshold exceeded"},
    {0x63, -1, "end of user area encountered"},
    {0x64, -1, "illegal mode for this track"},
    {0x72, 0x03, "session fixation error, incomplete track in session"},
    {0x72, 0x04, "empty or partially written reserved track"},
    {0x72, 0x05, "no more track reservations allowed"},
    {0x72, -1, "session fixation error"},
    {0x73, 0x01, "power calibration area almost full"},
    {0x73, 0x02, "power calibration area full"},
    {0x73, 0x03, "power calibration area error"},
    {0x73, -1, "CD control error"},
};

}  // namespace

std::string SenseKeyName(uint8_t senseKey) {
  switch (senseKey & 0x0F) {
    case key::NoSense:
      return "no sense";
    case key::RecoveredError:
      return "recovered error";
    case key::NotReady:
      return "not ready";
    // A damaged or unsuitable disc, not a fault of the drive: users act on it differently.
    case key::MediumError:
      return "medium error";
    case key::HardwareError:
      return "hardware error";
    case key::IllegalRequest:
      return "illegal request";
    case key::UnitAttention:
      return "unit attention";
    case key::DataProtect:
      return "data protect";
    case key::BlankCheck:
      return "blank check";
    case key::AbortedCommand:
      return "aborted command";
    default:
      return "sense key " + std::to_string(senseKey & 0x0F);
  }
}

std::string DescribeSense(const TSense& s) {
  for (const TSenseText& t : kSenseTexts) {
    if (t.Asc == s.Asc && (t.Ascq < 0 || t.Ascq == s.Ascq)) {
      // "no additional information" says nothing the key does not say better.
      if (s.Asc == 0 && s.Key != key::NoSense) break;
      return t.Text;
    }
  }
  return SenseKeyName(s.Key);
}

std::string FormatSense(const TSense& s) {
  char head[16];
  std::snprintf(head, sizeof head, "%X/%02X/%02X ", s.Key & 0x0F, s.Asc, s.Ascq);
  const std::string name = SenseKeyName(s.Key);
  const std::string what = DescribeSense(s);
  return head + (what == name ? name : name + ": " + what);
}

}  // namespace qvp
