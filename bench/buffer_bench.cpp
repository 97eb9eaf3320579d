// The software buffer's own cost per block: the buffer thread produces blocks that cost nothing to
// make, the benchmark thread takes them with TakeBlock, so what is timed is the queue, its lock,
// its wake-ups and the block reuse. With an empty consumer the queue runs near empty and nearly
// every block is a hand-off between the threads; a consumer that copies each block (a recorder at
// memory speed) lets the queue fill, so the producer waits for room instead.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/qvpCache.h"
#include "engine/qvpJob.h"

namespace {

constexpr uint32_t kBlocks = 32768;  // 2 GiB of image

// Whole blocks of file data that are never written to beyond their first byte.
class TFreeBlocks : public TBlockSource {
 public:
  explicit TFreeBlocks(uint32_t blocks) : left_(blocks) {}
  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override {
    if (left_ == 0) return 0;
    block[0] = static_cast<uint8_t>(--left_);
    info.FileData = true;
    return static_cast<int32_t>(kCacheBlockBytes);
  }
  std::string SourceName() const override { return "blocks"; }

 private:
  uint32_t left_;
};

// Arguments: the buffer in MiB, and whether the consumer copies every block it takes.
void BM_TakeBlockRoundTrip(benchmark::State& state) {
  const uint32_t cacheMiB = static_cast<uint32_t>(state.range(0));
  const bool copy = state.range(1) != 0;
  std::vector<uint8_t> sink(kCacheBlockBytes);
  uint64_t taken = 0;
  for (auto _ : state) {
    std::atomic<uint16_t> status{0};
    TJobState job;
    job.Status = &status;
    job.CacheBytes = cacheMiB * 1048576u;
    job.TotalSectors.store(kBlocks * kCacheBlockSectors);
    TCacheThread producer(job, std::make_unique<TFreeBlocks>(kBlocks));
    TBlock block;
    // The producer's start-up pause is not the queue's cost: the clock starts at the first block.
    int32_t n;
    while ((n = TakeBlock(job, block, 1000)) < 0) {
    }
    const auto start = std::chrono::steady_clock::now();
    uint32_t blocks = n > 0 ? 1 : 0;
    while ((n = TakeBlock(job, block, 1000)) != 0) {
      if (n < 0) continue;
      if (copy) std::memcpy(sink.data(), block.get(), static_cast<size_t>(n));
      benchmark::DoNotOptimize(block.get()[0]);
      ++blocks;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (blocks != kBlocks) {
      state.SkipWithError("blocks lost in the queue");
      break;
    }
    taken += blocks;
  }
  state.SetItemsProcessed(static_cast<int64_t>(taken));
  state.SetBytesProcessed(static_cast<int64_t>(taken) * kCacheBlockBytes);
}
BENCHMARK(BM_TakeBlockRoundTrip)
    ->ArgsProduct({{2, 32}, {0, 1}})
    ->ArgNames({"cacheMiB", "copy"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
