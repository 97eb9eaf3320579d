#include "vdrive/sgshim/Nodes.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/Clock.h"
#include "vdrive/Recorder.h"
#include "vdrive/sgshim/Real.h"

namespace sgshim {
namespace {

__attribute__((tls_model("initial-exec"))) thread_local bool tInside = false;

struct TState {
  bool active = false;
  std::vector<TNode> nodes;
  std::string logPath;
  std::vector<std::string> environment;
  std::string library;
  std::mutex m;  // guards recorders
  std::vector<std::shared_ptr<vdrive::TVirtualRecorder>> recorders;
};

TState* gState = nullptr;
std::once_flag gOnce;

[[noreturn]] void Refuse(const std::string& why) {
  const std::string line = "ardovan-sgshim: " + why + "\n";
  [[maybe_unused]] const ssize_t n = Real().write(2, line.data(), line.size());
  _exit(125);
}

bool Exists(const std::string& path) {
  struct stat st;
  return Real().lstat(path.c_str(), &st) == 0;
}

// A SCSI host number that no real adapter of this machine has, above the ones real systems use.
unsigned FreeHost(unsigned from) {
  for (unsigned h = from;; ++h) {
    if (!Exists("/sys/class/scsi_host/host" + std::to_string(h)) &&
        !Exists("/sys/bus/scsi/devices/" + std::to_string(h) + ":0:0:0")) {
      return h;
    }
  }
}

void BeforeFork() {
  gState->m.lock();
  // The child (or the program it becomes) reads the recorder from its files.
  TInside in;
  for (auto& r : gState->recorders) {
    if (r) r->SaveProgress();
  }
}

void AfterForkParent() { gState->m.unlock(); }

void AfterForkChild() {
  // The child's copies belong to the parent: they must never save, lock or write anything. They
  // are kept (not destroyed) and the child opens recorders afresh when it sends commands itself.
  static auto* inherited = new std::vector<std::shared_ptr<vdrive::TVirtualRecorder>>();
  for (auto& r : gState->recorders) {
    if (r) inherited->push_back(std::move(r));
    r.reset();
  }
  gState->m.unlock();
}

void Init() {
  TInside in;
  const char* drives = std::getenv(kDrivesVariable);
  if (drives == nullptr) return;
  auto* s = new TState();  // lives until exit, when the recorders save what they recorded
  std::string error;
  if (!ParseDrives(drives, s->nodes, error)) Refuse(std::string(kDrivesVariable) + ": " + error);
  unsigned host = 100;
  for (TNode& n : s->nodes) {
    // Safety first: a claimed name that exists may be a real device.
    if (Exists(n.name))
      Refuse(n.name + " exists on this system; a recorder cannot be attached under that name");
    const int fd = Real().open(n.backing.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
    struct stat st;
    if (fd < 0 || Real().fstat(fd, &st) != 0) Refuse("cannot open " + n.backing);
    Real().close(fd);
    n.dev = st.st_dev;
    n.ino = st.st_ino;
    n.host = host = FreeHost(host);
    ++host;
  }
  if (const char* log = std::getenv(kLogVariable)) s->logPath = log;
  for (const char* name : {kDrivesVariable, kLogVariable, "ARDOVAN_CLOCK_SCALE"}) {
    if (const char* v = std::getenv(name)) s->environment.push_back(std::string(name) + "=" + v);
  }
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&Init), &self) != 0 && self.dli_fname != nullptr)
    s->library = self.dli_fname;
  if (const char* scale = std::getenv("ARDOVAN_CLOCK_SCALE")) {
    char* end = nullptr;
    const double f = std::strtod(scale, &end);
    if (end != scale && *end == '\0' && f > 0) plat::SetClockScale(f);
  }
  s->recorders.resize(s->nodes.size());
  s->active = true;
  gState = s;
  pthread_atfork(BeforeFork, AfterForkParent, AfterForkChild);
  // Whatever the program recorded is saved when it ends normally.
  static struct TAtExit {
    ~TAtExit() {
      if (gState) SaveAll();
    }
  } atExit;
}

}  // namespace

