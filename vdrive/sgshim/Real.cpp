#include "vdrive/sgshim/Real.h"

#include <dlfcn.h>

#include <mutex>

namespace sgshim {
namespace {

// glibc keeps the stat family twice: the names of 2.33 and later, and the older __xstat ABI that
// programs built before still import. Both are looked up by their exact versions.
template <typename F>
void Find(F& out, const char* name, const char* version = nullptr) {
  void* p = version ? dlvsym(RTLD_NEXT, name, version) : nullptr;
  if (p == nullptr) p = dlsym(RTLD_NEXT, name);
  out = reinterpret_cast<F>(p);
}

TReal Resolve() {
  TReal r{};
  Find(r.open, "open");
  Find(r.openat, "openat");
  Find(r.close, "close");
  Find(r.fcntl, "fcntl", "GLIBC_2.28");
  Find(r.ioctl, "ioctl");
  Find(r.stat, "stat", "GLIBC_2.33");
  Find(r.lstat, "lstat", "GLIBC_2.33");
  Find(r.fstat, "fstat", "GLIBC_2.33");
  Find(r.fstatat, "fstatat", "GLIBC_2.33");
  Find(r.statx, "statx");
  Find(r.xstat, "__xstat", "GLIBC_2.2.5");
  Find(r.lxstat, "__lxstat", "GLIBC_2.2.5");
  Find(r.fxstat, "__fxstat", "GLIBC_2.2.5");
  Find(r.fxstatat, "__fxstatat", "GLIBC_2.4");
  Find(r.access, "access");
  Find(r.faccessat, "faccessat");
  Find(r.read, "read");
  Find(r.pread, "pread");
  Find(r.write, "write");
  Find(r.pwrite, "pwrite");
  Find(r.lseek, "lseek");
  Find(r.readlink, "readlink");
  Find(r.realpath, "realpath", "GLIBC_2.3");
  Find(r.opendir, "opendir");
  Find(r.readdir, "readdir");
  Find(r.readdir64, "readdir64");
  Find(r.closedir, "closedir");
  Find(r.fopen, "fopen");
  Find(r.fopen64, "fopen64");
  Find(r.execve, "execve");
  Find(r.execvpe, "execvpe");
  Find(r.fexecve, "fexecve");
  Find(r.posix_spawn, "posix_spawn");
  Find(r.posix_spawnp, "posix_spawnp");
  return r;
}

}  // namespace

const TReal& Real() {
  static const TReal r = Resolve();
  return r;
}

}  // namespace sgshim
