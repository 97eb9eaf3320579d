// What the compilation counts: each file rounded up to whole KB, every folder walked once, links
// that loop named; the medium classes; the compilation list's refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/Compilation.h"
#include "frontend/SizeEstimate.h"
#include "tests/support/TestEnv.h"

namespace fe {
namespace {

namespace fs = std::filesystem;

TEST(SizeEstimateTest, FilesRoundUpDotNamesAreSkippedAndFoldersCountOnce) {
  const std::string dir = testenv::MakeTempDir("fotky");
  fs::create_directories(dir + "/léto/hory");
  fs::create_directories(dir + "/.cache");
  testenv::WriteFile(dir + "/a.jpg", std::string(3000, 'a'));             // 3 KB
  testenv::WriteFile(dir + "/léto/b.jpg", std::string(100, 'b'));         // 1 KB, not 0
  testenv::WriteFile(dir + "/léto/hory/c.jpg", std::string(10240, 'c'));  // 10 KB
  testenv::WriteFile(dir + "/léto/prázdný", "");                          // 0 KB
  testenv::WriteFile(dir + "/.skryty", std::string(50 * 1024, 'x'));
  testenv::WriteFile(dir + "/.cache/d.bin", std::string(70 * 1024, 'x'));
  EXPECT_EQ(FolderSize(dir).KB, 14u);
  EXPECT_EQ(FolderSize(dir + "/").KB, 14u);
  // A second path to a folder already counted adds nothing; a link back up is named and left.
  fs::create_directory_symlink(dir + "/léto/hory", dir + "/vedle");
  fs::create_directory_symlink(dir, dir + "/léto/zpět");
  const TFolderSize withLinks = FolderSize(dir);
  EXPECT_EQ(withLinks.KB, 14u);
  EXPECT_EQ(withLinks.LoopingLinks, std::vector<std::string>{dir + "/léto/zpět"});
  EXPECT_EQ(FolderSize("/nikde/není").KB, 0u);

  EXPECT_EQ(FileSizeKB(dir + "/a.jpg"), 3u);
  EXPECT_EQ(FileSizeKB(dir + "/léto/prázdný"), 0u);
  EXPECT_EQ(FileSizeKB("/nikde/není.txt"), 0u);
  testenv::WriteFile(dir + "/velký.iso", "");
  fs::resize_file(dir + "/velký.iso", (uint64_t{5} << 30) + 1);
  EXPECT_EQ(FileSizeKB(dir + "/velký.iso"), 5242881u);
}

TEST(SizeEstimateTest, MediumClassesByThreshold) {
  EXPECT_STREQ(MediumClassFor(0).Medium, "CD-ROM/RW");
  EXPECT_STREQ(MediumClassFor(718847).Capacity, "700MB");
  EXPECT_STREQ(MediumClassFor(718848).Medium, "DVD R/RW");
  EXPECT_EQ(MediumClassFor(718848).BarMaximum, 4595712);
  EXPECT_STREQ(MediumClassFor(24438784).Medium, "Blu-ray R/RE DL");
  EXPECT_STREQ(MediumClassFor(int64_t{1} << 40).Capacity, "50GB");
}

TEST(CompilationListTest, RefusalsPositionsAndTheEstimate) {
  const std::string dir = testenv::MakeTempDir("list");
  fs::create_directories(dir + "/f");
  testenv::WriteFile(dir + "/f/a", std::string(1023, 'a'));
  testenv::WriteFile(dir + "/b", std::string(3000, 'b'));
  TCompilationList list;
  EXPECT_EQ(list.Refusal(dir + "/f", "f", true), "");
  list.Insert({dir + "/f", true, std::nullopt}, false);
  list.Insert({dir + "/b", false, std::nullopt}, false);
  EXPECT_EQ(list.Refusal(dir + "/f", "f", true), "Složka již je přidána, nelze přidat podruhé.");
  EXPECT_EQ(list.Refusal(dir + "/b", "b", false),
            "Soubor: " + dir + "/b již je přidán, nezle přidat podruhé.");
  EXPECT_EQ(list.Refusal(dir + "/B", "B", false), "");  // another case is another file
  const std::string ok(130, 'n'), tooLong(131, 'n');
  EXPECT_EQ(list.Refusal(dir + "/" + ok, ok, false), "");
  EXPECT_EQ(list.Refusal(dir + "/" + tooLong, tooLong, false),
            "Soubor " + tooLong +
                " má příliž dlouhý název, nelze přidat do kompilace, soubor přejmenujte na kratší "
                "název.");
  EXPECT_EQ(list.Refusal(dir + "/" + tooLong, tooLong, true), "");  // folder names are not checked
  list.Insert({dir + "/g", true, 7}, true);
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{dir + "/g", dir + "/f", dir + "/b"}));
  EXPECT_EQ(list.TotalSizeKB(), 7u + 1u + 3u);
  list.RemoveAt(0);
  EXPECT_EQ(list.TotalSizeKB(), 4u);
}

}  // namespace
}  // namespace fe
