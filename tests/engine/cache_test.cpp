// The software buffer: order and bounds of the block queue, the producer's pause points and
// priority bands, and how it ends on a missing source, a refused block and an abort.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "engine/qvpCache.h"
#include "platform/Clock.h"
#include "tests/support/TestEnv.h"

namespace {

struct ScaledClock : ::testing::Test {
  void SetUp() override { plat::SetClockScale(1000); }
  void TearDown() override { plat::SetClockScale(1); }
};

// What a numbered source saw; it outlives the source, which the buffer thread destroys.
struct TSourceLog {
  std::vector<uint8_t> bands;  // read by the test only after the producer stopped
  std::atomic<uint32_t> asked{0};
};

// A producer that hands out numbered blocks (every byte of block k is k) and records the
// priority band the buffer thread had when it asked for each one.
class TNumberedSource : public TBlockSource {
 public:
  TNumberedSource(TJobState& job, uint32_t blocks, bool fileData, int32_t failAt = -1,
                  TSourceLog* log = nullptr)
      : job_(job), blocks_(blocks), fileData_(fileData), failAt_(failAt), log_(log ? log : &own_) {}
  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override {
    log_->bands.push_back(job_.PriorityBand.load());
    if (static_cast<int32_t>(given_) == failAt_) return -1;
    if (given_ == blocks_) return 0;
    std::memset(block, static_cast<int>(given_ & 0xFF), kCacheBlockBytes);
    info.FileData = fileData_;
    info.EntryIndex = given_;
    ++given_;
    log_->asked.fetch_add(1);
    return static_cast<int32_t>(kCacheBlockBytes);
  }
  std::string SourceName() const override { return "/data/movie.mkv"; }
  uint32_t QueuedDataSectors() const override { return given_ * kCacheBlockSectors; }

