// The UDF bridge read back by readers no one here wrote: udfinfo (revision, label, no errors)
// and 7-Zip's UDF view, from which every file must come out identical to its source.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/qvpImageFile.h"
#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpTree.h"
#include "platform/Text.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

bool HaveReaders() { return testenv::HaveProgram("udfinfo") && testenv::HaveProgram("7z"); }

std::string Utf8(std::u16string_view s) { return plat::Utf16ToUtf8(s); }

// Lays out the content of `source` (recursively) with the UDF bridge and writes its image.
std::string MakeImage(const std::string& source, const std::string& label, bool joliet = true,
                      bool iso1999 = false) {
  TImageBuilder b;
  ClearCompilation(b);
  b.UDFBridge = 1;
  b.JolietFileSystem = joliet ? 1 : 0;
  b.ISO9660v1999FS = iso1999 ? 1 : 0;
  SetVolumeID(b, label);
  EXPECT_NE(InsertDir(b, "\\", source, false, true, "*.*"), nullptr);
  PrepareImage(b);
  const std::string image = testenv::MakeTempDir("image") + "/udf.iso";
  TImageFileJob job;
  EXPECT_EQ(WriteImageFile(b, 32u << 20, image, job), TImageFileResult::Done) << job.Error;
  return image;
}

std::string UdfInfo(const std::string& image) {
  std::string out;
  EXPECT_EQ(testenv::Run("udfinfo --utf8 " + testenv::Quote(image), &out), 0) << out;
  return out;
}

// The value of "key=value" in udfinfo's output.
std::string Field(const std::string& info, const std::string& key) {
  const size_t p = info.find("\n" + key + "=");
  if (p == std::string::npos) return "<missing>";
  const size_t start = p + key.size() + 2;
  return info.substr(start, info.find('\n', start) - start);
}

// Every regular file below root, by its path relative to root.
std::map<std::string, std::string> Files(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = e.path().string();
  return files;
}

std::vector<std::string> Folders(const std::string& root) {
  std::vector<std::string> dirs;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_directory()) dirs.push_back(fs::relative(e.path(), root).string());
  std::sort(dirs.begin(), dirs.end());
  return dirs;
}

// Extracts the UDF view with 7-Zip.
std::string ExtractUdf(const std::string& image) {
  const std::string out = testenv::MakeTempDir("udfview");
  std::string log;
  EXPECT_EQ(
      testenv::Run("7z x -y -tudf -o" + testenv::Quote(out) + " " + testenv::Quote(image), &log), 0)
      << log;
  EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
  return out;
}

void ExpectSameFile(const std::string& a, const std::string& b) {
  EXPECT_EQ(testenv::Run("cmp " + testenv::Quote(a) + " " + testenv::Quote(b)), 0)
      << a << " vs " << b;
}

std::u16string Repeat(std::u16string_view unit, size_t count) {
  std::u16string s;
  while (s.size() < count) s += unit;
  s.resize(count);
  return s;
}

}  // namespace

TEST(UdfReaders, EmptyCompilationIsAValidEmptyUdfVolume) {
  if (!HaveReaders()) GTEST_SKIP() << "udfinfo or 7z missing";
  const std::string image = MakeImage(testenv::MakeTempDir("empty"), "EMPTY");
  EXPECT_EQ(fs::file_size(image) % (32 * 2048), 0u);
  const std::string info = UdfInfo(image);
  EXPECT_EQ(Field(info, "udfrev"), "1.50") << info;
  EXPECT_EQ(Field(info, "label"), "EMPTY") << info;
  EXPECT_EQ(Field(info, "numfiles"), "0") << info;
  EXPECT_EQ(Field(info, "numdirs"), "1") << info;
  const std::string out = ExtractUdf(image);
  EXPECT_TRUE(Files(out).empty());
}

TEST(UdfReaders, NestedCzechAndLongNamesAndEdgeSizesComeBackIdentical) {
  if (!HaveReaders()) GTEST_SKIP() << "udfinfo or 7z missing";
  const std::string src = testenv::MakeTempDir("source");
  // Names of every length that matters to Joliet and UDF records; the UDF view keeps up to 127.
  std::map<std::string, std::string> expectName;  // source relative path -> path in the UDF view
  uint32_t seed = 1;
  auto add = [&](const std::string& rel, size_t size, const std::string& udfRel = "") {
    fs::create_directories(fs::path(src + "/" + rel).parent_path());
    testenv::WriteFile(src + "/" + rel, testenv::RandomBytes(size, seed++));
    expectName[rel] = udfRel.empty() ? rel : udfRel;
  };
  for (size_t n : {64, 110, 111, 127}) add(Utf8(Repeat(u"ř", n)), 100 + n);
  add(Utf8(Repeat(u"dlouhé jméno ", 128)), 5, Utf8(Repeat(u"dlouhé jméno ", 127)));
  add(Utf8(Repeat(u"x", 213)) + ".txt", 6, Utf8(Repeat(u"x", 123)) + ".txt");
  for (size_t size : {0, 1, 2047, 2048, 2049, 300000})
    add("velikosti/soubor " + std::to_string(size), size);
  add("Žluťoučký kůň/úpěl/ďábelské ódy.txt", 4096 + 17);
  add("Žluťoučký kůň/prázdná složka/.keep", 0);
  add("a/b/c/d/e/f/g/h/hluboko.bin", 70000);
  add("Ελληνικά/русский/日本語.txt", 333);
  fs::create_directories(src + "/jen složka/vnořená");

  const std::string label = "Disk s českým názvem a dlouhým označením";  // 40 characters
  const std::string image = MakeImage(src, label);
  const std::string info = UdfInfo(image);
  EXPECT_EQ(Field(info, "udfrev"), "1.50") << info;
  EXPECT_EQ(Field(info, "label"), "Disk s českým n") << info;  // 15 characters kept
  EXPECT_EQ(info.find("error"), std::string::npos) << info;
  EXPECT_EQ(Field(info, "numfiles"), std::to_string(expectName.size())) << info;

  const std::string out = ExtractUdf(image);
  const auto extracted = Files(out);
  EXPECT_EQ(extracted.size(), expectName.size());
  for (const auto& [rel, udfRel] : expectName) {
    const auto it = extracted.find(udfRel);
    ASSERT_NE(it, extracted.end()) << "missing in the UDF view: " << udfRel;
    ExpectSameFile(src + "/" + rel, it->second);
  }
  // Folders, empty ones included.
  EXPECT_EQ(Folders(out), Folders(src));
}

