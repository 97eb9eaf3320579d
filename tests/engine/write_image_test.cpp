// The write job on an image file, as the recorder sees it: the preparation of the drive, one
// WRITE per block from LBA 0, the buffer polls, the closing each medium type needs, and every way
// the data phase can end.
#include <algorithm>

#include "platform/Threads.h"
#include "tests/engine/JobFixture.h"
#include "tests/support/TestEnv.h"

namespace {

using fake::TFault;

struct WriteImageTest : JobFixture {
  std::string image;
  std::vector<uint8_t> bytes;

  // An image of `blocks` whole blocks plus `extra` bytes.
  void MakeImage(uint32_t blocks, uint32_t extra = 0) {
    bytes = testenv::RandomBytes(size_t(blocks) * 65536 + extra, 99);
    image = testenv::MakeTempDir() + "/disc.iso";
    testenv::WriteFile(image, bytes);
  }
  void Insert(uint16_t profile, uint8_t sessions = 1) {
    drive->Medium.Profile = profile;
    drive->Medium.Sessions = sessions;
  }
  // The closing commands as (immediate, function, track number) triples.
  std::vector<std::vector<int>> Closes() const {
    std::vector<std::vector<int>> out;
    for (const auto& c : Commands(0x5B)) out.push_back({c[1] & 1, c[2] & 7, c[4] << 8 | c[5]});
    return out;
  }
};

TEST_F(WriteImageTest, BlankCdRGetsTheImageFromLbaZeroAndAnOpenSession) {
  MakeImage(20, 3 * 2048 + 100);  // the last sector is partial
  Insert(0x0009);
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(q->GetTotalSectors(), 20 * 32 + 4);
  EXPECT_EQ(q->GetWrittenSectors(), 20 * 32 + 4);

  // Every byte of the file from LBA 0, the partial last sector padded with zeros.
  const auto written = drive->Read(0, 20 * 32 + 4);
  ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), written.begin()));
  EXPECT_TRUE(
      std::all_of(written.begin() + bytes.size(), written.end(), [](uint8_t b) { return b == 0; }));

  const auto writes = Commands(0x2A);
  ASSERT_EQ(writes.size(), 21u);
  for (size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(Lba(writes[i]), i * 32);
    EXPECT_EQ(writes[i][8], i < 20 ? 32 : 4);
  }
  // No streaming on CD; the session is closed with the immediate bit.
  EXPECT_EQ(IndexOf(0xB6), -1);
  EXPECT_EQ(Closes(), (std::vector<std::vector<int>>{{1, 2, 0}}));
  // The write parameters sent last before the close ask for a next session (multi-session 11b).
  const int close = IndexOf(0x5B);
  int select = -1;
  for (int i = 0; i < close; ++i)
    if (drive->Cdbs()[i][0] == 0x55) select = i;
  ASSERT_GE(select, 0);
  const auto page = drive->DataOut(select);
  ASSERT_GE(page.size(), 12u);
  EXPECT_EQ(page[8 + 3] & 0xC0, 0xC0);
  EXPECT_EQ(page[8 + 2] & 0x40, 0x40);  // buffer-underrun protection: the drive has it
  // Image writes never write a first block at LBA 0 twice.
  EXPECT_EQ(std::count_if(writes.begin(), writes.end(), [](const auto& c) { return Lba(c) == 0; }),
            1);
}

TEST_F(WriteImageTest, FinalizedCdRAsksForNoNextSession) {
  MakeImage(2);
  Insert(0x0009);
  q->SetFinalizeDisc(true);
  q->SetBurnProof(false);
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  const int close = IndexOf(0x5B);
  int select = -1;
  for (int i = 0; i < close; ++i)
    if (drive->Cdbs()[i][0] == 0x55) select = i;
  ASSERT_GE(select, 0);
  const auto page = drive->DataOut(select);
  ASSERT_GE(page.size(), 12u);
  EXPECT_EQ(page[8 + 2] & 0x4F, 0x01);  // track at once, no underrun protection asked for
  EXPECT_EQ(page[8 + 3] & 0xC0, 0x00);
}

TEST_F(WriteImageTest, BufferIsPolledAfterTheThirdBlockAndEverySixth) {
  MakeImage(16);
  Insert(0x001A);  // DVD+RW
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  // Positions of the polls among the writes (the first READ BUFFER CAPACITY is the set-up's).
  std::vector<int> pollsAfter;
  int writes = 0;
  bool setupPollSeen = false;
  for (const auto& c : drive->Cdbs()) {
    if (c[0] == 0x2A) ++writes;
    if (c[0] == 0x5C) {
      if (!setupPollSeen) {
        setupPollSeen = true;
        EXPECT_EQ(writes, 0);
        continue;
      }
      pollsAfter.push_back(writes);
    }
  }
  EXPECT_EQ(pollsAfter, (std::vector<int>{3, 9, 15}));
  // The figures are cleared by the closing.
  EXPECT_EQ(q->GetDriveBufferSize(), 0);
  EXPECT_EQ(q->GetDriveBufferUsed(), 0);
}

