#include "platform/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "platform/Clock.h"

namespace plat {
namespace {

// Nice values for the bands. Raising a thread above normal usually needs privileges; lowering
// it back after a drop does too. Both are best effort.
int NiceOf(TThreadPriority p) {
  switch (p) {
    case TThreadPriority::Idle: return 19;
    case TThreadPriority::Lowest: return 10;
    case TThreadPriority::Lower: return 5;
    case TThreadPriority::Normal: return 0;
    case TThreadPriority::Highest: return -5;
  }
  return 0;
}

void ApplyNice(int tid, TThreadPriority p) {
  if (tid <= 0) return;
  // A refusal (EACCES/EPERM) is deliberately ignored: the band stays recorded.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(p));
}

}  // namespace

TThread::TThread() = default;

TThread::~TThread() {
  if (thread_.joinable()) {
    // A thread that frees itself ends up here on its own stack: it cannot join itself.
    if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else thread_.join();
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
  tid_.store(static_cast<int>(syscall(SYS_gettid)));
  if (priority_.load() != TThreadPriority::Normal) ApplyNice(tid_.load(), priority_.load());
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
  ApplyNice(tid_.load(), p);
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(ClockMsToRealNs(ms));
  std::unique_lock<std::mutex> g(m_);
  return cv_.wait_until(g, deadline, [this] { return set_; });
}

}  // namespace plat
