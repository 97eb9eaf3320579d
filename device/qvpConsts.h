#pragma once
// Constants shared by the command layer and its users: the library's version text (also the
// header line of the command log), the medium type codes, the capability codes of
// GetDeviceCapability and the name of the command log that capability code 72 opens.
#include <cstdint>

namespace qvp {

// Version text of the burning library: version 1.21, release candidate 2, built 2008-10-20.
inline constexpr const char* kLibraryVersion = "Ardovan burning library 1.21 RC2 (2008-10-20)";

// Command log opened by capability code 72, in the settings folder.
inline constexpr const char* kCommandLogFileName = "qvxp.elg";

// Medium type codes, derived from the drive's current profile.
enum TMediumType : uint8_t {
  mtUNKNOWN = 0,
  mtCDROM = 1,
  mtCDR = 2,
  mtCDRW = 3,
  mtDVDROM = 4,
  mtDVDR = 5,
  mtDVDRAM = 6,
  mtDVDRW = 7,
  mtDVDRWRO = 8,
  mtDVDRWSR = 9,
  mtDVDPLUSRW = 10,
  mtDVDPLUSR = 11,
  mtDVDPLUSRDL = 12,
  mtBDROM = 13,
  mtBDR = 14,
  mtBDRRR = 15,
  mtBDRE = 16,
  mtHDDVDROM = 17,
  mtHDDVDR = 18,
  mtHDDVDRAM = 19,
  mtDDCDROM = 20,
  mtDDCDR = 21,
  mtDDCDRW = 22,
};

// Codes of GetDeviceCapability besides the medium read/write flags 1-14 and 21-32.
constexpr uint8_t kCapTestWrite = 41;
constexpr uint8_t kCapUnderrunProtection = 42;
constexpr uint8_t kCapOpenCommandLog = 72;
constexpr uint8_t kCapCloseCommandLog = 73;
constexpr uint8_t kCapClearWriteLbaHigh = 77;

// Name of the ASPI library loaded when the caller names none.
inline constexpr const char* kDefaultAspiLibrary = "WNASPI32.DLL";

}  // namespace qvp
