// copy: the reading stage of a disc copy on a terminal, with the progress taken from the image
// file's growth; Ctrl-C ends the process and removes the partial image.
#include <cstdio>
#include <cstdlib>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/CopySequence.h"
#include "frontend/Progress.h"
#include "frontend/Texts.h"
#include "platform/Files.h"
#include "reader/rdDevices.h"

namespace cli {

int RunCopy(TSession& s, const std::string& outputOption, bool noEject) {
  if (const int rc = s.SelectDrive(false)) return rc;
  TQuorvexPro& qvx = s.Qvx();
  TConsole& con = s.Console();
  if (const auto refusal = fe::CopyRefusal(qvx, true)) {
    con.Message(*refusal);
    return kExitRefused;
  }
  const int64_t recordedKB = fe::RecordedKB(qvx);
  const std::string output =
      outputOption.empty() ? fe::CopyImagePath(s.Settings().TempDir) : outputOption;
  // The kept temporary folder may not exist yet. A file that cannot be made is told as such,
  // not as a disc that could not be read.
  if (outputOption.empty()) plat::MakeFolders(s.Settings().TempDir);
  {
    plat::TFile probe;
    if (!probe.Create(output)) {
      con.Message("ardovan-cli: cannot create " + output);
      return kExitFailed;
    }
  }

  // The reading library's list names the drives in the burner's order.
  rd::TDevices devices;
  rd::TDevice* device = devices.Items(s.DriveIndex());
  if (device == nullptr) {
    con.Message("ardovan-cli: the reading library does not reach drive " +
                std::to_string(s.DriveIndex()));
    return kExitFailed;
  }
  device->Reader().OnMessage = [&con](rd::TDeviceReader*, const std::string& message) {
    // Only what went wrong is worth showing.
    if (message.rfind("Unreadable", 0) == 0 || message.rfind("Cannot", 0) == 0 ||
        message.rfind("Medium Removed", 0) == 0)
      con.Message(message);
  };

  bool complete = false;
  {
    fe::TDiscRead read(*device, output);
    while (!read.WaitFor(ClockMsForRealMs(500))) {
      if (InterruptCount() > 0) {
        // The reader cannot be stopped in the middle of the disc; a copy cut short is of no use,
        // so the partial image goes and the process ends at once.
        con.Message("Aborted by user");
        std::remove(output.c_str());
        std::fflush(nullptr);
        std::_Exit(kExitFailed);
      }
      const int64_t size = plat::GetFileSize(output);
      con.Status(fe::CopyProgressText(size) + "  " +
                 std::to_string(fe::Percent(size / 1024, recordedKB)) + "%");
    }
    complete = read.Complete();
  }
  con.ClearStatus();
  if (!complete) {
    con.Message(fe::text::kCopyIncomplete);
    return kExitFailed;
  }
  s.Eject(noEject);
  const int64_t size = std::max<int64_t>(plat::GetFileSize(output), 0);
  con.Log(output + " (" + fe::FormatSize(static_cast<uint64_t>(size) / 1024) + ")");
  return kExitDone;
}

}  // namespace cli
