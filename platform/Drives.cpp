#include "platform/Drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform/SgIo.h"

namespace plat {
namespace {

constexpr char kFirstLetter = 'D';
constexpr char kLastLetter = 'Z';

struct TDriveEntry {
  char letter = 0;
  std::string path;
  std::shared_ptr<TVirtualDrive> vd;  // null for a real drive
};

// An open device node, shared by the handle table and any command running on it, so closing a
// handle while a command is under way cannot hand its descriptor number to someone else.
struct TOpenFd {
  int fd;
  explicit TOpenFd(int f) : fd(f) {}
  ~TOpenFd() {
    if (fd >= 0) close(fd);
  }
  TOpenFd(const TOpenFd&) = delete;
  TOpenFd& operator=(const TOpenFd&) = delete;
};

struct THandleEntry {
  std::shared_ptr<TOpenFd> fd;
  std::shared_ptr<TVirtualDrive> vd;
  // A claim of a virtual recorder: the locked file, or the key of a claim kept in this process.
  std::shared_ptr<TOpenFd> lockFd;
  std::string localClaim;
};

struct TRegistry {
  std::mutex m;
  bool built = false;
  uint64_t generation = 0;  // bumped by every request for a rebuild
  std::vector<TDriveEntry> drives;
  TVirtualDriveProvider provider;
  std::string deviceFolder = "/dev";
  std::map<TDriveHandle, THandleEntry> handles;
  TDriveHandle nextHandle = 1;
  std::set<std::string> localClaims;                // virtual recorders claimed without a lock file
  std::vector<TUnusableDrive> unusable, reporting;  // of the last build, and of the one running
};

TRegistry& Registry() {
  static TRegistry r;
  return r;
}

// Device nodes srN of the folder, in the order of N.
std::vector<std::string> RealDrivePaths(const std::string& folder) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string_view n = e->d_name;
      if (n.size() < 3 || n.substr(0, 2) != "sr" || n.size() > 8) continue;
      if (!std::all_of(n.begin() + 2, n.end(), [](char c) { return c >= '0' && c <= '9'; }))
        continue;
      found.emplace_back(std::strtol(e->d_name + 2, nullptr, 10), folder + "/" + std::string(n));
    }
    closedir(d);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

// Builds the namespace when it is missing or stale. The provider and the folder scan run without
// the lock, so a provider may itself use this layer.
void EnsureBuilt() {
  TRegistry& r = Registry();
  for (;;) {
    TVirtualDriveProvider provider;
    std::string folder;
    uint64_t generation;
    {
      std::lock_guard<std::mutex> g(r.m);
      if (r.built) return;
      provider = r.provider;
      folder = r.deviceFolder;
      generation = r.generation;
      r.reporting.clear();
    }
    std::vector<TDriveEntry> drives;
    char letter = kFirstLetter;
    for (std::string& p : RealDrivePaths(folder)) {
      if (letter > kLastLetter) break;
      drives.push_back(TDriveEntry{letter++, std::move(p), nullptr});
    }
    if (provider) {
      for (auto& vd : provider()) {
        if (!vd) continue;
        if (letter > kLastLetter) break;
        drives.push_back(TDriveEntry{letter++, vd->Path(), vd});
      }
    }
    std::lock_guard<std::mutex> g(r.m);
    // A rescan asked for meanwhile wins: build again with what it set.
    if (generation != r.generation) continue;
    r.drives = std::move(drives);
    r.unusable = std::move(r.reporting);
    r.reporting.clear();
    r.built = true;
    return;
  }
}

void Invalidate() {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  r.built = false;
  ++r.generation;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool FindEntry(char letter, TDriveEntry& out) {
  EnsureBuilt();
  letter = Upper(letter);
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  for (const auto& d : r.drives) {
    if (d.letter == letter) {
      out = d;
      return true;
    }
  }
  return false;
}

bool FindHandle(TDriveHandle h, THandleEntry& out) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  auto it = r.handles.find(h);
  if (it == r.handles.end()) return false;
  out = it->second;
  return true;
}

}  // namespace

void SetVirtualDriveProvider(TVirtualDriveProvider provider) {
  {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.m);
    r.provider = std::move(provider);
  }
  Invalidate();
}

void ReportUnusableDrive(const std::string& path, const std::string& reason) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  r.reporting.push_back(TUnusableDrive{path, reason});
}

std::vector<TUnusableDrive> UnusableDrives() {
  EnsureBuilt();
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  return r.unusable;
}

void SetRealDriveFolder(std::string folder) {
  {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.m);
    r.deviceFolder = folder.empty() ? std::string("/dev") : std::move(folder);
  }
  Invalidate();
}