TEST_F(WriteImageTest, DriveThatRefusesBufferCapacityIsNotPolled) {
  MakeImage(12);
  Insert(0x001A);
  drive->Medium.BufferCapacityFails = true;
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(Commands(0x5C).size(), 1u);
}

TEST_F(WriteImageTest, ClosingSequencePerMediumType) {
  struct Case {
    uint16_t profile;
    bool finalize;
    std::vector<std::vector<int>> closes;
    bool streaming;
  };
  // Two complete sessions on the sequential media: S = 2.
  const Case cases[] = {
      {0x0011, false, {{0, 1, 3}, {0, 1, 4}, {0, 2, 5}}, true},  // DVD-R
      {0x001B, false, {{0, 1, 3}, {0, 2, 255}}, true},           // DVD+R
      {0x001B, true, {{0, 1, 3}, {0, 6, 0}}, true},              // DVD+R, finalized
      {0x002B, false, {{0, 1, 3}, {0, 2, 0}}, true},             // DVD+R DL
      {0x002B, true, {{0, 1, 3}, {0, 6, 0}}, true},              // DVD+R DL, finalized
      {0x001A, false, {{0, 3, 255}}, true},                      // DVD+RW
      {0x0014, false, {{0, 1, 1}, {1, 2, 0}}, true},             // DVD-RW sequential
      {0x000A, false, {{1, 2, 0}}, false},                       // CD-RW
      {0x0041, false, {{0, 1, 0}, {1, 2, 0}}, true},             // BD-R
      {0x0041, true, {{0, 1, 0}, {1, 6, 0}}, true},              // BD-R, finalized
      {0x0012, false, {{0, 1, 0}, {1, 2, 0}}, false},            // DVD-RAM
  };
  MakeImage(4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    drive->Forget();
    writeEvents = 0;
    Insert(c.profile, 2);
    drive->Medium.LastSessionState = 3;  // complete: both sessions count
    q->SetFinalizeDisc(c.finalize);
    ASSERT_TRUE(q->BurnImage(image));
    WaitForEvent();
    EXPECT_FALSE(lastFailed);
    EXPECT_EQ(Closes(), c.closes);
    EXPECT_EQ(IndexOf(0xB6) >= 0, c.streaming);
    // DVD-R alone gets the time stamp and the reservation of the image's size.
    const auto reserve = Commands(0x53);
    if (c.profile == 0x0011) {
      ASSERT_EQ(reserve.size(), 1u);
      EXPECT_EQ(Lba(std::vector<uint8_t>{0, 0, reserve[0][5], reserve[0][6], reserve[0][7],
                                         reserve[0][8]}),
                4u * 32);
      const int stamp = IndexOf(0xBF);
      ASSERT_GE(stamp, 0);
      EXPECT_EQ(drive->Cdbs()[stamp][7], 0x0F);
      EXPECT_LT(stamp, IndexOf(0x53));
    } else {
      EXPECT_TRUE(reserve.empty());
      EXPECT_EQ(IndexOf(0xBF), -1);
    }
    // Only DVD-RAM skips the final readiness checks and the reload.
    EXPECT_EQ(IndexOf(0x1E) >= 0, c.profile != 0x0012);
  }
}

TEST_F(WriteImageTest, StreamingCoversTheTrackWithTheDriveSpeeds) {
  MakeImage(4);
  Insert(0x001B);
  drive->Medium.TrackInfoFails = true;  // the track size then comes from the image
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  const int i = IndexOf(0xB6);
  ASSERT_GE(i, 0);
  const auto d = drive->DataOut(i);
  ASSERT_EQ(d.size(), 28u);
  const std::vector<uint8_t> expected = {
      0, 0, 0,    0,    0, 0, 0,    0,    0, 0, 0, 128,  // LBA 0 to 128
      0, 0, 0x21, 0x13, 0, 0, 0x03, 0xE8,                // read 8467 per 1000 ms
      0, 0, 0x1B, 0x90, 0, 0, 0x03, 0xE8};               // write 7056 per 1000 ms
  EXPECT_EQ(d, expected);
}

TEST_F(WriteImageTest, BusyAndNotReadyWritesAreRetried) {
  MakeImage(6);
  Insert(0x001B);
  std::atomic<int> refusals{0};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] != 0x2A || Lba(c) != 64) return std::nullopt;
    const int n = refusals.fetch_add(1);
    if (n < 2) return TFault{8};                    // BUSY
    if (n < 4) return TFault{2, 0x02, 0x04, 0x08};  // long write in progress
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(refusals.load(), 5);
  const auto written = drive->Read(0, 6 * 32);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), written.begin()));
}

