#include "reader/rdDeviceInfo.h"

#include <vector>

#include "platform/Aspi.h"
#include "reader/rdNames.h"
#include "reader/rdSCSI.h"

namespace rd {

bool TDeviceInfo::Refresh() {
  uint8_t data[36] = {};
  const uint8_t cdb[6] = {0x12, 0, 0, 0, sizeof data, 0};
  if (!info_ ||
      ExecuteOn(*info_, cdb, sizeof cdb, sizeof data, data, plat::SRB_DIR_IN) != plat::SS_COMP)
    return false;
  std::lock_guard<std::mutex> g(m_);
  deviceType_ = data[0] & 0x1F;
  return true;
}

uint8_t TDeviceInfo::DeviceType() const {
  std::lock_guard<std::mutex> g(m_);
  return deviceType_;
}

std::string TDeviceInfo::DeviceTypeName() const {
  return std::string(rd::DeviceTypeName(DeviceType()));
}

bool TDiscInfo::Refresh() {
  std::vector<uint8_t> data(kConfigurationLength, 0);
  const uint8_t cdb[10] = {
      0x46, 0x02, 0, 0, 0, 0, 0, kConfigurationLength >> 8, kConfigurationLength & 0xFF, 0};
  if (!info_ || ExecuteOn(*info_, cdb, sizeof cdb, kConfigurationLength, data.data(),
                          plat::SRB_DIR_IN) != plat::SS_COMP)
    return false;
  const uint16_t profile = static_cast<uint16_t>((data[6] << 8) | data[7]);
  std::lock_guard<std::mutex> g(m_);
  currentProfile_ = profile;
  if (const TProfileName* p = FindProfile(profile)) {
    profileCode_ = p->Code;
    identifier_ = p->Identifier;
    text_ = p->Text;
  }
  return true;
}

uint16_t TDiscInfo::CurrentProfile() const {
  std::lock_guard<std::mutex> g(m_);
  return currentProfile_;
}

uint8_t TDiscInfo::ProfileCode() const {
  std::lock_guard<std::mutex> g(m_);
  return profileCode_;
}

std::string TDiscInfo::ProfileIdentifier() const {
  std::lock_guard<std::mutex> g(m_);
  return identifier_;
}

std::string TDiscInfo::ProfileText() const {
  std::lock_guard<std::mutex> g(m_);
  return text_;
}

}  // namespace rd
