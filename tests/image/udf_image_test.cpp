// The UDF bridge inside whole images: the closing anchor in the last sector (in a block of its
// own when the data ends on a block boundary), and a small reader that follows the recorded
// locations from the anchor down to every file's data, for an image at sector 0 and one that
// starts further on the medium.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpTree.h"
#include "platform/Text.h"
#include "tests/image/udf_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using namespace udftest;

namespace {

std::vector<uint8_t> StreamImage(TImageBuilder& b) {
  EXPECT_TRUE(RenderMetadata(b));
  TImageStream stream(b);
  std::vector<uint8_t> image(size_t{b.TotalSectors} * 2048, 0xEE);
  uint32_t done = 0;
  while (done < b.TotalSectors) {
    const int64_t n = stream.Read(image.data() + size_t{done} * 2048, 7);
    EXPECT_GT(n, 0);
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return image;
}

class UdfImage : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCompilation(b);
    b.UDFBridge = 1;
    src = testenv::MakeTempDir("udfsrc");
  }
  TFileNode* AddSource(TDirNode* dir, const std::string& name, size_t size) {
    const std::string path = src + "/" + name;
    testenv::WriteFile(path, testenv::RandomBytes(size, static_cast<uint32_t>(size) + 11));
    const std::u16string wide = plat::Utf8ToUtf16(name);
    plat::TFindData fd = Record(wide, size);
    const std::u16string source = plat::Utf8ToUtf16(path);
    return AddEntry(b, dir, fd, false, 0, source.c_str());
  }
  TImageBuilder b;
  std::string src;
};

// Reads the UDF view of an image the way a reader does, starting at the anchor in sector 256.
// base is the medium address of the image's first sector.
class TMiniReader {
 public:
  TMiniReader(const std::vector<uint8_t>& image, uint32_t base) : img_(image), base_(base) {}

  const uint8_t* Abs(uint64_t lba) const {
    EXPECT_GE(lba, base_);
    EXPECT_LT((lba - base_) * 2048, img_.size());
    return img_.data() + (lba - base_) * 2048;
  }
  const uint8_t* Block(uint32_t block) const { return Abs(uint64_t{partitionStart_} + block); }

  // Path (with "/") -> content, for every file.
  std::map<std::string, std::vector<uint8_t>> Files() {
    const uint8_t* anchor = Abs(base_ + 256);
    ExpectTag(anchor, 2, base_ + 256, 496);
    const uint32_t vds = Get32(anchor + 20);
    uint32_t fsdBlock = 0;
    for (uint32_t k = 0; k < 16; ++k) {
      const uint8_t* d = Abs(vds + k);
      if (Get16(d) == 8) break;
      if (Get16(d) == 5) partitionStart_ = Get32(d + 188);
      if (Get16(d) == 6) fsdBlock = Get32(d + 252);
    }
    const uint8_t* fsd = Block(fsdBlock);
    ExpectTag(fsd, 256, fsdBlock, 496);
    std::map<std::string, std::vector<uint8_t>> files;
    ReadDirectory(Get32(fsd + 404), "", files, 0);
    return files;
  }

 private:
  std::vector<uint8_t> Content(const uint8_t* fe) const {
    std::vector<uint8_t> out;
    const uint64_t length = Get64(fe + 56);
    for (int i = 0; out.size() < length && i < 234; ++i) {
      const uint32_t len = Get32(fe + 176 + 8 * i);
      const uint8_t* p = Block(Get32(fe + 180 + 8 * i));
      out.insert(out.end(), p, p + len);
    }
    EXPECT_EQ(out.size(), length);
    return out;
  }

  void ReadDirectory(uint32_t feBlock, const std::string& path,
                     std::map<std::string, std::vector<uint8_t>>& files, int depth) {
    ASSERT_LT(depth, 20);
    const uint8_t* fe = Block(feBlock);
    ExpectTag(fe, 261, feBlock, 2032);
    ASSERT_EQ(fe[27], 4);
    const std::vector<uint8_t> stream = Content(fe);
    for (size_t off = 0; off < stream.size();) {
      const uint8_t* f = stream.data() + off;
      ExpectTag(f, 257, Get32(fe + 180) + static_cast<uint32_t>(off / 2048),
                static_cast<uint16_t>(IdentifierSize(f) - 16));
      const uint32_t icb = Get32(f + 24);
      if (!(f[18] & 8)) {
        const std::string name = path + plat::Utf16ToUtf8(DecodeCs0(f + 38, f[19]));
        const uint8_t* child = Block(icb);
        ExpectTag(child, 261, icb, 2032);
        if (f[18] & 2)
          ReadDirectory(icb, name + "/", files, depth + 1);
        else
          files[name] = Content(child);
      }
      off += IdentifierSize(f);
    }
  }

