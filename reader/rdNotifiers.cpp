#include "reader/rdNotifiers.h"

#include "reader/rdDriveWatcher.h"

namespace rd {

void SetDriveWatchInterval(uint32_t ms) { TDriveWatcher::Instance().SetInterval(ms); }

void TDeviceNotifier::Start() {
  if (subscription_) return;
  subscription_ = TDriveWatcher::Instance().Subscribe([this](TDriveChange change, char letter) {
    const std::string text(1, letter);
    if (change == TDriveChange::DeviceArrival && OnDeviceArrival) OnDeviceArrival(this, text);
    if (change == TDriveChange::DeviceRemoval && OnDeviceRemoval) OnDeviceRemoval(this, text);
  });
}

void TDeviceNotifier::Stop() {
  TDriveWatcher::Instance().Unsubscribe(subscription_);
  subscription_ = 0;
}

void TDiskNotifier::Start() {
  if (subscription_) return;
  subscription_ = TDriveWatcher::Instance().Subscribe([this](TDriveChange change, char letter) {
    const std::string text(1, letter);
    if (change == TDriveChange::DiskInserted && OnDiskInserted) OnDiskInserted(this, text);
    if (change == TDriveChange::DiskRemoved && OnDiskRemoved) OnDiskRemoved(this, text);
  });
}

void TDiskNotifier::Stop() {
  TDriveWatcher::Instance().Unsubscribe(subscription_);
  subscription_ = 0;
}

}  // namespace rd
