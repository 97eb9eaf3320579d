#include "vdrive/Store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vdrive {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string p(folder);
  if (!p.empty() && p.back() != '/') p += '/';
  p += name;
  return p;
}

bool ReadTextFile(const std::string& path, std::string& out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out.clear();
  char buf[16384];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view text) {
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

TFileStamp StampOf(const std::string& path) {
  struct stat st;
  TFileStamp s;
  if (stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.size = st.st_size;
  return s;
}

TFolderLock::TFolderLock(int fd) : fd_(fd) {
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) flock(fd_, LOCK_UN);
}

int OpenLockFile(std::string_view folder) {
  return open(JoinPath(folder, kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

bool CheckImageFile(const std::string& path, uint64_t limitBytes, std::string& error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = errno == ENOENT ? path + " is missing: the recorded data is gone"
                            : path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) > limitBytes) {
    error = path + ": " + std::to_string(st.st_size) + " bytes, more than the medium holds (" +
            std::to_string(limitBytes) + ")";
    return false;
  }
  return true;
}

TImageFile::~TImageFile() { Close(); }

bool TImageFile::Open(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd_ >= 0;
}

void TImageFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool TImageFile::Read(uint64_t lba, uint32_t blocks, uint8_t* out) const {
  if (fd_ < 0) return false;
  size_t want = size_t(blocks) * kSectorBytes;
  off_t off = static_cast<off_t>(lba * kSectorBytes);
  while (want > 0) {
    const ssize_t n = pread(fd_, out, want, off);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      std::memset(out, 0, want);  // past the end of the sparse file: never written
      return true;
    }
    out += n;
    off += n;
    want -= static_cast<size_t>(n);
  }
  return true;
}

bool TImageFile::Write(uint64_t lba, uint32_t blocks, const uint8_t* in) {
  if (fd_ < 0) return false;
  size_t want = size_t(blocks) * kSectorBytes;
  off_t off = static_cast<off_t>(lba * kSectorBytes);
  while (want > 0) {
    const ssize_t n = pwrite(fd_, in, want, off);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    in += n;
    off += n;
    want -= static_cast<size_t>(n);
  }
  return true;
}

bool TImageFile::Clear() { return fd_ >= 0 && ftruncate(fd_, 0) == 0; }

bool TImageFile::ExportTo(
    const std::string& path, uint64_t first, uint64_t end, std::string& why,
    const std::function<bool(uint64_t done, uint64_t total)>& progress) const {
  if (fd_ < 0) {
    why = "the medium's image is not open";
    return false;
  }
  const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    why = std::strerror(errno);
    return false;
  }
  const off_t from = static_cast<off_t>(first * kSectorBytes),
              to = static_cast<off_t>(end * kSectorBytes);
  int error = 0;
  auto failed = [&](int e) {
    error = e != 0 ? e : EIO;
    return true;
  };
  auto goOn = [&](off_t at) {
    if (progress && !progress(static_cast<uint64_t>(at - from), static_cast<uint64_t>(to - from)))
      failed(ECANCELED);
  };
  struct stat st;
  const bool regular = fstat(out, &st) == 0 && S_ISREG(st.st_mode);
  // Only a regular file is sized first (and removed again on failure); a device takes the data
  // at its offsets.
  if (regular && ftruncate(out, to - from) != 0) failed(errno);
  std::vector<char> buf(1 << 20);
  off_t pos = from;
  while (error == 0 && pos < to) {
    goOn(pos);
    if (error != 0) break;
    // Only the data extents need copying; holes stay holes in the output.
    const off_t data = lseek(fd_, pos, SEEK_DATA);
    if (data < 0 || data >= to) break;
    off_t hole = lseek(fd_, data, SEEK_HOLE);
    if (hole < 0 || hole > to) hole = to;
    for (off_t at = data; error == 0 && at < hole;) {
      const size_t want =
          static_cast<size_t>(std::min<off_t>(hole - at, static_cast<off_t>(buf.size())));
      const ssize_t n = pread(fd_, buf.data(), want, at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed(errno);
      if (n <= 0) break;  // past the end of the file: the rest reads as zeros
      for (ssize_t done = 0; error == 0 && done < n;) {
        const ssize_t w =
            pwrite(out, buf.data() + done, static_cast<size_t>(n - done), at - from + done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
          failed(errno);
        else
          done += w;
      }
      at += n;
      if (error == 0) goOn(at);
    }
    pos = hole;
  }
  if (error == 0 && regular && fsync(out) != 0) failed(errno);
  if (close(out) != 0 && error == 0) failed(errno);
  if (error == 0) return true;
  why = std::strerror(error);
  if (regular) unlink(path.c_str());
  return false;
}

}  // namespace vdrive
