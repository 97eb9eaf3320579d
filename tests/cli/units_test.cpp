// The command line's own handling of the paths it is given: made absolute and normal before the
// compilation list's checks, and a path that is no file or folder named for what it is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "cli/Compilation.h"
#include "tests/support/TestEnv.h"

namespace cli {
namespace {

TEST(CompilationTest, PathsAreNormalBeforeTheListsChecks) {
  const std::string dir = testenv::MakeTempDir("list");
  std::filesystem::create_directories(dir + "/f/sub");
  testenv::WriteFile(dir + "/f/sub/b", std::string(3000, 'b'));
  fe::TCompilationList list;
  std::string message;
  EXPECT_EQ(AddPath(list, dir + "/f/", message), TAdd::Added);
  EXPECT_EQ(AddPath(list, dir + "/f", message), TAdd::Refused);
  EXPECT_EQ(message, "Složka již je přidána, nelze přidat podruhé.");
  EXPECT_EQ(AddPath(list, dir + "/f/sub/b", message), TAdd::Added);
  EXPECT_EQ(AddPath(list, dir + "/f/sub/../sub/b", message), TAdd::Refused);
  EXPECT_EQ(message, "Soubor: " + dir + "/f/sub/b již je přidán, nezle přidat podruhé.");
  EXPECT_EQ(AddPath(list, dir + "/nothing", message), TAdd::Missing);
  EXPECT_EQ(message, "ardovan-cli: no such file or folder: " + dir + "/nothing");
  ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
  EXPECT_EQ(AddPath(list, dir + "/pipe", message), TAdd::Missing);
  EXPECT_EQ(message,
            "ardovan-cli: " + dir + "/pipe is a FIFO; only files and folders can be burned");
  EXPECT_EQ(AddPath(list, "/dev/null", message), TAdd::Missing);
  EXPECT_NE(message.find("is a character device"), std::string::npos) << message;
  ASSERT_EQ(list.Entries().size(), 2u);
  EXPECT_EQ(list.Entries()[0].Path, dir + "/f");
  EXPECT_TRUE(list.Entries()[0].Folder);
}

}  // namespace
}  // namespace cli
