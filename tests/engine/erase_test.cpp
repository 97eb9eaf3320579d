// The erase job per medium type, as the recorder sees it.
#include <algorithm>

#include "tests/engine/JobFixture.h"

namespace {

using fake::TFault;

struct EraseTest : JobFixture {
  // Commands after the write parameters (the last MODE SELECT before the method's own work).
  std::vector<std::vector<uint8_t>> AfterWriteParameters() const {
    const auto t = drive->Cdbs();
    const int i = IndexOf(0x55);
    return i < 0 ? t : std::vector<std::vector<uint8_t>>(t.begin() + i + 1, t.end());
  }
  std::vector<uint8_t> FormatList() const {
    const int i = IndexOf(0x04);
    return i < 0 ? std::vector<uint8_t>{} : drive->DataOut(i);
  }
};

TEST_F(EraseTest, QuickCdRwBlanksMinimallyAndWaitsUntilTheDriveIsReady) {
  drive->Medium.Profile = 0x000A;
  ASSERT_TRUE(q->SetSpeed(0, 7056));
  std::atomic<int> polls{0};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    // Two answers "operation in progress" after the BLANK.
    if (c[0] == 0x51 && IndexOf(0xA1) >= 0 && polls.fetch_add(1) < 2)
      return TFault{2, 0x02, 0x04, 0x07};
    return std::nullopt;
  };
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_EQ(eraseEvents, 1);
  EXPECT_FALSE(lastFailed);
  const auto after = AfterWriteParameters();
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0], (std::vector<uint8_t>{0xA1, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(after[i][0], 0x51);
  // The speeds remembered by SetSpeed are sent again before anything else.
  const auto speeds = Commands(0xBB);
  ASSERT_EQ(speeds.size(), 2u);
  EXPECT_EQ(speeds[1],
            (std::vector<uint8_t>{0xBB, 0x01, 0xFF, 0xFF, 0x1B, 0x90, 0, 0, 0, 0, 0, 0}));
}

TEST_F(EraseTest, FullBlankAndRefusedBlank) {
  drive->Medium.Profile = 0x0014;  // DVD-RW
  ASSERT_TRUE(q->EraseDisc(false));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(Commands(0xA1).at(0)[1], 0x10);

  eraseEvents = 0;
  drive->Forget();
  drive->Fault = [](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0xA1) return TFault{2, 0x05, 0x24, 0x00};
    return std::nullopt;
  };
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_TRUE(AfterWriteParameters().size() == 1u);  // the BLANK alone, no polling
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 9216");
}

TEST_F(EraseTest, FullBdReSendsNothingAfterTheWriteParameters) {
  drive->Medium.Profile = 0x0043;
  ASSERT_TRUE(q->EraseDisc(false));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_TRUE(AfterWriteParameters().empty());
  EXPECT_GE(IndexOf(0xBB), 0);
}

TEST_F(EraseTest, QuickBdReFormatsThenWritesSixteenZeroBlocksAndCloses) {
  drive->Medium.Profile = 0x0043;
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(FormatList(), (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x02, 0x80,
                                                0xC0, 0x00, 0x10, 0x00}));
  EXPECT_EQ(Commands(0x04).at(0)[1], 0x11);
  EXPECT_EQ(Commands(0x2A).size(), 16u);
  const auto close = Commands(0x5B);
  ASSERT_EQ(close.size(), 1u);
  EXPECT_EQ(close[0][1], 0);
  EXPECT_EQ(close[0][2], 3);
}

TEST_F(EraseTest, QuickDvdRamWritesExactly128ZeroBlocks) {
  drive->Medium.Profile = 0x0012;
  const std::vector<uint8_t> junk(65536, 0xAB);
  drive->Store(0, junk.data(), 32);
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  const auto writes = Commands(0x2A);
  ASSERT_EQ(writes.size(), 128u);
  for (size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(Lba(writes[i]), i * 32);
    EXPECT_EQ(writes[i][8], 32);
  }
  const auto start = drive->Read(0, 32);
  EXPECT_TRUE(std::all_of(start.begin(), start.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(IndexOf(0x04), -1);
  EXPECT_GT(IndexOf(0x35), IndexOf(0x2A, 127));
}

TEST_F(EraseTest, FullDvdRamFormatsAndRefusedZeroWriteFails) {
  drive->Medium.Profile = 0x0012;
  ASSERT_TRUE(q->EraseDisc(false));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(FormatList(), (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20,
                                                0x00, 0x00, 0x08, 0x00}));

  eraseEvents = 0;
  drive->Forget();
  drive->Fault = [](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 5 * 32) return TFault{2, 0x03, 0x0C, 0x00};
    return std::nullopt;
  };
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(Commands(0x2A).size(), 6u);  // the writes end at the refused one
}

TEST_F(EraseTest, FullDvdPlusRwShowsBackgroundFormatDuringTheZeroWrites) {
  drive->Medium.Profile = 0x001A;
  std::atomic<int> writesSeenAt3{0}, writes{0};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A) {
      writes.fetch_add(1);
      if (q->GetStatus() == 3) writesSeenAt3.fetch_add(1);
    }
    return std::nullopt;
  };
  ASSERT_TRUE(q->EraseDisc(false));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(writes.load(), 2048);
  EXPECT_EQ(writesSeenAt3.load(), 2048);
  EXPECT_EQ(Lba(Commands(0x2A).back()), 65504u);
  EXPECT_EQ(FormatList(), (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40,
                                                0x98, 0x00, 0x00, 0x00}));
}

TEST_F(EraseTest, QuickDvdPlusRwAndRefusedFullFormat) {
  drive->Medium.Profile = 0x001A;
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(Commands(0x2A).size(), 16u);
  ASSERT_EQ(Commands(0x5B).size(), 1u);
  EXPECT_EQ(Commands(0x5B)[0][2], 3);

  eraseEvents = 0;
  drive->Forget();
  drive->Fault = [](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x04) return TFault{2, 0x05, 0x30, 0x06};
    return std::nullopt;
  };
  ASSERT_TRUE(q->EraseDisc(false));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_TRUE(Commands(0x2A).empty());
}

}  // namespace
