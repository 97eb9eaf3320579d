#include "frontend/BurnOptions.h"

namespace fe {

TBurnOptions BurnOptionsFromIni(const TIniFile& ini) {
  TBurnOptions o;
  o.VolumeLabel = ini.ReadString(kIniSection, kVolumeLabelKey, o.VolumeLabel);
  for (const TBurnOptionFlag& f : kBurnOptionFlags)
    o.*f.Field = ini.ReadBool(kIniSection, f.Key, o.*f.Field);
  o.BootImage = ini.ReadString(kIniSection, kBootImageKey, o.BootImage);
  o.WriteSpeed = ini.ReadInteger(kIniSection, kWriteSpeedKey, o.WriteSpeed);
  // A speed the recorder cannot be asked for is no choice at all.
  if (o.WriteSpeed < -1 || o.WriteSpeed > 0xFFFF) o.WriteSpeed = -1;
  return o;
}

TBurnOptions ReadBurnOptions(const std::string& folder) {
  return BurnOptionsFromIni(TIniFile(SettingsPath(folder)));
}

bool WriteBurnOptions(const std::string& folder, const TBurnOptions& o) {
  TIniFile ini(SettingsPath(folder));
  ini.WriteString(kIniSection, kVolumeLabelKey, o.VolumeLabel);
  for (const TBurnOptionFlag& f : kBurnOptionFlags) ini.WriteBool(kIniSection, f.Key, o.*f.Field);
  ini.WriteString(kIniSection, kBootImageKey, o.BootImage);
  ini.WriteInteger(kIniSection, kWriteSpeedKey, o.WriteSpeed);
  return ini.UpdateFile();
}

void ApplyBurnOptions(const TBurnOptions& o, TBurnRequest& request,
                      TCompilationOptions& compilation) {
  request.VolumeId = o.VolumeLabel;
  request.Boot = o.BootImage;
  request.Finalize = o.Finalize;
  request.TestWrite = o.TestWrite;
  request.Import = o.Import;
  request.Verify = o.Verify;
  if (o.WriteSpeed >= 0) request.SpeedKBps = static_cast<uint16_t>(o.WriteSpeed);
  compilation.VolumeId = o.VolumeLabel;
  compilation.Udf = o.UdfBridge;
  compilation.Iso1999 = o.Iso1999;
  compilation.Boot = o.BootImage;
}

}  // namespace fe
