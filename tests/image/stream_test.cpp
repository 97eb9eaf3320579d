// The image stream: pieces in order, padding, requests of any size, sources that changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/qvpCommonLib.h"
#include "image/qvpImageStream.h"
#include "tests/image/image_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using namespace imgtest;

namespace {

// Streams the whole image with requests cycling through the given sizes.
std::vector<uint8_t> StreamAll(TImageBuilder& b, std::vector<uint32_t> sizes,
                               TImageStream** keep = nullptr) {
  EXPECT_TRUE(RenderMetadata(b));
  static thread_local std::unique_ptr<TImageStream> holder;
  holder = std::make_unique<TImageStream>(b);
  if (keep) *keep = holder.get();
  std::vector<uint8_t> out;
  for (size_t i = 0;; ++i) {
    const uint32_t n = sizes[i % sizes.size()];
    std::vector<uint8_t> buf(static_cast<size_t>(n) * 2048, 0xEE);
    const int64_t got = holder->Read(buf.data(), n);
    if (got <= 0) {
      EXPECT_EQ(got, 0);
      break;
    }
    out.insert(out.end(), buf.begin(), buf.begin() + got * 2048);
  }
  return out;
}

struct StreamTest : ::testing::Test {
  TImageBuilder b;
  std::string dir;
  void SetUp() override {
    ClearCompilation(b);
    dir = testenv::MakeTempDir("stream");
  }
  TFileNode* Source(const std::string& name, const std::string& content) {
    testenv::WriteFile(dir + "/" + name, content);
    return InsertFile(b, "\\", dir + "/" + name);
  }
};

TEST_F(StreamTest, EmptyCompilationIsMetadataAndTenZeroSectors) {
  PrepareImage(b);
  const auto img = StreamAll(b, {32});
  ASSERT_EQ(img.size(), 160u * 2048);
  EXPECT_EQ(std::memcmp(img.data(), b.MetadataBuffer.data(), 150 * 2048), 0);
  for (size_t i = 150 * 2048; i < img.size(); ++i) ASSERT_EQ(img[i], 0);
}

TEST_F(StreamTest, FilesFollowTheMapWhateverTheRequestSizes) {
  b.JolietFileSystem = 1;
  const std::string a(2049, 'a');
  const auto rnd = testenv::RandomBytes(70000, 7);
  Source("a.bin", a);
  Source("r.bin", std::string(rnd.begin(), rnd.end()));
  Source("empty", "");
  PrepareImage(b);
  const auto whole = StreamAll(b, {32});
  ASSERT_EQ(whole.size(), static_cast<size_t>(b.TotalSectors) * 2048);
  const uint8_t* fa = whole.data() + 150 * 2048;
  EXPECT_EQ(std::memcmp(fa, a.data(), 2049), 0);
  for (int i = 2049; i < 4096; ++i)
    ASSERT_EQ(fa[i], 0) << "the second sector holds one byte and zeros";
  EXPECT_EQ(std::memcmp(fa + 4096, rnd.data(), rnd.size()), 0);
  EXPECT_EQ(Sectors(2049) + Sectors(70000), b.DataSectors);
  for (std::vector<uint32_t> sizes : {std::vector<uint32_t>{1}, {7, 3}, {33}, {1000}}) {
    EXPECT_EQ(StreamAll(b, sizes), whole) << "first request " << sizes[0];
  }
}

TEST_F(StreamTest, ChangedSourcesKeepTheirSectorsAndAreReported) {
  Source("short", std::string(5000, 's'));
  Source("long", std::string(100, 'l'));
  Source("gone", "x");
  Source("replaced", std::string(10, 'r'));
  Source("touched", std::string(10, 't'));
  PrepareImage(b);
  testenv::WriteFile(dir + "/short", std::string(10, 'S'));
  testenv::WriteFile(dir + "/long", std::string(5000, 'L'));
  std::remove((dir + "/gone").c_str());
  testenv::WriteFile(dir + "/new", std::string(10, 'R'));
  ASSERT_EQ(std::rename((dir + "/new").c_str(), (dir + "/replaced").c_str()), 0);
  const timespec times[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir + "/touched").c_str(), times, 0), 0);
  ASSERT_TRUE(RenderMetadata(b));
  TImageStream s(b);
  std::vector<uint8_t> buf(150 * 2048);
  ASSERT_EQ(s.Read(buf.data(), 150), 150);
  ASSERT_EQ(s.Read(buf.data(), 3), 3) << "the shorter file still fills its three sectors";
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + 10), std::string(10, 'S'));
  for (size_t i = 10; i < 3 * 2048; ++i) ASSERT_EQ(buf[i], 0);
  ASSERT_EQ(s.Read(buf.data(), 1), 1) << "the longer file gives its recorded 100 bytes only";
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + 100), std::string(100, 'L'));
  EXPECT_EQ(buf[100], 0);
  ASSERT_EQ(s.Read(buf.data(), 1), 1) << "the vanished file keeps its place as zeros";
  for (size_t i = 0; i < 2048; ++i) ASSERT_EQ(buf[i], 0);
  EXPECT_GT(s.Read(buf.data(), 20), 0);
  EXPECT_FALSE(s.Failed());
  std::vector<std::string> seen;
  for (const TSourceProblem& p : s.SourceProblems())
    seen.push_back(p.Path.substr(dir.size()) + " " + SourceChangeText(p));
  EXPECT_EQ(seen, (std::vector<std::string>{"/short shorter than when the compilation was made",
                                            "/long longer than when the compilation was made",
                                            "/gone vanished", "/replaced replaced by another file",
                                            "/touched modified after the compilation was made"}));
}

TEST_F(StreamTest, BootImageAndUdfAreaPrecedeTheData) {
  b.UDFBridge = 1;
  testenv::WriteFile(dir + "/boot.img", std::string(2048, 'B'));
  ASSERT_TRUE(SetBootImage(b, dir + "/boot.img"));
  Source("f", "file");
  PrepareImage(b);
  TImageStream* s = nullptr;
  const auto img = StreamAll(b, {32}, &s);
  ASSERT_EQ(img.size(), static_cast<size_t>(b.TotalSectors) * 2048);
  EXPECT_EQ(img[static_cast<size_t>(b.BootImageLba) * 2048], 'B');
  EXPECT_EQ(b.Udf.AreaStart, b.BootImageLba + 1);
  EXPECT_EQ(Le16(img.data() + static_cast<size_t>(b.Udf.AreaStart) * 2048), 261)
      << "root file entry";
  EXPECT_EQ(Str(img.data() + static_cast<size_t>(b.DataStart) * 2048, 4), "file");
  const uint8_t* last = img.data() + img.size() - 2048;
  EXPECT_EQ(Le16(last), 2) << "closing anchor";
  EXPECT_EQ(Le32(last + 12), b.TotalSectors - 1);
  EXPECT_EQ(std::memcmp(last + 16, img.data() + 256 * 2048 + 16, 2032), 0)
      << "same extents as the first anchor";
  EXPECT_EQ(s->QueuedDataSectors(), 2u);
}

}  // namespace
