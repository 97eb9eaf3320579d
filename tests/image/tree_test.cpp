// The compilation tree: insertion rules, names, dates, limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "image/qvpSysUtilsW.h"
#include "tests/image/image_test_support.h"
#include "tests/support/TestEnv.h"

using namespace img;

using namespace imgtest;

namespace {

std::u16string W(std::string_view s) { return plat::AnsiToWide(s); }

struct TTreeFixture : ::testing::Test {
  TImageBuilder b;
  void SetUp() override { ClearCompilation(b); }
};

using TreeTest = TTreeFixture;

TEST_F(TreeTest, SameNameKeepsOneEntryAndReplaceRefreshesItInPlace) {
  AddFile(b, b.Root, u"a.txt", 10, u"", u"/one/a.txt");
  AddFile(b, b.Root, u"b.txt", 20);
  TFileNode* again = AddFile(b, b.Root, u"a.txt", 99, u"", u"/two/a.txt");
  EXPECT_EQ(b.EntryCount, 2u);
  EXPECT_EQ(again, b.Entries[0]);
  EXPECT_EQ(again->Size, 10u) << "without the replace rule the first entry stays unchanged";
  EXPECT_EQ(WStr(again->SourcePath), u"/one/a.txt");
  // The other file of that name is named as left out; the same file given again loses nothing.
  AddFile(b, b.Root, u"a.txt", 10, u"", u"/one/a.txt");
  ASSERT_EQ(b.Omitted.size(), 1u);
  EXPECT_EQ(b.Omitted[0].Path, "/two/a.txt");
  EXPECT_EQ(b.Omitted[0].Reason, TOmitReason::SameName);

  b.ReplaceFile = 1;
  plat::TFindData fd = Record(u"a.txt", 77, plat::kAttrArchive, u"", kWinterTime);
  std::u16string src = u"/three/a.txt";
  TFileNode* replaced = AddEntry(b, b.Root, fd, false, 0, src.c_str());
  EXPECT_EQ(b.EntryCount, 2u);
  EXPECT_EQ(replaced, b.Entries[0]) << "same table slot";
  EXPECT_EQ(b.Root->FirstEntry, replaced) << "same list position";
  EXPECT_EQ(replaced->Next, b.Entries[1]);
  EXPECT_EQ(replaced->Size, 77u);
  EXPECT_EQ(WStr(replaced->SourcePath), u"/three/a.txt");
  EXPECT_EQ(replaced->ModTime.Month, 1);
  EXPECT_EQ(b.Omitted.size(), 1u);
}

TEST_F(TreeTest, NamesDifferingOnlyInCaseAreTwoEntries) {
  // Distinct files on this system: both go onto the disc, whatever the replace rule.
  for (uint8_t replace : {0, 1}) {
    ClearCompilation(b);
    b.ReplaceFile = replace;
    TFileNode* lower = AddFile(b, b.Root, u"a.txt", 1, u"", u"/s/a.txt");
    TFileNode* upper = AddFile(b, b.Root, u"A.TXT", 2, u"", u"/s/A.TXT");
    TDirNode* docs = AddDir(b, b.Root, u"Docs");
    TDirNode* caps = AddDir(b, b.Root, u"DOCS");
    EXPECT_NE(lower, upper);
    EXPECT_NE(docs, caps);
    EXPECT_EQ(b.EntryCount, 4u);
    EXPECT_TRUE(b.Omitted.empty());
    // Paths find the folder of that very name first, another case only when there is none.
    EXPECT_EQ(FindDirectory(b, u"\\DOCS"), caps);
    EXPECT_EQ(FindDirectory(b, u"\\docs"), docs);
  }
}

TEST_F(TreeTest, ShortNamesComeFromTheAlternateNameOrTheLongName) {
  TFileNode* readme = AddFile(b, b.Root, u"readme.txt", 1);
  TFileNode* bare = AddFile(b, b.Root, u"README", 1);
  TFileNode* longer = AddFile(b, b.Root, u"Long file name.html", 1, u"LONGFI~1.HTM");
  TDirNode* dir = AddDir(b, b.Root, u"Fotky z dovolené", u"FOTKYZ~1");
  EXPECT_STREQ(readme->ShortName, "readme.txt");
  EXPECT_EQ(IsoIdentifier(b, readme), "README.TXT");
  EXPECT_STREQ(bare->ShortName, "README.");
  EXPECT_EQ(bare->ShortNameLen, 7);
  EXPECT_STREQ(longer->ShortName, "LONGFI~1.HTM");
  EXPECT_STREQ(dir->ShortName, "FOTKYZ~1");
  EXPECT_STREQ(dir->Entry->ShortName, "FOTKYZ~1") << "folders get no dot";
  // Without an alternate name the first 12 characters serve, one byte each.
  TDirNode* czech = AddDir(b, b.Root, u"čeština");
  EXPECT_STREQ(czech->ShortName, "_E_TINA");
}

TEST_F(TreeTest, EqualShortNamesAreKeptAsTheyAre) {
  AddFile(b, b.Root, u"Report for January.doc", 1, u"REPORT~1.DOC");
  AddFile(b, b.Root, u"Report for February.doc", 1, u"REPORT~1.DOC");
  ASSERT_EQ(b.EntryCount, 2u);
  EXPECT_STREQ(b.Entries[0]->ShortName, b.Entries[1]->ShortName);
}

TEST_F(TreeTest, NamesOver217CharactersAreSkippedAsSuccess) {
  const std::u16string n217(217, u'x'), n218(218, u'y');
  EXPECT_TRUE(IsEntry(AddFile(b, b.Root, n217, 1)));
  EXPECT_EQ(AddFile(b, b.Root, n218, 1), SkipMark());
  EXPECT_EQ(b.EntryCount, 1u);
  // Through the file system too: the insertion succeeds without an entry.
  const std::string dir = testenv::MakeTempDir("long");
  const std::string path = dir + "/" + std::string(218, 'z');
  testenv::WriteFile(path, "data");
  EXPECT_EQ(InsertFile(b, "\\", path), SkipMark());
  EXPECT_EQ(b.EntryCount, 1u);
  // A folder whose entry is refused is not created, and the insertion fails.
  EXPECT_EQ(AddDir(b, b.Root, n218), nullptr);
  EXPECT_EQ(b.DirCount, 1u);
}

TEST_F(TreeTest, HandlerSeesEveryItemAndItsSkipRefusesFolders) {
  std::vector<std::u16string> seen;
  b.OnAddFile = [&](void* sender, const char16_t* path, plat::TFindData& fd, bool& skip) {
    EXPECT_EQ(sender, nullptr);
    seen.push_back(std::u16string(WStr(fd.FileName)) + u"|" +
                   std::u16string(path ? WStr(path) : u"-"));
    skip = WStr(fd.FileName).starts_with(u"skip");
  };
  EXPECT_TRUE(IsEntry(AddFile(b, b.Root, u"keep.txt", 1, u"", u"/s/keep.txt")));
  EXPECT_EQ(AddFile(b, b.Root, u"skip.txt", 1), SkipMark());
  EXPECT_NE(AddDir(b, b.Root, u"folder"), nullptr);
  EXPECT_EQ(AddDir(b, b.Root, u"skipdir"), nullptr);
  EXPECT_EQ(b.DirCount, 2u);
  EXPECT_EQ(b.EntryCount, 2u);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], u"keep.txt|/s/keep.txt");
  EXPECT_EQ(seen[2], u"folder|-");
}

