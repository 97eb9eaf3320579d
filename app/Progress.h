#pragma once
// The arithmetic and the status log of the progress display, kept apart from the window so the
// rules can be followed line by line.
#include <QString>

#include <cstdint>
#include <optional>

#include "platform/Clock.h"

namespace app {

// The status line of the burn page for a (total, done) pair of 2048-byte sectors:
//   done 0:                 "d/t MB"
//   status 11:              "d/t MB (p%)"
//   otherwise (10, 1, 4):   "d/t MB (p%) @ s KB/s"
QString ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs);

// Remembers the status name logged last and decides what a new status reading logs.
class TStatusLog {
 public:
  struct TResult {
    std::optional<QString> Line;  // time + " >>> " + name, when the name changed
    bool Abort = false;           // the status left "Chyba vypalování: Provede se storno..."
  };
  TResult Update(uint16_t status, const plat::TSystemTime& utc);
  const QString& LastStatusText() const { return last_; }

 private:
  QString last_;
};

}  // namespace app
