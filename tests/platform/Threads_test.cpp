#include "platform/Threads.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/NotifyQueue.h"

using namespace plat;

namespace {

class TRecordingThread : public TThread {
 public:
  std::atomic<int> runs{0};
  std::atomic<int> niceSeen{-100};

 protected:
  void Execute() override {
    ++runs;
    niceSeen = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  }
};

// Frees itself; tells through the events that it ran and that its destructor ran.
class TSelfFreeingThread : public TThread {
 public:
  TSelfFreeingThread(TEvent& ran, TEvent& freed) : ran_(ran), freed_(freed) {}
  ~TSelfFreeingThread() override { freed_.Set(); }

 protected:
  void Execute() override { ran_.Set(); }

 private:
  TEvent& ran_;
  TEvent& freed_;
};

struct TScaleGuard {
  ~TScaleGuard() { SetClockScale(1.0); }
};

}  // namespace

TEST(Thread, RunsOnceAfterResumeAndWaitsForTermination) {
  TRecordingThread t;
  std::atomic<bool> terminated{false};
  t.OnTerminate = [&](TThread* self) {
    EXPECT_EQ(self, &t);
    terminated = true;
  };
  EXPECT_FALSE(t.Finished());
  t.Resume();
  t.Resume();  // a second resume starts nothing
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_TRUE(terminated.load());  // OnTerminate has run when WaitFor returns
  EXPECT_EQ(t.runs.load(), 1);
  t.WaitFor();  // again: returns at once

  TRecordingThread never;
  never.WaitFor();  // never resumed: does not hang
  EXPECT_EQ(never.runs.load(), 0);
}

TEST(Thread, FreesItselfOnTerminate) {
  // Several rounds: a thread that ends before Resume has returned must still free itself cleanly
  // (the sanitizers watch this).
  for (int round = 0; round < 20; ++round) {
    TEvent ran, freed, terminated;
    auto* t = new TSelfFreeingThread(ran, freed);
    t->SetFreeOnTerminate(true);
    t->OnTerminate = [&](TThread*) {
      EXPECT_FALSE(freed.IsSet());  // OnTerminate comes before the object goes
      terminated.Set();
    };
    t->Resume();
    freed.Wait();
    EXPECT_TRUE(ran.IsSet());
    EXPECT_TRUE(terminated.IsSet());
  }
}

int OwnNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

// Walks through the bands on itself, noting the nice value after each change.
class TBandWalker : public TThread {
 public:
  int start = 0, idle = 0, back = 0, lowest = 0;

 protected:
  void Execute() override {
    start = OwnNice();
    SetPriority(TThreadPriority::Idle);
    idle = OwnNice();
    SetPriority(TThreadPriority::Normal);
    back = OwnNice();
    SetPriority(TThreadPriority::Lowest);
    lowest = OwnNice();
  }
};

TEST(Thread, PriorityBandsAreRecordedAndNeverStuck) {
  TRecordingThread t;
  t.SetPriority(TThreadPriority::Lower);  // before the start: applied when it runs
  const int mine = OwnNice();
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(t.Priority(), TThreadPriority::Lower);
  EXPECT_TRUE(t.niceSeen.load() == std::min(mine + 5, 19) || t.niceSeen.load() == mine)
      << t.niceSeen.load();

  // Whatever the privileges, a thread that dropped to idle comes back to where it started.
  TBandWalker w;
  w.Resume();
  w.WaitFor();
  EXPECT_EQ(w.back, w.start);
  if (w.idle != w.start) {
    EXPECT_EQ(w.idle, std::min(w.start + 19, 19));
    EXPECT_EQ(w.lowest, std::min(w.start + 10, 19));
  }
  EXPECT_EQ(w.Priority(), TThreadPriority::Lowest);

  // Raising may be refused without privileges; the band is recorded all the same.
  TRecordingThread u;
  u.SetPriority(TThreadPriority::Highest);
  EXPECT_EQ(u.Priority(), TThreadPriority::Highest);
  u.Resume();
  u.WaitFor();
  EXPECT_LE(u.niceSeen.load(), mine);
}

TEST(Event, ManualResetAcrossThreads) {
  TScaleGuard guard;
  SetClockScale(1000);
  TEvent e;
  EXPECT_FALSE(e.WaitFor(50));  // times out on clock time
  std::thread setter([&] { e.Set(); });
  e.Wait();
  setter.join();
  EXPECT_TRUE(e.WaitFor(0));
  EXPECT_TRUE(e.WaitFor(10));  // stays set: manual reset
  e.Reset();
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.WaitFor(0));
  TEvent preset(true);
  EXPECT_TRUE(preset.IsSet());
}

TEST(NotifyQueue, DispatchesInOrderOnTheOwnerThread) {
  TNotifyQueue q;
  std::vector<uint32_t> seen;
  const auto owner = std::this_thread::get_id();
  q.SetHandler([&](const TMessage& m) {
    EXPECT_EQ(std::this_thread::get_id(), owner);
    seen.push_back(m.Msg);
    if (m.Msg == 2) q.Post(100, 0, 0);  // posted while dispatching: waits for the next round
    return intptr_t{0};
  });
  for (uint32_t i = 1; i <= 3; ++i) q.Post(i, i * 10, -static_cast<intptr_t>(i));
  EXPECT_EQ(q.Pending(), 3u);
  EXPECT_EQ(q.DispatchPending(), 3u);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(q.Pending(), 1u);
  EXPECT_EQ(q.DispatchPending(), 1u);
  EXPECT_EQ(seen.back(), 100u);
  EXPECT_EQ(q.DispatchPending(), 0u);
}

TEST(NotifyQueue, CrossThreadPostsWakeAndKeepEachSendersOrder) {
  TScaleGuard guard;
  SetClockScale(1000);
  TNotifyQueue q;
  constexpr int kThreads = 4, kEach = 2000;
  std::atomic<int> wakes{0};
  std::vector<std::vector<intptr_t>> bySender(kThreads);
  q.SetHandler([&](const TMessage& m) {
    bySender[m.WParam].push_back(m.LParam);
    return intptr_t{0};
  });
  q.SetWakeHook([&] { ++wakes; });
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) q.Post(1, static_cast<uintptr_t>(t), i);
    });
  size_t total = 0;
  while (total < size_t{kThreads} * kEach) total += q.WaitAndDispatch(60000);
  for (auto& p : posters) p.join();
  EXPECT_EQ(total, size_t{kThreads} * kEach);
  EXPECT_EQ(wakes.load(), kThreads * kEach);
  for (const auto& s : bySender) {
    ASSERT_EQ(s.size(), size_t{kEach});
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(s[i], i);
  }
  EXPECT_EQ(q.WaitAndDispatch(100), 0u);  // nothing queued: times out
}
