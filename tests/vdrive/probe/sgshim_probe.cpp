// Runs under the preload shim and does to a recorder node what clients do, printing what it
// saw as key=value lines for the shim tests to check.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/scsi.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// Programs built before glibc 2.33 import the stat family as __xstat and friends; the probe
// imports it the same way (not under AddressSanitizer, whose runtime defines the name itself).
#ifndef __SANITIZE_ADDRESS__
extern "C" int OldXstat(int, const char*, struct stat*);
__asm__(".symver OldXstat, __xstat@GLIBC_2.2.5");
#define ARDOVAN_OLD_STAT_ABI 1
#endif

namespace {

void Put(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
void Put(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

uint32_t Sum(const uint8_t* p, size_t n) {
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s = s * 31 + p[i];
  return s;
}

// One SG_IO; the header is returned for its fields, -errno when the ioctl failed.
int SgIo(int fd, std::vector<uint8_t> cdb, int direction, uint8_t* data, unsigned len,
         sg_io_hdr_t& h, uint8_t* sense = nullptr) {
  std::memset(&h, 0, sizeof h);
  h.interface_id = 'S';
  h.dxfer_direction = direction;
  h.cmd_len = static_cast<unsigned char>(cdb.size());
  h.cmdp = cdb.data();
  h.dxferp = data;
  h.dxfer_len = len;
  h.sbp = sense;
  h.mx_sb_len = sense ? 32 : 0;
  return ioctl(fd, SG_IO, &h) == 0 ? 0 : -errno;
}

void PutHeader(const char* prefix, const sg_io_hdr_t& h) {
  const std::string p = prefix;
  Put((p + ".status").c_str(), h.status);
  Put((p + ".masked").c_str(), h.masked_status);
  Put((p + ".host").c_str(), h.host_status);
  Put((p + ".driver").c_str(), h.driver_status);
  Put((p + ".sense_len").c_str(), h.sb_len_wr);
  Put((p + ".resid").c_str(), h.resid);
  Put((p + ".info").c_str(), h.info);
}

std::string Vendor(int fd) {
  uint8_t d[96] = {};
  sg_io_hdr_t h;
  if (SgIo(fd, {0x12, 0, 0, 0, 96, 0}, SG_DXFER_FROM_DEV, d, sizeof d, h) != 0 || h.status != 0)
    return "?";
  return std::string(reinterpret_cast<char*>(d + 8), 7);
}

int OpenNode(const char* node, int extra = 0) { return open(node, O_RDWR | O_NONBLOCK | extra); }

// stat through every ABI a client may use, the links calls and the /dev listing.
int Facts(const char* node) {
  auto show = [](const char* abi, int rc, const struct stat& st) {
    char v[64];
    std::snprintf(v, sizeof v, "%s %u:%u",
                  rc != 0               ? "fail"
                  : S_ISBLK(st.st_mode) ? "blk"
                                        : "other",
                  major(st.st_rdev), minor(st.st_rdev));
    Put(abi, v);
  };
  struct stat st {};
  show("stat", stat(node, &st), st);
  show("lstat", lstat(node, &st), st);
  show("fstatat", fstatat(AT_FDCWD, node, &st, 0), st);
#ifdef ARDOVAN_OLD_STAT_ABI
  show("xstat", OldXstat(1, node, &st), st);
#else
  show("xstat", stat(node, &st), st);
#endif
  struct statx sx {};
  const int xr = statx(AT_FDCWD, node, 0, STATX_BASIC_STATS, &sx);
  Put("statx", xr == 0 && S_ISBLK(sx.stx_mode)
                   ? std::to_string(sx.stx_rdev_major) + ":" + std::to_string(sx.stx_rdev_minor)
                   : "fail");
  const int fd = OpenNode(node);
  show("fstat", fstat(fd, &st), st);
  Put("access", access(node, R_OK | W_OK));
  char buf[64];
  Put("readlink_errno", readlink(node, buf, sizeof buf) < 0 ? errno : 0);
  std::string listed;
  if (DIR* d = opendir("/dev")) {
    while (dirent* e = readdir(d)) {
      if (std::string("/dev/") + e->d_name == node) listed = e->d_type == DT_BLK ? "blk" : "other";
    }
    closedir(d);
  }
  Put("listed", listed);
  return 0;
}

int Commands(const char* node) {
  const int fd = OpenNode(node);
  sg_io_hdr_t h;
  uint8_t d[96] = {}, sense[32] = {};
  // An answer shorter than the buffer leaves a residue.
  Put("inquiry.rc", SgIo(fd, {0x12, 0, 0, 0, 36, 0}, SG_DXFER_FROM_DEV, d, sizeof d, h, sense));
  PutHeader("inquiry", h);
  // No data, with a direction of 0 as some programs leave it, and the default timeout.
  Put("tur.rc", SgIo(fd, {0, 0, 0, 0, 0, 0}, 0, nullptr, 0, h, sense));
  PutHeader("tur", h);
  // A read of a blank medium fails with sense data.
  uint8_t block[2048];
  Put("read.rc", SgIo(fd, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, SG_DXFER_FROM_DEV, block, sizeof block,
                      h, sense));
  PutHeader("read", h);
  Put("read.key", sense[2] & 0x0F);
  Put("read.asc", sense[12]);
  // Malformed requests never reach the drive.
  std::memset(&h, 0, sizeof h);
  h.interface_id = 'Q';
  Put("bad_interface", ioctl(fd, SG_IO, &h) == 0 ? 0 : errno);
  Put("data_without_direction", SgIo(fd, {0x12, 0, 0, 0, 36, 0}, SG_DXFER_NONE, d, 36, h));
  int version = 0;
  ioctl(fd, SG_GET_VERSION_NUM, &version);
  Put("sg_version", version);
  struct {
    int dev_id, unique;
  } idlun{};
  Put("idlun.rc", ioctl(fd, SCSI_IOCTL_GET_IDLUN, &idlun));
  Put("idlun.host", (idlun.dev_id >> 24) & 0xFF);
  sg_scsi_id id{};
  Put("scsi_id_errno", ioctl(fd, SG_GET_SCSI_ID, &id) == 0 ? 0 : errno);
  Put("unknown_errno", ioctl(fd, 0x5301FF, nullptr) == 0 ? 0 : errno);
  return 0;
}

// Exclusive opens, BSD and record locks, across processes and a dup.
int Exclusive(const char* node) {
  const int fd = OpenNode(node, O_EXCL);
  Put("first", fd >= 0 ? 0 : errno);
  Put("again_same_process", OpenNode(node, O_EXCL) >= 0 ? 0 : errno);
  Put("flock", flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno);
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  Put("setlk", fcntl(fd, F_SETLK, &whole) == 0 ? 0 : errno);
  const int copy = dup(fd);
  Put("dup_vendor", Vendor(copy));
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    Put("child_excl", OpenNode(node, O_EXCL) >= 0 ? 0 : errno);
    const int shared = OpenNode(node);
    Put("child_plain", shared >= 0 ? 0 : errno);
    Put("child_flock", flock(shared, LOCK_EX | LOCK_NB) == 0 ? 0 : errno);
    Put("child_setlk", fcntl(shared, F_SETLK, &whole) == 0 ? 0 : errno);
    struct flock probe = whole;
    fcntl(shared, F_GETLK, &probe);
    Put("child_getlk_len", probe.l_len);
    Put("child_getlk_parent", probe.l_pid == getppid());
    std::fflush(stdout);
    _exit(0);
  }
  waitpid(child, nullptr, 0);
  // The claim ends with the last descriptor of the open file.
  close(fd);
  Put("after_first_close", OpenNode(node, O_EXCL) >= 0 ? 0 : errno);
  close(copy);
  Put("after_last_close", OpenNode(node, O_EXCL) >= 0 ? 0 : errno);
  return 0;
}

// Block reads of the node, by offset and through the descriptor's own position.
int Reads(const char* node) {
  const int fd = OpenNode(node);
  Put("size", lseek(fd, 0, SEEK_END));
  uint64_t size64 = 0;
  ioctl(fd, BLKGETSIZE64, &size64);
  Put("blkgetsize64", static_cast<long long>(size64));
  std::vector<uint8_t> buf(5000);
  Put("pread", pread(fd, buf.data(), 100, 16 * 2048 + 1));
  Put("pread_sum", Sum(buf.data(), 100));
  lseek(fd, 2047, SEEK_SET);
  Put("read", read(fd, buf.data(), 3000));
  Put("read_sum", Sum(buf.data(), 3000));
  Put("position", lseek(fd, 0, SEEK_CUR));
  Put("past_end", pread(fd, buf.data(), 10, static_cast<off_t>(size64)));
  return 0;
}

// The descriptor stays a recorder across exec: the new program uses it by number.
int Inherit(const char* node, const char* self) {
  const int fd = open(node, O_RDONLY | O_NONBLOCK);
  std::fflush(stdout);
  execl(self, self, "inherited", std::to_string(fd).c_str(), static_cast<char*>(nullptr));
  return 1;
}

int Inherited(int fd) {
  Put("vendor", Vendor(fd));
  uint8_t block[2048];
  const std::string path = "/dev/fd/" + std::to_string(fd);
  const int again = open(path.c_str(), O_RDONLY);
  Put("reopened_read", pread(again, block, sizeof block, 16 * 2048));
  Put("reopened_sum", Sum(block, sizeof block));
  return 0;
}

int Write(int fd, uint32_t lba, uint8_t fill) {
  std::vector<uint8_t> data(32 * 2048, fill);
  sg_io_hdr_t h;
  const uint8_t b[4] = {uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba)};
  return SgIo(fd, {0x2A, 0, b[0], b[1], b[2], b[3], 0, 0, 32, 0}, SG_DXFER_TO_DEV, data.data(),
              static_cast<unsigned>(data.size()), h) == 0 &&
                 h.status == 0
             ? 0
             : 1;
}

// A forked child that ends with exit() while the parent records on must not save its stale
// copy of the medium over the parent's progress.
int ForkExit(const char* node) {
  const int fd = OpenNode(node);
  Put("first_write", Write(fd, 0, 0xA1));
  int go[2];
  if (pipe(go) != 0) return 1;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    char c;
    [[maybe_unused]] const ssize_t n = read(go[0], &c, 1);
    exit(0);  // atexit handlers and destructors run
  }
  Put("second_write", Write(fd, 32, 0xB2));
  [[maybe_unused]] const ssize_t n = write(go[1], "x", 1);
  waitpid(child, nullptr, 0);
  return 0;
}

