// The settings file: reading with its defaults, writing back without losing other lines, and the
// one rule for the temporary folder on both ways; the compilation page's options kept there.
#include "frontend/Settings.h"

#include <gtest/gtest.h>

#include "frontend/BurnOptions.h"
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
      "; "
      "pozn\xE1mka\n[Setting]\nIDVyp=3\nExtra=x\nBurnProof=0\nTempDir=/var/tmp/\n\n[Other]\nA=1\n");
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

namespace fe {
namespace {

TEST(BurnOptionsTest, KeptBesideTheOtherKeysAndReadBackWithTheirDefaults) {
  const std::string dir = testenv::MakeTempDir("ini-options");
  // At first the options write the disc as a plain burn always has.
  const TBurnOptions defaults = ReadBurnOptions(dir);
  EXPECT_EQ(defaults, TBurnOptions{});
  EXPECT_EQ(defaults.VolumeLabel, "Disk");
  EXPECT_EQ(defaults.WriteSpeed, -1);

  testenv::WriteFile(dir + "/ardovan.ini", "[Setting]\nIDVyp=1\nVlastni=ano\n[Jine]\nklic=2\n");
  TBurnOptions o;
  o.VolumeLabel = "ZÁLOHA";
  o.UdfBridge = o.Finalize = true;
  o.BootImage = "/boot/disketa.img";
  o.WriteSpeed = 5540;
  ASSERT_TRUE(WriteBurnOptions(dir, o));
  const std::string text = testenv::ReadText(dir + "/ardovan.ini");
  for (const char* kept : {"IDVyp=1", "Vlastni=ano", "[Jine]\nklic=2"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
  EXPECT_EQ(ReadBurnOptions(dir), o);
  EXPECT_EQ(ReadSettings(dir).BurnerIndex, 1);

  // A speed no recorder can be asked for counts as no choice.
  EXPECT_EQ(BurnOptionsFromIni(TIniFile::FromText("[Setting]\nWriteSpeed=70000\n")).WriteSpeed, -1);

  // Into a burn: the write options and the file-system choices.
  TBurnRequest request;
  TCompilationOptions compilation;
  ApplyBurnOptions(o, request, compilation);
  EXPECT_EQ(request.VolumeId, "ZÁLOHA");
  EXPECT_EQ(request.Boot, "/boot/disketa.img");
  EXPECT_EQ(request.Finalize, std::optional<bool>(true));
  EXPECT_EQ(request.TestWrite, std::optional<bool>(false));
  EXPECT_EQ(request.SpeedKBps, std::optional<uint16_t>(5540));
  EXPECT_TRUE(compilation.Udf);
  EXPECT_FALSE(compilation.Iso1999);
  request = {};
  ApplyBurnOptions(defaults, request, compilation);
  EXPECT_FALSE(request.SpeedKBps.has_value());  // as the settings window left it
}

}  // namespace
}  // namespace fe
