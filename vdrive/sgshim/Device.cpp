#include "vdrive/sgshim/Device.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/Drives.h"
#include "vdrive/sgshim/Real.h"

namespace sgshim {
namespace {

// The exclusive claim of an O_EXCL opener is an open-file-description lock on this one byte of
// the node's file: it follows the descriptor through dup, fork and exec and ends with its last
// close, as a block device's claim does. Programs' own record locks are kept below it.
constexpr off_t kClaimOffset = LLONG_MAX - 1;

constexpr uint32_t kBlock = 2048;

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void Nap(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&t, nullptr);
}

// Media that a block device takes plain writes on: DVD-RAM, DVD-RW in restricted overwrite,
// DVD+RW, BD-RE, HD DVD-RAM.
bool RandomWritable(uint16_t profile) {
  return profile == 0x12 || profile == 0x13 || profile == 0x1A || profile == 0x43 ||
         profile == 0x52;
}

uint16_t CurrentProfile(int node) {
  uint8_t d[8] = {};
  if (Packet(node, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, plat::kScsiDataIn, d, sizeof d) != 0)
    return 0;
  return static_cast<uint16_t>(d[6] << 8 | d[7]);
}

}  // namespace

int Packet(int node, std::initializer_list<uint8_t> cdb, uint8_t direction, uint8_t* data,
           uint32_t len, TCommandResult* result) {
  uint8_t c[16] = {};
  std::copy(cdb.begin(), cdb.end(), c);
  for (int attempt = 0;; ++attempt) {
    const TCommandResult r =
        RunCommand(node, c, static_cast<uint8_t>(cdb.size()), direction, data, len);
    if (result) *result = r;
    if (r.status < 0) return -EIO;
    if (r.status == 0) return 0;
    const uint8_t key = r.sense[2] & 0x0F, asc = r.sense[12], ascq = r.sense[13];
    if (r.status != 2) return -EIO;
    switch (key) {
      case 6:  // unit attention: the CD-ROM layer notes the change and tries again
        if (attempt < 10) continue;
        return -ENOMEDIUM;
      case 2:
        if (asc == 0x04 && ascq == 0x01 && attempt < 10) {
          Nap(200);
          continue;
        }
        return -ENOMEDIUM;
      case 5:
        return asc == 0x20 && ascq == 0 ? -EOPNOTSUPP : -EIO;
      default:
        return -EIO;
    }
  }
}

uint64_t MediumBytes(int node) {
  uint8_t d[8] = {};
  if (Packet(node, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, plat::kScsiDataIn, d, sizeof d) != 0)
    return 0;
  return (uint64_t(Be32(d)) + 1) * kBlock;
}

int OpenNode(int node, int flags) {
  const TNode& n = Nodes()[static_cast<size_t>(node)];
  if ((flags & O_CREAT) && (flags & O_EXCL)) {
    errno = EEXIST;
    return -1;
  }
  if (flags & O_DIRECTORY) {
    errno = ENOTDIR;
    return -1;
  }
  const int kept = flags & (O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_SYNC | O_DSYNC);
  const int fd = Real().open(n.backing.c_str(), O_RDWR | kept);
  if (fd < 0) return -1;
  auto fail = [&](int error, const char* why) {
    Log("open %s refused: %s", n.name.c_str(), why);
    Real().close(fd);
    errno = error;
    return -1;
  };
  if (flags & O_EXCL) {
    struct flock claim {};
    claim.l_type = F_WRLCK;
    claim.l_whence = SEEK_SET;
    claim.l_start = kClaimOffset;
    claim.l_len = 1;
    if (Real().fcntl(fd, F_OFD_SETLK, &claim) != 0)
      return fail(EBUSY, "claimed by an exclusive opener");
  }
  if (!(flags & O_NONBLOCK)) {
    // Without O_NONBLOCK the driver wants a medium, and for writing one that takes plain writes.
    if (Packet(node, {0, 0, 0, 0, 0, 0}, plat::kScsiDataUnspecified, nullptr, 0) == -ENOMEDIUM) {
      return fail(ENOMEDIUM, "no medium");
    }
    if ((flags & O_ACCMODE) != O_RDONLY && !RandomWritable(CurrentProfile(node))) {
      return fail(EROFS, "the medium takes no plain writes");
    }
  }
  Log("opened %s (flags %#x)", n.name.c_str(), static_cast<unsigned>(flags));
  return fd;
}

