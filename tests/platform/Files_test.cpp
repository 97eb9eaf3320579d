#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/Text.h"
#include "tests/support/TestEnv.h"

using namespace plat;

namespace {

struct TFound {
  std::string name, alt;
  uint32_t attributes;
  uint64_t size;
  uint64_t writeTime;
};

std::vector<TFound> Enumerate(const std::string& pattern) {
  std::vector<TFound> out;
  TFindEnumerator e;
  TFindData fd;
  for (bool ok = e.First(pattern, fd); ok; ok = e.Next(fd))
    out.push_back({Utf16ToUtf8(fd.FileName), Utf16ToUtf8(fd.AlternateFileName), fd.FileAttributes,
                   (uint64_t{fd.FileSizeHigh} << 32) | fd.FileSizeLow, fd.LastWriteTime.Value});
  return out;
}

void SetMtime(const std::string& path, time_t seconds) {
  timespec ts[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
}

// Restores an environment variable when the test ends.
class TEnvGuard {
 public:
  explicit TEnvGuard(const char* name) : name_(name) {
    const char* v = getenv(name);
    had_ = v != nullptr;
    if (had_) value_ = v;
  }
  ~TEnvGuard() {
    if (had_)
      setenv(name_, value_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  std::string value_;
};

}  // namespace

TEST(FindEnumeration, RecordsFromPosixFacts) {
  const std::string d = testenv::MakeTempDir("find");
  testenv::WriteFile(d + "/b.txt", "bb");
  testenv::WriteFile(d + "/a.txt", "a");
  testenv::WriteFile(d + "/.hidden", "");
  testenv::WriteFile(d + "/locked.txt", "x");
  chmod((d + "/locked.txt").c_str(), 0444);
  mkdir((d + "/sub").c_str(), 0755);
  // A sparse file past 4 GiB shows both halves of the size.
  ASSERT_EQ(truncate((d + "/a.txt").c_str(), 0x140000000LL), 0);
  SetMtime(d + "/b.txt", 1705320000);  // 2024-01-15 12:00 UTC

  const auto all = Enumerate(d + "/*.*");
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].name, ".hidden");
  EXPECT_EQ(all[0].attributes, kAttrHidden | kAttrArchive);  // a regular file is never 0
  EXPECT_EQ(all[1].name, "a.txt");
  EXPECT_EQ(all[1].attributes, kAttrArchive);
  EXPECT_EQ(all[1].size, 0x140000000ULL);
  EXPECT_EQ(all[2].name, "b.txt");
  EXPECT_EQ(all[2].writeTime, 133497936000000000ULL);
  EXPECT_EQ(all[3].name, "locked.txt");
  EXPECT_EQ(all[3].attributes, kAttrReadOnly | kAttrArchive);
  EXPECT_EQ(all[4].name, "sub");
  EXPECT_EQ(all[4].attributes, kAttrDirectory);
  EXPECT_EQ(all[4].size, 0u);
  EXPECT_EQ(all[1].alt, "");  // valid 8.3, case kept: no alternate name

  const auto txt = Enumerate(d + "/*.TXT");
  ASSERT_EQ(txt.size(), 3u);
  EXPECT_EQ(txt[2].name, "locked.txt");

  EXPECT_TRUE(Enumerate(d + "/*.doc").empty());
  EXPECT_TRUE(Enumerate(d + "/missing/*.*").empty());
  chmod((d + "/locked.txt").c_str(), 0644);
}

TEST(FindEnumeration, RewindGivesTheSameRecordsAgain) {
  const std::string d = testenv::MakeTempDir("rewind");
  testenv::WriteFile(d + "/Long File Name.txt", "1");
  testenv::WriteFile(d + "/b.txt", "bb");
  mkdir((d + "/sub").c_str(), 0755);
  TFindEnumerator e;
  TFindData fd;
  std::vector<std::string> first, again;
  for (bool ok = e.First(d + "/*.*", fd); ok; ok = e.Next(fd))
    first.push_back(Utf16ToUtf8(fd.FileName) + "|" + Utf16ToUtf8(fd.AlternateFileName));
  // The folder changes meanwhile; the records are the ones listed at First.
  testenv::WriteFile(d + "/a.txt", "a");
  for (bool ok = e.Rewind(fd); ok; ok = e.Next(fd))
    again.push_back(Utf16ToUtf8(fd.FileName) + "|" + Utf16ToUtf8(fd.AlternateFileName));
  EXPECT_EQ(first, (std::vector<std::string>{"Long File Name.txt|LONGFI~1.TXT", "b.txt|", "sub|"}));
  EXPECT_EQ(again, first);
  e.Close();
  EXPECT_FALSE(e.Rewind(fd));
}

TEST(FindEnumeration, ShortNamesAreStableAndUniqueInTheFolder) {
  const std::string d = testenv::MakeTempDir("short");
  testenv::WriteFile(d + "/Long File Name.txt", "1");
  testenv::WriteFile(d + "/Long File Name 2.txt", "2");
  // A real name equal to what would be generated first, sorting after the long names.
  testenv::WriteFile(d + "/longfi~1.txt", "3");

  const auto all = Enumerate(d + "/*");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].name, "Long File Name 2.txt");
  EXPECT_EQ(all[0].alt, "LONGFI~2.TXT");
  EXPECT_EQ(all[1].alt, "LONGFI~3.TXT");
  EXPECT_EQ(all[2].alt, "");
  // The mask does not change the short name a file gets.
  const auto one = Enumerate(d + "/*name.txt");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].alt, "LONGFI~3.TXT");
}

