#include "cli/Progress.h"

#include <algorithm>

#include "cli/Texts.h"
#include "engine/qvpQuorvexPro.h"

namespace cli {

std::string ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs, const TNumberSeparators& s) {
  std::string line = SectorsToMB(done, s) + "/" + SectorsToMB(total, s) + " MB";
  if (done == 0) return line;
  // A figure read while the job is still setting up may have no total yet.
  const double percent = total > 0 ? static_cast<double>(done) / static_cast<double>(total) * 100.0 : 0.0;
  line += " (" + FormatPlain(percent, 2, s) + "%)";
  if (status != kStatusSmartRefs) line += " @ " + FormatPlain(speedKBs, 2, s) + " KB/s";
  return line;
}

TStatusLog::TResult TStatusLog::Update(uint16_t status) {
  TResult r;
  std::string name = StatusName(status);
  if (name != last_) {
    r.Abort = last_ == StatusName(kStatusWriteError);
    r.Name = name;
  }
  last_ = std::move(name);
  return r;
}

TProgressSample SampleProgress(TQuorvexPro& qvx, uint16_t status) {
  TProgressSample p;
  p.Status = status;
  p.Name = StatusName(status);
  double speed = 0;
  bool counted = true;
  if (status == kStatusSmartRefs) {
    p.Total = qvx.GetSmartRefsTotal();
    p.Done = qvx.GetSmartRefsDone();
  } else if (status == kStatusVerifying) {
    p.Total = qvx.GetVerifyTotalSectors();
    p.Done = qvx.GetVerifiedSectors();
    speed = qvx.GetVerifySpeed();
  } else if (status == kStatusWriting || status == kStatusClosingTrack) {
    p.Total = qvx.GetTotalSectors();
    p.Done = qvx.GetWrittenSectors();
    speed = qvx.GetWriteSpeed();
  } else {
    counted = false;
  }
  if (counted) p.Line = ProgressLine(status, p.Total, p.Done, speed);
  if (status == kStatusWriting || status == kStatusClosingTrack) {
    p.CacheSize = static_cast<int64_t>(qvx.GetCacheSize()) * 1048576;
    p.CacheUsed = qvx.GetCacheUsed();
    p.DriveSize = qvx.GetDriveBufferSize();
    p.DriveUsed = qvx.GetDriveBufferUsed();
  }
  return p;
}

int Percent(int64_t used, int64_t size) {
  if (size <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(used * 100 / size, 0, 100));
}

}  // namespace cli
