// The interposed C library calls for files: open, the stat family, access, links, fcntl, ioctl
// and block reads. Each forwards at once unless the shim is active and the path or descriptor is
// a recorder node (or a device the shim keeps programs away from).
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "vdrive/sgshim/Device.h"
#include "vdrive/sgshim/Guard.h"
#include "vdrive/sgshim/Nodes.h"
#include "vdrive/sgshim/Real.h"

#define SHIM_EXPORT extern "C" __attribute__((visibility("default")))

// On 64-bit Linux the 64-bit file calls are the same calls; one implementation serves both names.
static_assert(sizeof(struct stat) == sizeof(struct stat64) && sizeof(off_t) == sizeof(off64_t),
              "the shim is built for 64-bit Linux");

namespace {

using namespace sgshim;

bool Shimmed() { return !Inside() && Active(); }

mode_t ModeArg(int flags, va_list ap) {
  return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

int DoOpen(int dirfd, const char* path, int flags, mode_t mode) {
  if (Shimmed()) {
    if (const int node = NodeOfPath(path); node >= 0) return OpenNode(node, flags);
    if (const int fd = AnswerProcFile(path, flags); fd != -2) return fd;
    if (RefusePath(dirfd, path)) return -1;
  }
  const int fd = Real().openat(dirfd, path, flags, mode);
  if (fd >= 0 && Shimmed() && RefuseDescriptor(fd, path)) {
    Real().close(fd);
    errno = EACCES;
    return -1;
  }
  return fd;
}

void StatxFrom(const struct stat& st, struct statx* x) {
  std::memset(x, 0, sizeof *x);
  x->stx_mask = STATX_BASIC_STATS;
  x->stx_blksize = static_cast<uint32_t>(st.st_blksize);
  x->stx_nlink = static_cast<uint32_t>(st.st_nlink);
  x->stx_uid = st.st_uid;
  x->stx_gid = st.st_gid;
  x->stx_mode = static_cast<uint16_t>(st.st_mode);
  x->stx_ino = st.st_ino;
  x->stx_atime = {st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec), 0};
  x->stx_mtime = {st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec), 0};
  x->stx_ctime = {st.st_ctim.tv_sec, static_cast<uint32_t>(st.st_ctim.tv_nsec), 0};
  x->stx_rdev_major = major(st.st_rdev);
  x->stx_rdev_minor = minor(st.st_rdev);
  x->stx_dev_major = major(st.st_dev);
  x->stx_dev_minor = minor(st.st_dev);
}

// The node a stat call names: a claimed path, or a descriptor (with an empty path).
int StatNode(int dirfd, const char* path, int flags) {
  if (!Shimmed()) return -1;
  if (path != nullptr && path[0] == '\0' && (flags & AT_EMPTY_PATH)) return NodeOfFd(dirfd);
  return NodeOfPath(path);
}

// The node's facts for a stat call that names one, else what the C library answers.
template <typename F>
int Answer(int node, struct stat* st, const F& real) {
  if (node < 0) return real();
  FillStat(node, *st);
  return 0;
}

int StatPath(const char* path, struct stat* st, bool link) {
  return Answer(StatNode(AT_FDCWD, path, 0), st,
                [&] { return link ? Real().lstat(path, st) : Real().stat(path, st); });
}

int StatFd(int fd, struct stat* st) {
  return Answer(Shimmed() ? NodeOfFd(fd) : -1, st, [&] { return Real().fstat(fd, st); });
}

int StatAt(int dirfd, const char* path, struct stat* st, int flags) {
  return Answer(StatNode(dirfd, path, flags), st,
                [&] { return Real().fstatat(dirfd, path, st, flags); });
}

int NodeFd(int fd) { return Shimmed() ? NodeOfFd(fd) : -1; }

ssize_t DoRead(int fd, void* buf, size_t n) {
  if (const int node = NodeFd(fd); node >= 0)
    return NodeRead(node, fd, buf, n, Real().lseek(fd, 0, SEEK_CUR), true);
  return Real().read(fd, buf, n);
}

ssize_t DoPread(int fd, void* buf, size_t n, off_t pos) {
  if (const int node = NodeFd(fd); node >= 0) return NodeRead(node, fd, buf, n, pos, false);
  return Real().pread(fd, buf, n, pos);
}

