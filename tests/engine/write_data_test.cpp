// The write job on a compilation: where the image goes on the medium, the first block written
// again at LBA 0 on grown volumes, the formatting DVD-RW needs, and the failures of the stream.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/Threads.h"
#include "tests/engine/JobFixture.h"
#include "tests/support/TestEnv.h"

namespace {

using fake::TFault;

uint32_t Le32(const std::vector<uint8_t>& s, size_t at) {
  return uint32_t(s[at]) | uint32_t(s[at + 1]) << 8 | uint32_t(s[at + 2]) << 16 |
         uint32_t(s[at + 3]) << 24;
}

struct WriteDataTest : JobFixture {
  std::string dir;

  // A folder with files of the given sizes, named f0, f1, ...
  void MakeFolder(const std::vector<size_t>& sizes) {
    dir = testenv::MakeTempDir("src");
    for (size_t i = 0; i < sizes.size(); ++i)
      testenv::WriteFile(dir + "/f" + std::to_string(i),
                         testenv::RandomBytes(sizes[i], uint32_t(i + 1)));
  }
  int32_t Compile() {
    q->ClearCompilation();
    EXPECT_NE(q->InsertDir("\\", dir, false, true, "*.*"), nullptr);
    return q->PrepareImage();
  }
  void Insert(uint16_t profile) { drive->Medium.Profile = profile; }
  // A primary volume descriptor of `size` sectors at LBA 16 and nothing else up to LBA 31, as
  // an earlier burn without Joliet left it.
  void PutVolume(uint32_t size) {
    std::vector<uint8_t> pvd(16 * 2048, 0);
    pvd[0] = 1;
    std::memcpy(&pvd[1], "CD001", 5);
    pvd[6] = 1;
    for (int i = 0; i < 4; ++i) pvd[80 + i] = uint8_t(size >> (8 * i));
    drive->Store(16, pvd.data(), 16);
  }
  std::vector<uint32_t> WriteLbas() const {
    std::vector<uint32_t> out;
    for (const auto& c : Commands(0x2A)) out.push_back(Lba(c));
    return out;
  }
};

TEST_F(WriteDataTest, DvdPlusRwGrowsTheVolumeAndRewritesItsFirstBlockAtZero) {
  MakeFolder({100000, 5000});
  Insert(0x001A);
  PutVolume(3200);
  ASSERT_GT(Compile(), 0);
  ASSERT_TRUE(q->BurnData());
  const int32_t total = q->GetTotalSectors();
  ASSERT_EQ(total % 32, 0);
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  const auto lbas = WriteLbas();
  ASSERT_EQ(lbas.size(), size_t(total / 32) + 1);
  EXPECT_EQ(lbas[0], 0u);
  for (size_t i = 1; i < lbas.size(); ++i) EXPECT_EQ(lbas[i], 3200 + (i - 1) * 32);
  // The descriptors at LBA 0 and at the session start describe the grown volume.
  const auto atZero = drive->Read(16, 1);
  const auto atStart = drive->Read(3200 + 16, 1);
  EXPECT_EQ(atZero, atStart);
  EXPECT_EQ(Le32(atZero, 80), 3200u + uint32_t(total));
  // The files follow the layout at the session start.
  EXPECT_EQ(q->GetVerifyTotalSectors(), 49 + 3);
}

TEST_F(WriteDataTest, GrownVolumeWithUdfMovesTheAnchorAt256ToTheNewImage) {
  MakeFolder({100000, 5000});
  q->SetUDFBridge(true);
  for (const uint16_t profile : {0x001A, 0x0012, 0x0043}) {  // DVD+RW, DVD-RAM, BD-RE
    SCOPED_TRACE(profile);
    writeEvents = 0;
    drive->Forget();
    Insert(profile);
    PutVolume(3200);
    // The anchor's first try finds the drive becoming ready: retried like the first block.
    std::atomic<int> anchorTries{0};
    drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
      if (c[0] == 0x2A && Lba(c) == 256 && anchorTries.fetch_add(1) == 0)
        return TFault{2, 0x02, 0x04, 0x08};
      return std::nullopt;
    };
    Compile();
    ASSERT_TRUE(q->BurnData());
    WaitForEvent();
    EXPECT_FALSE(lastFailed);
    EXPECT_EQ(anchorTries.load(), 2);
    const auto writes = Commands(0x2A);
    ASSERT_GE(writes.size(), 4u);
    EXPECT_EQ(Lba(writes[0]), 0u);
    EXPECT_EQ(Lba(writes[1]), 256u);
    EXPECT_EQ(Lba(writes[2]), 256u);
    EXPECT_EQ(writes[2][7] << 8 | writes[2][8], 2);  // the anchor and the file set
    EXPECT_EQ(Lba(writes[3]), 3200u);
    // Tag 2 at location 256; main and reserve sequences of the image written at 3200.
    const auto anchor = drive->Read(256, 1);
    EXPECT_EQ(std::vector<uint8_t>(anchor.begin(), anchor.begin() + 2),
              (std::vector<uint8_t>{0x02, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(anchor.begin() + 12, anchor.begin() + 32),
              (std::vector<uint8_t>{0x00, 0x01, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0xA0, 0x0C,
                                    0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0xB0, 0x0C, 0x00, 0x00}));
    // The file set at the partition's start (its block 0) is the new image's.
    const auto fileSet = drive->Read(257, 1);
    EXPECT_EQ(std::vector<uint8_t>(fileSet.begin(), fileSet.begin() + 2),
              (std::vector<uint8_t>{0x00, 0x01}));
    EXPECT_EQ(std::vector<uint8_t>(fileSet.begin() + 12, fileSet.begin() + 16),
              (std::vector<uint8_t>(4, 0)));
    const auto own = drive->Read(3200 + 257, 1);
    EXPECT_EQ(std::vector<uint8_t>(fileSet.begin() + 400, fileSet.begin() + 416),
              std::vector<uint8_t>(own.begin() + 400, own.begin() + 416));  // the same root
  }

  // A blank medium: the image starts at 0 and brings its own anchor.
  writeEvents = 0;
  drive->Forget();
  drive->Fault = nullptr;
  PutVolume(0);
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  const auto lbas = WriteLbas();
  EXPECT_EQ(std::count(lbas.begin(), lbas.end(), 256u), 1);
  EXPECT_EQ(std::count(lbas.begin(), lbas.end(), 0u), 1);
}

TEST_F(WriteDataTest, IncompatibleFormatOnTheFirstBlockFormatsOnceAndRetriesOnce) {
  MakeFolder({4000});
  Insert(0x001A);
  PutVolume(640);
  Compile();
  std::atomic<int> refusals{0};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 0 && refusals.fetch_add(1) == 0)
      return TFault{2, 0x05, 0x30, 0x05};
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(refusals.load(), 2);
  ASSERT_EQ(Commands(0x04).size(), 1u);
  EXPECT_EQ(drive->DataOut(IndexOf(0x04)),
            (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00,
                                  0x00}));