void RescanDrives() {
  Invalidate();
  EnsureBuilt();
}

std::string OpticalDriveLetters() {
  EnsureBuilt();
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  std::string letters;
  for (const auto& d : r.drives) letters.push_back(d.letter);
  return letters;
}

uint32_t GetDriveType(char letter) {
  TDriveEntry e;
  if (FindEntry(letter, e)) return kDriveCdrom;
  // C: stands for the root file system, as the system drive did.
  return Upper(letter) == 'C' ? kDriveFixed : kDriveNoRootDir;
}

std::string DrivePath(char letter) {
  TDriveEntry e;
  return FindEntry(letter, e) ? e.path : std::string();
}

std::shared_ptr<TVirtualDrive> VirtualDriveAt(char letter) {
  TDriveEntry e;
  return FindEntry(letter, e) ? e.vd : nullptr;
}

TDriveHandle OpenDrive(char letter, bool readWrite, uint32_t& lastError) {
  TDriveEntry e;
  if (!FindEntry(letter, e)) {
    lastError = ENOENT;
    return kInvalidDriveHandle;
  }
  THandleEntry h;
  if (e.vd) {
    h.vd = e.vd;
  } else {
    // Without O_NONBLOCK a drive with no medium (or an open tray) refuses to open at all.
    const int fd = open(e.path.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      lastError = static_cast<uint32_t>(errno);
      return kInvalidDriveHandle;
    }
    h.fd = std::make_shared<TOpenFd>(fd);
  }
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  const TDriveHandle id = r.nextHandle++;
  r.handles.emplace(id, std::move(h));
  lastError = 0;
  return id;
}

void CloseDrive(TDriveHandle h) {
  THandleEntry doomed;  // released outside the lock
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  auto it = r.handles.find(h);
  if (it == r.handles.end()) return;
  doomed = std::move(it->second);
  r.handles.erase(it);
  if (!doomed.localClaim.empty()) r.localClaims.erase(doomed.localClaim);
}

namespace {

TDriveHandle AddHandle(THandleEntry h) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.m);
  const TDriveHandle id = r.nextHandle++;
  r.handles.emplace(id, std::move(h));
  return id;
}

// flock without waiting; errno EWOULDBLOCK when someone else holds the file.
bool TryLock(int fd) {
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace

int32_t FlockHolder(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  std::FILE* f = std::fopen("/proc/locks", "re");
  if (f == nullptr) return 0;
  int32_t holder = 0;
  char line[512];
  // "1: FLOCK  ADVISORY  WRITE 4711 00:05:1234 0 EOF"; waiting requests carry "->".
  while (holder == 0 && std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strstr(line, "->") != nullptr) continue;
    int id = 0;
    char kind[16], mode[16], access[16];
    long pid = 0;
    unsigned maj = 0, min = 0;
    unsigned long long ino = 0;
    if (std::sscanf(line, "%d: %15s %15s %15s %ld %x:%x:%llu", &id, kind, mode, access, &pid, &maj,
                    &min, &ino) != 8)
      continue;
    if (std::strcmp(kind, "FLOCK") == 0 && maj == major(st.st_dev) && min == minor(st.st_dev) &&
        ino == static_cast<unsigned long long>(st.st_ino))
      holder = static_cast<int32_t>(pid);
  }
  std::fclose(f);
  return holder;
}

TDriveHandle ClaimDrive(char letter, TClaimResult& result, int32_t& holderPid,
                        uint32_t& lastError) {
  result = TClaimResult::Failed;
  holderPid = 0;
  lastError = 0;
  TDriveEntry e;
  if (!FindEntry(letter, e)) {
    lastError = ENOENT;
    return kInvalidDriveHandle;
  }
  THandleEntry h;
  std::string lockPath;
  if (e.vd) {
    h.vd = e.vd;
    lockPath = e.path + "/" + kJobLockFile;
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      h.lockFd = std::make_shared<TOpenFd>(fd);
      if (!TryLock(fd)) {
        lastError = static_cast<uint32_t>(errno);
        if (errno == EWOULDBLOCK) {
          result = TClaimResult::InUse;
          holderPid = FlockHolder(lockPath);
        }
        return kInvalidDriveHandle;
      }
    } else {
      // A folder that cannot hold the lock file still keeps this program's jobs apart.
      TRegistry& r = Registry();
      std::lock_guard<std::mutex> g(r.m);
      if (!r.localClaims.insert(e.path).second) {
        result = TClaimResult::InUse;
        holderPid = static_cast<int32_t>(getpid());
        lastError = EBUSY;
        return kInvalidDriveHandle;
      }
      h.localClaim = e.path;
    }
  } else {
    // O_EXCL keeps out every other exclusive opener (and a mount); the flock keeps out the
    // programs that lock instead. A drive that is not ours to write is refused here, before the
    // job has sent anything.
    const int fd = open(e.path.c_str(), O_RDWR | O_NONBLOCK | O_EXCL | O_CLOEXEC);
    if (fd < 0) {
      lastError = static_cast<uint32_t>(errno);
      if (errno == EBUSY) {
        result = TClaimResult::InUse;
        holderPid = FlockHolder(e.path);
      }
      return kInvalidDriveHandle;
    }
    h.fd = std::make_shared<TOpenFd>(fd);
    if (!TryLock(fd)) {
      lastError = static_cast<uint32_t>(errno);
      if (errno == EWOULDBLOCK) {
        result = TClaimResult::InUse;
        holderPid = FlockHolder(e.path);
      }
      return kInvalidDriveHandle;
    }
  }
  result = TClaimResult::Claimed;
  return AddHandle(std::move(h));
}

