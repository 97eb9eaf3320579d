// The interposed calls around files and programs: directory listings that show the recorder
// nodes, stdio opens of nodes and of the kernel's device lists, and the exec family, which saves
// the recorders' progress and keeps the shim in the programs started.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "vdrive/sgshim/Device.h"
#include "vdrive/sgshim/Guard.h"
#include "vdrive/sgshim/Nodes.h"
#include "vdrive/sgshim/Real.h"

#define SHIM_EXPORT extern "C" __attribute__((visibility("default")))

extern char** environ;

namespace {

using namespace sgshim;

bool Shimmed() { return !Inside() && Active(); }

// --- directory listings ---

// Entries still to be listed after the real ones of an open directory.
struct TListing {
  DIR* dir = nullptr;
  std::vector<std::string> names;
  size_t next = 0;
  dirent entry{};
  dirent64 entry64{};
};

std::mutex gListingsMutex;
std::vector<TListing*> gListings;

std::string Parent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The next node name to list for dir, or null when there is none (or dir is not a listing).
const char* NextListed(DIR* dir, TListing*& listing) {
  std::lock_guard<std::mutex> g(gListingsMutex);
  for (TListing* l : gListings) {
    if (l->dir == dir && l->next < l->names.size()) {
      listing = l;
      return l->names[l->next++].c_str();
    }
  }
  return nullptr;
}

template <typename D>
void Fill(D& e, const char* name, unsigned index) {
  std::memset(&e, 0, sizeof e);
  e.d_ino = 0x5200 + index;
  e.d_off = 0;
  e.d_reclen = sizeof e;
  e.d_type = DT_BLK;
  std::strncpy(e.d_name, name, sizeof e.d_name - 1);
}

// --- stdio on a node: reads and writes go through the block view ---

ssize_t CookieRead(void* cookie, char* buf, size_t n) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
  const int node = NodeOfFd(fd);
  return node < 0 ? -1 : NodeRead(node, fd, buf, n, Real().lseek(fd, 0, SEEK_CUR), true);
}

ssize_t CookieWrite(void* cookie, const char* buf, size_t n) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
  const int node = NodeOfFd(fd);
  return node < 0 ? -1 : NodeWrite(node, fd, buf, n, Real().lseek(fd, 0, SEEK_CUR), true);
}

int CookieSeek(void* cookie, off64_t* pos, int whence) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
  const int node = NodeOfFd(fd);
  const off_t r = node < 0 ? -1 : NodeSeek(node, fd, *pos, whence);
  if (r < 0) return -1;
  *pos = r;
  return 0;
}

int CookieClose(void* cookie) {
  return Real().close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
}

int FlagsOfMode(const char* mode) {
  int flags =
      mode[0] == 'r' ? O_RDONLY : O_WRONLY | O_CREAT | (mode[0] == 'a' ? O_APPEND : O_TRUNC);
  if (std::strchr(mode, '+')) flags = (flags & ~O_ACCMODE) | O_RDWR;
  if (std::strchr(mode, 'e')) flags |= O_CLOEXEC;
  return flags;
}

FILE* DoFopen(const char* path, const char* mode, FILE* (*real)(const char*, const char*)) {
  if (Shimmed() && path != nullptr && mode != nullptr) {
    if (const int node = NodeOfPath(path); node >= 0) {
      const int fd = OpenNode(node, FlagsOfMode(mode) & ~(O_CREAT | O_TRUNC | O_APPEND));
      if (fd < 0) return nullptr;
      const cookie_io_functions_t io{CookieRead, CookieWrite, CookieSeek, CookieClose};
      FILE* f = fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), mode, io);
      if (f == nullptr) Real().close(fd);
      return f;
    }
    if (const int fd = AnswerProcFile(path, FlagsOfMode(mode)); fd != -2)
      return fd < 0 ? nullptr : fdopen(fd, "r");
    if (RefusePath(AT_FDCWD, path)) return nullptr;
  }
  return real(path, mode);
}

// --- programs started from here ---

