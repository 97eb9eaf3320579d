#include "reader/rdNotifiers.h"

#include "reader/rdDriveWatcher.h"

namespace rd {

void SetDriveWatchInterval(uint32_t ms) { TDriveWatcher::Instance().SetInterval(ms); }

void TWatchClient::Watch(
    std::function<void(TDriveChange change, const std::string& letter)> listener) {
  if (subscription_) return;
  subscription_ = TDriveWatcher::Instance().Subscribe(
      [listener](TDriveChange change, char letter) { listener(change, std::string(1, letter)); });
}

void TWatchClient::Stop() {
  TDriveWatcher::Instance().Unsubscribe(subscription_);
  subscription_ = 0;
}

void TDeviceNotifier::Start() {
  Watch([this](TDriveChange change, const std::string& letter) {
    if (change == TDriveChange::DeviceArrival && OnDeviceArrival) OnDeviceArrival(this, letter);
    if (change == TDriveChange::DeviceRemoval && OnDeviceRemoval) OnDeviceRemoval(this, letter);
  });
}

void TDiskNotifier::Start() {
  Watch([this](TDriveChange change, const std::string& letter) {
    if (change == TDriveChange::DiskInserted && OnDiskInserted) OnDiskInserted(this, letter);
    if (change == TDriveChange::DiskRemoved && OnDiskRemoved) OnDiskRemoved(this, letter);
  });
}

}  // namespace rd
