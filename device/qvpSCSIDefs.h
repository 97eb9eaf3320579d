#pragma once
// SCSI/MMC vocabulary of the command layer: operation codes, mode pages, feature codes, the
// request-block flags it uses, and the big-endian field helpers for command blocks and the data
// that drives return.
#include <cstdint>
#include <cstring>

#include "platform/Aspi.h"

namespace qvp {

using plat::SRB_ExecSCSICmd;
using plat::SRB_GetDiskInfo;
using plat::SRB_HAInquiry;

// Operation codes sent by the library.
namespace op {
constexpr uint8_t TestUnitReady = 0x00;
constexpr uint8_t RezeroUnit = 0x01;
constexpr uint8_t FormatUnit = 0x04;
constexpr uint8_t Inquiry = 0x12;
constexpr uint8_t StartStopUnit = 0x1B;
constexpr uint8_t PreventAllowRemoval = 0x1E;
constexpr uint8_t ReadFormatCapacities = 0x23;
constexpr uint8_t Read10 = 0x28;
constexpr uint8_t Write10 = 0x2A;
constexpr uint8_t SynchronizeCache = 0x35;
constexpr uint8_t ReadTocPmaAtip = 0x43;
constexpr uint8_t GetConfiguration = 0x46;
constexpr uint8_t ReadDiscInformation = 0x51;
constexpr uint8_t ReadTrackInformation = 0x52;
constexpr uint8_t ReserveTrack = 0x53;
constexpr uint8_t ModeSelect10 = 0x55;
constexpr uint8_t ModeSense10 = 0x5A;
constexpr uint8_t CloseTrackSession = 0x5B;
constexpr uint8_t ReadBufferCapacity = 0x5C;
constexpr uint8_t Blank = 0xA1;
constexpr uint8_t SetStreaming = 0xB6;
constexpr uint8_t SetCdSpeed = 0xBB;
constexpr uint8_t SendDvdStructure = 0xBF;
}  // namespace op

// Request-block flags the library uses.
constexpr uint8_t kFlagsRead = plat::SRB_EVENT_NOTIFY | plat::SRB_DIR_IN;    // 0x48
constexpr uint8_t kFlagsWrite = plat::SRB_EVENT_NOTIFY | plat::SRB_DIR_OUT;  // 0x50
constexpr uint8_t kFlagsNoData = plat::SRB_EVENT_NOTIFY;                     // 0x40

constexpr uint8_t kSenseLength = 24;  // sense bytes asked for with every command
constexpr uint32_t kSptiTimeoutSeconds = 12000;

// Mode pages.
constexpr uint8_t kPageWriteParameters = 0x05;
constexpr uint8_t kPageCapabilities = 0x2A;
constexpr uint8_t kPageVendorUnderrun = 0x30;
constexpr uint8_t kPageControlDefault = 0x80;

// Features probed by GET CONFIGURATION.
namespace feature {
constexpr uint16_t DvdPlusRw = 0x002A;
constexpr uint16_t DvdPlusRDualLayer = 0x003B;
constexpr uint16_t DvdRwWrite = 0x002F;
constexpr uint16_t BdRead = 0x0040;
constexpr uint16_t BdWrite = 0x0041;
constexpr uint16_t HdDvdRead = 0x0050;
constexpr uint16_t HdDvdWrite = 0x0051;
}  // namespace feature

constexpr uint32_t kSectorSize = 2048;

namespace mmc {
inline uint16_t GetBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t GetBE32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline void PutBE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
// Host-order fields kept in the device record's byte images (track information, capabilities).
inline uint32_t GetHost32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint16_t GetHost16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void PutHost32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void PutHost16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
// Turns a big-endian field into host order in place.
inline void SwapToHost16(uint8_t* p) { PutHost16(p, GetBE16(p)); }
inline void SwapToHost32(uint8_t* p) { PutHost32(p, GetBE32(p)); }
}  // namespace mmc

}  // namespace qvp
