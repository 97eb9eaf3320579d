#include "frontend/Texts.h"

#include <array>

namespace fe {

std::string StatusName(uint16_t status) {
  static const std::array<const char*, kStatusNameCount> names = {
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
  // Codes 17 to 19 carry the names of the double-density CD rows as they always have; the
  // double-density CD codes 20 to 22 get the same names.
  static const std::array<const char*, 23> names = {
      "mtUNKNOWN",    "mtCDROM",  "mtCDR",     "mtCDRW",    "mtDVDROM",    "mtDVDR",
      "mtDVDRAM",     "mtDVDRW",  "mtDVDRWRO", "mtDVDRWSR", "mtDVDPLUSRW", "mtDVDPLUSR",
      "mtDVDPLUSRDL", "mtBDROM",  "mtBDR",     "mtBDRRR",   "mtBDRE",      "mtDDCDROM",
      "mtDDCDR",      "mtDDCDRW", "mtDDCDROM", "mtDDCDR",   "mtDDCDRW",
  };
  return code < names.size() ? names[code] : names[0];
}

std::string YesNoText(uint8_t flag) { return flag == 1 ? "Ano" : "Ne"; }

double SpeedUnit(uint8_t mediumType) {
  if (mediumType >= 4 && mediumType <= 12) return 1385.0;
  if (mediumType >= 13 && mediumType <= 19) return 4495.5;
  return 176.46;
}

}  // namespace fe
