#include "reader/rdDriveWatcher.h"

#include <chrono>
#include <vector>

#include "platform/Aspi.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "reader/rdSCSI.h"

namespace rd {
namespace {

constexpr uint8_t kNotReady = 0x02;
constexpr uint8_t kMediumNotPresent = 0x3A;

}  // namespace

TDriveWatcher& TDriveWatcher::Instance() {
  static TDriveWatcher watcher;
  return watcher;
}

TDriveWatcher::~TDriveWatcher() {
  {
    std::lock_guard<std::mutex> g(m_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::map<char, TDriveWatcher::TMedium> TDriveWatcher::Snapshot() {
  // Drives come and go only when the namespace is rebuilt.
  plat::RescanDrives();
  std::map<char, TMedium> now;
  TrdSCSI scsi;
  for (const plat::TAspiDevice& row : scsi.Layer().Devices()) {
    TMedium state = TMedium::Unknown;
    // A drive reports a medium change once (unit attention) before it answers plainly.
    for (int attempt = 0; attempt < 2 && state == TMedium::Unknown; ++attempt) {
      const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
      uint8_t sense[kReaderSenseLength] = {};
      uint8_t status =
          scsi.Execute(row.HostAdapter, row.Target, 0, nullptr, 0, sizeof cdb, cdb, row.Lun, sense);
      if (status == plat::SS_COMP)
        state = TMedium::Present;
      else if ((sense[2] & 0x0F) == kNotReady && sense[12] == kMediumNotPresent)
        state = TMedium::Absent;
    }
    now[row.Letter] = state;
  }
  return now;
}

int TDriveWatcher::Subscribe(TListener listener) {
  std::lock_guard<std::mutex> life(life_);
  std::lock_guard<std::recursive_mutex> d(dispatch_);
  if (listeners_.empty()) {
    known_.clear();
    for (auto& [letter, state] : Snapshot())
      known_[letter] = state == TMedium::Unknown ? TMedium::Absent : state;
  }
  const int id = nextId_++;
  listeners_[id] = std::move(listener);
  bool onThread = OnWatcherThread();
  {
    std::lock_guard<std::mutex> g(m_);
    if (onThread) {
      stop_ = false;
      return id;
    }
  }
  if (thread_.joinable()) {
    bool stopping;
    {
      std::lock_guard<std::mutex> g(m_);
      stopping = stop_;
    }
    if (!stopping) return id;
    // Stopped from inside one of its own events: it ends without taking the dispatch lock.
    thread_.join();
  }
  {
    std::lock_guard<std::mutex> g(m_);
    stop_ = false;
  }
  thread_ = std::thread([this] { Run(); });
  return id;
}

void TDriveWatcher::Unsubscribe(int id) {
  if (id == 0) return;
  const bool onThread = OnWatcherThread();
  std::unique_lock<std::mutex> life(life_, std::defer_lock);
  if (!onThread) life.lock();
  {
    std::lock_guard<std::recursive_mutex> d(dispatch_);
    listeners_.erase(id);
    if (!listeners_.empty()) return;
    std::lock_guard<std::mutex> g(m_);
    stop_ = true;
  }
  cv_.notify_all();
  if (!onThread && thread_.joinable()) thread_.join();
}

void TDriveWatcher::Run() {
  threadId_.store(std::this_thread::get_id());
  for (;;) {
    {
      std::unique_lock<std::mutex> lk(m_);
      cv_.wait_for(lk, std::chrono::nanoseconds(plat::ClockMsToRealNs(intervalMs_.load())),
                   [this] { return stop_; });
      if (stop_) break;
    }
    Poll();
  }
  threadId_.store(std::thread::id());
}

void TDriveWatcher::Poll() {
  std::lock_guard<std::recursive_mutex> d(dispatch_);
  if (listeners_.empty()) return;
  std::map<char, TMedium> now = Snapshot();
  std::vector<std::pair<TDriveChange, char>> changes;
  for (auto& [letter, state] : known_) {
    if (now.count(letter)) continue;
    if (state == TMedium::Present) changes.emplace_back(TDriveChange::DiskRemoved, letter);
    changes.emplace_back(TDriveChange::DeviceRemoval, letter);
  }
  std::map<char, TMedium> next;
  for (auto& [letter, state] : now) {
    auto old = known_.find(letter);
    if (old == known_.end()) {
      changes.emplace_back(TDriveChange::DeviceArrival, letter);
      if (state == TMedium::Present) changes.emplace_back(TDriveChange::DiskInserted, letter);
      next[letter] = state == TMedium::Present ? TMedium::Present : TMedium::Absent;
      continue;
    }
    // A drive that is becoming ready keeps its last definite state until it answers plainly.
    next[letter] = state == TMedium::Unknown ? old->second : state;
    if (old->second != next[letter])
      changes.emplace_back(
          next[letter] == TMedium::Present ? TDriveChange::DiskInserted : TDriveChange::DiskRemoved,
          letter);
  }
  known_ = std::move(next);
  for (auto& [change, letter] : changes) {
    // A listener may stop (itself or another) from its event: iterate over a copy of the ids.
    std::vector<int> ids;
    for (auto& entry : listeners_) ids.push_back(entry.first);
    for (int id : ids) {
      auto it = listeners_.find(id);
      if (it == listeners_.end()) continue;
      TListener listener = it->second;
      listener(change, letter);
    }
  }
}

}  // namespace rd