TEST_F(TreeTest, FoldersAndFilesOfOneNameDoNotOverwriteEachOther) {
  TFileNode* file = AddFile(b, b.Root, u"thing", 5);
  EXPECT_EQ(AddDir(b, b.Root, u"thing"), nullptr) << "a file is in the way";
  EXPECT_EQ(file->SubDir, nullptr);
  TDirNode* dir = AddDir(b, b.Root, u"box");
  b.ReplaceFile = 1;
  TFileNode* clash = AddFile(b, b.Root, u"box", 5);
  EXPECT_EQ(clash->SubDir, dir) << "a folder is never replaced by a file";
  EXPECT_EQ(clash->Size, 0u);
  // With the replace rule a file may become a folder of that name.
  TDirNode* now = AddDir(b, b.Root, u"thing");
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(file->SubDir, now);
  EXPECT_EQ(b.EntryCount, 2u);
  EXPECT_EQ(FindDirectory(b, u"\\THING\\"), now);
  // Both refusals are named.
  ASSERT_EQ(b.Omitted.size(), 2u);
  EXPECT_EQ(b.Omitted[0].Path, "\\thing");
  EXPECT_EQ(b.Omitted[0].Reason, TOmitReason::FileInTheWay);
  EXPECT_EQ(b.Omitted[1].Reason, TOmitReason::FolderInTheWay);
}

