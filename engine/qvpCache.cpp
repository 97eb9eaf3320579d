#include "engine/qvpCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/Clock.h"

namespace {

constexpr uint8_t kBandIdle = 0;
constexpr uint8_t kBandLowest = 1;
constexpr uint8_t kBandLower = 2;
constexpr uint8_t kBandNormal = 3;
constexpr uint8_t kBandHighest = 5;

std::chrono::nanoseconds ClockWait(uint32_t ms) {
  return std::chrono::nanoseconds(plat::ClockMsToRealNs(ms));
}

}  // namespace

TImageFileSource::TImageFileSource(plat::TFile& file, uint64_t size, std::string name)
    : file_(file), remaining_(size), name_(std::move(name)) {}

int32_t TImageFileSource::NextBlock(uint8_t* block, TBlockInfo& info) {
  info = TBlockInfo{};
  if (remaining_ == 0) return 0;
  const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(remaining_, kCacheBlockBytes));
  const int64_t got = file_.Read(block, piece);
  if (got < 0) return -1;
  if (static_cast<uint32_t>(got) < piece) shorter_ = true;
  // Bytes the file no longer delivers, and the padding of a partial last sector, are zeros.
  const uint32_t padded = static_cast<uint32_t>(SectorsOf(piece) * kSectorBytes);
  std::memset(block + got, 0, padded - static_cast<uint32_t>(got));
  remaining_ -= piece;
  return static_cast<int32_t>(padded);
}

bool TImageFileSource::TakeSourceProblem(std::string& detail) {
  if (!shorter_ || reported_) return false;
  reported_ = true;
  detail = name_ + " (shorter than when the burn started)";
  return true;
}

TCacheThread::TCacheThread(TJobState& job, std::unique_ptr<TBlockSource> source)
    : job_(job), source_(std::move(source)) {
  {
    std::lock_guard<plat::TCriticalSection> g(job_.Lock);
    job_.Slots.clear();
    job_.Spare.clear();
    job_.Count.store(0);
    job_.Capacity = job_.CacheBytes / kCacheBlockBytes;
    job_.BufferReady.store(false);
    job_.BufferFinished.store(false);
    job_.ProducerDone.store(false);
    job_.BytesQueued.store(0);
    job_.RemainingSectors.store(job_.TotalSectors.load());
    job_.QueuedDataSectors.store(0);
    job_.PriorityBand.store(kBandLower);
  }
  SetPriority(plat::TThreadPriority::Lower);
  Resume();
}

TCacheThread::~TCacheThread() { WaitFor(); }

void TCacheThread::SetBand(uint8_t band) {
  if (job_.PriorityBand.load() == band) return;
  job_.PriorityBand.store(band);
  SetPriority(static_cast<plat::TThreadPriority>(band));
}

bool TCacheThread::WaitForRoom(int32_t threshold, bool fileData) {
  std::unique_lock<plat::TCriticalSection> g(job_.Lock);
  while (job_.Count.load() >= threshold) {
    // Aborted, or the write thread has taken all it needs.
    if (job_.Aborted() || job_.RemainingSectors.load() == 0) return false;
    if (fileData) SetBand(kBandIdle);
    if (!job_.BufferReady.exchange(true)) job_.Changed.notify_all();
    job_.Changed.wait_for(g, ClockWait(20));
  }
  return !job_.Aborted();
}

void TCacheThread::Fail(uint32_t errorCode, bool outOfMemory) {
  {
    std::lock_guard<plat::TCriticalSection> g(job_.Lock);
    if (errorCode != kErrNone) {
      job_.ErrorCode.store(errorCode);
      job_.CurrentSource = source_->SourceName();
    }
    if (outOfMemory) job_.OutOfMemory.store(true);
    job_.ProducerDone.store(true);
  }
  job_.RequestAbort();
}

