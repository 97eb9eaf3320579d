// Reading a whole disc into an image file.
#include <dirent.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "reader/rdDevices.h"
#include "tests/reader/DiscDrive.h"

using rdtest::TDiscDrive;

namespace {

std::vector<uint8_t> Read10(uint32_t lba, uint16_t count) {
  return {0x28,
          0,
          static_cast<uint8_t>(lba >> 24),
          static_cast<uint8_t>(lba >> 16),
          static_cast<uint8_t>(lba >> 8),
          static_cast<uint8_t>(lba),
          0,
          static_cast<uint8_t>(count >> 8),
          static_cast<uint8_t>(count),
          0};
}

int OpenFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

class ReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    drive = std::make_shared<TDiscDrive>();
    scripted::InstallDrives({drive});
    image = testenv::MakeTempDir("out") + "/ardovan.iso";
  }
  void TearDown() override { scripted::RemoveDrives(); }

  // Reads the disc of the one drive through a fresh list, recording messages and progress.
  bool Copy() {
    rd::TDevices list;
    EXPECT_EQ(list.Count(), 1);
    rd::TDeviceReader& reader = list.Items(0)->Reader();
    reader.OnMessage = [this](rd::TDeviceReader*, const std::string& t) { messages.push_back(t); };
    reader.OnProgress = [this](rd::TDeviceReader*, int32_t block, int32_t percent) {
      progress.emplace_back(block, percent);
    };
    drive->Forget();
    return reader.ReadToImage(image);
  }

  std::shared_ptr<TDiscDrive> drive;
  std::string image;
  std::vector<std::string> messages;
  std::vector<std::pair<int, int>> progress;
};

TEST_F(ReaderTest, DiscOf33BlocksIsReadInChunksOf16And16And1) {
  auto disc = testenv::RandomBytes(33 * 2048, 33);
  drive->Load(disc);
  ASSERT_TRUE(Copy());
  EXPECT_EQ(testenv::ReadFile(image), disc);

  auto reads = drive->Cdbs(0x28);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0], Read10(0, 16));
  EXPECT_EQ(reads[1], Read10(16, 16));
  EXPECT_EQ(reads[2], Read10(32, 1));
  // The table of contents is read twice, format 0 with 804 bytes.
  auto tocs = drive->Cdbs(0x43);
  ASSERT_EQ(tocs.size(), 2u);
  EXPECT_EQ(tocs[0], (std::vector<uint8_t>{0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));

  EXPECT_EQ(messages, (std::vector<std::string>{"Get Last Block Address : 33",
                                                "Allocate Buffer Memory", "Start Streaming...",
                                                "DeAllocate Buffer Memory", "Close Data Stream"}));
  // Small discs: Block × 100 / LastBlock.
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 0}, {16, 48}, {32, 96}}));
}

TEST_F(ReaderTest, ProgressOfLargerDiscsStaysWithinHundred) {
  drive->Load(std::vector<uint8_t>(150 * 2048, 1));
  ASSERT_TRUE(Copy());
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), (std::pair<int, int>{144, 100}));

  progress.clear();
  drive->Load(std::vector<uint8_t>(1001 * 2048, 2));
  ASSERT_TRUE(Copy());
  // (1001 - 1) / 100 = 10 blocks a percent.
  EXPECT_EQ(progress[1], (std::pair<int, int>{16, 1}));
  EXPECT_EQ(progress.back(), (std::pair<int, int>{992, 99}));
  EXPECT_EQ(testenv::ReadFile(image).size(), 1001u * 2048);
}

TEST_F(ReaderTest, LeadOutAtZeroGivesAnEmptyFile) {
  testenv::WriteFile(image, "an older image");
  drive->Load({});
  EXPECT_TRUE(Copy());
  EXPECT_TRUE(testenv::ReadFile(image).empty());
  EXPECT_TRUE(drive->Seen(0x28).empty());
  EXPECT_EQ(messages, (std::vector<std::string>{"Get Last Block Address : 0"}));
}