  // A medium that keeps refusing: still one format, one retry, then a write error.
  writeEvents = 0;
  drive->Forget();
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 0) return TFault{2, 0x05, 0x30, 0x05};
    return std::nullopt;
  };
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(Commands(0x04).size(), 1u);
  EXPECT_EQ(WriteLbas(), (std::vector<uint32_t>{0, 0}));
  EXPECT_FALSE(Commands(0x5B).empty());
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 12293");
}

TEST_F(WriteDataTest, RefusedSimulationEndsTheJobBeforeAnyWrite) {
  MakeFolder({70000, 3000});
  Insert(0x001B);  // DVD+R: drives do not simulate on it
  q->SetTestWrite(true);
  std::atomic<int> selects{0};
  std::atomic<int> refuseFrom{0};  // MODE SELECTs before the first refused one
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x55 && selects.fetch_add(1) >= refuseFrom.load())
      return TFault{2, 0x05, 0x26, 0x02};
    return std::nullopt;
  };
  auto expectUntouched = [&](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(lastFailed);
    EXPECT_TRUE(Commands(0x2A).empty());
    // Nothing was written: no closing, no formatting, no reload of the medium.
    EXPECT_TRUE(Commands(0x5B).empty());
    EXPECT_TRUE(Commands(0x04).empty());
    EXPECT_TRUE(Commands(0x1B).empty());
    EXPECT_EQ(q->GetWrittenSectors(), 0);
    EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 9730");
  };

  // Every MODE SELECT refused, from the set-up's on.
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  expectUntouched("data write");

  // Only the write thread's second page refused (the one asking for the session to stay open).
  writeEvents = 0;
  drive->Forget();
  selects = 0;
  refuseFrom = 2;
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  expectUntouched("second page");
  EXPECT_EQ(selects.load(), 3);

  // An image write has no set-up page of its own; the write thread's refusal ends it all the same.
  writeEvents = 0;
  drive->Forget();
  selects = 0;
  refuseFrom = 0;
  const std::string image = testenv::MakeTempDir() + "/disc.iso";
  testenv::WriteFile(image, testenv::RandomBytes(3 * 65536, 7));
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  expectUntouched("image write");

  // Without simulation a refused page is not examined: the write goes ahead as before.
  writeEvents = 0;
  drive->Forget();
  selects = 0;
  q->SetTestWrite(false);
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(Commands(0x2A).size(), 3u);
  EXPECT_FALSE(Commands(0x5B).empty());
}

