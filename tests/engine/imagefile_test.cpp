// The image file of a compilation, written without a drive: whole and sparse in a regular file,
// every byte in order into a pipe, and nothing left behind when a source fails or the user stops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "engine/qvpImageFile.h"
#include "engine/qvpQuorvexPro.h"
#include "tests/support/TestEnv.h"

namespace {

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testenv::MakeTempDir("imagefile"); }
  // A compilation of the files given, laid out.
  void Compile(const std::vector<std::pair<std::string, std::string>>& files) {
    qvx_.ClearCompilation();
    for (const auto& [name, content] : files) {
      testenv::WriteFile(dir_ + "/" + name, content);
      ASSERT_NE(qvx_.InsertFile("\\", dir_ + "/" + name), nullptr);
    }
    ASSERT_GT(qvx_.PrepareImage(), 0);
  }
  TQuorvexPro qvx_{false};
  std::string dir_;
};

TEST_F(ImageFileTest, RegularFileIsWholeAndHasHolesWhereZerosAre) {
  Compile({{"a.txt", std::string(3000, 'a')}, {"zeros.bin", std::string(8 << 20, '\0')}});
  const std::string out = dir_ + "/out.iso";
  TImageFileJob job;
  uint64_t lastTotal = 0;
  job.Progress = [&](uint64_t, uint64_t total) { lastTotal = total; };
  ASSERT_EQ(qvx_.MakeImageFile(out, job), TImageFileResult::Done) << job.Error;
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), uint64_t{qvx_.GetImageSectors()} * 2048);
  EXPECT_EQ(lastTotal, static_cast<uint64_t>(st.st_size));
  EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, 4u << 20);
  const std::vector<uint8_t> image = testenv::ReadFile(out);
  EXPECT_EQ(std::string(image.begin() + 16 * 2048 + 1, image.begin() + 16 * 2048 + 6), "CD001");
  EXPECT_NE(std::search_n(image.begin(), image.end(), 3000, 'a'), image.end());
  EXPECT_EQ(qvx_.MakeImageFile(dir_ + "/no/such/folder/out.iso", job),
            TImageFileResult::CannotCreate);
}

TEST_F(ImageFileTest, PipeGetsEveryByteInOrder) {
  // A pipe cannot skip: a writer that leaves holes by seeking would fail or lose the zeros.
  Compile({{"zeros.bin", std::string(1 << 20, '\0')}, {"z.txt", "tail"}});
  const std::string fifo = dir_ + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = testenv::ReadFile(fifo); });
  TImageFileJob job;
  const TImageFileResult result = qvx_.MakeImageFile(fifo, job);
  reader.join();
  ASSERT_EQ(result, TImageFileResult::Done) << job.Error;
  const std::string copy = dir_ + "/copy.iso";
  ASSERT_EQ(qvx_.MakeImageFile(copy, job), TImageFileResult::Done);
  // The same bytes as the regular file, apart from the descriptors' time stamps.
  const std::vector<uint8_t> file = testenv::ReadFile(copy);
  ASSERT_EQ(received.size(), file.size());
  EXPECT_TRUE(std::equal(received.begin() + 64 * 2048, received.end(), file.begin() + 64 * 2048));
}

TEST_F(ImageFileTest, VanishedSourceAndAbortLeaveNoFile) {
  Compile({{"gone", "soon gone"}});
  std::remove((dir_ + "/gone").c_str());
  const std::string out = dir_ + "/out.iso";
  TImageFileJob job;
  EXPECT_EQ(qvx_.MakeImageFile(out, job), TImageFileResult::SourceFailed);
  EXPECT_EQ(job.Error, "Source file changed while it was written: " + dir_ + "/gone (vanished)");
  EXPECT_FALSE(std::filesystem::exists(out));

  const std::vector<uint8_t> big = testenv::RandomBytes(4 << 20, 7);
  Compile({{"big.bin", std::string(big.begin(), big.end())}});
  TImageFileJob stop;
  stop.AbortRequested = [] { return true; };
  EXPECT_EQ(qvx_.MakeImageFile(out, stop), TImageFileResult::Aborted);
  EXPECT_EQ(stop.Error, "Aborted by user");
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