bool ParseDrives(const std::string& text, std::vector<TNode>& nodes, std::string& error) {
  nodes.clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t end = std::min(text.find(':', pos), text.size());
    const std::string entry = text.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    const size_t eq = entry.find('=');
    TNode n;
    n.name = entry.substr(0, eq);
    n.folder = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
    if (n.name.empty() || n.name[0] != '/' || n.folder.empty()) {
      error = "\"" + entry + "\" is not NODE=FOLDER with an absolute node name";
      return false;
    }
    for (const TNode& other : nodes) {
      if (other.name == n.name) {
        error = n.name + " is claimed twice";
        return false;
      }
    }
    n.backing = n.folder + (n.folder.back() == '/' ? "" : "/") + kBackingFile;
    n.minor = MinorOf(n.name, nodes.size());
    nodes.push_back(std::move(n));
  }
  return true;
}

unsigned MinorOf(const std::string& name, size_t index) {
  size_t i = name.size();
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
  if (i == name.size() || name.size() - i > 3) return static_cast<unsigned>(64 + index);
  return static_cast<unsigned>(std::strtoul(name.c_str() + i, nullptr, 10));
}

bool Active() {
  // The set-up's own file checks must not leave their errno to the program's call.
  const int saved = errno;
  std::call_once(gOnce, Init);
  errno = saved;
  return gState != nullptr && gState->active;
}

const std::vector<TNode>& Nodes() { return gState->nodes; }

int NodeOfPath(const char* path) {
  if (path == nullptr || path[0] != '/' || !Active()) return -1;
  const auto& nodes = gState->nodes;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].name == path) return static_cast<int>(i);
  }
  return -1;
}

int NodeOfFd(int fd) {
  if (fd < 0 || !Active()) return -1;
  struct stat st;
  const int saved = errno;
  const bool regular = Real().fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  errno = saved;
  if (!regular) return -1;
  const auto& nodes = gState->nodes;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].dev == st.st_dev && nodes[i].ino == st.st_ino) return static_cast<int>(i);
  }
  return -1;
}

bool Inside() { return tInside; }
TInside::TInside() : was_(tInside) { tInside = true; }
TInside::~TInside() { tInside = was_; }

TCommandResult RunCommand(int node, const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                          uint8_t* data, uint32_t dataLen) {
  TCommandResult r;
  TInside in;
  std::shared_ptr<vdrive::TVirtualRecorder> rec;
  {
    std::lock_guard<std::mutex> g(gState->m);
    auto& slot = gState->recorders[static_cast<size_t>(node)];
    if (!slot) {
      std::string error;
      slot =
          vdrive::TVirtualRecorder::Open(gState->nodes[static_cast<size_t>(node)].folder, &error);
      if (!slot) Log("cannot open the recorder: %s", error.c_str());
    }
    rec = slot;
  }
  if (!rec) return r;
  r.status = rec->Execute(cdb, cdbLen, direction, data, dataLen, r.sense, sizeof r.sense, r.dataIn);
  return r;
}

void FillStat(int node, struct stat& st) {
  const TNode& n = gState->nodes[static_cast<size_t>(node)];
  std::memset(&st, 0, sizeof st);
  st.st_dev = makedev(0, 5);  // the device file system
  st.st_ino = 0x5200 + n.minor;
  st.st_mode = S_IFBLK | 0660;
  st.st_nlink = 1;
  st.st_uid = getuid();
  st.st_gid = getgid();
  st.st_rdev = makedev(kSrMajor, n.minor);
  st.st_blksize = 4096;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  st.st_atim = st.st_mtim = st.st_ctim = now;
}

void SaveAll() {
  TInside in;
  std::vector<std::shared_ptr<vdrive::TVirtualRecorder>> recs;
  {
    std::lock_guard<std::mutex> g(gState->m);
    recs = gState->recorders;
  }
  for (auto& r : recs) {
    if (r) r->SaveProgress();
  }
}

const std::vector<std::string>& ShimEnvironment() { return gState->environment; }
const std::string& ShimLibrary() { return gState->library; }

void Log(const char* format, ...) {
  if (gState == nullptr || gState->logPath.empty()) return;
  char line[1024];
  int n = std::snprintf(line, sizeof line, "[%d] ", static_cast<int>(getpid()));
  va_list ap;
  va_start(ap, format);
  n += std::vsnprintf(line + n, sizeof line - static_cast<size_t>(n) - 1, format, ap);
  va_end(ap);
  if (n > static_cast<int>(sizeof line) - 2) n = sizeof line - 2;
  line[n++] = '\n';
  TInside in;
  const int fd =
      Real().open(gState->logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t w = Real().write(fd, line, static_cast<size_t>(n));
  Real().close(fd);
}

}  // namespace sgshim
