// The settings file: reading with defaults, writing back without losing other lines.
#include <gtest/gtest.h>

#include <QFile>

#include "app/IniFile.h"
#include "tests/support/TestEnv.h"

namespace {

QString NewPath(const char* hint) {
  return QString::fromStdString(testenv::MakeTempDir(hint)) + QStringLiteral("/ardovan.ini");
}

TEST(IniFileTest, MissingFileGivesDefaults) {
  const app::TIniFile ini(NewPath("ini-missing"));
  EXPECT_EQ(ini.ReadInteger("Setting", "IDVyp", -1), -1);
  EXPECT_TRUE(ini.ReadBool("Setting", "BurnProof", true));
  EXPECT_EQ(ini.ReadString("Setting", "TempDir", "/tmp/"), QStringLiteral("/tmp/"));
}

TEST(IniFileTest, ReadsNamesWithoutRegardToCaseAndNumbersStrictly) {
  const QString path = NewPath("ini-read");
  testenv::WriteFile(path.toStdString(),
                     "; written by hand\r\n[setting]\r\nidvyp = 2\r\nBurnProof=7\r\nTempDir=/data/tmp/\r\n"
                     "Broken=12abc\r\n[Other]\r\nIDVyp=5\r\n");
  const app::TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("Setting", "IDVyp", -1), 2);
  EXPECT_TRUE(ini.ReadBool("Setting", "BurnProof", false));  // any non-zero number
  EXPECT_EQ(ini.ReadString("Setting", "TempDir", ""), QStringLiteral("/data/tmp/"));
  EXPECT_EQ(ini.ReadInteger("Setting", "Broken", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Other", "IDVyp", -1), 5);
  EXPECT_FALSE(app::TIniFile(path).ReadBool("Setting", "Missing", false));
}

TEST(IniFileTest, WriteKeepsForeignLinesAndReplacesOwnKeys) {
  const QString path = NewPath("ini-write");
  // The note is in a code page of old (not UTF-8): it is kept byte for byte.
  testenv::WriteFile(path.toStdString(),
                     "; pozn\xE1mka\n[Setting]\nIDVyp=1\nExtra=x\n\n[Other]\nA=1\n");
  app::TIniFile ini(path);
  ini.WriteInteger("Setting", "IDVyp", 3);
  ini.WriteBool("Setting", "BurnProof", false);
  ini.WriteString("Setting", "TempDir", "/var/tmp/");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(
      testenv::ReadText(path.toStdString()),
      "; "
      "pozn\xE1mka\n[Setting]\nIDVyp=3\nExtra=x\nBurnProof=0\nTempDir=/var/tmp/\n\n[Other]\nA=1\n");
}

TEST(IniFileTest, FirstWriteCreatesFolderAndFile) {
  const QString path =
      QString::fromStdString(testenv::MakeTempDir("ini-new")) + QStringLiteral("/sub/folder/ardovan.ini");
  app::TIniFile ini(path);
  ini.WriteInteger("Setting", "IDVyp", -1);
  ini.WriteBool("Setting", "BurnProof", true);
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(testenv::ReadText(path.toStdString()), "[Setting]\nIDVyp=-1\nBurnProof=1\n");
  EXPECT_EQ(app::TIniFile(path).ReadInteger("Setting", "IDVyp", 0), -1);
}

TEST(IniFileTest, UnwritablePlaceReportsFailure) {
  const std::string dir = testenv::MakeTempDir("ini-blocked");
  testenv::WriteFile(dir + "/file", "x");  // a file where the folder should be
  app::TIniFile ini(QString::fromStdString(dir + "/file/ardovan.ini"));
  ini.WriteInteger("Setting", "IDVyp", 1);
  EXPECT_FALSE(ini.UpdateFile());
}

}  // namespace