TEST_F(ReaderTest, MediumChangeReportedOnTheFirstReadingDoesNotLoseTheDisc) {
  auto disc = testenv::RandomBytes(21 * 2048, 21);
  drive->Load(disc);
  rd::TDevices list;
  drive->PendUnitAttention();
  EXPECT_TRUE(list.Items(0)->Reader().ReadToImage(image));
  EXPECT_EQ(testenv::ReadFile(image), disc);
}

TEST_F(ReaderTest, UnreadableTableOfContentsIsAFailure) {
  drive->Load(std::vector<uint8_t>(40 * 2048, 7));
  drive->FailToc();
  EXPECT_FALSE(Copy());
  EXPECT_TRUE(testenv::ReadFile(image).empty());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Cannot Read TOC : Status 4, Sense 3/57/00");
  EXPECT_EQ(messages[1], "Get Last Block Address : 0");
}

TEST_F(ReaderTest, UnreadableBlocksBecomeZerosAndFailTheCopy) {
  auto disc = testenv::RandomBytes(50 * 2048, 50);
  drive->Load(disc);
  drive->FailReads(14, 5);  // blocks 14..18, across the first two chunks
  EXPECT_FALSE(Copy());

  auto expected = disc;
  std::fill(expected.begin() + 14 * 2048, expected.begin() + 19 * 2048, 0);
  auto got = testenv::ReadFile(image);
  ASSERT_EQ(got.size(), disc.size());
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(messages, (std::vector<std::string>{"Get Last Block Address : 50",
                                                "Allocate Buffer Memory", "Start Streaming...",
                                                "Unreadable Blocks : 14 - 18, written as zeros",
                                                "DeAllocate Buffer Memory", "Close Data Stream"}));
  EXPECT_EQ(progress.size(), 4u);
}

TEST_F(ReaderTest, ChunkThatFailsOnceIsReadAgain) {
  auto disc = testenv::RandomBytes(20 * 2048, 20);
  drive->Load(disc);
  drive->FailReads(3, 1, 1);
  EXPECT_TRUE(Copy());
  EXPECT_EQ(testenv::ReadFile(image), disc);
  EXPECT_EQ(drive->Seen(0x28).size(), 3u);  // chunk 0 twice, chunk 1 once
  EXPECT_EQ(messages.size(), 5u);
}

TEST_F(ReaderTest, CopyStopsWhenTheMediumLeavesTheDrive) {
  drive->Load(std::vector<uint8_t>(2000 * 2048, 4));
  rd::TDevices list;
  rd::TDeviceReader& reader = list.Items(0)->Reader();
  reader.OnMessage = [this](rd::TDeviceReader*, const std::string& t) { messages.push_back(t); };
  reader.OnProgress = [this](rd::TDeviceReader*, int32_t block, int32_t) {
    if (block == 16) drive->Eject();
  };
  drive->Forget();
  EXPECT_FALSE(reader.ReadToImage(image));
  EXPECT_EQ(drive->Seen(0x28).size(), 3u);
  EXPECT_EQ(testenv::ReadFile(image).size(), 32u * 2048);
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[3], "Medium Removed at Block : 32");
  EXPECT_EQ(messages[5], "Close Data Stream");
}

TEST_F(ReaderTest, FileIsClosedWhenAnEventThrows) {
  drive->Load(std::vector<uint8_t>(40 * 2048, 3));
  rd::TDevices list;
  rd::TDeviceReader& reader = list.Items(0)->Reader();
  reader.OnProgress = [](rd::TDeviceReader*, int32_t block, int32_t) {
    if (block == 16) throw std::runtime_error("stop");
  };
  const int before = OpenFileCount();
  EXPECT_THROW(reader.ReadToImage(image), std::runtime_error);
  EXPECT_EQ(OpenFileCount(), before);
  EXPECT_EQ(testenv::ReadFile(image).size(), 32u * 2048);
}

TEST_F(ReaderTest, FileThatCannotBeCreatedFailsTheCopy) {
  drive->Load(std::vector<uint8_t>(4 * 2048, 3));
  image = testenv::MakeTempDir("out") + "/missing/ardovan.iso";
  EXPECT_FALSE(Copy());
  EXPECT_TRUE(drive->Seen(0x28).empty());
}

}  // namespace