TEST_F(TreeTest, CompilationPathsAndCreateDir) {
  TDirNode* a = CreateDir(b, "\\", "Dokumenty a nastavení");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->ShortName, "DOKUMENTY A") << "first 11 characters, upper case";
  EXPECT_EQ(CreateDir(b, "", "Dokumenty a nastavení"), a) << "an existing folder is returned";
  EXPECT_EQ(b.DirCount, 2u);
  TDirNode* c = CreateDir(b, "\\Dokumenty a nastavení\\", "c");
  EXPECT_EQ(FindDirectory(b, u"DOKUMENTY A NASTAVENÍ\\C"), c);
  EXPECT_EQ(FindDirectory(b, u"\\"), b.Root);
  EXPECT_EQ(FindDirectory(b, u""), b.Root);
  EXPECT_EQ(FindDirectory(b, u"\\nothing"), nullptr);
  EXPECT_EQ(CreateDir(b, "\\nothing", "x"), nullptr);
  EXPECT_EQ(DirectoryPath(c), u"\\Dokumenty a nastavení\\c\\");
}

TEST_F(TreeTest, InsertFileAndInsertDirFromDisk) {
  const std::string top = testenv::MakeTempDir("data");
  std::filesystem::create_directories(top + "/photos/sub");
  testenv::WriteFile(top + "/photos/b.jpg", std::string(3000, 'b'));
  testenv::WriteFile(top + "/photos/a.jpg", std::string(10, 'a'));
  testenv::WriteFile(top + "/photos/sub/deep.txt", "deep");
  testenv::WriteFile(top + "/photos/notes.txt", "n");

  // Without KeepPath the folder's content lands in the destination, subfolders first.
  TDirNode* d = InsertDir(b, "\\", top + "/photos/", false, true, "*.*");
  ASSERT_EQ(d, b.Root);
  ASSERT_EQ(b.EntryCount, 5u);
  EXPECT_EQ(WStr(b.Entries[0]->LongName), u"sub");
  EXPECT_EQ(WStr(b.Entries[1]->LongName), u"deep.txt");
  EXPECT_EQ(WStr(b.Entries[1]->SourcePath), W(top + "/photos/sub/deep.txt"));
  EXPECT_EQ(b.Entries[2]->Size + b.Entries[3]->Size + b.Entries[4]->Size, 3011u);

  // With KeepPath the folder's path below the root is recreated; the mask applies to files only.
  ClearCompilation(b);
  TDirNode* kept = InsertDir(b, "\\", top + "/photos", true, true, "*.jpg");
  ASSERT_NE(kept, nullptr);
  std::u16string expected = u"\\";
  const std::string photos = top + "/photos";
  for (std::string_view part : DiskPathComponents(photos)) expected += W(part) + u"\\";
  EXPECT_EQ(DirectoryPath(kept), expected);
  EXPECT_EQ(kept->EntryListCount, 3u) << "sub, a.jpg, b.jpg";
  EXPECT_NE(FindDirectory(b, expected + u"sub"), nullptr);

  // Failures: unknown destination, missing source, a folder given as a file.
  EXPECT_EQ(InsertDir(b, "\\none", top, false, true, "*.*"), nullptr);
  EXPECT_EQ(InsertDir(b, "\\", top + "/missing", false, true, "*.*"), nullptr);
  EXPECT_EQ(InsertFile(b, "\\", top + "/photos"), nullptr);
  EXPECT_EQ(InsertFile(b, "\\", top + "/missing.txt"), nullptr);
  TFileNode* f = InsertFile(b, "\\", top + "/photos/notes.txt");
  ASSERT_TRUE(IsEntry(f));
  EXPECT_EQ(f->Size, 1u);
  EXPECT_EQ(WStr(f->SourcePath), W(top + "/photos/notes.txt"));
}