// envp with the shim's variables back in place and the shim in LD_PRELOAD.
class TShimEnvironment {
 public:
  explicit TShimEnvironment(char* const* envp) {
    bool preload = false;
    std::vector<bool> have(ShimEnvironment().size(), false);
    for (char* const* e = envp; e != nullptr && *e != nullptr; ++e) {
      std::string entry = *e;
      for (size_t i = 0; i < have.size(); ++i) {
        const std::string& want = ShimEnvironment()[i];
        if (entry.compare(0, want.find('=') + 1, want, 0, want.find('=') + 1) == 0) have[i] = true;
      }
      if (entry.rfind("LD_PRELOAD=", 0) == 0) {
        preload = true;
        if (!ShimLibrary().empty() && entry.find(ShimLibrary()) == std::string::npos) {
          entry += (entry.size() > 11 ? ":" : "") + ShimLibrary();
        }
      }
      strings_.push_back(std::move(entry));
    }
    for (size_t i = 0; i < have.size(); ++i) {
      if (!have[i]) strings_.push_back(ShimEnvironment()[i]);
    }
    if (!preload && !ShimLibrary().empty()) strings_.push_back("LD_PRELOAD=" + ShimLibrary());
    for (std::string& s : strings_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
  }
  char* const* Get() { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

int Execute(const char* path, char* const argv[], char* const envp[], bool search) {
  if (!Shimmed()) {
    return search ? Real().execvpe(path, argv, envp) : Real().execve(path, argv, envp);
  }
  // The new program image starts from the recorders' files: what this one recorded goes there.
  SaveAll();
  Log("exec %s", path ? path : "?");
  TShimEnvironment env(envp);
  return search ? Real().execvpe(path, argv, env.Get()) : Real().execve(path, argv, env.Get());
}

std::vector<char*> CollectArgs(const char* first, va_list ap, char* const** envp) {
  std::vector<char*> args{const_cast<char*>(first)};
  while (args.back() != nullptr) args.push_back(va_arg(ap, char*));
  if (envp != nullptr) *envp = va_arg(ap, char* const*);
  return args;
}

int Spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
          const posix_spawnattr_t* attr, char* const argv[], char* const envp[], bool search) {
  auto real = search ? Real().posix_spawnp : Real().posix_spawn;
  if (!Shimmed()) return real(pid, path, actions, attr, argv, envp);
  SaveAll();
  TShimEnvironment env(envp);
  return real(pid, path, actions, attr, argv, env.Get());
}

}  // namespace

SHIM_EXPORT DIR* opendir(const char* path) {
  DIR* d = Real().opendir(path);
  if (d == nullptr || !Shimmed()) return d;
  const std::string folder = WithoutTrailingSlash(path);
  auto* listing = new TListing();
  listing->dir = d;
  for (const TNode& n : Nodes()) {
    if (Parent(n.name) == folder)
      listing->names.push_back(n.name.substr(n.name.find_last_of('/') + 1));
  }
  if (listing->names.empty()) {
    delete listing;
    return d;
  }
  std::lock_guard<std::mutex> g(gListingsMutex);
  gListings.push_back(listing);
  return d;
}

SHIM_EXPORT struct dirent* readdir(DIR* dir) {
  const int saved = errno;
  if (struct dirent* e = Real().readdir(dir)) return e;
  TListing* l = nullptr;
  const char* name = NextListed(dir, l);
  if (name == nullptr) return nullptr;
  errno = saved;
  Fill(l->entry, name, static_cast<unsigned>(l->next));
  return &l->entry;
}

SHIM_EXPORT struct dirent64* readdir64(DIR* dir) {
  const int saved = errno;
  if (struct dirent64* e = Real().readdir64(dir)) return e;
  TListing* l = nullptr;
  const char* name = NextListed(dir, l);
  if (name == nullptr) return nullptr;
  errno = saved;
  Fill(l->entry64, name, static_cast<unsigned>(l->next));
  return &l->entry64;
}

SHIM_EXPORT int closedir(DIR* dir) {
  {
    std::lock_guard<std::mutex> g(gListingsMutex);
    for (size_t i = 0; i < gListings.size(); ++i) {
      if (gListings[i]->dir == dir) {
        delete gListings[i];
        gListings.erase(gListings.begin() + static_cast<long>(i));
        break;
      }
    }
  }
  return Real().closedir(dir);
}

SHIM_EXPORT FILE* fopen(const char* path, const char* mode) {
  return DoFopen(path, mode, Real().fopen);
}
SHIM_EXPORT FILE* fopen64(const char* path, const char* mode) {
  return DoFopen(path, mode, Real().fopen64);
}

SHIM_EXPORT int execve(const char* path, char* const argv[], char* const envp[]) {
  return Execute(path, argv, envp, false);
}
SHIM_EXPORT int execv(const char* path, char* const argv[]) {
  return Execute(path, argv, environ, false);
}
SHIM_EXPORT int execvp(const char* file, char* const argv[]) {
  return Execute(file, argv, environ, true);
}
SHIM_EXPORT int execvpe(const char* file, char* const argv[], char* const envp[]) {
  return Execute(file, argv, envp, true);
}

SHIM_EXPORT int execl(const char* path, const char* arg, ...) {
  va_list ap;
  va_start(ap, arg);
  std::vector<char*> args = CollectArgs(arg, ap, nullptr);
  va_end(ap);
  return Execute(path, args.data(), environ, false);
}

SHIM_EXPORT int execlp(const char* file, const char* arg, ...) {
  va_list ap;
  va_start(ap, arg);
  std::vector<char*> args = CollectArgs(arg, ap, nullptr);
  va_end(ap);
  return Execute(file, args.data(), environ, true);
}

SHIM_EXPORT int execle(const char* path, const char* arg, ...) {
  va_list ap;
  va_start(ap, arg);
  char* const* envp = nullptr;
  std::vector<char*> args = CollectArgs(arg, ap, &envp);
  va_end(ap);
  return Execute(path, args.data(), envp, false);
}

SHIM_EXPORT int fexecve(int fd, char* const argv[], char* const envp[]) {
  if (!Shimmed()) return Real().fexecve(fd, argv, envp);
  SaveAll();
  TShimEnvironment env(envp);
  return Real().fexecve(fd, argv, env.Get());
}

SHIM_EXPORT int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                            const posix_spawnattr_t* attr, char* const argv[], char* const envp[]) {
  return Spawn(pid, path, actions, attr, argv, envp, false);
}

SHIM_EXPORT int posix_spawnp(pid_t* pid, const char* file,
                             const posix_spawn_file_actions_t* actions,
                             const posix_spawnattr_t* attr, char* const argv[],
                             char* const envp[]) {
  return Spawn(pid, file, actions, attr, argv, envp, true);
}