TEST_F(WriteImageTest, RefusedWriteEndsWithStatusNineClosingAndHardwareError) {
  MakeImage(10);
  Insert(0x0011);
  std::atomic<uint16_t> statusAtClose{0xFFFF};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 96) return TFault{2, 0x03, 0x0C, 0x00};  // write error
    if (c[0] == 0x5B && statusAtClose.load() == 0xFFFF) statusAtClose = q->GetStatus();
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(statusAtClose.load(), 9);
  EXPECT_EQ(Commands(0x2A).size(), 4u);  // three blocks, then the refused one, not retried
  EXPECT_EQ(Commands(0x5B).size(), 3u);  // the track and session are closed all the same
  EXPECT_EQ(q->GetWrittenSectors(), 96);
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 3072");
  EXPECT_EQ(q->GetLastErrorText(), "Unknown/No Error!");
}

TEST_F(WriteImageTest, AbortDuringTheDataLoopStillClosesAndReportsAborted) {
  MakeImage(40);
  Insert(0x001B);
  q->SetCacheSize(2);
  std::atomic<uint16_t> statusAtClose{0xFFFF};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 5 * 32) q->Abort();
    if (c[0] == 0x5B && statusAtClose.load() == 0xFFFF) statusAtClose = q->GetStatus();
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(statusAtClose.load(), 4);
  EXPECT_EQ(Commands(0x2A).size(), 6u);
  EXPECT_EQ(Commands(0x5B).size(), 2u);
  EXPECT_EQ(q->GetLastErrorText(), "Aborted by user");
  // Then the device's own code: the recorder refused the vendor page 30h (24h/00h).
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 9216");
  EXPECT_EQ(q->GetLastErrorText(), "Unknown/No Error!");
  // The next job starts clean.
  drive->Fault = nullptr;
  writeEvents = 0;
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
}

TEST_F(WriteImageTest, WriteSpeedReturnsThePreviousFigure) {
  MakeImage(8);
  Insert(0x001B);
  EXPECT_EQ(q->GetWriteSpeed(), 0);  // the first call after start-up
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  const uint16_t first = q->GetWriteSpeed();  // the figure of the call before: 0
  EXPECT_EQ(first, 0);
  const uint16_t second = q->GetWriteSpeed();
  EXPECT_GT(second, 0);
  EXPECT_EQ(q->GetWriteSpeed(), second);
  EXPECT_EQ(q->GetVerifySpeed(), 0);  // its own remembered figure
  EXPECT_EQ(q->GetVerifySpeed(), second);
}

TEST_F(WriteImageTest, ComponentWithoutOwnerCallsTheHandlerOnTheJobThread) {
  MakeImage(3);
  Insert(0x001B);
  TQuorvexPro lone(false);
  ASSERT_TRUE(lone.InitializeDevices(0, "", ""));
  ASSERT_TRUE(lone.SelectDevice(0));
  std::atomic<int> events{0};
  std::atomic<bool> failed{true};
  plat::TEvent done;
  lone.OnWriteDone = [&](TQuorvexPro* s, uint8_t, bool f) {
    EXPECT_EQ(s, &lone);
    failed = f;
    events.fetch_add(1);
    done.Set();
  };
  ASSERT_TRUE(lone.BurnImage(image));
  done.Wait();
  EXPECT_FALSE(failed.load());
  EXPECT_EQ(events.load(), 1);

  // A handler that starts the next burn from the job thread itself.
  done.Reset();
  events = 0;
  lone.OnWriteDone = [&](TQuorvexPro* s, uint8_t, bool f) {
    failed = f;
    if (events.fetch_add(1) == 0) {
      EXPECT_TRUE(s->BurnImage(image));
    } else {
      done.Set();
    }
  };
  ASSERT_TRUE(lone.BurnImage(image));
  done.Wait();
  EXPECT_FALSE(failed.load());
  EXPECT_EQ(events.load(), 2);
}

TEST_F(WriteImageTest, DestroyingTheComponentDuringAWriteAbortsAndWaits) {
  MakeImage(30);
  Insert(0x001B);
  plat::TEvent writing;
  TQuorvexPro* component = q.get();
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 64) {
      writing.Set();
      // Hold the third WRITE until the destructor has asked the job to stop.
      for (int i = 0; i < 5000 && component->GetStatus() != 7; ++i) plat::Sleep(1000);
    }
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  writing.Wait();
  q.reset();  // must neither crash nor leave a thread behind
  EXPECT_EQ(Commands(0x2A).size(), 3u);
  EXPECT_EQ(Commands(0x5B).size(), 2u);
}

}  // namespace