// Each folder's own files come after everything below its subfolders, at every depth, with the
// source path of the folder they were found in.
TEST_F(TreeTest, InsertDirOrderThroughNestedFolders) {
  const std::string top = testenv::MakeTempDir("nested");
  std::filesystem::create_directories(top + "/a/b/c");
  std::filesystem::create_directories(top + "/a/d");
  for (const char* f :
       {"/1.txt", "/a/2.txt", "/a/b/3.txt", "/a/b/c/4.txt", "/a/d/5.txt", "/a/zz.txt"})
    testenv::WriteFile(top + f, f);
  for (const char* mask : {"*.*", "*.txt"}) {
    ClearCompilation(b);
    ASSERT_EQ(InsertDir(b, "\\", top, false, true, mask), b.Root) << mask;
    std::vector<std::u16string> order;
    for (uint32_t i = 0; i < b.EntryCount; ++i) {
      const TFileNode* e = b.Entries[i];
      order.push_back(e->SourcePath ? std::u16string(WStr(e->SourcePath).substr(W(top).size()))
                                    : u"dir " + std::u16string(WStr(e->LongName)));
    }
    EXPECT_EQ(order, (std::vector<std::u16string>{u"dir a", u"dir b", u"dir c", u"/a/b/c/4.txt",
                                                  u"/a/b/3.txt", u"dir d", u"/a/d/5.txt",
                                                  u"/a/2.txt", u"/a/zz.txt", u"/1.txt"}))
        << mask;
  }
}

TEST_F(TreeTest, RefusedSubfolderIsNamedAndTheRestGoesIn) {
  const std::string top = testenv::MakeTempDir("refused");
  const std::string longName = top + "/" + std::string(218, 'd');
  std::filesystem::create_directories(longName);
  testenv::WriteFile(top + "/ok.txt", "1");
  testenv::WriteFile(longName + "/inner.txt", "2");
  EXPECT_EQ(InsertDir(b, "\\", top, false, true, "*.*"), b.Root);
  EXPECT_EQ(b.DirCount, 1u);
  EXPECT_EQ(b.EntryCount, 1u);
  ASSERT_EQ(b.Omitted.size(), 1u);
  EXPECT_EQ(b.Omitted[0].Path, longName);
  EXPECT_EQ(b.Omitted[0].Reason, TOmitReason::NameTooLong);
  ClearCompilation(b);
  EXPECT_TRUE(b.Omitted.empty());
}