TEST(FindEnumeration, OnlyFilesAndFoldersThatCanBeRead) {
  const std::string d = testenv::MakeTempDir("special");
  testenv::WriteFile(d + "/target.txt", "data");
  ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0644), 0);
  ASSERT_EQ(symlink("target.txt", (d + "/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (d + "/broken").c_str()), 0);
  const auto all = Enumerate(d + "/*");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "link.txt");  // followed to its file
  EXPECT_EQ(all[0].size, 4u);
  EXPECT_EQ(all[1].name, "target.txt");
}

TEST(FindFile, OneEntryWithoutMask) {
  const std::string d = testenv::MakeTempDir("one");
  testenv::WriteFile(d + "/Long File Name.txt", "12345");
  TFindData fd;
  ASSERT_TRUE(FindFile(d + "/Long File Name.txt", fd));
  EXPECT_EQ(std::u16string(fd.FileName), u"Long File Name.txt");
  EXPECT_EQ(std::u16string(fd.AlternateFileName), u"LONGFI~1.TXT");
  EXPECT_EQ(fd.FileSizeLow, 5u);
  EXPECT_EQ(fd.FileAttributes, kAttrArchive);
  ASSERT_TRUE(FindFile(d + "/", fd));
  EXPECT_EQ(fd.FileAttributes, kAttrDirectory);
  EXPECT_FALSE(FindFile(d + "/nothing", fd));
  EXPECT_EQ(GetFileAttributes(d + "/nothing"), kInvalidAttributes);
  EXPECT_EQ(GetFileSize(d + "/Long File Name.txt"), 5);
  EXPECT_TRUE(FileExists(d + "/Long File Name.txt"));
  EXPECT_FALSE(FileExists(d));
  EXPECT_TRUE(DirectoryExists(d));
}

TEST(FileAccess, ReadsWholeRequestsAcrossShortReads) {
  const std::string d = testenv::MakeTempDir("pipe");
  const std::string fifo = d + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto payload = testenv::RandomBytes(100000, 7);
  // The writer hands the data over in small pieces, so single reads come back short.
  std::thread writer([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    for (size_t off = 0; off < payload.size(); off += 777)
      (void)!write(fd, payload.data() + off, std::min<size_t>(777, payload.size() - off));
    close(fd);
  });
  TFile f;
  ASSERT_TRUE(f.OpenRead(fifo));
  std::vector<uint8_t> got(150000);
  EXPECT_EQ(f.Read(got.data(), 60000), 60000);
  EXPECT_EQ(f.Read(got.data() + 60000, 90000), 40000);  // short only at the end
  writer.join();
  got.resize(100000);
  EXPECT_EQ(got, payload);
}

TEST(FileAccess, FailuresKeepTheSystemError) {
  const std::string d = testenv::MakeTempDir("file");
  TFile f;
  ASSERT_TRUE(f.Create(d + "/out.bin"));
  ASSERT_TRUE(f.Write("hello world", 11));
  ASSERT_TRUE(f.Seek(6));
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf), "world");

  TFile g;
  EXPECT_TRUE(g.OpenRead(Utf8ToUtf16(d + "/out.bin")));
  EXPECT_EQ(g.Size(), 11);
  EXPECT_FALSE(g.OpenRead(d + "/none"));
  EXPECT_EQ(g.LastError(), uint32_t(ENOENT));
  EXPECT_FALSE(g.OpenRead(d));  // a folder is not a readable file
  EXPECT_EQ(g.LastError(), uint32_t(EISDIR));
  EXPECT_EQ(g.Read(buf, 1), -1);
}

TEST(ProgramFolders, FollowTheEnvironment) {
  TEnvGuard tmp("TMPDIR"), cfg("XDG_CONFIG_HOME"), home("HOME"), run("XDG_RUNTIME_DIR");
  const std::string d = testenv::MakeTempDir("folders");
  setenv("TMPDIR", d.c_str(), 1);
  EXPECT_EQ(TempPath(), d + "/");
  unsetenv("TMPDIR");
  EXPECT_EQ(TempPath(), "/tmp/");

  setenv("XDG_CONFIG_HOME", (d + "/cfg").c_str(), 1);
  EXPECT_EQ(SettingsFolder(), d + "/cfg/ardovan");
  EXPECT_TRUE(DirectoryExists(d + "/cfg/ardovan"));
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (d + "/home").c_str(), 1);
  EXPECT_EQ(SettingsFolder(), d + "/home/.config/ardovan");
  EXPECT_TRUE(DirectoryExists(d + "/home/.config/ardovan"));

  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(RuntimeFolder(), "/tmp");
  EXPECT_FALSE(ExecutableFolder().empty());
  EXPECT_TRUE(FileExists(ExecutableFolder() + "/test_platform"));
}
