#pragma once
// Single-instance guard: a named lock held for the life of the process.
#include <string>
#include <string_view>

namespace plat {

class TInstanceLock {
 public:
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // True when this process now holds the lock; false when another holder exists
  // (AlreadyExists() then tells so) or the lock file cannot be made.
  bool Acquire(std::string_view name);
  bool AlreadyExists() const { return alreadyExists_; }
  void Release();

 private:
  int fd_ = -1;
  bool alreadyExists_ = false;
  std::string path_;
};

}  // namespace plat