ssize_t DoPwrite(int fd, const void* buf, size_t n, off_t pos) {
  if (const int node = NodeFd(fd); node >= 0) return NodeWrite(node, fd, buf, n, pos, false);
  return Real().pwrite(fd, buf, n, pos);
}

off_t DoSeek(int fd, off_t offset, int whence) {
  if (const int node = NodeFd(fd); node >= 0) return NodeSeek(node, fd, offset, whence);
  return Real().lseek(fd, offset, whence);
}

int DoFcntl(int fd, int cmd, void* arg) {
  if (IsLockCommand(cmd) && NodeFd(fd) >= 0)
    return NodeLock(fd, cmd, static_cast<struct flock*>(arg));
  return Real().fcntl(fd, cmd, arg);
}

int DoAccess(int dirfd, const char* path, int mode, int flags) {
  if (Shimmed() && NodeOfPath(path) >= 0) return 0;
  return Real().faccessat(dirfd, path, mode, flags);
}

}  // namespace

// --- open ---

SHIM_EXPORT int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(AT_FDCWD, path, flags, mode);
}

SHIM_EXPORT int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(AT_FDCWD, path, flags, mode);
}

SHIM_EXPORT int __open_2(const char* path, int flags) { return DoOpen(AT_FDCWD, path, flags, 0); }
SHIM_EXPORT int __open64_2(const char* path, int flags) { return DoOpen(AT_FDCWD, path, flags, 0); }

SHIM_EXPORT int openat(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(dirfd, path, flags, mode);
}

SHIM_EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = ModeArg(flags, ap);
  va_end(ap);
  return DoOpen(dirfd, path, flags, mode);
}

SHIM_EXPORT int __openat_2(int dirfd, const char* path, int flags) {
  return DoOpen(dirfd, path, flags, 0);
}
SHIM_EXPORT int __openat64_2(int dirfd, const char* path, int flags) {
  return DoOpen(dirfd, path, flags, 0);
}

// --- stat family: the names of glibc 2.33 and later and the older __xstat ABI ---

SHIM_EXPORT int stat(const char* path, struct stat* st) { return StatPath(path, st, false); }
SHIM_EXPORT int stat64(const char* path, struct stat64* st) {
  return StatPath(path, reinterpret_cast<struct stat*>(st), false);
}
SHIM_EXPORT int lstat(const char* path, struct stat* st) { return StatPath(path, st, true); }
SHIM_EXPORT int lstat64(const char* path, struct stat64* st) {
  return StatPath(path, reinterpret_cast<struct stat*>(st), true);
}
SHIM_EXPORT int fstat(int fd, struct stat* st) { return StatFd(fd, st); }
SHIM_EXPORT int fstat64(int fd, struct stat64* st) {
  return StatFd(fd, reinterpret_cast<struct stat*>(st));
}
SHIM_EXPORT int fstatat(int dirfd, const char* path, struct stat* st, int flags) {
  return StatAt(dirfd, path, st, flags);
}
SHIM_EXPORT int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) {
  return StatAt(dirfd, path, reinterpret_cast<struct stat*>(st), flags);
}

SHIM_EXPORT int statx(int dirfd, const char* __restrict path, int flags, unsigned int mask,
                      struct statx* __restrict out) {
  if (const int node = StatNode(dirfd, path, flags); node >= 0) {
    struct stat st;
    FillStat(node, st);
    StatxFrom(st, out);
    return 0;
  }
  return Real().statx(dirfd, path, flags, mask, out);
}

SHIM_EXPORT int __xstat(int ver, const char* path, struct stat* st) {
  return Answer(StatNode(AT_FDCWD, path, 0), st, [&] { return Real().xstat(ver, path, st); });
}
SHIM_EXPORT int __xstat64(int ver, const char* path, struct stat* st) {
  return __xstat(ver, path, st);
}

SHIM_EXPORT int __lxstat(int ver, const char* path, struct stat* st) {
  return Answer(StatNode(AT_FDCWD, path, 0), st, [&] { return Real().lxstat(ver, path, st); });
}
SHIM_EXPORT int __lxstat64(int ver, const char* path, struct stat* st) {
  return __lxstat(ver, path, st);
}

SHIM_EXPORT int __fxstat(int ver, int fd, struct stat* st) {
  return Answer(NodeFd(fd), st, [&] { return Real().fxstat(ver, fd, st); });
}
SHIM_EXPORT int __fxstat64(int ver, int fd, struct stat* st) { return __fxstat(ver, fd, st); }