// Several threads on one descriptor.
int Threads(const char* node) {
  const int fd = OpenNode(node);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        if (Vendor(fd) != "ARDOVAN") ++failures;
        uint8_t block[2048];
        if (pread(fd, block, sizeof block, 2048 * (i % 20)) != sizeof block) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  Put("failures", failures.load());
  return 0;
}

// Real device nodes stay out of reach; the kernel's SCSI lists show no device.
int Guard(const char* device) {
  Put("device_errno", open(device, O_RDONLY | O_NONBLOCK) >= 0 ? 0 : errno);
  Put("null", open("/dev/null", O_RDONLY) >= 0 ? 0 : errno);
  char text[256] = {};
  if (FILE* f = fopen("/proc/scsi/sg/devices", "r")) {
    Put("sg_devices", static_cast<long long>(fread(text, 1, sizeof text, f)));
    fclose(f);
  } else {
    Put("sg_devices", -1);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  const char* arg = argc > 2 ? argv[2] : "/dev/sr7";
  if (what == "facts") return Facts(arg);
  if (what == "commands") return Commands(arg);
  if (what == "exclusive") return Exclusive(arg);
  if (what == "reads") return Reads(arg);
  if (what == "inherit") return Inherit(arg, argv[0]);
  if (what == "inherited") return Inherited(std::atoi(arg));
  if (what == "fork-exit") return ForkExit(arg);
  if (what == "threads") return Threads(arg);
  if (what == "guard") return Guard(arg);
  std::fprintf(stderr, "sgshim_probe: unknown check %s\n", what.c_str());
  return 2;
}
