#pragma once
// The one watcher thread behind the notifiers (see rdNotifiers.h).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "reader/rdNotifiers.h"

namespace rd {

class TDriveWatcher {
 public:
  using TListener = std::function<void(TDriveChange change, char letter)>;

  static TDriveWatcher& Instance();
  ~TDriveWatcher();

  // Returns a subscription id (never 0). The first subscriber takes the baseline on its own
  // thread, so a change made right after Subscribe returns is reported.
  int Subscribe(TListener listener);
  // After it returns the listener is not called any more.
  void Unsubscribe(int id);
  void SetInterval(uint32_t ms) { intervalMs_.store(ms ? ms : 1); }

 private:
  enum class TMedium : uint8_t { Absent, Present, Unknown };
  TDriveWatcher() = default;
  void Run();
  void Poll();
  std::map<char, TMedium> Snapshot();
  bool OnWatcherThread() const { return std::this_thread::get_id() == threadId_.load(); }

  std::mutex life_;                // start and stop of the thread
  std::recursive_mutex dispatch_;  // subscribers, known state; held while a poll reports
  std::map<int, TListener> listeners_;
  std::map<char, TMedium> known_;  // drive letter -> last definite medium state
  int nextId_ = 1;

  std::mutex m_;
  std::condition_variable cv_;
  bool stop_ = false;
  std::thread thread_;
  std::atomic<std::thread::id> threadId_{};
  std::atomic<uint32_t> intervalMs_{1000};
};

}  // namespace rd