  const std::vector<uint8_t>& img_;
  uint32_t base_;
  uint32_t partitionStart_ = 0;
};

}  // namespace

TEST_F(UdfImage, ClosingAnchorInTheLastSectorOfTheLastBlock) {
  AddSource(b.Root, "a.bin", 3000);
  PrepareImage(b);
  const uint32_t dataEnd = b.DataStart + b.DataSectors;
  ASSERT_NE(dataEnd % 32, 0u);
  EXPECT_FALSE(b.Udf.AnchorOpensNewBlock);
  EXPECT_EQ(b.TotalSectors, (dataEnd + 31) / 32 * 32);
  EXPECT_EQ(b.Udf.LastSector, b.TotalSectors - 1);
  EXPECT_EQ(b.Udf.PartitionLength, b.TotalSectors - 1 - 257);
  const std::vector<uint8_t> image = StreamImage(b);
  ExpectTag(image.data() + 256 * 2048, 2, 256, 496);
  ExpectTag(image.data() + size_t{b.TotalSectors - 1} * 2048, 2, b.TotalSectors - 1, 496);
  for (size_t i = size_t{dataEnd} * 2048; i < size_t{b.TotalSectors - 1} * 2048; ++i)
    ASSERT_EQ(image[i], 0) << "padding byte " << i;
}

TEST_F(UdfImage, DataEndingOnABlockBoundaryGivesTheAnchorABlockOfItsOwn) {
  // Learn where the data starts with a one-sector file, then size the file so that the data
  // ends exactly on a 32-sector boundary (as 96 would become 128).
  TFileNode* e = AddSource(b.Root, "fill.bin", 1);
  PrepareImage(b);
  const uint32_t sectors = 32 - b.DataStart % 32 + 32;
  ClearCompilation(b);
  b.UDFBridge = 1;
  e = AddSource(b.Root, "fill.bin", size_t{sectors} * 2048);
  PrepareImage(b);
  const uint32_t dataEnd = b.DataStart + b.DataSectors;
  ASSERT_EQ(dataEnd % 32, 0u);
  EXPECT_TRUE(b.Udf.AnchorOpensNewBlock);
  EXPECT_EQ(b.TotalSectors, dataEnd + 32);
  EXPECT_EQ(b.Udf.LastSector, dataEnd + 31);
  const std::vector<uint8_t> image = StreamImage(b);
  ExpectTag(image.data() + size_t{dataEnd + 31} * 2048, 2, dataEnd + 31, 496);
  for (size_t i = size_t{dataEnd} * 2048; i < size_t{dataEnd + 31} * 2048; ++i)
    ASSERT_EQ(image[i], 0) << "padding byte " << i;
  // The file's last sector is right before the new block.
  const std::vector<uint8_t> data = testenv::ReadFile(src + "/fill.bin");
  EXPECT_TRUE(
      std::equal(data.begin(), data.end(), image.begin() + size_t{b.DataStart + e->Extent} * 2048));
}

TEST_F(UdfImage, RecordedLocationsLeadToEveryFileAtSectorZeroAndInALaterSession) {
  TDirNode* d = AddDir(b, b.Root, u"složka");
  TDirNode* dd = AddDir(b, d, u"vnořená");
  std::map<std::string, size_t> sizes = {{"a.txt", 1}, {"b.bin", 2049}, {"c", 0}};
  for (const auto& [name, size] : sizes) AddSource(b.Root, name, size);
  AddSource(d, "d.bin", 70000);
  AddSource(dd, "e.bin", 2048);
  b.JolietFileSystem = 1;
  for (uint32_t base : {0u, 1000u}) {
    SCOPED_TRACE(base);
    PrepareImage(b);
    b.SessionStart = base;
    b.Udf.UdfBase = base;
    const std::vector<uint8_t> image = StreamImage(b);
    std::map<std::string, std::vector<uint8_t>> files = TMiniReader(image, base).Files();
    std::map<std::string, std::string> expected = {{"a.txt", "a.txt"},
                                                   {"b.bin", "b.bin"},
                                                   {"c", "c"},
                                                   {"složka/d.bin", "d.bin"},
                                                   {"složka/vnořená/e.bin", "e.bin"}};
    ASSERT_EQ(files.size(), expected.size());
    for (const auto& [path, name] : expected) {
      ASSERT_TRUE(files.count(path)) << path;
      EXPECT_EQ(files[path], testenv::ReadFile(src + "/" + name)) << path;
    }
  }
}
