// ardovan-cli: the command-line front end of the burner. It drives the burner component the way
// the application's windows do: the same checks, the same Czech log lines and status texts, the
// same end-of-job handling, on a terminal.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "frontend/Formats.h"
#include "platform/Clock.h"
#include "vdrive/VirtualDrives.h"

namespace {

// Test facility, off by default: ARDOVAN_CLOCK_SCALE=1000 runs the program's clock (drive polls,
// sleeps, timeouts) a thousand times faster, so tests against virtual recorders take moments.
void ApplyClockScale() {
  const char* value = std::getenv("ARDOVAN_CLOCK_SCALE");
  if (value == nullptr || *value == '\0') return;
  char* end = nullptr;
  const double factor = std::strtod(value, &end);
  if (end != value && *end == '\0' && factor > 0) plat::SetClockScale(factor);
}

void AddCompilationOptions(CLI::App* cmd, fe::TCompilationOptions& o) {
  cmd->add_option("--volume-id", o.VolumeId, "Volume label (default: Disk)");
  cmd->add_flag("--no-joliet", o.NoJoliet, "No Joliet names");
  cmd->add_flag("--iso1999", o.Iso1999, "Add an ISO 9660:1999 tree");
  cmd->add_flag("--udf", o.Udf, "Add a UDF 1.50 bridge");
  cmd->add_option("--boot", o.Boot,
                  "El Torito boot image (2048, 1228800, 1474560 or 2949120 bytes)");
  cmd->add_flag("--replace", o.Replace, "A later file of the same name replaces an earlier one");
}

// The buffer takes 2 MiB at least and 624 MiB at most, as the help says.
void AddCacheOption(CLI::App* cmd, std::optional<uint32_t>& cache) {
  cmd->add_option("--cache", cache, "Software buffer in MiB (2 to 624, default 32)")
      ->check(CLI::Range(2, 624));
}

// The command log must be possible before any command runs: a log that silently goes nowhere is
// no log. The file is made here (the engine truncates it when it opens it).
bool CanCreateLog(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

void AddWriteOptions(CLI::App* cmd, cli::TBurnOptions& o) {
  cmd->add_flag("--finalize", o.Finalize, "Close the disc (no further sessions)");
  cmd->add_flag("--test-write", o.TestWrite, "Simulate the write (the laser stays off)");
  cmd->add_flag("--no-burnproof", o.NoBurnProof, "Switch buffer-underrun protection off");
  cmd->add_option("--speed", o.SpeedKBps, "Write speed in KB/s (default: the recorder's maximum)")
      ->check(CLI::Range(1, 65535));
  AddCacheOption(cmd, o.Compilation.CacheMiB);
  cmd->add_flag("--erase", o.Erase, "Erase a rewritable medium that holds data, without asking");
  cmd->add_flag("--no-eject", o.NoEject, "Leave the medium in the drive");
}

}  // namespace

int main(int argc, char** argv) {
  ApplyClockScale();
  fe::LoadLocaleSeparators();
  vdrive::RegisterVirtualDrives();

  CLI::App app{
      "Ardovan: burns data discs, ISO images and disc copies on CD, DVD, Blu-ray and HD DVD "
      "recorders"};
  app.require_subcommand(1);
  app.fallthrough();

  cli::TGlobalOptions global;
  app.add_option("--drive", global.Drive,
                 "Drive index in the list of 'drives' (default: the kept choice, "
                 "else the last recorder)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--log", global.LogFile, "Write a command log to this file");
  app.add_flag("--aspi", global.Aspi, "Find the drives through the ASPI library");

  auto* drives = app.add_subcommand("drives", "List the drives; recorders are marked");
  auto* info = app.add_subcommand("info", "Report on the recorder and the loaded medium");

  cli::TBurnOptions burnOptions;
  std::vector<std::string> paths;
  auto* burn = app.add_subcommand("burn", "Burn files and folders as a data disc");
  AddCompilationOptions(burn, burnOptions.Compilation);
  AddWriteOptions(burn, burnOptions);
  burn->add_flag("--allow-incomplete", burnOptions.AllowIncomplete,
                 "Burn even when some of the files and folders cannot be added (exit code 1)");
  burn->add_flag("--import", burnOptions.Import,
                 "Keep the files of the disc's last session in view (only new data is written)");
  burn->add_option("PATH", paths, "Files (to the root) and folders (as top-level folders)")
      ->required();

  cli::TBurnOptions imageOptions;
  std::string image;
  auto* burnImage = app.add_subcommand("burn-image", "Burn an ISO 9660 image file");
  AddWriteOptions(burnImage, imageOptions);
  burnImage->add_option("FILE", image, "Image file")->required();

  bool full = false, eraseNoEject = false;
  auto* erase = app.add_subcommand("erase", "Erase a rewritable medium (quick unless --full)");
  erase->add_flag("--full", full, "Erase the whole medium");
  erase->add_flag("--no-eject", eraseNoEject, "Leave the medium in the drive");

  std::string copyOutput;
  bool copyNoEject = false;
  auto* copy = app.add_subcommand("copy", "Read the whole disc into an image file");
  copy->add_option("--output", copyOutput,
                   "Image file (default: ardovan.iso in the kept temporary folder)");
  copy->add_flag("--no-eject", copyNoEject, "Leave the disc in the drive");

  cli::TMkImageOptions mkOptions;
  std::vector<std::string> mkPaths;
  std::string mkOutput;
  auto* mkimage =
      app.add_subcommand("mkimage", "Write the image of a data disc to a file, without a drive");
  AddCompilationOptions(mkimage, mkOptions.Compilation);
  AddCacheOption(mkimage, mkOptions.Compilation.CacheMiB);
  mkimage->add_flag("--allow-incomplete", mkOptions.AllowIncomplete,
                    "Write the image even when some of the files and folders cannot be added "
                    "(exit code 1)");
  auto* sessionStart = mkimage->add_option(
      "--session-start", mkOptions.SessionStart,
      "Make the image of a session that starts at this sector (LBA) of the medium");
  mkimage
      ->add_option("--import-from", mkOptions.ImportFrom,
                   "Keep the files of the last session of this medium image in view")
      ->needs(sessionStart);
  mkimage->add_option("--output", mkOutput, "Image file, or - for standard output")->required();
  mkimage->add_option("PATH", mkPaths, "Files (to the root) and folders (as top-level folders)");

  auto* eject = app.add_subcommand("eject", "Eject the medium");
  auto* load = app.add_subcommand("load", "Close the tray");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? cli::kExitDone : cli::kExitUsage;
  }

  cli::InstallInterruptHandler();
  cli::TConsole console;
  if (!global.LogFile.empty() && !CanCreateLog(global.LogFile)) {
    console.Message("ardovan-cli: cannot create the command log " + global.LogFile);
    return cli::kExitUsage;
  }
  if (mkimage->parsed()) return cli::RunMkImage(console, mkOptions, mkPaths, mkOutput);

  cli::TSession session(console, global);
  if (drives->parsed()) return cli::RunDrives(session);
  if (info->parsed()) return cli::RunInfo(session);
  if (burn->parsed()) return cli::RunBurn(session, burnOptions, paths);
  if (burnImage->parsed()) return cli::RunBurnImage(session, imageOptions, image);
  if (erase->parsed()) return cli::RunErase(session, full, eraseNoEject);
  if (copy->parsed()) return cli::RunCopy(session, copyOutput, copyNoEject);
  if (eject->parsed()) return cli::RunEject(session);
  if (load->parsed()) return cli::RunLoad(session);
  return cli::kExitUsage;
}
