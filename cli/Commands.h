#pragma once
// The commands of ardovan-cli. Each returns the process's exit code (kExitDone, kExitFailed,
// kExitUsage, kExitRefused of Session.h).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontend/Compilation.h"

namespace cli {

class TConsole;
class TSession;

struct TBurnOptions {
  fe::TCompilationOptions Compilation;
  bool Finalize = false;
  bool TestWrite = false;
  bool NoBurnProof = false;
  std::optional<uint16_t> SpeedKBps;
  bool Erase = false;            // answer Yes when the rewritable medium holds data
  bool NoEject = false;          // keep the medium in the drive
  bool AllowIncomplete = false;  // burn without the entries that cannot be added
  bool Import = false;           // keep the last session's files in view
};

struct TMkImageOptions {
  fe::TCompilationOptions Compilation;
  bool AllowIncomplete = false;          // write the image without the entries that cannot be added
  std::string ImportFrom;                // a medium image whose last session's files stay in view
  std::optional<uint32_t> SessionStart;  // where the new session starts on that medium
};

int RunDrives(TSession& s);
int RunInfo(TSession& s);
int RunEject(TSession& s);
int RunLoad(TSession& s);

// The burn sequence of the data-disc wizard, in compilation mode (paths) or image mode (image).
int RunBurn(TSession& s, const TBurnOptions& o, const std::vector<std::string>& paths);
int RunBurnImage(TSession& s, const TBurnOptions& o, const std::string& image);

int RunErase(TSession& s, bool full, bool noEject);
// Reads the whole disc into output (the settings' temporary folder + "ardovan.iso" when empty).
int RunCopy(TSession& s, const std::string& output, bool noEject);
// Streams the compilation's image into output ("-": standard output) without a drive.
int RunMkImage(TConsole& console, const TMkImageOptions& o, const std::vector<std::string>& paths,
               const std::string& output);

}  // namespace cli
