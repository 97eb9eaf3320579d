#pragma once
// What the reading library tells about a drive (TDeviceInfo) and about the medium loaded in it
// (TDiscInfo). A medium notification refreshes the disc information on the watcher thread while
// the owner may read it, so both guard their fields.
#include <cstdint>
#include <mutex>
#include <string>

#include "reader/rdBurnerInfo.h"

namespace rd {

class TDeviceInfo {
 public:
  explicit TDeviceInfo(const TCDBurnerInfo* info) : info_(info) {}
  // INQUIRY: the peripheral device type and its name. False when the drive does not answer.
  bool Refresh();
  uint8_t DeviceType() const;
  std::string DeviceTypeName() const;

 private:
  const TCDBurnerInfo* info_;
  mutable std::mutex m_;
  uint8_t deviceType_ = 0x1F;
};

class TDiscInfo {
 public:
  // GET CONFIGURATION with RT = 2, starting feature 0 and this allocation: the header only.
  static constexpr uint16_t kConfigurationLength = 114;

  explicit TDiscInfo(const TCDBurnerInfo* info) : info_(info) {}
  // Asks the drive for its current profile and names it. A profile the library does not know
  // keeps the previous name (CurrentProfile still shows it). False when the drive does not answer.
  bool Refresh();
  uint16_t CurrentProfile() const;
  uint8_t ProfileCode() const;
  std::string ProfileIdentifier() const;
  std::string ProfileText() const;

 private:
  const TCDBurnerInfo* info_;
  mutable std::mutex m_;
  uint16_t currentProfile_ = 0;
  uint8_t profileCode_ = 0;
  std::string identifier_;
  std::string text_;
};

}  // namespace rd
