// The reading stage of a disc copy: the two checks, then the whole disc read into an image file
// by the reading library on a worker thread, with the progress taken from the file's growth.
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"

namespace cli {

int RunCopy(TSession& s, const std::string& outputOption, bool noEject) {
  if (const int rc = s.SelectDrive(true)) return rc;
  TQuorvexPro& qvx = s.Qvx();
  TConsole& con = s.Console();
  if (!qvx.IsUnitReady()) {
    con.Message(text::kCopyNoMedium);
    return kExitRefused;
  }
  const uint32_t total = qvx.GetTotalBlocks();
  const uint32_t freeBlocks = qvx.GetFreeBlocks();
  if (total == freeBlocks) {
    con.Message(text::kCopyNoData);
    return kExitRefused;
  }
  // The recorded data in KB: 2 KB per block.
  const int64_t recordedKB = (static_cast<int64_t>(total) - static_cast<int64_t>(freeBlocks)) * 2;
  const std::string output = outputOption.empty() ? s.Settings().TempDir + "ardovan.iso" : outputOption;
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
    con.Message("ardovan-cli: the reading library does not reach drive " + std::to_string(s.DriveIndex()));
    return kExitFailed;
  }
  device->Reader().OnMessage = [&con](rd::TDeviceReader*, const std::string& message) {
    // Only what went wrong is worth showing.
    if (message.rfind("Unreadable", 0) == 0 || message.rfind("Cannot", 0) == 0 ||
        message.rfind("Medium Removed", 0) == 0)
      con.Message(message);
  };

  plat::TEvent finished;
  bool complete = false;
  std::thread worker([&] {
    complete = device->Reader().ReadToImage(output);
    finished.Set();
  });
  while (!finished.WaitFor(ClockMsForRealMs(500))) {
    if (InterruptCount() > 0) {
      // The reader cannot be stopped in the middle of the disc; a copy cut short is of no use,
      // so the partial image goes and the process ends at once.
      con.Message("Aborted by user");
      std::remove(output.c_str());
      std::fflush(nullptr);
      std::_Exit(kExitFailed);
    }
    const int64_t size = std::max<int64_t>(plat::GetFileSize(output), 0);
    con.Status(text::kCopyProgress + FormatSize(static_cast<uint64_t>(size) / 1024) + "  " +
               std::to_string(Percent(size / 1024, recordedKB)) + "%");
  }
  worker.join();
  con.ClearStatus();
  if (!complete) {
    con.Message(text::kCopyIncomplete);
    return kExitFailed;
  }
  s.Eject(noEject);
  const int64_t size = std::max<int64_t>(plat::GetFileSize(output), 0);
  con.Log(output + " (" + FormatSize(static_cast<uint64_t>(size) / 1024) + ")");
  return kExitDone;
}

}  // namespace cli
