#include "vdrive/sgshim/Guard.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "vdrive/sgshim/Nodes.h"
#include "vdrive/sgshim/Real.h"

namespace sgshim {
namespace {

bool Harmless(const struct stat& st) {
  if (!S_ISBLK(st.st_mode) && !S_ISCHR(st.st_mode)) return true;
  if (S_ISBLK(st.st_mode)) return false;
  const unsigned ma = major(st.st_rdev), mi = minor(st.st_rdev);
  switch (ma) {
    case 1:  // null, zero, full, random, urandom (not mem, kmem or port)
      return mi == 3 || mi == 5 || mi == 7 || mi == 8 || mi == 9;
    case 4:  // virtual consoles and serial lines
    case 5:  // tty, console, ptmx
      return true;
    default:
      return ma >= 136 && ma <= 143;  // pseudo terminals
  }
}

bool Refuse(const struct stat& st, const char* path) {
  if (Harmless(st)) return false;
  Log("refused to open the real device %s (%u:%u)", path ? path : "?", major(st.st_rdev),
      minor(st.st_rdev));
  errno = EACCES;
  return true;
}

}  // namespace

bool RefusePath(int dirfd, const char* path) {
  struct stat st;
  const int saved = errno;
  if (path == nullptr || Real().fstatat(dirfd, path, &st, 0) != 0) {
    errno = saved;
    return false;
  }
  return Refuse(st, path);
}

bool RefuseDescriptor(int fd, const char* path) {
  struct stat st;
  if (Real().fstat(fd, &st) != 0) return false;
  return Refuse(st, path);
}

int AnswerProcFile(const char* path, int flags) {
  if (path == nullptr || std::strncmp(path, "/proc/scsi/", 11) != 0) return -2;
  const char* text = nullptr;
  if (std::strcmp(path, "/proc/scsi/sg/devices") == 0 ||
      std::strcmp(path, "/proc/scsi/sg/device_strs") == 0) {
    text = "";
  } else if (std::strcmp(path, "/proc/scsi/scsi") == 0) {
    text = "Attached devices:\n";
  } else {
    return -2;
  }
  Log("answered %s with no devices", path);
  // No real device is listed: whoever maps a SCSI address to a device node this way finds none.
  const int fd = memfd_create("ardovan-sgshim", (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
  if (fd < 0) return -1;
  const size_t n = std::strlen(text);
  if (n > 0 && (Real().write(fd, text, n) != static_cast<ssize_t>(n) ||
                Real().lseek(fd, 0, SEEK_SET) != 0)) {
    Real().close(fd);
    return -1;
  }
  return fd;
}

}  // namespace sgshim
