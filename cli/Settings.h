#pragma once
// The kept settings as the program reads them at start: "ardovan.ini" in the settings folder,
// section "Setting", keys "IDVyp" (recorder index, -1 = search), "BurnProof" (any non-zero number
// is on) and "TempDir" (folder for disc copies). Section and key names compare without regard
// to case; a missing file, section or key, or a value that is not a number, gives the default.
#include <string>
#include <string_view>

namespace cli {

inline constexpr const char* kIniName = "ardovan.ini";

struct TSettings {
  int BurnerIndex = -1;
  bool BurnProof = true;
  std::string TempDir;  // always ends with '/'
};

// Settings from the text of the file; defaultTempDir applies when "TempDir" is absent or empty.
TSettings ParseSettings(std::string_view text, const std::string& defaultTempDir);
// Reads <settings folder>/ardovan.ini (the system's temporary folder as the default TempDir).
TSettings ReadSettings();

}  // namespace cli
