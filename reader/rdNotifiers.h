#pragma once
// Device and medium notifications of the reading library. One watcher thread serves every
// notifier: while at least one notifier is started it rebuilds the drive namespace and asks
// every drive for its medium (TEST UNIT READY through the library's own transport) once per
// poll interval of the platform clock, and reports what changed since the previous poll. Events
// run on the watcher thread, one at a time; once Stop() has returned no event of that notifier
// runs any more. A notifier must not be stopped or destroyed from inside its own event.
#include <cstdint>
#include <functional>
#include <string>

namespace rd {

constexpr uint32_t kDefaultWatchIntervalMs = 1000;
// Poll interval of the watcher in clock milliseconds; takes effect at the next poll.
void SetDriveWatchInterval(uint32_t ms);

// Device arrival and removal: a drive letter appeared in or left the drive namespace.
class TDeviceNotifier {
 public:
  using TDeviceChangeEvent = std::function<void(TDeviceNotifier* sender, const std::string& driveLetter)>;

  TDeviceNotifier() = default;
  ~TDeviceNotifier() { Stop(); }
  TDeviceNotifier(const TDeviceNotifier&) = delete;
  TDeviceNotifier& operator=(const TDeviceNotifier&) = delete;

  // The drives and media present at Start are the baseline; only later changes are reported.
  void Start();
  void Stop();
  bool Active() const { return subscription_ != 0; }

  TDeviceChangeEvent OnDeviceArrival;
  TDeviceChangeEvent OnDeviceRemoval;

 private:
  int subscription_ = 0;
};

// Medium arrival and removal in any drive; DriveLetter names the drive ("E").
class TDiskNotifier {
 public:
  using TCDInsertDiskStatusEvent = std::function<void(TDiskNotifier* sender, const std::string& DriveLetter)>;
  using TCDRemoveDiskStatusEvent = std::function<void(TDiskNotifier* sender, const std::string& DriveLetter)>;

  TDiskNotifier() = default;
  ~TDiskNotifier() { Stop(); }
  TDiskNotifier(const TDiskNotifier&) = delete;
  TDiskNotifier& operator=(const TDiskNotifier&) = delete;

  void Start();
  void Stop();
  bool Active() const { return subscription_ != 0; }

  TCDInsertDiskStatusEvent OnDiskInserted;
  TCDRemoveDiskStatusEvent OnDiskRemoved;

 private:
  int subscription_ = 0;
};

}  // namespace rd