bool DrivePassThrough(TDriveHandle h, TScsiPassThroughBuffer& request, uint32_t& lastError) {
  THandleEntry e;
  if (!FindHandle(h, e)) {
    lastError = EBADF;
    return false;
  }
  TScsiPassThroughDirect& spt = request.Spt;
  if (e.vd) {
    if (spt.CdbLength == 0 || spt.CdbLength > sizeof spt.Cdb || spt.DataIn > kScsiDataUnspecified ||
        (spt.DataIn != kScsiDataUnspecified && spt.DataTransferLength != 0 &&
         spt.DataBuffer == nullptr)) {
      lastError = EINVAL;
      return false;
    }
    const bool noData = spt.DataIn == kScsiDataUnspecified;
    const uint8_t senseLen =
        static_cast<uint8_t>(std::min<size_t>(spt.SenseInfoLength, sizeof request.SenseBuffer));
    spt.ScsiStatus =
        e.vd->Execute(spt.Cdb, spt.CdbLength, spt.DataIn,
                      noData ? nullptr : static_cast<uint8_t*>(spt.DataBuffer),
                      noData ? 0 : spt.DataTransferLength, request.SenseBuffer, senseLen);
    lastError = 0;
    return true;
  }
  sg_io_hdr hdr;
  if (!BuildSgIoHeader(request, hdr)) {
    lastError = EINVAL;
    return false;
  }
  int rc;
  do {
    rc = ioctl(e.fd->fd, SG_IO, &hdr);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    lastError = static_cast<uint32_t>(errno);
    return false;
  }
  return ApplySgIoOutcome(hdr, request, lastError);
}

bool DriveScsiAddress(TDriveHandle h, TScsiAddress& address, uint32_t& lastError) {
  THandleEntry e;
  if (!FindHandle(h, e)) {
    lastError = EBADF;
    return false;
  }
  if (e.vd) {
    TScsiAddress a;
    if (!e.vd->Address(a)) {
      lastError = ENOTTY;
      return false;
    }
    address = a;
    address.Length = 8;
    lastError = 0;
    return true;
  }
  sg_scsi_id id{};
  if (ioctl(e.fd->fd, SG_GET_SCSI_ID, &id) == 0) {
    address.Length = 8;
    address.PortNumber = static_cast<uint8_t>(id.host_no);
    address.PathId = static_cast<uint8_t>(id.channel);
    address.TargetId = static_cast<uint8_t>(id.scsi_id);
    address.Lun = static_cast<uint8_t>(id.lun);
    lastError = 0;
    return true;
  }
  // The sr block driver answers the older pair of queries instead.
  struct {
    int dev_id;
    int host_unique_id;
  } idlun{};
  if (ioctl(e.fd->fd, SCSI_IOCTL_GET_IDLUN, &idlun) != 0) {
    lastError = static_cast<uint32_t>(errno);
    return false;
  }
  int bus = (idlun.dev_id >> 24) & 0xFF;
  int busNumber = 0;
  if (ioctl(e.fd->fd, SCSI_IOCTL_GET_BUS_NUMBER, &busNumber) == 0) bus = busNumber;
  address.Length = 8;
  address.PortNumber = static_cast<uint8_t>(bus);
  address.PathId = static_cast<uint8_t>((idlun.dev_id >> 16) & 0xFF);
  address.TargetId = static_cast<uint8_t>(idlun.dev_id & 0xFF);
  address.Lun = static_cast<uint8_t>((idlun.dev_id >> 8) & 0xFF);
  lastError = 0;
  return true;
}

}  // namespace plat
