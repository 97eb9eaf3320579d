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

enum class TDriveChange : uint8_t { DeviceArrival, DeviceRemoval, DiskInserted, DiskRemoved };

// What both notifiers share: a subscription to the watcher while started.
class TWatchClient {
 public:
  TWatchClient() = default;
  ~TWatchClient() { Stop(); }
  TWatchClient(const TWatchClient&) = delete;
  TWatchClient& operator=(const TWatchClient&) = delete;

  void Stop();
  bool Active() const { return subscription_ != 0; }

 protected:
  void Watch(std::function<void(TDriveChange change, const std::string& letter)> listener);

 private:
  int subscription_ = 0;
};

// Device arrival and removal: a drive letter appeared in or left the drive namespace.
class TDeviceNotifier : public TWatchClient {
 public:
  using TDeviceChangeEvent =
      std::function<void(TDeviceNotifier* sender, const std::string& driveLetter)>;

  // Stops before the events below are gone.
  ~TDeviceNotifier() { Stop(); }
  // The drives and media present at Start are the baseline; only later changes are reported.
  void Start();

  TDeviceChangeEvent OnDeviceArrival;
  TDeviceChangeEvent OnDeviceRemoval;
};

// Medium arrival and removal in any drive; DriveLetter names the drive ("E").
class TDiskNotifier : public TWatchClient {
 public:
  using TCDInsertDiskStatusEvent =
      std::function<void(TDiskNotifier* sender, const std::string& DriveLetter)>;
  using TCDRemoveDiskStatusEvent =
      std::function<void(TDiskNotifier* sender, const std::string& DriveLetter)>;

  ~TDiskNotifier() { Stop(); }
  void Start();

  TCDInsertDiskStatusEvent OnDiskInserted;
  TCDRemoveDiskStatusEvent OnDiskRemoved;
};

}  // namespace rd
