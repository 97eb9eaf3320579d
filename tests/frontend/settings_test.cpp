// The settings file: reading with its defaults, writing back without losing other lines, and the
// one rule for the temporary folder on both ways.
#include "frontend/Settings.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/support/TestEnv.h"

namespace fe {
namespace {

TEST(SettingsTest, KeysValuesAndDefaults) {
  TSettings s = SettingsFromIni(TIniFile::FromText(""), "/tmp/");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/tmp/");
  s = SettingsFromIni(
      TIniFile::FromText("; by hand\r\n[Other]\nIDVyp=4\n[ setting ]\r\n idvyp = 2 \r\n"
                         "BURNPROOF=0\r\nTempDir=/var/x\r\n"),
      "/tmp/");
  EXPECT_EQ(s.BurnerIndex, 2);
  EXPECT_FALSE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/var/x/");
  // Numbers strictly: anything else is the default; any non-zero number is on.
  s = SettingsFromIni(TIniFile::FromText("[Setting]\nIDVyp=two\nBurnProof=5\nTempDir=/y/\n"),
                      "/tmp/");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/y/");
  s = SettingsFromIni(
      TIniFile::FromText("[Setting]\nIDVyp=99999999999\nBurnProof=off\nTempDir=  \n"), "/t");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/t/");
  EXPECT_EQ(SettingsFromIni(TIniFile::FromText("[Setting]\nIDVyp=12abc\n"), "/t").BurnerIndex, -1);
}

TEST(SettingsTest, WriteKeepsForeignLinesAndAppliesTheFolderRule) {
  const std::string dir = testenv::MakeTempDir("ini-write");
  // The note is in an old code page, not UTF-8: it is kept byte for byte.
  testenv::WriteFile(dir + "/ardovan.ini",
                     "; pozn\xE1mka\n[Setting]\nIDVyp=1\nExtra=x\n\n[Other]\nA=1\n");
  ASSERT_TRUE(WriteSettings(dir, TSettings{3, false, "/var/tmp"}));
  EXPECT_EQ(
      testenv::ReadText(dir + "/ardovan.ini"),
      "; pozn\xE1mka\n[Setting]\nIDVyp=3\nExtra=x\nBurnProof=0\nTempDir=/var/tmp/\n\n[Other]\nA=1\n");
  // An empty folder is stored as the system's temporary folder, and read back as such.
  ASSERT_TRUE(WriteSettings(dir, TSettings{-1, true, " "}));
  const TSettings back = ReadSettings(dir);
  EXPECT_EQ(back.TempDir, plat::TempPath());
  EXPECT_NE(testenv::ReadText(dir + "/ardovan.ini").find("TempDir=" + plat::TempPath() + "\n"),
            std::string::npos);
  EXPECT_EQ(back.BurnerIndex, -1);
  EXPECT_TRUE(back.BurnProof);
}

TEST(SettingsTest, FirstWriteCreatesTheFolderAndAFailedWriteSaysSo) {
  const std::string dir = testenv::MakeTempDir("ini-new") + "/sub/folder";
  ASSERT_TRUE(WriteSettings(dir, TSettings{-1, true, "/x/"}));
  EXPECT_EQ(testenv::ReadText(dir + "/ardovan.ini"),
            "[Setting]\nIDVyp=-1\nBurnProof=1\nTempDir=/x/\n");
  const std::string blocked = testenv::MakeTempDir("ini-blocked");
  testenv::WriteFile(blocked + "/file", "x");  // a file where the folder should be
  EXPECT_FALSE(WriteSettings(blocked + "/file", TSettings{}));
}

}  // namespace
}  // namespace fe