TEST(UdfReaders, EveryCombinationOfTheOtherTreesKeepsTheUdfView) {
  if (!HaveReaders()) GTEST_SKIP() << "udfinfo or 7z missing";
  const std::string src = testenv::MakeTempDir("combo");
  testenv::WriteFile(src + "/jeden.txt", testenv::RandomBytes(5000, 3));
  fs::create_directories(src + "/složka");
  testenv::WriteFile(src + "/složka/dva.bin", testenv::RandomBytes(2049, 4));
  for (int joliet = 0; joliet < 2; ++joliet)
    for (int iso1999 = 0; iso1999 < 2; ++iso1999) {
      SCOPED_TRACE(testing::Message() << "joliet " << joliet << " iso1999 " << iso1999);
      // Without a label the identifiers are recorded empty (all zero), which readers accept.
      const std::string image = MakeImage(src, "", joliet, iso1999);
      const std::string info = UdfInfo(image);
      EXPECT_EQ(Field(info, "udfrev"), "1.50") << info;
      EXPECT_EQ(Field(info, "label"), "") << info;
      const std::string out = ExtractUdf(image);
      ExpectSameFile(src + "/jeden.txt", out + "/jeden.txt");
      ExpectSameFile(src + "/složka/dva.bin", out + "/složka/dva.bin");
    }
}

TEST(UdfReaders, TenThousandSmallFiles) {
  if (!HaveReaders()) GTEST_SKIP() << "udfinfo or 7z missing";
  const std::string src = testenv::MakeTempDir("many");
  for (int d = 0; d < 10; ++d)
    for (int f = 0; f < 1000; ++f) {
      const std::string dir = src + "/složka " + std::to_string(d);
      if (f == 0) fs::create_directories(dir);
      testenv::WriteFile(
          dir + "/soubor číslo " + std::to_string(f) + ".txt",
          std::to_string(d * 1000 + f) + std::string(static_cast<size_t>(f % 50), 'x'));
    }
  const std::string image = MakeImage(src, "MANY");
  const std::string info = UdfInfo(image);
  EXPECT_EQ(Field(info, "numfiles"), "10000") << info;
  EXPECT_EQ(Field(info, "numdirs"), "11") << info;
  const std::string out = ExtractUdf(image);
  const auto extracted = Files(out);
  ASSERT_EQ(extracted.size(), 10000u);
  // One comparison for the lot: the two folders must be identical.
  std::string log;
  EXPECT_EQ(testenv::Run("diff -r " + testenv::Quote(src) + " " + testenv::Quote(out), &log), 0)
      << log;
}

// 1.5 GiB and 5 GiB sparse files with marks around every extent boundary: the UDF file entries
// need several extents and the full 64-bit length. Compared by streaming, nothing extracted.
TEST(UdfReaders, SparseFilesOfOneAndAHalfAndFiveGiB) {
  if (!HaveReaders()) GTEST_SKIP() << "udfinfo or 7z missing";
  const std::string src = testenv::MakeTempDir("large");
  const std::vector<std::pair<std::string, uint64_t>> files = {{"jeden a půl.bin", 3ull << 29},
                                                               {"pět.bin", 5ull << 30}};
  for (const auto& [name, size] : files) {
    const std::string path = src + "/" + name;
    ASSERT_EQ(testenv::Run("truncate -s " + std::to_string(size) + " " + testenv::Quote(path)), 0);
    FILE* f = fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    for (uint64_t at : std::vector<uint64_t>{0, (1ull << 30) - 2048 - 3, (1ull << 30) - 3,
                                             2ull << 30, 4ull << 30, size - 5}) {
      if (at + 5 > size) continue;
      ASSERT_EQ(fseeko(f, static_cast<off_t>(at), SEEK_SET), 0);
      fputs("MARK!", f);
    }
    fclose(f);
  }
  testenv::WriteFile(src + "/malý.txt", "after the large ones");
  const std::string image = MakeImage(src, "LARGE");
  const std::string info = UdfInfo(image);
  EXPECT_EQ(Field(info, "udfrev"), "1.50") << info;
  EXPECT_EQ(info.find("error"), std::string::npos) << info;
  for (const auto& [name, size] : files) {
    const std::string cmd = "7z x -so -tudf " + testenv::Quote(image) + " " + testenv::Quote(name) +
                            " 2>/dev/null | cmp - " + testenv::Quote(src + "/" + name);
    std::string log;
    EXPECT_EQ(testenv::Run("bash -o pipefail -c " + testenv::Quote(cmd), &log), 0)
        << name << ": " << log;
  }
  std::string small;
  EXPECT_EQ(
      testenv::Run("7z x -so -tudf " + testenv::Quote(image) + " malý.txt 2>/dev/null", &small), 0);
  EXPECT_EQ(small, "after the large ones");
}
