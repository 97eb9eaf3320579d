#include "frontend/Report.h"

#include "engine/qvpQuorvexPro.h"
#include "frontend/Texts.h"

namespace fe {
namespace {

// Capability lines: the text and the capability code, in report order. The plus-R double-layer
// line comes before the plus-RW line in both blocks.
struct TCapabilityLine {
  const char* text;
  uint8_t code;
};

constexpr TCapabilityLine kReadLines[] = {
    {">>> Umožňuje zařízení čtení CDR? ", 1},
    {">>> Umožňuje zařízení čtení CDRW? ", 2},
    {">>> Umožňuje zařízení čtení DVDRAM? ", 3},
    {">>> Umožňuje zařízení čtení DVDR? ", 4},
    {">>> Umožňuje zařízení čtení DVDRW? ", 5},
    {">>> Umožňuje zařízení čtení DVDPLUSR? ", 6},
    {">>> Umožňuje zařízení čtení DVDPLUSRDL? ", 8},
    {">>> Umožňuje zařízení čtení DVDPLUSRW? ", 7},
    {">>> Umožňuje zařízení čtení HDDVDROM? ", 9},
    {">>> Umožňuje zařízení čtení HDDVDR? ", 10},
    {">>> Umožňuje zařízení čtení HDDVDRAM? ", 11},
    {">>> Umožňuje zařízení čtení BluRay - BDROM? ", 12},
    {">>> Umožňuje zařízení čtení BluRay - BDR? ", 13},
    {">>> Umožňuje zařízení čtení BluRay - BDRE? ", 14},
};

constexpr TCapabilityLine kWriteLines[] = {
    {">>> Umožňuje zařízení zápis CDR? ", 21},
    {">>> Umožňuje zařízení zápis CDRW? ", 22},
    {">>> Umožňuje zařízení zápis DVDRAM? ", 23},
    {">>> Umožňuje zařízení zápis DVDR? ", 24},
    {">>> Umožňuje zařízení zápis DVDRW? ", 25},
    {">>> Umožňuje zařízení zápis DVDPLUSR? ", 26},
    {">>> Umožňuje zařízení zápis DVDPLUSRDL? ", 28},
    {">>> Umožňuje zařízení zápis DVDPLUSRW? ", 27},
    {">>> Umožňuje zařízení zápis HDDVDR? ", 29},
    {">>> Umožňuje zařízení zápis HDDVDRAM? ", 30},
    {">>> Umožňuje zařízení zápis BluRay - BDR? ", 31},
    {">>> Umožňuje zařízení zápis BluRay - BDRE? ", 32},
};

}  // namespace

TMediumFacts CollectMediumFacts(TQuorvexPro& qvx) {
  TMediumFacts f;
  f.UnitReady = qvx.IsUnitReady();
  f.MediumType = qvx.GetMediumType();
  f.Erasable = qvx.IsErasable();
  f.Writable = qvx.IsDiscWritable();
  f.Sessions = qvx.GetSessionCount();
  f.TotalBlocks = qvx.GetTotalBlocks();
  f.FreeBlocks = qvx.GetFreeBlocks();
  f.MaxWriteSpeed = qvx.GetMaxWriteSpeed();
  f.CurrentReadSpeed = qvx.GetCurrentReadSpeed();
  f.CurrentWriteSpeed = qvx.GetCurrentWriteSpeed();
  f.DefaultMaxReadSpeed = qvx.GetDefaultMaxReadSpeed();
  f.DefaultMaxWriteSpeed = qvx.GetDefaultMaxWriteSpeed();
  for (uint8_t code : {uint8_t{41}, uint8_t{42}})
    f.Capability[code] = qvx.GetDeviceCapability(code);
  for (const auto& l : kReadLines) f.Capability[l.code] = qvx.GetDeviceCapability(l.code);
  for (const auto& l : kWriteLines) f.Capability[l.code] = qvx.GetDeviceCapability(l.code);
  return f;
}

std::vector<std::string> ReportLines(const TMediumFacts& f, const TNumberSeparators& s) {
  auto yesNo = [](bool v) { return YesNoText(v ? 1 : 0); };
  std::vector<std::string> lines;
  lines.reserve(44);
  lines.push_back(std::string(">>> Je zařízení připraveno? ") + yesNo(f.UnitReady));
  lines.emplace_back();
  lines.push_back(">>> Vložený disk do mechaniky: " + MediumTypeName(f.MediumType));
  lines.push_back(">>> Je médium PŘEPISOVATELNÉ? " + yesNo(f.Erasable));
  lines.push_back(">>> Je médium ZAPISOVATELNÉ? " + yesNo(f.Writable));
  lines.push_back(">>> Sessions na Disku: " + std::to_string(f.Sessions));
  lines.push_back(">>> Celková kapacita média: " + BlocksToMB(f.TotalBlocks, s) + " MB");
  lines.push_back(">>> Volné místo na médiu: " + BlocksToMB(f.FreeBlocks, s) + " MB");
  lines.push_back(">>> Maximální rychlost zápisu: " + SpeedText(f.MaxWriteSpeed, s));
  lines.push_back(">>> Rychlost čtení: " + SpeedText(f.CurrentReadSpeed, s));
  lines.push_back(">>> Rychlost záspisu: " + SpeedText(f.CurrentWriteSpeed, s));
  lines.emplace_back();
  lines.push_back(">>> Maximální rychlost čtení zařízení: " + SpeedText(f.DefaultMaxReadSpeed, s));
  lines.push_back(">>> Maximální rychlost zápisu zařízení: " +
                  SpeedText(f.DefaultMaxWriteSpeed, s));
  lines.push_back(">>> Umožňuje zařízení simulaci zápisu? " + YesNoText(f.Capability[41]));
  lines.push_back(">>> Podporuje zařízení ochranu přetečení? " + YesNoText(f.Capability[42]));
  lines.emplace_back();
  for (const auto& l : kReadLines) lines.push_back(l.text + YesNoText(f.Capability[l.code]));
  lines.emplace_back();
  for (const auto& l : kWriteLines) lines.push_back(l.text + YesNoText(f.Capability[l.code]));
  return lines;
}

}  // namespace fe
