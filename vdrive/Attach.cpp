#include "vdrive/Attach.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "vdrive/Store.h"

namespace vdrive {
namespace {

constexpr const char* kShimName = "libardovan-sgshim.so";
constexpr const char* kDrivesVariable = "ARDOVAN_SGSHIM_DRIVES";
constexpr const char* kBackingFile = "sgnode";

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Folder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

bool ParseAttach(const std::vector<std::string>& args, std::vector<TAttachment>& drives,
                 std::vector<std::string>& command, std::string& error) {
  drives.clear();
  command.clear();
  size_t i = 0;
  while (i < args.size() && args[i] != "--") {
    if (i + 2 >= args.size() || args[i + 1] != "--as") {
      error = "expected DIR --as NODE, got \"" + args[i] + "\"";
      return false;
    }
    TAttachment a;
    char resolved[PATH_MAX];
    if (realpath(args[i].c_str(), resolved) == nullptr || !IsFile(JoinPath(resolved, kDriveFile))) {
      error = args[i] + " is not a recorder (create it first)";
      return false;
    }
    a.folder = resolved;
    a.node = args[i + 2];
    // The shim's variable separates entries with ':' and splits them at '='.
    if (a.folder.find_first_of(":=") != std::string::npos) {
      error = "a recorder folder attached as a node must not contain ':' or '=': " + a.folder;
      return false;
    }
    if (a.node.empty() || a.node[0] != '/' || a.node.find_first_of(":=") != std::string::npos ||
        a.node.back() == '/') {
      error = "the node name must be an absolute path such as /dev/sr7, not \"" + a.node + "\"";
      return false;
    }
    struct stat st;
    if (lstat(a.node.c_str(), &st) == 0) {
      error = a.node + " exists on this system; choose a name no real device has";
      return false;
    }
    for (const TAttachment& other : drives) {
      if (other.node == a.node) {
        error = a.node + " is given twice";
        return false;
      }
    }
    drives.push_back(std::move(a));
    i += 3;
  }
  if (drives.empty()) {
    error = "no recorder to attach (DIR --as NODE)";
    return false;
  }
  if (i >= args.size() || i + 1 >= args.size()) {
    error = "no command to run after --";
    return false;
  }
  command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
  return true;
}

std::string ShimDrivesValue(const std::vector<TAttachment>& drives) {
  std::string v;
  for (const TAttachment& a : drives) v += (v.empty() ? "" : ":") + a.node + "=" + a.folder;
  return v;
}

std::string FindShimLibrary() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  const std::string dir = Folder(self);
  for (const std::string& candidate :
       {dir + "/" + kShimName, dir + "/../" + ARDOVAN_LIBDIR + "/" + kShimName,
        dir + "/../lib/" + kShimName}) {
    char resolved[PATH_MAX];
    if (realpath(candidate.c_str(), resolved) != nullptr && IsFile(resolved)) return resolved;
  }
  return {};
}

int AttachMain(const std::vector<std::string>& args) {
  std::vector<TAttachment> drives;
  std::vector<std::string> command;
  std::string error;
  if (!ParseAttach(args, drives, command, error)) {
    std::cerr << "ardovan-vdrive: attach: " << error << "\n"
              << "usage: ardovan-vdrive attach DIR --as NODE [DIR2 --as NODE2 ...] -- COMMAND "
                 "[ARGS...]\n";
    return 2;
  }
  const std::string shim = FindShimLibrary();
  if (shim.empty()) {
    std::cerr << "ardovan-vdrive: attach: " << kShimName
              << " is not installed beside this program\n";
    return 1;
  }
  for (const TAttachment& a : drives) {
    const int fd =
        open(JoinPath(a.folder, kBackingFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
    if (fd < 0) {
      std::cerr << "ardovan-vdrive: attach: cannot create " << JoinPath(a.folder, kBackingFile)
                << "\n";
      return 1;
    }
    close(fd);
  }
  std::string preload = shim;
#ifdef ARDOVAN_ASAN_RUNTIME
  // A shim built with AddressSanitizer needs its runtime loaded before anything else.
  preload = std::string(ARDOVAN_ASAN_RUNTIME) + ":" + preload;
#endif
  if (const char* old = getenv("LD_PRELOAD"); old != nullptr && *old != '\0')
    preload += std::string(":") + old;
  setenv("LD_PRELOAD", preload.c_str(), 1);
  setenv(kDrivesVariable, ShimDrivesValue(drives).c_str(), 1);
  std::vector<char*> argv;
  for (std::string& s : command) argv.push_back(s.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  std::cerr << "ardovan-vdrive: attach: cannot run " << command[0] << ": " << std::strerror(errno)
            << "\n";
  return errno == ENOENT ? 127 : 126;
}

}  // namespace vdrive
