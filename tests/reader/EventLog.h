#pragma once
// Lines reported from another thread (events of the drive watcher), and a wait for them.
#include <mutex>
#include <string>
#include <vector>

#include "platform/Threads.h"

namespace rdtest {

// Collects lines from the watcher thread and wakes the test on each.
class TEventLog {
 public:
  void Add(const std::string& line) {
    {
      std::lock_guard<std::mutex> g(m_);
      lines_.push_back(line);
    }
    arrived_.Set();
  }
  // Waits until `count` lines have arrived (a generous guard, on the scaled clock).
  std::vector<std::string> WaitFor(size_t count) {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard<std::mutex> g(m_);
        if (lines_.size() >= count) return lines_;
        arrived_.Reset();
      }
      arrived_.WaitFor(60000);
    }
    std::lock_guard<std::mutex> g(m_);
    return lines_;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> g(m_);
    return lines_;
  }

 private:
  std::mutex m_;
  std::vector<std::string> lines_;
  plat::TEvent arrived_;
};

}  // namespace rdtest
