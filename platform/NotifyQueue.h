#pragma once
// Stands in for the hidden notification window: job threads post messages from any thread, the
// owner's thread dispatches them in order to its handler. An event loop learns about new
// messages through the wake-up hook (Qt queues a call into its thread; a headless owner blocks
// in WaitAndDispatch).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace plat {

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
};

class TNotifyQueue {
 public:
  using THandler = std::function<intptr_t(const TMessage&)>;
  using TWakeHook = std::function<void()>;

  void SetHandler(THandler h);
  // Called (on the posting thread) after every Post; must not block.
  void SetWakeHook(TWakeHook h);

  void Post(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  // Dispatches every message queued so far, in order; returns how many were dispatched.
  size_t DispatchPending();
  // Waits up to ms of clock time for at least one message, then dispatches what is queued.
  // Returns the number dispatched (0 on timeout).
  size_t WaitAndDispatch(uint32_t ms);
  size_t Pending() const;

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::deque<TMessage> q_;
  THandler handler_;
  TWakeHook wake_;
};

}  // namespace plat
