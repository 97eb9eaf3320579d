#include "platform/SgIo.h"

#include <cerrno>
#include <cstring>

namespace plat {
namespace {

constexpr int kHostTimeOut = 0x03;  // DID_TIME_OUT
constexpr int kDriverStatusMask = 0x0F;
constexpr int kDriverTimeOut = 0x06;  // DRIVER_TIMEOUT
constexpr int kDriverSense = 0x08;    // sense data came with the status: not a failure

}  // namespace

bool BuildSgIoHeader(TScsiPassThroughBuffer& request, sg_io_hdr& hdr) {
  std::memset(&hdr, 0, sizeof hdr);
  const TScsiPassThroughDirect& spt = request.Spt;
  if (spt.CdbLength == 0 || spt.CdbLength > sizeof spt.Cdb) return false;
  hdr.interface_id = 'S';
  switch (spt.DataIn) {
    case kScsiDataIn:
      hdr.dxfer_direction = SG_DXFER_FROM_DEV;
      break;
    case kScsiDataOut:
      hdr.dxfer_direction = SG_DXFER_TO_DEV;
      break;
    case kScsiDataUnspecified:
      hdr.dxfer_direction = SG_DXFER_NONE;
      break;
    default:
      return false;
  }
  if (hdr.dxfer_direction != SG_DXFER_NONE) {
    if (spt.DataTransferLength != 0 && spt.DataBuffer == nullptr) return false;
    hdr.dxfer_len = spt.DataTransferLength;
    hdr.dxferp = spt.DataTransferLength ? spt.DataBuffer : nullptr;
  }
  hdr.cmd_len = spt.CdbLength;
  hdr.cmdp = request.Spt.Cdb;
  // The sense lands in the request's own buffer and never beyond it, whatever length is asked.
  const size_t senseCap = sizeof request.SenseBuffer;
  hdr.mx_sb_len =
      static_cast<unsigned char>(spt.SenseInfoLength < senseCap ? spt.SenseInfoLength : senseCap);
  hdr.sbp = request.SenseBuffer;
  const uint64_t ms = static_cast<uint64_t>(spt.TimeOutValue) * 1000u;
  hdr.timeout = ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(ms);
  return true;
}

bool ApplySgIoOutcome(const sg_io_hdr& hdr, TScsiPassThroughBuffer& request, uint32_t& lastError) {
  request.Spt.ScsiStatus = hdr.status;
  if (hdr.dxfer_direction != SG_DXFER_NONE && hdr.resid > 0 &&
      static_cast<unsigned>(hdr.resid) <= request.Spt.DataTransferLength)
    request.Spt.DataTransferLength -= static_cast<uint32_t>(hdr.resid);
  lastError = 0;
  if (hdr.host_status != 0) {
    lastError = hdr.host_status == kHostTimeOut ? ETIMEDOUT : EIO;
    return false;
  }
  const int driver = hdr.driver_status & kDriverStatusMask;
  if (driver != 0 && driver != kDriverSense) {
    lastError = driver == kDriverTimeOut ? ETIMEDOUT : EIO;
    return false;
  }
  return true;
}

}  // namespace plat
