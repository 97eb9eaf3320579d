// The CD-ROM layer's ioctls on a recorder node, built from MMC commands the way the kernel's
// SCSI CD-ROM driver builds them, so readers that never send a command block of their own work.
#include <linux/cdrom.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Drives.h"
#include "vdrive/sgshim/Device.h"

namespace sgshim {
namespace {

int Fail(int error) {
  errno = error;
  return -1;
}

int Result(int rc) { return rc == 0 ? 0 : Fail(-rc); }

void LbaToMsf(int lba, cdrom_msf0& msf) {
  const int f = lba + CD_MSF_OFFSET;
  msf.minute = static_cast<uint8_t>(f / (CD_SECS * CD_FRAMES));
  msf.second = static_cast<uint8_t>(f / CD_FRAMES % CD_SECS);
  msf.frame = static_cast<uint8_t>(f % CD_FRAMES);
}

int TocHeader(int node, cdrom_tochdr& h) {
  uint8_t d[12] = {};
  const int rc = Packet(node, {0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0}, plat::kScsiDataIn, d, sizeof d);
  if (rc != 0) return rc;
  h.cdth_trk0 = d[2];
  h.cdth_trk1 = d[3];
  return 0;
}

// One TOC entry, read in MSF form and converted when LBA is asked for.
int TocEntry(int node, cdrom_tocentry& e) {
  const uint8_t format = e.cdte_format;
  if (format != CDROM_MSF && format != CDROM_LBA) return -EINVAL;
  uint8_t d[12] = {};
  const int rc = Packet(node, {0x43, 0x02, 0, 0, 0, 0, e.cdte_track, 0, 12, 0}, plat::kScsiDataIn,
                        d, sizeof d);
  if (rc != 0) return rc;
  e.cdte_ctrl = d[5] & 0x0F;
  e.cdte_adr = d[5] >> 4;
  e.cdte_datamode = (e.cdte_ctrl & CDROM_DATA_TRACK) ? 1 : 0;
  if (format == CDROM_MSF) {
    e.cdte_addr.msf.minute = d[9];
    e.cdte_addr.msf.second = d[10];
    e.cdte_addr.msf.frame = d[11];
  } else {
    e.cdte_addr.lba = (d[9] * CD_SECS + d[10]) * CD_FRAMES + d[11] - CD_MSF_OFFSET;
  }
  return 0;
}

int DiscStatus(int node) {
  cdrom_tochdr h{};
  const int rc = TocHeader(node, h);
  if (rc != 0) return rc == -ENOMEDIUM ? CDS_NO_DISC : CDS_NO_INFO;
  int audio = 0, data = 0;
  for (int t = h.cdth_trk0; t <= h.cdth_trk1; ++t) {
    cdrom_tocentry e{};
    e.cdte_track = static_cast<uint8_t>(t);
    e.cdte_format = CDROM_MSF;
    if (TocEntry(node, e) != 0) return CDS_NO_INFO;
    if (e.cdte_ctrl & CDROM_DATA_TRACK) {
      ++data;
    } else {
      ++audio;
    }
  }
  if (audio > 0) return data > 0 ? CDS_MIXED : CDS_AUDIO;
  return data > 0 ? CDS_DATA_1 : CDS_NO_INFO;
}

int DriveStatus(int node) {
  TCommandResult r;
  const int rc = Packet(node, {0, 0, 0, 0, 0, 0}, plat::kScsiDataUnspecified, nullptr, 0, &r);
  if (rc == 0) return CDS_DISC_OK;
  const uint8_t asc = r.sense[12], ascq = r.sense[13];
  if (asc == 0x04 && ascq == 0x01) return CDS_DRIVE_NOT_READY;
  if (asc == 0x3A) return ascq == 0x02 ? CDS_TRAY_OPEN : CDS_NO_DISC;
  return asc == 0x04 ? CDS_DISC_OK : CDS_NO_DISC;  // busy with a medium in it
}

int MediaChanged(int node) {
  uint8_t d[8] = {};
  if (Packet(node, {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, plat::kScsiDataIn, d, sizeof d) != 0)
    return 0;
  return (d[4] & 0x0F) != 0 ? 1 : 0;
}

int MultiSession(int node, cdrom_multisession& ms) {
  const uint8_t format = ms.addr_format;
  if (format != CDROM_MSF && format != CDROM_LBA) return -EINVAL;
  uint8_t d[12] = {};
  const int rc =
      Packet(node, {0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0x40}, plat::kScsiDataIn, d, sizeof d);
  int lba = 0;
  if (rc == 0 && d[6] > 1)
    lba = static_cast<int>(uint32_t(d[8]) << 24 | uint32_t(d[9]) << 16 | d[10] << 8 | d[11]);
  ms.xa_flag = lba > 0 ? 1 : 0;
  if (format == CDROM_LBA) {
    ms.addr.lba = lba;
  } else {
    LbaToMsf(lba, ms.addr.msf);
  }
  return 0;
}

// What the drive's capabilities page tells, as the driver masks its capability set with it.
int Capability(int node) {
  uint8_t d[64] = {};
  int caps = CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED | CDC_MULTI_SESSION |
             CDC_MCN | CDC_MEDIA_CHANGED | CDC_PLAY_AUDIO | CDC_RESET | CDC_DRIVE_STATUS |
             CDC_GENERIC_PACKET;
  if (Packet(node, {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, sizeof d, 0}, plat::kScsiDataIn, d,
             sizeof d) != 0)
    return caps;
  const uint8_t* p = d + 8;
  if (p[2] & 0x08) caps |= CDC_DVD;
  if (p[3] & 0x01) caps |= CDC_CD_R;
  if (p[3] & 0x02) caps |= CDC_CD_RW;
  if (p[3] & 0x10) caps |= CDC_DVD_R;
  if (p[3] & 0x20) caps |= CDC_DVD_RAM | CDC_RAM;
  if ((p[6] & 0x08) == 0) caps &= ~CDC_OPEN_TRAY;
  if ((p[6] & 0x01) == 0) caps &= ~CDC_LOCK;
  return caps;
}

int DvdStructure(int node, dvd_struct& s) {
  switch (s.type) {
    case DVD_STRUCT_PHYSICAL: {
      const uint8_t layer = s.physical.layer_num;
      if (layer >= DVD_LAYERS) return -EINVAL;
      uint8_t d[4 + 4 * 20] = {};
      const int rc = Packet(node, {0xAD, 0, 0, 0, 0, 0, layer, 0, 0, sizeof d, 0, 0},
                            plat::kScsiDataIn, d, sizeof d);
      if (rc != 0) return rc;
      const uint8_t* b = d + 4;
      dvd_layer& l = s.physical.layer[layer];
      std::memset(&l, 0, sizeof l);
      l.book_version = b[0] & 0x0F;
      l.book_type = b[0] >> 4;
      l.min_rate = b[1] & 0x0F;
      l.disc_size = b[1] >> 4;
      l.layer_type = b[2] & 0x0F;
      l.track_path = (b[2] >> 4) & 1;
      l.nlayers = (b[2] >> 5) & 3;
      l.track_density = b[3] & 0x0F;
      l.linear_density = b[3] >> 4;
      l.start_sector = uint32_t(b[5]) << 16 | uint32_t(b[6]) << 8 | b[7];
      l.end_sector = uint32_t(b[9]) << 16 | uint32_t(b[10]) << 8 | b[11];
      l.end_sector_l0 = uint32_t(b[13]) << 16 | uint32_t(b[14]) << 8 | b[15];
      l.bca = b[16] >> 7;
      return 0;
    }
    case DVD_STRUCT_COPYRIGHT: {
      uint8_t d[8] = {};
      const int rc =
          Packet(node, {0xAD, 0, 0, 0, 0, 0, s.copyright.layer_num, 0x01, 0, sizeof d, 0, 0},
                 plat::kScsiDataIn, d, sizeof d);
      if (rc != 0) return rc;
      s.copyright.cpst = d[4];
      s.copyright.rmi = d[5];
      return 0;
    }
    default:
      return -EINVAL;
  }
}

template <typename T>
bool Get(void* arg, T& out) {
  if (arg == nullptr) return false;
  std::memcpy(&out, arg, sizeof out);
  return true;
}

template <typename T>
int Finish(void* arg, const T& value, int rc) {
  if (rc != 0) return Fail(-rc);
  std::memcpy(arg, &value, sizeof value);
  return 0;
}

}  // namespace

int CdromIoctl(int node, unsigned long request, void* arg, bool& handled) {
  handled = true;
  const auto none = plat::kScsiDataUnspecified;
  switch (request) {
    case CDROM_SEND_PACKET: {
      // The driver runs the packet as an SG_IO of twelve bytes and reports any non-good status
      // as an I/O error, sense data in the caller's request_sense.
      cdrom_generic_command cgc;
      if (!Get(arg, cgc)) return Fail(EFAULT);
      uint8_t direction = none;
      switch (cgc.data_direction) {
        case CGC_DATA_WRITE:
          direction = plat::kScsiDataOut;
          break;
        case CGC_DATA_READ:
          direction = plat::kScsiDataIn;
          break;
        case CGC_DATA_NONE:
        case CGC_DATA_UNKNOWN:
          break;
        default:
          return Fail(EINVAL);
      }
      if (cgc.buflen > kMaxTransfer) return Fail(EIO);
      const TCommandResult r =
          RunCommand(node, static_cast<cdrom_generic_command*>(arg)->cmd, CDROM_PACKET_SIZE,
                     cgc.buflen ? direction : none, cgc.buflen ? cgc.buffer : nullptr, cgc.buflen);
      if (r.status < 0) return Fail(EIO);
      if (r.status == 2 && cgc.sense != nullptr) {
        std::memset(cgc.sense, 0, sizeof(request_sense));
        std::memcpy(cgc.sense, r.sense, sizeof r.sense);
      }
      return r.status == 0 ? 0 : Fail(EIO);
    }
    case CDROM_GET_CAPABILITY:
      return Capability(node);
    case CDROM_DRIVE_STATUS:
      return DriveStatus(node);
    case CDROM_DISC_STATUS:
      return DiscStatus(node);
    case CDROM_MEDIA_CHANGED:
      return MediaChanged(node);
    case CDROMREADTOCHDR: {
      cdrom_tochdr h{};
      if (arg == nullptr) return Fail(EFAULT);
      return Finish(arg, h, TocHeader(node, h));
    }
    case CDROMREADTOCENTRY: {
      cdrom_tocentry e;
      if (!Get(arg, e)) return Fail(EFAULT);
      return Finish(arg, e, TocEntry(node, e));
    }
    case CDROMMULTISESSION: {
      cdrom_multisession ms;
      if (!Get(arg, ms)) return Fail(EFAULT);
      return Finish(arg, ms, MultiSession(node, ms));
    }
    case DVD_READ_STRUCT: {
      dvd_struct s;
      if (!Get(arg, s)) return Fail(EFAULT);
      return Finish(arg, s, DvdStructure(node, s));
    }
    case CDROMEJECT:
      return Result(Packet(node, {0x1B, 0, 0, 0, 0x02, 0}, none, nullptr, 0));
    case CDROMCLOSETRAY:
      return Result(Packet(node, {0x1B, 0, 0, 0, 0x03, 0}, none, nullptr, 0));
    case CDROM_LOCKDOOR: {
      const uint8_t lock = reinterpret_cast<uintptr_t>(arg) ? 1 : 0;
      return Result(Packet(node, {0x1E, 0, 0, 0, lock, 0}, none, nullptr, 0));
    }
    case CDROM_SELECT_SPEED: {
      const unsigned x = static_cast<unsigned>(reinterpret_cast<uintptr_t>(arg));
      const unsigned kbs = x == 0 ? 0xFFFF : std::min(x * 177u, 0xFFFFu);
      return Result(Packet(node,
                           {0xBB, 0, uint8_t(kbs >> 8), uint8_t(kbs), 0xFF, 0xFF, 0, 0, 0, 0, 0, 0},
                           none, nullptr, 0));
    }
    default:
      handled = false;
      return -1;
  }
}

}  // namespace sgshim
