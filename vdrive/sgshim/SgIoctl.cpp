// SG_IO and the SCSI and block ioctls of a recorder node, answered as the kernel answers them
// for a SCSI CD-ROM block device.
#include <linux/fs.h>
#include <scsi/scsi.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Drives.h"
#include "vdrive/sgshim/Device.h"

namespace sgshim {
namespace {

constexpr int kSgVersion = 30527;  // what the block layer's SG_IO reports
constexpr unsigned char kDriverSense = 0x08;
constexpr unsigned char kDidNoConnect = 0x01;

// The timeout a program set with SG_SET_TIMEOUT, per node (the drive never times out).
int gTimeout[64];

uint64_t NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return uint64_t(t.tv_sec) * 1000 + uint64_t(t.tv_nsec) / 1000000;
}

int Fail(int error) {
  errno = error;
  return -1;
}

int SgIo(int node, sg_io_hdr_t* h) {
  if (h == nullptr) return Fail(EFAULT);
  if (h->interface_id != 'S') return Fail(EINVAL);
  if (h->dxfer_len > kMaxTransfer) return Fail(EIO);
  uint8_t direction = plat::kScsiDataUnspecified;
  if (h->dxfer_len) {
    switch (h->dxfer_direction) {
      case SG_DXFER_TO_DEV:
        direction = plat::kScsiDataOut;
        break;
      case SG_DXFER_FROM_DEV:
      case SG_DXFER_TO_FROM_DEV:
        direction = plat::kScsiDataIn;
        break;
      default:
        return Fail(EINVAL);
    }
  }
  if (h->cmd_len > 32) return Fail(EINVAL);
  if (h->cmdp == nullptr) return Fail(EFAULT);
  // Scatter-gather lists go through one buffer of their own.
  std::vector<uint8_t> gathered;
  uint8_t* data = static_cast<uint8_t*>(h->dxferp);
  const auto* iov = static_cast<const sg_iovec_t*>(h->dxferp);
  if (h->iovec_count > 0 && h->dxfer_len > 0) {
    if (iov == nullptr) return Fail(EFAULT);
    gathered.resize(h->dxfer_len);
    size_t at = 0;
    for (unsigned i = 0; i < h->iovec_count && at < gathered.size(); ++i) {
      const size_t n = std::min(iov[i].iov_len, gathered.size() - at);
      if (direction == plat::kScsiDataOut) std::memcpy(gathered.data() + at, iov[i].iov_base, n);
      at += n;
    }
    data = gathered.data();
  }
  if (h->dxfer_len > 0 && data == nullptr) return Fail(EFAULT);
  uint8_t cdb[16] = {};
  const uint8_t cdbLen = static_cast<uint8_t>(std::min<unsigned>(h->cmd_len, sizeof cdb));
  std::memcpy(cdb, h->cmdp, cdbLen);

  const uint64_t start = NowMs();
  const TCommandResult r =
      RunCommand(node, cdb, cdbLen, direction, h->dxfer_len ? data : nullptr, h->dxfer_len);
  h->duration = static_cast<unsigned>(NowMs() - start);
  h->msg_status = 0;
  h->sb_len_wr = 0;
  h->resid = 0;
  if (r.status < 0) {
    // A recorder that cannot be opened is a drive that went away.
    h->status = 0;
    h->masked_status = 0;
    h->host_status = kDidNoConnect;
    h->driver_status = 0;
    h->info = SG_INFO_CHECK;
    h->resid = static_cast<int>(h->dxfer_len);
    return 0;
  }
  h->status = static_cast<unsigned char>(r.status);
  h->masked_status = static_cast<unsigned char>((r.status >> 1) & 0x7F);
  h->host_status = 0;
  h->driver_status = r.status == 2 ? kDriverSense : 0;
  h->info = (h->masked_status || h->host_status || h->driver_status) ? SG_INFO_CHECK : 0;
  if (direction == plat::kScsiDataIn)
    h->resid = static_cast<int>(h->dxfer_len - std::min(r.dataIn, h->dxfer_len));
  if (r.status == 2 && h->sbp != nullptr && h->mx_sb_len > 0) {
    const unsigned n = std::min<unsigned>(h->mx_sb_len, sizeof r.sense);
    std::memcpy(h->sbp, r.sense, n);
    h->sb_len_wr = static_cast<unsigned char>(n);
  }
  if (!gathered.empty() && direction == plat::kScsiDataIn) {
    size_t at = 0;
    for (unsigned i = 0; i < h->iovec_count && at < gathered.size(); ++i) {
      const size_t n = std::min(iov[i].iov_len, gathered.size() - at);
      std::memcpy(iov[i].iov_base, gathered.data() + at, n);
      at += n;
    }
  }
  return 0;
}

template <typename T>
int Put(void* arg, T value) {
  if (arg == nullptr) return Fail(EFAULT);
  std::memcpy(arg, &value, sizeof value);
  return 0;
}

}  // namespace

int NodeIoctl(int node, int fd, unsigned long request, void* arg) {
  (void)fd;
  const TNode& n = Nodes()[static_cast<size_t>(node)];
  const size_t slot = static_cast<size_t>(node) % (sizeof gTimeout / sizeof gTimeout[0]);
  switch (request) {
    case SG_IO:
      return SgIo(node, static_cast<sg_io_hdr_t*>(arg));
    case SG_GET_VERSION_NUM:
      return Put(arg, kSgVersion);
    case SG_EMULATED_HOST:
      return Put(arg, 0);
    case SG_GET_TIMEOUT:
      return gTimeout[slot];
    case SG_SET_TIMEOUT: {
      int v = 0;
      if (arg == nullptr) return Fail(EFAULT);
      std::memcpy(&v, arg, sizeof v);
      if (v < 0) return Fail(EIO);
      gTimeout[slot] = v;
      return 0;
    }
    case SG_GET_RESERVED_SIZE:
      return Put(arg, kReservedSize);
    case SG_SET_RESERVED_SIZE: {
      int v = 0;
      if (arg == nullptr) return Fail(EFAULT);
      std::memcpy(&v, arg, sizeof v);
      return v < 0 ? Fail(EINVAL) : 0;
    }
    case SCSI_IOCTL_GET_IDLUN: {
      // Target 0, LUN 0, channel 0 on a host number no real adapter has.
      struct {
        int dev_id;
        int host_unique_id;
      } id{static_cast<int>((n.host & 0xFF) << 24), static_cast<int>(n.host)};
      return Put(arg, id);
    }
    case SCSI_IOCTL_GET_BUS_NUMBER:
      return Put(arg, static_cast<int>(n.host));
    case BLKGETSIZE64:
      return Put(arg, uint64_t(MediumBytes(node)));
    case BLKGETSIZE:
      return Put(arg, static_cast<unsigned long>(MediumBytes(node) / 512));
    case BLKSSZGET:
    case BLKBSZGET:
      return Put(arg, 2048);
    case BLKROGET:
      return Put(arg, 0);
    case BLKFLSBUF:
      return 0;
    default:
      break;
  }
  bool handled = false;
  const int rc = CdromIoctl(node, request, arg, handled);
  if (handled) return rc;
  // SG_GET_SCSI_ID and friends belong to the generic SCSI driver, not to a CD-ROM block device.
  Log("ioctl %#lx on %s: not a request of this device", request, n.name.c_str());
  return Fail(ENOTTY);
}

}  // namespace sgshim
