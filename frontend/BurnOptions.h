#pragma once
// The data disc's options that the compilation page offers, as the settings file keeps them (new
// keys of section "Setting" beside the three the settings window writes) and as they go into a
// burn. Their defaults write the disc as a plain burn always has: no UDF bridge, no ISO
// 9660:1999 tree, the disc left open, a real write, a new file system without the disc's earlier
// files, no boot image, the speed the settings window set, no verification.
#include <string>

#include "frontend/BurnSequence.h"
#include "frontend/Compilation.h"
#include "frontend/Settings.h"

namespace fe {

struct TBurnOptions {
  std::string VolumeLabel = "Disk";
  bool UdfBridge = false;
  bool Iso1999 = false;
  bool Finalize = false;
  bool TestWrite = false;
  bool Import = false;  // the files of the medium's last session stay beside the new ones
  bool Verify = false;  // the disc read back and compared once written
  std::string BootImage;
  int WriteSpeed = -1;  // KB/s; 0 the recorder's maximum, -1 as the settings window left it

  bool operator==(const TBurnOptions&) const = default;
};

// The on/off options in the order the page shows them. Another one is a field above, a row here
// and its use in ApplyBurnOptions.
struct TBurnOptionFlag {
  const char* Key;    // in section "Setting"
  const char* Label;  // the check box
  bool TBurnOptions::*Field;
};
inline constexpr TBurnOptionFlag kBurnOptionFlags[] = {
    {"UDFBridge", "Přidat most UDF", &TBurnOptions::UdfBridge},
    {"ISO9660v1999", "Přidat strom ISO 9660:1999 (dlouhé názvy)", &TBurnOptions::Iso1999},
    {"Finalize", "Uzavřít disk (nelze dopisovat)", &TBurnOptions::Finalize},
    {"TestWrite", "Zkušební zápis (simulace, disk zůstane beze změny)", &TBurnOptions::TestWrite},
    // The settings' own key for it (TSettings::Import), whoever writes it.
    {kImportKey, "Připojit k předchozím souborům na disku", &TBurnOptions::Import},
    {kVerifyKey, "Ověřit data po vypálení", &TBurnOptions::Verify},
};
inline constexpr const char* kVolumeLabelKey = "VolumeLabel";
inline constexpr const char* kBootImageKey = "BootImage";
inline constexpr const char* kWriteSpeedKey = "WriteSpeed";

TBurnOptions BurnOptionsFromIni(const TIniFile& ini);
// Reads <folder>/ardovan.ini; defaults for what it lacks.
TBurnOptions ReadBurnOptions(const std::string& folder);
// Stores the options' keys in <folder>/ardovan.ini, keeping every other line; false when the
// file cannot be written.
bool WriteBurnOptions(const std::string& folder, const TBurnOptions& o);

// The options as a compilation burn takes them: the write options and the boot image into the
// request, the file-system choices into the compilation's options.
void ApplyBurnOptions(const TBurnOptions& o, TBurnRequest& request,
                      TCompilationOptions& compilation);

}  // namespace fe
