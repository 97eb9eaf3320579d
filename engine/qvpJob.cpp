#include "engine/qvpJob.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

void TBlockDeleter::operator()(uint8_t* p) const { std::free(p); }

TJobState::TJobState() = default;

void TDriveFigures::Reset() {
  SampleBytes.store(0);
  SampleTicks.store(0);
  BufferLength.store(0);
  BufferBlank.store(0);
}

namespace {
thread_local const plat::TThread* tCurrentJobThread = nullptr;
}

void MarkJobThread(const plat::TThread* t) { tCurrentJobThread = t; }
bool IsCurrentJobThread(const plat::TThread* t) { return t != nullptr && t == tCurrentJobThread; }

void TJobState::Notify() {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  Changed.notify_all();
}

void TJobState::RequestAbort() {
  AbortFlag.store(1);
  Notify();
}

TBlock TJobState::NewBlock() {
  {
    std::lock_guard<plat::TCriticalSection> g(Lock);
    if (!Spare.empty()) {
      TBlock b = std::move(Spare.back());
      Spare.pop_back();
      return b;
    }
  }
  uint8_t* p = AllocateBlock ? AllocateBlock() : static_cast<uint8_t*>(std::malloc(kBlockSize));
  return TBlock(p);
}

void TJobState::Recycle(TBlock block) {
  if (!block) return;
  std::lock_guard<plat::TCriticalSection> g(Lock);
  // Only while the producer runs, and never more than it could fill at once.
  if (!BufferFinished.load() && Spare.size() < 4) Spare.push_back(std::move(block));
}

void TJobState::ReleaseBlocks() {
  std::lock_guard<plat::TCriticalSection> g(Lock);
  Slots.clear();
  Spare.clear();
  Count.store(0);
  Changed.notify_all();
}

void TJobState::DeliverWriteDone(const TWriteDoneEvent& handler, bool failed) {
  if (!handler) return;
  if (Window)
    Window->Post(kMsgWriteDone, 0, failed ? 1 : 0);
  else
    handler(Component, 0, failed);
}

void TJobState::DeliverEraseDone(const TEraseDoneEvent& handler, bool failed) {
  if (!handler) return;
  if (Window)
    Window->Post(kMsgEraseDone, 0, failed ? 1 : 0);
  else
    handler(Component, 0, failed);
}

std::string ErrorTextFor(uint32_t engineCode, uint16_t deviceCode, const std::string& source) {
  switch (engineCode) {
    case kErrNone:
      break;
    case kErrDataNotPrepared:
      return "Data not prepared ";
    case kErrOpenFile:
      return source.empty() ? "Error opening file" : "Error opening file \\" + source + "\\";
    case kErrCreateFile:
      return source.empty() ? "Error creating file" : "Error creating file \\" + source + "\\";
    case kErrAborted:
      return "Aborted by user";
    default:
      break;
  }
  if (engineCode == kErrNone && deviceCode == 0) return "Unknown/No Error!";
  char text[32];
  std::snprintf(text, sizeof text, "Hardware Error %u", engineCode != kErrNone ? engineCode : deviceCode);
  return text;
}