bool IsLockCommand(int cmd) {
  return cmd == F_GETLK || cmd == F_SETLK || cmd == F_SETLKW || cmd == F_OFD_GETLK ||
         cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW;
}

int NodeLock(int fd, int cmd, struct flock* lock) {
  if (lock == nullptr) return Real().fcntl(fd, cmd, lock);
  struct flock l = *lock;
  // The node's file is empty: "from the end" is from 0.
  if (l.l_whence == SEEK_CUR) l.l_start += Real().lseek(fd, 0, SEEK_CUR);
  l.l_whence = SEEK_SET;
  const bool toEnd = l.l_len == 0;
  if (toEnd && l.l_start < kClaimOffset) l.l_len = kClaimOffset - l.l_start;
  const int rc = Real().fcntl(fd, cmd, &l);
  if (rc == 0 && (cmd == F_GETLK || cmd == F_OFD_GETLK)) {
    if (l.l_type != F_UNLCK && l.l_len > 0 && l.l_start + l.l_len == kClaimOffset) l.l_len = 0;
    *lock = l;
  }
  return rc;
}

ssize_t NodeRead(int node, int fd, void* buf, size_t n, off_t pos, bool advance) {
  if (pos < 0) {
    errno = EINVAL;
    return -1;
  }
  const uint64_t size = MediumBytes(node);
  if (uint64_t(pos) >= size || n == 0) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size - uint64_t(pos)));
  std::vector<uint8_t> chunk;
  size_t done = 0;
  while (done < n) {
    const uint64_t at = uint64_t(pos) + done;
    const uint32_t lba = static_cast<uint32_t>(at / kBlock);
    const uint64_t last = (uint64_t(pos) + n - 1) / kBlock;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(last - lba + 1, 32));
    chunk.resize(size_t(count) * kBlock);
    const int rc = Packet(node,
                          {0x28, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8),
                           uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count), 0},
                          plat::kScsiDataIn, chunk.data(), static_cast<uint32_t>(chunk.size()));
    if (rc != 0) {
      if (done > 0) break;
      errno = EIO;
      return -1;
    }
    const size_t skip = static_cast<size_t>(at % kBlock);
    const size_t take = std::min(chunk.size() - skip, n - done);
    std::memcpy(static_cast<uint8_t*>(buf) + done, chunk.data() + skip, take);
    done += take;
  }
  if (advance) Real().lseek(fd, pos + static_cast<off_t>(done), SEEK_SET);
  return static_cast<ssize_t>(done);
}

ssize_t NodeWrite(int node, int fd, const void* buf, size_t n, off_t pos, bool advance) {
  // Plain writes reach media that take them at any address, in whole blocks.
  if (pos < 0 || pos % kBlock != 0 || n % kBlock != 0) {
    Log("write of %zu bytes at %lld refused: not in whole blocks", n, static_cast<long long>(pos));
    errno = EINVAL;
    return -1;
  }
  if (!RandomWritable(CurrentProfile(node))) {
    errno = EROFS;
    return -1;
  }
  size_t done = 0;
  while (done < n) {
    const uint32_t lba = static_cast<uint32_t>((uint64_t(pos) + done) / kBlock);
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>((n - done) / kBlock, 32));
    const int rc = Packet(node,
                          {0x2A, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8),
                           uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count), 0},
                          plat::kScsiDataOut, static_cast<uint8_t*>(const_cast<void*>(buf)) + done,
                          count * kBlock);
    if (rc != 0) {
      if (done > 0) break;
      errno = rc == -ENOMEDIUM ? ENOMEDIUM : EIO;
      return -1;
    }
    done += size_t(count) * kBlock;
  }
  if (advance) Real().lseek(fd, pos + static_cast<off_t>(done), SEEK_SET);
  return static_cast<ssize_t>(done);
}

off_t NodeSeek(int node, int fd, off_t offset, int whence) {
  if (whence != SEEK_END) return Real().lseek(fd, offset, whence);
  return Real().lseek(fd, static_cast<off_t>(MediumBytes(node)) + offset, SEEK_SET);
}

}  // namespace sgshim