// Everything a folder holds either goes in or is named, with its reason; folder links that lead
// back up are not walked again.
TEST_F(TreeTest, InsertionsNameWhatTheyLeaveOut) {
  const std::string top = testenv::MakeTempDir("omit");
  std::filesystem::create_directories(top + "/sub");
  testenv::WriteFile(top + "/good.txt", "g");
  testenv::WriteFile(top + "/bad\xFF.txt", "b");
  ASSERT_EQ(mkfifo((top + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink((top + "/nowhere").c_str(), (top + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink(".", (top + "/selfdir").c_str()), 0);
  ASSERT_EQ(symlink("..", (top + "/sub/up").c_str()), 0);
  testenv::WriteFile(top + "/sub/secret.txt", "s");
  ASSERT_EQ(chmod((top + "/sub/secret.txt").c_str(), 0), 0);
  std::filesystem::create_directories(top + "/closed");
  testenv::WriteFile(top + "/closed/inside.txt", "i");
  ASSERT_EQ(chmod((top + "/closed").c_str(), 0), 0);
  // Folders nested past the system's path limit, made relative to each other.
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string level(200, 'n');
  size_t depth = top.size();
  std::string deep = top;
  while (depth <= 4200) {
    ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
    const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    depth += level.size() + 1;
    if (depth <= 4095) deep += "/" + level;
  }
  close(fd);

  ASSERT_EQ(InsertDir(b, "\\", top, false, true, "*.*"), b.Root);
  std::map<std::string, TOmitReason> left;
  for (const TOmittedEntry& e : b.Omitted) left[e.Path.substr(top.size())] = e.Reason;
  const bool root = geteuid() == 0;
  EXPECT_EQ(left["/bad\\xFF.txt"], TOmitReason::NameNotUtf8);
  EXPECT_EQ(left["/pipe"], TOmitReason::SpecialFile);
  EXPECT_EQ(left["/dangling"], TOmitReason::FileUnreadable);
  EXPECT_EQ(left["/selfdir"], TOmitReason::LinkLoop);
  EXPECT_EQ(left["/sub/up"], TOmitReason::LinkLoop);
  EXPECT_EQ(left.count(deep.substr(top.size()) + "/" + level), 1u);
  EXPECT_EQ(left[deep.substr(top.size()) + "/" + level], TOmitReason::PathTooLong);
  if (!root) {
    EXPECT_EQ(left["/sub/secret.txt"], TOmitReason::FileUnreadable);
    EXPECT_EQ(left["/closed"], TOmitReason::FolderUnreadable);
  }
  EXPECT_EQ(b.Omitted.size(), root ? 6u : 8u);
  for (const TOmittedEntry& e : b.Omitted) EXPECT_FALSE(OmitReasonText(e).empty());
  EXPECT_NE(FindDirectory(b, u"\\sub"), nullptr);
  EXPECT_EQ(FindDirectory(b, u"\\selfdir"), nullptr);

  // Given one by one: another file of a taken name, and a file where a folder is.
  const std::string other = testenv::MakeTempDir("other");
  testenv::WriteFile(other + "/good.txt", "other");
  testenv::WriteFile(other + "/sub", "a file");
  TFileNode* kept = InsertFile(b, "\\", other + "/good.txt");
  ASSERT_TRUE(IsEntry(kept));
  EXPECT_EQ(WStr(kept->SourcePath), W(top + "/good.txt"));
  EXPECT_TRUE(IsEntry(InsertFile(b, "\\", other + "/sub")));
  const size_t n = b.Omitted.size();
  EXPECT_EQ(b.Omitted[n - 2].Path, other + "/good.txt");
  EXPECT_EQ(b.Omitted[n - 2].Reason, TOmitReason::SameName);
  EXPECT_EQ(b.Omitted[n - 1].Path, other + "/sub");
  EXPECT_EQ(b.Omitted[n - 1].Reason, TOmitReason::FolderInTheWay);

  chmod((top + "/closed").c_str(), 0755);
  testenv::Run("rm -rf " + testenv::Quote(top));
}

TEST_F(TreeTest, FullTablesRefuseInsertionsAndLeaveTheTreeUnchanged) {
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    ASSERT_TRUE(IsEntry(AddFile(b, b.Root, u"f" + W(std::to_string(i)), 1)));
  }
  EXPECT_EQ(AddFile(b, b.Root, u"one more", 1), nullptr);
  EXPECT_EQ(AddDir(b, b.Root, u"folder"), nullptr);
  ASSERT_EQ(b.Omitted.size(), 2u);
  EXPECT_EQ(b.Omitted[0].Reason, TOmitReason::TooManyEntries);
  EXPECT_EQ(b.Omitted[1].Path, "\\folder");
  EXPECT_EQ(b.EntryCount, kMaxEntries);
  EXPECT_EQ(b.DirCount, 1u);
  b.ReplaceFile = 1;
  EXPECT_EQ(AddFile(b, b.Root, u"f7", 123)->Size, 123u) << "refreshing needs no new slot";

  ClearCompilation(b);
  for (uint32_t i = 1; i < kMaxDirs; ++i)
    ASSERT_NE(AddDir(b, b.Root, u"d" + W(std::to_string(i))), nullptr);
  EXPECT_EQ(b.DirCount, kMaxDirs);
  EXPECT_EQ(AddDir(b, b.Root, u"last straw"), nullptr);
  EXPECT_EQ(b.EntryCount, kMaxDirs - 1);
  EXPECT_EQ(b.PathDirs.size(), kMaxDirs);
}

TEST_F(TreeTest, DatesCarryTheOffsetInEffectAtThatDate) {
  const char* old = getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "Europe/Prague", 1);
  tzset();
  TFileNode* winter = AddEntry(
      b, b.Root,
      *std::make_unique<plat::TFindData>(Record(u"w", 1, plat::kAttrArchive, u"", kWinterTime)),
      false, 0, u"/w");
  TFileNode* summer = AddEntry(
      b, b.Root,
      *std::make_unique<plat::TFindData>(Record(u"s", 1, plat::kAttrArchive, u"", kSummerTime)),
      false, 0, u"/s");
  EXPECT_EQ(winter->ModTime.Hour, 13);
  EXPECT_EQ(winter->GmtOffset, 4);
  EXPECT_EQ(summer->ModTime.Hour, 14);
  EXPECT_EQ(summer->GmtOffset, 8);
  // Both land in the directory records as they are.
  Render(b);
  auto recs = ReadRecords(Sector(b, b.DirArea), 2048);
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[2].Id, "S.");
  const uint8_t s[7] = {121, 6, 15, 14, 0, 0, 8};
  EXPECT_EQ(std::memcmp(recs[2].Raw + 18, s, 7), 0);
  const uint8_t w[7] = {121, 1, 15, 13, 0, 0, 4};
  EXPECT_EQ(std::memcmp(recs[3].Raw + 18, w, 7), 0);
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST_F(TreeTest, VolumeLabelIsCutToWhatItsFieldsHold) {
  std::string label;
  for (int i = 0; i < 20; ++i) label += "Čk";  // 40 characters, 60 bytes
  SetVolumeID(b, label);
  EXPECT_EQ(std::string(b.VolumeId), label);
  EXPECT_EQ(WStr(b.VolumeIdWide).size(), 31u);
  EXPECT_EQ(RecordedVolumeId(b), "_K_K_K_K_K_K_K_K_K_K_K_K_K_K_K_K");
  SetVolumeID(b, std::string(94, 'a') + "šx");  // the 95th byte is half a character
  EXPECT_EQ(std::string(b.VolumeId).size(), 94u) << "cut on a character boundary";
  SetVolumeID(b, "");
  EXPECT_EQ(b.VolumeId[0], 0);
  EXPECT_EQ(b.VolumeIdWide[0], 0);
}

TEST_F(TreeTest, BootImageAcceptsOnlyTheFourSizes) {
  const std::string dir = testenv::MakeTempDir("boot");
  testenv::WriteFile(dir + "/ok.img", std::string(1474560, 'x'));
  testenv::WriteFile(dir + "/bad.img", std::string(1474561, 'x'));
  EXPECT_TRUE(SetBootImage(b, dir + "/ok.img"));
  EXPECT_EQ(b.BootImageSize, 1474560u);
  EXPECT_FALSE(SetBootImage(b, dir + "/bad.img"));
  EXPECT_EQ(GetBootImage(b), "");
  EXPECT_FALSE(SetBootImage(b, dir + "/missing.img"));
  EXPECT_TRUE(SetBootImage(b, dir + "/ok.img"));
  EXPECT_TRUE(SetBootImage(b, ""));
  EXPECT_EQ(GetBootImage(b), "");
}

}  // namespace
