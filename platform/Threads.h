#pragma once
// Threads, critical sections and events in the shape the engine's jobs expect.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace plat {

enum class TThreadPriority : uint8_t { Idle = 0, Lowest = 1, Lower = 2, Normal = 3, Highest = 5 };

// A thread that is created suspended and runs Execute() once resumed. With FreeOnTerminate the
// object deletes itself after Execute() and OnTerminate have run (on the thread itself);
// otherwise the owner deletes it after WaitFor().
class TThread {
 public:
  TThread();
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Resume();   // starts the thread (once)
  void WaitFor();  // blocks until Execute and OnTerminate have run
  bool Finished() const { return finished_.load(); }
  void SetFreeOnTerminate(bool v) { freeOnTerminate_ = v; }
  // Best effort: a change the system refuses is ignored, the band is still recorded. The bands
  // are relative to the nice value the thread started with; a thread is only lowered when the
  // process may raise it back, so it never stays stuck in a low band.
  void SetPriority(TThreadPriority p);
  TThreadPriority Priority() const { return priority_.load(); }

  // Runs on the thread after Execute() returns.
  std::function<void(TThread*)> OnTerminate;

 protected:
  virtual void Execute() = 0;

 private:
  void Run();
  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> finished_{false};
  std::atomic<TThreadPriority> priority_{TThreadPriority::Normal};
  std::atomic<int> tid_{0};
  std::atomic<int> baseNice_{0};  // the thread's nice value when it started
  bool freeOnTerminate_ = false;
  std::mutex doneMutex_;
  std::condition_variable doneCv_;
};

// Recursive lock, as a critical section of the original platform is.
class TCriticalSection {
 public:
  void Enter() { m_.lock(); }
  void Leave() { m_.unlock(); }
  bool TryEnter() { return m_.try_lock(); }
  // BasicLockable, for std::lock_guard / std::unique_lock / std::condition_variable_any.
  void lock() { m_.lock(); }
  void unlock() { m_.unlock(); }

 private:
  std::recursive_mutex m_;
};

// Manual-reset event.
class TEvent {
 public:
  explicit TEvent(bool initiallySet = false) : set_(initiallySet) {}
  void Set();
  void Reset();
  bool IsSet() const;
  void Wait();
  // Waits at most ms of clock time; true when the event was set.
  bool WaitFor(uint32_t ms);

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace plat
