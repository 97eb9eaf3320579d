#include "frontend/Progress.h"

#include <algorithm>

#include "engine/qvpQuorvexPro.h"
#include "frontend/Texts.h"

namespace fe {

std::string ProgressLine(uint16_t status, int64_t total, int64_t done, double speedKBs,
                         const TNumberSeparators& s) {
  std::string line = SectorsToMB(done, s) + "/" + SectorsToMB(total, s) + " MB";
  if (done == 0) return line;
  // A figure read while the job is still setting up may have no total yet.
  const double percent =
      total > 0 ? static_cast<double>(done) / static_cast<double>(total) * 100.0 : 0.0;
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

TProgressReading ReadProgress(TQuorvexPro& qvx, uint16_t status, TStatusLog& log,
                              const plat::TSystemTime& utc, const TNumberSeparators& s) {
  TProgressReading r;
  double speed = 0;
  const uint16_t current = status == kStatusSmartRefs ? status : qvx.GetStatus();
  r.Counted = true;
  if (status == kStatusSmartRefs) {
    r.Total = qvx.GetSmartRefsTotal();
    r.Done = qvx.GetSmartRefsDone();
  } else if (current == kStatusVerifying) {
    r.Total = qvx.GetVerifyTotalSectors();
    r.Done = qvx.GetVerifiedSectors();
    speed = qvx.GetVerifySpeed();
  } else if (current == kStatusWriting || current == kStatusClosingTrack) {
    r.Total = qvx.GetTotalSectors();
    r.Done = qvx.GetWrittenSectors();
    speed = qvx.GetWriteSpeed();
  } else {
    r.Counted = false;
  }
  if (r.Counted) r.Line = ProgressLine(status, r.Total, r.Done, speed, s);

  const uint16_t now = qvx.GetStatus();
  r.Name = StatusName(now);
  const TStatusLog::TResult logged = log.Update(now);
  if (logged.Name) r.Logged = LogTime(utc) + " >>> " + *logged.Name;
  if (logged.Abort) qvx.Abort();

  if (r.Counted && (status == kStatusWriting || status == kStatusClosingTrack)) {
    r.Buffers = true;
    r.CacheSize = static_cast<int64_t>(qvx.GetCacheSize()) * 1048576;
    r.CacheUsed = qvx.GetCacheUsed();
    r.DriveSize = qvx.GetDriveBufferSize();
    r.DriveUsed = qvx.GetDriveBufferUsed();
  }
  return r;
}

int Percent(int64_t used, int64_t size) {
  if (size <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(used * 100 / size, 0, 100));
}

}  // namespace fe