 private:
  TJobState& job_;
  uint32_t blocks_;
  bool fileData_;
  int32_t failAt_;
  uint32_t given_ = 0;
  TSourceLog* log_;
  TSourceLog own_;
};

std::atomic<uint16_t> gStatus{0};

void PrepareJob(TJobState& job, uint32_t cacheMiB, uint32_t totalSectors) {
  job.Status = &gStatus;
  job.CacheBytes = cacheMiB * 1048576u;
  job.TotalSectors.store(totalSectors);
  job.AbortFlag.store(0);
  job.ErrorCode.store(0);
}

void WaitReady(TJobState& job) {
  std::unique_lock<plat::TCriticalSection> g(job.Lock);
  job.Changed.wait(g, [&] { return job.BufferReady.load() || job.Aborted(); });
}

void WaitFinished(TJobState& job) {
  std::unique_lock<plat::TCriticalSection> g(job.Lock);
  job.Changed.wait(g, [&] { return job.BufferFinished.load(); });
}

// Takes every block and returns the bytes in order.
std::vector<uint8_t> Drain(TJobState& job, std::vector<int32_t>* lengths = nullptr) {
  std::vector<uint8_t> out;
  TBlock block;
  for (;;) {
    const int32_t n = TakeBlock(job, block, 10);
    if (n == 0) break;
    if (n < 0) continue;
    if (lengths) lengths->push_back(n);
    out.insert(out.end(), block.get(), block.get() + n);
  }
  return out;
}

using CacheTest = ScaledClock;

TEST_F(CacheTest, ImageFileComesOutInOrderWithItsPartialLastSectorPadded) {
  // Three whole blocks, three whole sectors and 100 bytes of a fourth.
  const size_t size = 3 * kCacheBlockBytes + 3 * kSectorBytes + 100;
  const auto bytes = testenv::RandomBytes(size, 7);
  const std::string path = testenv::MakeTempDir() + "/odd.iso";
  testenv::WriteFile(path, bytes);

  TJobState job;
  PrepareJob(job, 2, static_cast<uint32_t>(SectorsOf(size)));
  EXPECT_EQ(job.TotalSectors.load(), 3 * kCacheBlockSectors + 4);
  plat::TFile file;
  ASSERT_TRUE(file.OpenRead(std::string_view(path)));
  TCacheThread cache(job, std::make_unique<TImageFileSource>(file, size, path));
  WaitReady(job);

  std::vector<int32_t> lengths;
  const auto out = Drain(job, &lengths);
  EXPECT_EQ(lengths, (std::vector<int32_t>{65536, 65536, 65536, 4 * 2048}));
  ASSERT_EQ(out.size(), 3 * kCacheBlockBytes + 4 * kSectorBytes);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
  for (size_t i = size; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  WaitFinished(job);
  EXPECT_EQ(job.RemainingSectors.load(), 0u);
  EXPECT_EQ(job.BytesQueued.load(), 0u);
  EXPECT_EQ(job.ErrorCode.load(), 0u);

  // The cache's blocks are reused: the padding must be written, not assumed from a fresh block.
  plat::TFile again;
  ASSERT_TRUE(again.OpenRead(std::string_view(path)));
  TImageFileSource source(again, size, path);
  std::vector<uint8_t> block(kCacheBlockBytes, 0xEE), whole;
  TBlockInfo info{};
  for (int32_t n; (n = source.NextBlock(block.data(), info)) > 0;)
    whole.insert(whole.end(), block.begin(), block.begin() + n);
  ASSERT_EQ(whole.size(), out.size());
  EXPECT_TRUE(std::equal(whole.begin(), whole.end(), out.begin()));
}

TEST_F(CacheTest, ProducerPausesAtCapacityDuringMetadataAndOneEarlierDuringFileData) {
  for (const bool fileData : {false, true}) {
    TJobState job;
    PrepareJob(job, 2, 1000 * kCacheBlockSectors);  // 2 MiB: capacity 32
    TSourceLog log;
    TSourceLog* src = &log;
    auto source = std::make_unique<TNumberedSource>(job, 1000, fileData, -1, &log);
    {
      TCacheThread cache(job, std::move(source));
      WaitReady(job);
      EXPECT_EQ(job.Capacity, 32u);
      const int32_t expected = fileData ? 31 : 32;
      EXPECT_EQ(job.Count.load(), expected);
      EXPECT_EQ(src->asked.load(), static_cast<uint32_t>(expected));
      EXPECT_EQ(job.BytesQueued.load(), static_cast<uint64_t>(expected) * kCacheBlockBytes);
      EXPECT_EQ(job.QueuedDataSectors.load(), static_cast<uint32_t>(expected) * kCacheBlockSectors);

      // Taking one block lets exactly one more in; the queue stays first in, first out.
      TBlock block;
      ASSERT_EQ(TakeBlock(job, block, 10), 65536);
      EXPECT_EQ(block[0], 0);
      ASSERT_EQ(TakeBlock(job, block, 10), 65536);
      EXPECT_EQ(block[0], 1);
      {
        std::unique_lock<plat::TCriticalSection> g(job.Lock);
        job.Changed.wait(g, [&] { return job.Count.load() == expected; });
      }
      EXPECT_EQ(src->asked.load(), static_cast<uint32_t>(expected) + 2);

      // Abort while the producer waits on a full queue: it ends and releases every block.
      job.RequestAbort();
      WaitFinished(job);
      EXPECT_EQ(job.Count.load(), 0);
      EXPECT_TRUE(job.ProducerDone.load());
      EXPECT_EQ(TakeBlock(job, block, 10), 0);
    }
    if (fileData) {
      // Band by fill while file data streams: highest below a quarter, normal below half,
      // lowest above, idle once the queue is full; the thread starts at the lower band.
      ASSERT_GE(src->bands.size(), 32u);
      EXPECT_EQ(src->bands[0], 2);
      EXPECT_EQ(src->bands[1], 5);   // asked with 1 queued
      EXPECT_EQ(src->bands[7], 5);   // 7 queued
      EXPECT_EQ(src->bands[8], 3);   // 8 queued = capacity / 4
      EXPECT_EQ(src->bands[15], 3);  // 15 queued
      EXPECT_EQ(src->bands[16], 1);  // 16 queued = capacity / 2
      EXPECT_EQ(src->bands[30], 1);  // 30 queued
      EXPECT_EQ(src->bands[31], 0);  // resumed after the queue was full
    } else {
      // Metadata never changes the band.
      for (uint8_t b : src->bands) EXPECT_EQ(b, 2);
    }
  }
}

TEST_F(CacheTest, SourceThatCannotBeOpenedEndsTheBufferWithErrorTwo) {
  TJobState job;
  PrepareJob(job, 2, 100 * kCacheBlockSectors);
  TCacheThread cache(job, std::make_unique<TNumberedSource>(job, 100, true, 3));
  WaitReady(job);  // wakes on the abort flag
  WaitFinished(job);
  EXPECT_TRUE(job.Aborted());
  EXPECT_TRUE(job.ProducerDone.load());
  EXPECT_FALSE(job.BufferReady.load());
  EXPECT_EQ(job.ErrorCode.load(), static_cast<uint32_t>(kErrOpenFile));
  EXPECT_EQ(ErrorTextFor(job.ErrorCode.load(), 0, job.CurrentSource),
            "Error opening file \\/data/movie.mkv\\");
  EXPECT_EQ(job.Count.load(), 0);
  TBlock block;
  EXPECT_EQ(TakeBlock(job, block, 10), 0);
}

std::atomic<int> gBlocksLeft{0};
uint8_t* ScarceHeap() {
  if (gBlocksLeft.fetch_sub(1) <= 0) return nullptr;
  return static_cast<uint8_t*>(std::malloc(kCacheBlockBytes));
}

TEST_F(CacheTest, BlockRefusedByTheHeapFailsTheJob) {
  TJobState job;
  PrepareJob(job, 2, 100 * kCacheBlockSectors);
  gBlocksLeft = 5;
  job.AllocateBlock = &ScarceHeap;
  TCacheThread cache(job, std::make_unique<TNumberedSource>(job, 100, true));
  WaitReady(job);
  WaitFinished(job);
  EXPECT_TRUE(job.OutOfMemory.load());
  EXPECT_TRUE(job.Aborted());
  EXPECT_EQ(job.Count.load(), 0);
}

TEST_F(CacheTest, TakeBlockWaitsForDataAndEndsWithTheLastSector) {
  TJobState job;
  PrepareJob(job, 4, 3 * kCacheBlockSectors);
  job.RemainingSectors.store(3 * kCacheBlockSectors);
  // Nothing queued and the producer not started: no block yet.
  TBlock block;
  EXPECT_EQ(TakeBlock(job, block, 5), -1);
  {
    TCacheThread cache(job, std::make_unique<TNumberedSource>(job, 3, true));
    WaitReady(job);
    EXPECT_EQ(Drain(job).size(), 3 * kCacheBlockBytes);
    EXPECT_EQ(job.RemainingSectors.load(), 0u);
    EXPECT_EQ(TakeBlock(job, block, 5), 0);
  }
  EXPECT_TRUE(job.BufferFinished.load());
}

TEST_F(CacheTest, ImageShorterThanItsLayoutStillEndsTheData) {
  TJobState job;
  PrepareJob(job, 2, 10 * kCacheBlockSectors);  // the layout promised ten blocks
  TCacheThread cache(job, std::make_unique<TNumberedSource>(job, 4, true));
  WaitReady(job);
  EXPECT_EQ(Drain(job).size(), 4 * kCacheBlockBytes);
  WaitFinished(job);
}

TEST(ErrorTextTest, TextsOfEngineAndDeviceCodes) {
  EXPECT_EQ(ErrorTextFor(0, 0, ""), "Unknown/No Error!");
  EXPECT_EQ(ErrorTextFor(1, 0, ""), "Data not prepared ");
  EXPECT_EQ(ErrorTextFor(2, 0, ""), "Error opening file");
  EXPECT_EQ(ErrorTextFor(2, 0, "C:/a b.txt"), "Error opening file \\C:/a b.txt\\");
  EXPECT_EQ(ErrorTextFor(3, 0, "x"), "Error creating file \\x\\");
  EXPECT_EQ(ErrorTextFor(3, 0, ""), "Error creating file");
  EXPECT_EQ(ErrorTextFor(4, 0x3005, "x"), "Aborted by user");
  EXPECT_EQ(ErrorTextFor(0, 0x3005, "x"), "Hardware Error 12293");
}

}  // namespace