void TCacheThread::Finish() {
  {
    std::lock_guard<plat::TCriticalSection> g(job_.Lock);
    job_.ProducerDone.store(true);
  }
  source_.reset();  // closes the last source file
  job_.ReleaseBlocks();
  job_.BufferFinished.store(true);
  job_.Notify();
}

void TCacheThread::Execute() {
  MarkJobThread(this);
  plat::Sleep(20);
  const int32_t capacity = static_cast<int32_t>(job_.Capacity);
  for (;;) {
    if (job_.Aborted() || job_.RemainingSectors.load() == 0) break;
    TBlock block = job_.NewBlock();
    if (!block) {
      Fail(kErrNone, true);
      return Finish();
    }
    TBlockInfo info;
    const int32_t length = source_->NextBlock(block.get(), info);
    job_.QueuedDataSectors.store(source_->QueuedDataSectors());
    // The layout is written on regardless; the job ends as failed, naming the first such file.
    for (std::string detail; source_->TakeSourceProblem(detail);)
      job_.FailWith(kErrSourceChanged, detail);
    if (length < 0) {
      Fail(kErrOpenFile, false);
      return Finish();
    }
    if (length == 0) break;
    int32_t count;
    {
      std::lock_guard<plat::TCriticalSection> g(job_.Lock);
      job_.Slots.push_back(TSlot{std::move(block), static_cast<uint32_t>(length), info.EntryIndex});
      count = static_cast<int32_t>(job_.Slots.size());
      job_.Count.store(count);
      job_.BytesQueued.fetch_add(static_cast<uint64_t>(length));
      job_.Changed.notify_all();
    }
    if (info.FileData) {
      if (count < capacity / 4)
        SetBand(kBandHighest);
      else if (count < capacity / 2)
        SetBand(kBandNormal);
      else
        SetBand(kBandLowest);
    }
    // During file data the producer stops one block short of the capacity.
    if (!WaitForRoom(info.FileData ? capacity - 1 : capacity, info.FileData)) return Finish();
  }

  // Everything is queued: let the write thread drain the queue.
  std::unique_lock<plat::TCriticalSection> g(job_.Lock);
  job_.BufferReady.store(true);
  job_.Changed.notify_all();
  while (job_.RemainingSectors.load() != 0 && job_.Count.load() != 0 && !job_.Aborted())
    job_.Changed.wait_for(g, ClockWait(100));
  g.unlock();
  Finish();
}

int32_t TakeBlock(TJobState& job, TBlock& block, uint32_t waitMs) {
  if (job.RemainingSectors.load() == 0 || job.ProducerDone.load() || job.Aborted()) return 0;
  std::unique_lock<plat::TCriticalSection> g(job.Lock);
  if (job.Slots.empty()) {
    job.Changed.wait_for(g, ClockWait(waitMs), [&] {
      return !job.Slots.empty() || job.ProducerDone.load() || job.BufferFinished.load();
    });
    // A producer that stopped with its queue empty ends the data, also when the image came out
    // shorter than the layout said.
    if (job.Slots.empty()) return job.ProducerDone.load() || job.BufferFinished.load() ? 0 : -1;
  }
  if (job.ProducerDone.load()) return 0;
  TSlot slot = std::move(job.Slots.front());
  job.Slots.pop_front();
  job.Count.store(static_cast<int32_t>(job.Slots.size()));
  job.BytesQueued.fetch_sub(slot.Length);
  const uint64_t taken = SectorsOf(slot.Length);
  const uint64_t remaining = job.RemainingSectors.load();
  job.RemainingSectors.store(remaining > taken ? remaining - taken : 0);
  // A producer waiting on a full queue looks again every 20 ms anyway; it is woken early only
  // once the queue has run down to half, so a fast recorder does not cost a thread switch per
  // block.
  if (job.Slots.size() <= job.Capacity / 2 || job.RemainingSectors.load() == 0)
    job.Changed.notify_all();
  g.unlock();
  job.Recycle(std::move(block));
  block = std::move(slot.Block);
  return static_cast<int32_t>(slot.Length);
}
