#pragma once
// The progress display of a running job and its status log: which sector pair a job status
// shows, the status line, which status changes are logged, and the buffer fills.
#include <cstdint>
#include <optional>
#include <string>

#include "frontend/Formats.h"
#include "platform/Clock.h"

class TQuorvexPro;

namespace fe {

// The status line for a (total, done) pair of 2048-byte sectors:
//   done 0:                 "d/t MB"
//   status 11:              "d/t MB (p%)"
//   otherwise (10, 1, 4):   "d/t MB (p%) @ s KB/s"
std::string ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs,
                         const TNumberSeparators& s = LocaleSeparators());

// Remembers the status name logged last (also between jobs) and decides what a new status
// reading logs.
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

// One reading of a running job, as the progress display shows it.
struct TProgressReading {
  std::string Name;                   // name of the status now in force
  std::optional<std::string> Logged;  // its log line, when the name changed
  bool Counted = false;               // statuses 1, 4, 10, 11: the sector pair and the line
  int64_t Total = 0, Done = 0;
  std::string Line;
  bool Buffers = false;  // statuses 1 and 4: the buffer fills (bytes)
  int64_t CacheSize = 0, CacheUsed = 0;
  int64_t DriveSize = 0, DriveUsed = 0;
};

// The progress routine for a GetStatus value: reads the component's figures (the speed figure
// once per reading, as the component's figure expects), logs a status change with the time
// `utc`, and asks the component to abort once the status leaves the write-error state.
TProgressReading ReadProgress(TQuorvexPro& qvx, uint16_t status, TStatusLog& log,
                              const plat::TSystemTime& utc,
                              const TNumberSeparators& s = LocaleSeparators());

// Whole percent of used in size (0 when size is 0), clamped to 0..100.
int Percent(int64_t used, int64_t size);

}  // namespace fe