SHIM_EXPORT int __fxstatat(int ver, int dirfd, const char* path, struct stat* st, int flags) {
  return Answer(StatNode(dirfd, path, flags), st,
                [&] { return Real().fxstatat(ver, dirfd, path, st, flags); });
}
SHIM_EXPORT int __fxstatat64(int ver, int dirfd, const char* path, struct stat* st, int flags) {
  return __fxstatat(ver, dirfd, path, st, flags);
}

// --- access and names ---

SHIM_EXPORT int access(const char* path, int mode) { return DoAccess(AT_FDCWD, path, mode, 0); }
SHIM_EXPORT int faccessat(int dirfd, const char* path, int mode, int flags) {
  return DoAccess(dirfd, path, mode, flags);
}
SHIM_EXPORT int euidaccess(const char* path, int mode) {
  return DoAccess(AT_FDCWD, path, mode, AT_EACCESS);
}
SHIM_EXPORT int eaccess(const char* path, int mode) {
  return DoAccess(AT_FDCWD, path, mode, AT_EACCESS);
}

SHIM_EXPORT ssize_t readlink(const char* __restrict path, char* __restrict buf, size_t size) {
  if (Shimmed() && NodeOfPath(path) >= 0) {
    errno = EINVAL;  // a device node, not a link
    return -1;
  }
  return Real().readlink(path, buf, size);
}

SHIM_EXPORT char* realpath(const char* __restrict path, char* __restrict resolved) {
  if (Shimmed() && NodeOfPath(path) >= 0) {
    if (resolved == nullptr) return strdup(path);
    std::strncpy(resolved, path, PATH_MAX - 1);
    resolved[PATH_MAX - 1] = '\0';
    return resolved;
  }
  return Real().realpath(path, resolved);
}

SHIM_EXPORT char* __realpath_chk(const char* path, char* resolved, size_t) {
  return realpath(path, resolved);
}
SHIM_EXPORT char* canonicalize_file_name(const char* path) { return realpath(path, nullptr); }

// --- descriptors ---

SHIM_EXPORT int fcntl(int fd, int cmd, ...) {
  va_list ap;
  va_start(ap, cmd);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return DoFcntl(fd, cmd, arg);
}

SHIM_EXPORT int fcntl64(int fd, int cmd, ...) {
  va_list ap;
  va_start(ap, cmd);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return DoFcntl(fd, cmd, arg);
}

SHIM_EXPORT int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (const int node = NodeFd(fd); node >= 0) {
    TInside in;
    return NodeIoctl(node, fd, request, arg);
  }
  return Real().ioctl(fd, request, arg);
}

SHIM_EXPORT ssize_t read(int fd, void* buf, size_t n) { return DoRead(fd, buf, n); }
SHIM_EXPORT ssize_t __read_chk(int fd, void* buf, size_t n, size_t) { return DoRead(fd, buf, n); }
SHIM_EXPORT ssize_t pread(int fd, void* buf, size_t n, off_t pos) {
  return DoPread(fd, buf, n, pos);
}
SHIM_EXPORT ssize_t pread64(int fd, void* buf, size_t n, off64_t pos) {
  return DoPread(fd, buf, n, pos);
}
SHIM_EXPORT ssize_t __pread_chk(int fd, void* buf, size_t n, off_t pos, size_t) {
  return DoPread(fd, buf, n, pos);
}
SHIM_EXPORT ssize_t __pread64_chk(int fd, void* buf, size_t n, off64_t pos, size_t) {
  return DoPread(fd, buf, n, pos);
}
SHIM_EXPORT ssize_t write(int fd, const void* buf, size_t n) {
  if (const int node = NodeFd(fd); node >= 0)
    return NodeWrite(node, fd, buf, n, Real().lseek(fd, 0, SEEK_CUR), true);
  return Real().write(fd, buf, n);
}
SHIM_EXPORT ssize_t pwrite(int fd, const void* buf, size_t n, off_t pos) {
  return DoPwrite(fd, buf, n, pos);
}
SHIM_EXPORT ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t pos) {
  return DoPwrite(fd, buf, n, pos);
}
SHIM_EXPORT off_t lseek(int fd, off_t offset, int whence) { return DoSeek(fd, offset, whence); }
SHIM_EXPORT off64_t lseek64(int fd, off64_t offset, int whence) {
  return DoSeek(fd, offset, whence);
}