TEST_F(WriteDataTest, SessionStartFollowsTheNextWritableAddress) {
  MakeFolder({3000});
  Insert(0x001B);  // DVD+R with a first session
  drive->Medium.NextWritable = 12000;
  drive->Medium.TrackStart = 12000;
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_EQ(WriteLbas().front(), 12000u);
  const auto pvd = drive->Read(12000 + 16, 1);
  EXPECT_EQ(std::string(pvd.begin() + 1, pvd.begin() + 6), "CD001");

  // A next writable address of exactly 1000 is a blank medium.
  writeEvents = 0;
  drive->Forget();
  drive->Medium.NextWritable = 1000;
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_EQ(WriteLbas().front(), 0u);

  // No track information at all: a blank medium, never the previous job's start.
  writeEvents = 0;
  drive->Forget();
  drive->Medium.NextWritable = 12000;
  drive->Medium.TrackInfoFails = true;
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_EQ(WriteLbas().front(), 0u);
}

TEST_F(WriteDataTest, DvdRwIsFormattedBeforeTheWrite) {
  MakeFolder({3000});
  Insert(0x0014);  // sequential: the first list refused, then the second
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x04 && Commands(0x04).size() == 1) return TFault{2, 0x05, 0x26, 0x00};
    return std::nullopt;
  };
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  ASSERT_EQ(Commands(0x04).size(), 2u);
  EXPECT_EQ(drive->DataOut(IndexOf(0x04, 0)),
            (std::vector<uint8_t>{0x00, 0xA2, 0x00, 0x08, 0x00, 0x00, 0x03, 0xE8, 0x54, 0x00, 0x00,
                                  0x10}));
  EXPECT_EQ(drive->DataOut(IndexOf(0x04, 1)),
            (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x54, 0x00, 0x00,
                                  0x10}));

  writeEvents = 0;
  drive->Forget();
  drive->Fault = nullptr;
  Insert(0x0013);  // restricted overwrite: quick grow
  Compile();
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  ASSERT_EQ(Commands(0x04).size(), 1u);
  EXPECT_EQ(drive->DataOut(IndexOf(0x04)),
            (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x4C, 0x00, 0x00,
                                  0x10}));
}

TEST_F(WriteDataTest, SourceThatCannotBeReadIsFoundBeforeAnyCommand) {
  // A write-once disc must not be spent on a compilation whose files cannot all be read.
  MakeFolder({5000, 5000, 5000});
  Insert(0x001B);
  Compile();
  ASSERT_EQ(::unlink((dir + "/f0").c_str()), 0);
  ASSERT_EQ(::chmod((dir + "/f2").c_str(), 0), 0);
  drive->Forget();
  EXPECT_FALSE(q->BurnData());
  EXPECT_TRUE(drive->Cdbs().empty());
  EXPECT_EQ(q->NotifyQueue()->DispatchPending(), 0u);
  EXPECT_EQ(writeEvents, 0);
  EXPECT_EQ(q->GetLastErrorText(), "Error opening file \\" + dir + "/f0\\");
  // Root reads everything: the unreadable file is then no obstacle.
  if (::geteuid() == 0) return;
  testenv::WriteFile(dir + "/f0", std::string("back"));
  EXPECT_FALSE(q->BurnData());
  EXPECT_EQ(q->GetLastErrorText(), "Error opening file \\" + dir + "/f2\\");
}

TEST_F(WriteDataTest, SourceChangedWhileStreamingKeepsTheLayoutAndFailsTheJob) {
  // Ten files of 1 MiB through a 2 MiB buffer: the last is opened long after the start.
  MakeFolder(std::vector<size_t>(10, 1 << 20));
  Insert(0x001B);
  q->SetCacheSize(2);
  Compile();
  // The first WRITE is where the files change: f8 is cut short, f9 vanishes.
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Commands(0x2A).size() == 1) {
      ::truncate((dir + "/f8").c_str(), 1000);
      ::unlink((dir + "/f9").c_str());
    }
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  // The disc holds the whole layout, the lost bytes as zeros.
  EXPECT_EQ(q->GetWrittenSectors(), q->GetTotalSectors());
  EXPECT_EQ(Commands(0x5B).size(), 2u);
  EXPECT_EQ(q->GetLastErrorCode(), kErrSourceChanged);
  EXPECT_EQ(q->GetLastErrorText(), "Source file changed while it was written: " + dir +
                                       "/f8 (shorter than when the compilation was made)");
}

TEST_F(WriteDataTest, AbortWhileTheBufferFills) {
  // A sparse file larger than the buffer keeps the producer busy long enough to be caught.
  dir = testenv::MakeTempDir("sparse");
  {
    FILE* f = std::fopen((dir + "/big").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::ftruncate(fileno(f), off_t(1) << 30), 0);
    std::fclose(f);
  }
  Insert(0x001B);
  q->SetCacheSize(256);
  Compile();
  std::thread aborter([&] {
    while (q->GetCacheUsed() == 0) std::this_thread::yield();
    q->Abort();
  });
  EXPECT_FALSE(q->BurnData());
  aborter.join();
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_TRUE(Commands(0x2A).empty());
  EXPECT_EQ(q->GetLastErrorText(), "Aborted by user");
}

}  // namespace
