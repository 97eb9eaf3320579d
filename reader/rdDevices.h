#pragma once
// The drive list of the reading library. It lists the optical drives of the namespace in the
// order of the burner's list (drives with a SCSI address by letter, then those without one by
// letter), so that one index names the same drive in both; drives that cannot be opened follow
// last, as the burner does not list them at all.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "reader/rdBurnerInfo.h"
#include "reader/rdDeviceInfo.h"
#include "reader/rdDeviceReader.h"
#include "reader/rdNotifiers.h"

namespace rd {

class TDevice {
 public:
  using TDiskEvent = std::function<void(TDevice* sender, const std::string& DriveLetter)>;

  // Takes ownership of info, creates the companions and asks the drive for its maximum speeds.
  explicit TDevice(std::unique_ptr<TCDBurnerInfo> info);
  ~TDevice();
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  const TCDBurnerInfo& Info() const { return *info_; }
  TDeviceReader& Reader() { return reader_; }
  TDeviceInfo& DeviceInfo() { return deviceInfo_; }
  TDiscInfo& DiscInfo() { return discInfo_; }
  TDiskNotifier& DiskNotifier() { return diskNotifier_; }
  // Four per-model flags from the product string (0: "CRX175E" and "CD-RW CRX800E"; 1:
  // "CD-RW CRX800E"; 2: "CDRW321040X" and "DVD-RW DVR-103"; 3: "DVD-RW DVR-103"). Kept for the
  // recording side; reading does not use them.
  bool ModelFlag(int i) const { return i >= 0 && i < 4 && modelFlags_[static_cast<size_t>(i)]; }

  // Medium arrival and removal in this drive; the disc information is refreshed first.
  TDiskEvent OnDiskInserted;
  TDiskEvent OnDiskRemoved;

 private:
  void DiskChanged(const std::string& letter, bool inserted);

  std::unique_ptr<TCDBurnerInfo> info_;
  TDeviceInfo deviceInfo_;
  TDiscInfo discInfo_;
  TDeviceReader reader_;
  std::array<bool, 4> modelFlags_{};
  // Last, so that it stops before the parts its events use are gone.
  TDiskNotifier diskNotifier_;
};

class TDevices {
 public:
  TDevices();  // enumerates the drives at once
  ~TDevices();
  TDevices(const TDevices&) = delete;
  TDevices& operator=(const TDevices&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // The device at index, or null when there is none.
  TDevice* Items(int index) const;
  void Clear();
  TDeviceNotifier& Notifier() { return notifier_; }
  // Starts the device notifier and every device's medium notifier.
  void StartNotifications();
  void StopNotifications();

 private:
  std::vector<std::unique_ptr<TDevice>> items_;
  TDeviceNotifier notifier_;
};

// Identification of INQUIRY data (at least 56 bytes, read as text from byte 8 up to a NUL).
void TakeIdentification(const uint8_t* inquiry, size_t length, TCDBurnerInfo& info);

}  // namespace rd
