#include "platform/NotifyQueue.h"

#include <chrono>

#include "platform/Clock.h"

namespace plat {

void TNotifyQueue::SetHandler(THandler h) {
  std::lock_guard<std::mutex> g(m_);
  handler_ = std::move(h);
}

void TNotifyQueue::SetWakeHook(TWakeHook h) {
  std::lock_guard<std::mutex> g(m_);
  wake_ = std::move(h);
}

void TNotifyQueue::Post(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  TWakeHook wake;
  {
    std::lock_guard<std::mutex> g(m_);
    q_.push_back(TMessage{msg, wparam, lparam});
    wake = wake_;
    cv_.notify_all();
  }
  if (wake) wake();
}

size_t TNotifyQueue::DispatchPending() {
  // Only what is queued now: a handler that posts again does not keep this loop going forever.
  size_t budget;
  {
    std::lock_guard<std::mutex> g(m_);
    budget = q_.size();
  }
  size_t done = 0;
  while (done < budget) {
    TMessage msg;
    THandler handler;
    {
      std::lock_guard<std::mutex> g(m_);
      // A handler may have dispatched the rest itself (a nested loop).
      if (q_.empty()) break;
      msg = q_.front();
      q_.pop_front();
      handler = handler_;
    }
    ++done;
    if (handler) handler(msg);
  }
  return done;
}

size_t TNotifyQueue::WaitAndDispatch(uint32_t ms) {
  {
    std::unique_lock<std::mutex> g(m_);
    if (ms == 0xFFFFFFFFu) {
      cv_.wait(g, [this] { return !q_.empty(); });
    } else {
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::nanoseconds(ClockMsToRealNs(ms));
      if (!cv_.wait_until(g, deadline, [this] { return !q_.empty(); })) return 0;
    }
  }
  return DispatchPending();
}

size_t TNotifyQueue::Pending() const {
  std::lock_guard<std::mutex> g(m_);
  return q_.size();
}

}  // namespace plat
