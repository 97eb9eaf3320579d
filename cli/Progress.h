#pragma once
// The arithmetic of the progress display and the status log: which sector pair a job status
// shows, the status line, and which status changes are logged.
#include <cstdint>
#include <optional>
#include <string>

#include "cli/Formats.h"

class TQuorvexPro;

namespace cli {

// The status line for a (total, done) pair of 2048-byte sectors:
//   done 0:                 "d/t MB"
//   status 11:              "d/t MB (p%)"
//   otherwise (10, 1, 4):   "d/t MB (p%) @ s KB/s"
std::string ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs,
                         const TNumberSeparators& s = LocaleSeparators());

// Remembers the status name logged last and decides what a new status reading logs.
class TStatusLog {
 public:
  struct TResult {
    std::optional<std::string> Name;  // the new name, when it differs from the last one
    bool Abort = false;               // the status left "Chyba vypalování: Provede se storno..."
  };
  TResult Update(uint16_t status);
  const std::string& Last() const { return last_; }

 private:
  std::string last_;
};

// One reading of a running write, as the progress display shows it.
struct TProgressSample {
  uint16_t Status = 0;
  std::string Name;                 // status name
  std::optional<std::string> Line;  // status line, for the statuses that count sectors
  int64_t Total = 0, Done = 0;      // sectors
  int64_t CacheSize = 0, CacheUsed = 0;
  int64_t DriveSize = 0, DriveUsed = 0;
};

// Reads the component's figures for status `status` (speed only where the status has one; the
// speed figure is taken once per reading, as the component's figure expects).
TProgressSample SampleProgress(TQuorvexPro& qvx, uint16_t status);

// Whole percent of used in size (0 when size is 0), clamped to 0..100.
int Percent(int64_t used, int64_t size);

}  // namespace cli
