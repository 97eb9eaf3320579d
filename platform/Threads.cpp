#include "platform/Threads.h"

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/Clock.h"

namespace plat {
namespace {

// Nice steps of the bands relative to the thread's start.
int NiceStep(TThreadPriority p) {
  switch (p) {
    case TThreadPriority::Idle:
      return 19;
    case TThreadPriority::Lowest:
      return 10;
    case TThreadPriority::Lower:
      return 5;
    case TThreadPriority::Normal:
      return 0;
    case TThreadPriority::Highest:
      return -5;
  }
  return 0;
}

bool HasCapSysNice() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_SYS_NICE / 32].effective & (1u << (CAP_SYS_NICE % 32))) != 0;
}

// The lowest nice value this process may set. Without privileges Linux never lets a thread's
// nice value go back down, which would leave a thread that once dropped to idle there for good.
int NiceFloor() {
  static const int floor = [] {
    if (HasCapSysNice()) return -20;
    rlimit rl{};
    if (getrlimit(RLIMIT_NICE, &rl) != 0) return 20;
    if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= 40) return -20;
    return 20 - static_cast<int>(rl.rlim_cur);
  }();
  return floor;
}

void ApplyNice(int tid, int baseNice, TThreadPriority p) {
  if (tid <= 0) return;
  const int target = std::clamp(baseNice + NiceStep(p), -20, 19);
  // Lowering is skipped when there would be no way back to the start.
  if (target > baseNice && NiceFloor() > baseNice) return;
  // A refusal (raising without privileges) is deliberately ignored: the band stays recorded.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target);
}

}  // namespace

TThread::TThread() = default;

TThread::~TThread() {
  if (thread_.joinable()) {
    // A thread that frees itself ends up here on its own stack: it cannot join itself.
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

void TThread::Resume() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  // The new thread waits for this lock, so thread_ is in place before it can end (and, freeing
  // itself, delete this object).
  std::lock_guard<std::mutex> g(doneMutex_);
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  { std::lock_guard<std::mutex> g(doneMutex_); }
  const int tid = static_cast<int>(syscall(SYS_gettid));
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  baseNice_.store(errno == 0 ? nice : 0);
  tid_.store(tid);
  if (priority_.load() != TThreadPriority::Normal)
    ApplyNice(tid, baseNice_.load(), priority_.load());
  try {
    Execute();
  } catch (...) {
    // A job thread must still report its end; the exception stops here.
  }
  if (OnTerminate) {
    try {
      OnTerminate(this);
    } catch (...) {
    }
  }
  if (freeOnTerminate_) {
    finished_.store(true);
    delete this;
    return;
  }
  std::lock_guard<std::mutex> g(doneMutex_);
  finished_.store(true);
  doneCv_.notify_all();
}

void TThread::WaitFor() {
  if (!started_.load()) return;
  {
    std::unique_lock<std::mutex> g(doneMutex_);
    doneCv_.wait(g, [this] { return finished_.load(); });
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TThread::SetPriority(TThreadPriority p) {
  priority_.store(p);
  ApplyNice(tid_.load(), baseNice_.load(), p);
}

void TEvent::Set() {
  // Notified under the lock: a waiter may destroy the event as soon as it sees it set.
  std::lock_guard<std::mutex> g(m_);
  set_ = true;
  cv_.notify_all();
}

void TEvent::Reset() {
  std::lock_guard<std::mutex> g(m_);
  set_ = false;
}

bool TEvent::IsSet() const {
  std::lock_guard<std::mutex> g(m_);
  return set_;
}

void TEvent::Wait() {
  std::unique_lock<std::mutex> g(m_);
  cv_.wait(g, [this] { return set_; });
}

bool TEvent::WaitFor(uint32_t ms) {
  if (ms == 0xFFFFFFFFu) {  // "infinite"
    Wait();
    return true;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::nanoseconds(ClockMsToRealNs(ms));
  std::unique_lock<std::mutex> g(m_);
  return cv_.wait_until(g, deadline, [this] { return set_; });
}

}  // namespace plat
