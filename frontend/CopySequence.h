#pragma once
// The reading stage of a disc copy, written once for the windows and the command line: the two
// checks, the image file's place, and the read of the whole disc by the reading library on a
// worker thread one priority step below normal, whose progress the front end takes from the
// image file's growth.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "frontend/Formats.h"

class TQuorvexPro;
namespace plat {
class TEvent;
}
namespace rd {
class TDevice;
}

namespace fe {

inline constexpr const char* kCopyImageName = "ardovan.iso";

// The message when a copy cannot begin: no medium, or a medium that holds no data.
std::optional<std::string> CopyRefusal(TQuorvexPro& qvx, bool waitForMedium = false);
// The data recorded on the medium in KB (2 KB a block).
int64_t RecordedKB(TQuorvexPro& qvx);
// The temporary folder + "ardovan.iso".
std::string CopyImagePath(const std::string& tempDir);
// "Vytváří se ISO obraz disku... " + the size of the image file so far (a file whose size
// cannot be read counts as 0).
std::string CopyProgressText(int64_t fileBytes, const TNumberSeparators& s = LocaleSeparators());

// One read of a whole disc into a new image file. onEnd runs on the worker thread with the
// result once the read is over (a front end hands it to its own thread from there).
class TDiscRead {
 public:
  using TEnd = std::function<void(bool complete)>;
  TDiscRead(rd::TDevice& device, std::string file, TEnd onEnd = {});
  // Waits for the read to end.
  ~TDiscRead();
  TDiscRead(const TDiscRead&) = delete;
  TDiscRead& operator=(const TDiscRead&) = delete;

  // Waits at most ms of clock time; true once the read is over.
  bool WaitFor(uint32_t ms);
  bool Finished() const;
  // True when every block of the disc is in the file.
  bool Complete() const { return complete_.load(); }
  // Stops the read before its next chunk; the partial file is removed once the read is over.
  void Cancel() { cancelled_.store(true); }
  bool Cancelled() const { return cancelled_.load(); }

 private:
  class TWorker;
  std::atomic<bool> complete_{false};
  std::atomic<bool> cancelled_{false};
  std::unique_ptr<plat::TEvent> done_;
  std::unique_ptr<TWorker> worker_;
};

}  // namespace fe
