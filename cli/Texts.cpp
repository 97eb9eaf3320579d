#include "cli/Texts.h"

#include <array>

namespace cli {

std::string StatusName(uint16_t status) {
  static const std::array<const char*, 12> names = {
      "Dosavadní nečinnost...",
      "Zapisuji data...",
      "Mažu...",
      " BACKGROUND FORMAT ",
      "Uzavírání stopy...",
      "Uzavírání disku...",
      "Připravuji...",
      "Probíhá storno...",
      "Importuji session...",
      "Chyba vypalování: Provede se storno...",
      "Kontrola...",
      " GEN. SM. REF ",
  };
  return status < names.size() ? names[status] : std::string();
}

std::string MediumTypeName(uint8_t code) {
  static const std::array<const char*, 23> names = {
      "mtUNKNOWN",    "mtCDROM",   "mtCDR",     "mtCDRW",    "mtDVDROM",    "mtDVDR",
      "mtDVDRAM",     "mtDVDRW",   "mtDVDRWRO", "mtDVDRWSR", "mtDVDPLUSRW", "mtDVDPLUSR",
      "mtDVDPLUSRDL", "mtBDROM",   "mtBDR",     "mtBDRRR",   "mtBDRE",      "mtDDCDROM",
      "mtDDCDR",      "mtDDCDRW",  "mtDDCDROM", "mtDDCDR",   "mtDDCDRW",
  };
  return code < names.size() ? names[code] : names[0];
}

std::string YesNoText(uint8_t flag) { return flag == 1 ? "Ano" : "Ne"; }

}  // namespace cli
