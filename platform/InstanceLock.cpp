#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

namespace plat {

TInstanceLock::~TInstanceLock() { Release(); }

bool TInstanceLock::Acquire(std::string_view name) {
  Release();
  alreadyExists_ = false;
  std::string file;
  for (char c : name) file.push_back(c == '/' ? '_' : c);
  if (file.empty()) file.push_back('_');
  path_ = RuntimeFolder() + "/" + file + ".lock";
  // A file description of our own: a second lock in this process conflicts like another process.
  fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return false;
  int r;
  do {
    r = flock(fd_, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    alreadyExists_ = errno == EWOULDBLOCK;
    close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void TInstanceLock::Release() {
  // The file stays: removing it would let a newcomer lock a fresh file while an older holder
  // still holds the removed one.
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace plat
