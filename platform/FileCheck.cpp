#include "platform/FileCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace plat {

TFileKind FileKindOfMode(uint32_t mode) {
  if (S_ISREG(mode)) return TFileKind::Regular;
  if (S_ISDIR(mode)) return TFileKind::Directory;
  if (S_ISFIFO(mode)) return TFileKind::Fifo;
  if (S_ISSOCK(mode)) return TFileKind::Socket;
  if (S_ISCHR(mode)) return TFileKind::CharDevice;
  if (S_ISBLK(mode)) return TFileKind::BlockDevice;
  return TFileKind::Other;
}

namespace {

TFileIdentity FromStat(const struct stat& st) {
  TFileIdentity id;
  id.Kind = FileKindOfMode(st.st_mode);
  id.Volume = static_cast<uint64_t>(st.st_dev);
  id.Id = static_cast<uint64_t>(st.st_ino);
  id.Size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  id.WriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  return id;
}

}  // namespace

const char* FileKindName(TFileKind kind) {
  switch (kind) {
    case TFileKind::Missing:
      return "missing";
    case TFileKind::Regular:
      return "file";
    case TFileKind::Directory:
      return "folder";
    case TFileKind::Fifo:
      return "FIFO";
    case TFileKind::Socket:
      return "socket";
    case TFileKind::CharDevice:
      return "character device";
    case TFileKind::BlockDevice:
      return "block device";
    case TFileKind::Other:
      return "special file";
  }
  return "special file";
}

TFileIdentity IdentityOf(std::string_view path) {
  struct stat st;
  if (stat(std::string(path).c_str(), &st) != 0) {
    TFileIdentity id;
    id.Error = static_cast<uint32_t>(errno);
    return id;
  }
  return FromStat(st);
}

TFileIdentity IdentityOfOpen(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) {
    TFileIdentity id;
    id.Error = static_cast<uint32_t>(errno);
    return id;
  }
  return FromStat(st);
}

bool CanReadFile(std::string_view path, uint32_t& lastError) {
  const int fd = open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lastError = static_cast<uint32_t>(errno);
    return false;
  }
  const TFileIdentity id = IdentityOfOpen(fd);
  close(fd);
  lastError = id.Kind == TFileKind::Regular ? 0 : EINVAL;
  return lastError == 0;
}

bool CanAccessForReading(std::string_view path, uint32_t& lastError) {
  if (access(std::string(path).c_str(), R_OK) != 0) {
    lastError = static_cast<uint32_t>(errno);
    return false;
  }
  lastError = 0;
  return true;
}

std::string SystemErrorText(uint32_t error) {
  char buf[256];
  // The GNU variant returns the text (which may live elsewhere than buf).
  return strerror_r(static_cast<int>(error), buf, sizeof buf);
}

}  // namespace plat
