// The front end's pure pieces: number and size forms with other separators than the C locale's,
// the progress line and status log, the report lines, the settings file, the compilation list.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/Compilation.h"
#include "cli/Formats.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "cli/Settings.h"
#include "cli/Texts.h"
#include "tests/support/TestEnv.h"

namespace cli {
namespace {

const TNumberSeparators kCzech{",", "\xC2\xA0"};  // decimal comma, no-break space
const TNumberSeparators kC{".", ""};

TEST(FormatsTest, NumberForms) {
  EXPECT_EQ(FormatGrouped(359847 / 512.0, 2, kCzech), "702,83");
  EXPECT_EQ(FormatGrouped(1234567.891, 2, kCzech), "1\xC2\xA0" "234\xC2\xA0" "567,89");
  EXPECT_EQ(FormatGrouped(999.995, 2, kCzech), "1\xC2\xA0" "000,00");
  EXPECT_EQ(FormatGrouped(-1234.5, 2, kCzech), "-1\xC2\xA0" "234,50");
  EXPECT_EQ(FormatGrouped(-0.001, 2, kCzech), "0,00");
  EXPECT_EQ(FormatPlain(1234.5, 2, kCzech), "1234,50");
  EXPECT_EQ(FormatGrouped(1234.5, 2, kC), "1234.50");
  EXPECT_EQ(SpeedText(7056, kCzech), " 7\xC2\xA0" "056 KB/s");
  EXPECT_EQ(SectorsToMB(332800, kCzech), "650,00");
  EXPECT_EQ(LogTime(plat::TSystemTime{2024, 1, 1, 1, 1, 2, 3, 4}), "01:02:03.004");
}

TEST(FormatsTest, SizeForms) {
  EXPECT_EQ(FormatSize(0, kC), "0.00 B");
  EXPECT_EQ(FormatSize(1, kC), "1.00 KB");
  EXPECT_EQ(FormatSize(999, kC), "999.00 KB");
  EXPECT_EQ(FormatSize(1000, kCzech), "0,98 MB");
  EXPECT_EQ(FormatSize(1023, kC), "1.00 MB");
  EXPECT_EQ(FormatSize(4608000, kC), "4.39 GB");
  // Sizes past 4 GiB of KB keep their 64 bits.
  EXPECT_EQ(FormatSize(uint64_t{5} << 40, kC), "5.00 PB");
  EXPECT_EQ(FormatSize(uint64_t{8} << 50, kC), "8.00 EB");
}

TEST(ProgressTest, StatusLines) {
  EXPECT_EQ(ProgressLine(1, 332800, 0, 1000, kCzech), "0,00/650,00 MB");
  EXPECT_EQ(ProgressLine(1, 332800, 166400, 1385, kCzech), "325,00/650,00 MB (50,00%) @ 1385,00 KB/s");
  EXPECT_EQ(ProgressLine(11, 1000, 250, 1385, kC), "0.49/1.95 MB (25.00%)");
  EXPECT_EQ(ProgressLine(4, 0, 32, 0, kC), "0.06/0.00 MB (0.00%) @ 0.00 KB/s");
  EXPECT_EQ(Percent(50, 200), 25);
  EXPECT_EQ(Percent(300, 200), 100);
  EXPECT_EQ(Percent(5, 0), 0);
}

TEST(ProgressTest, StatusLogLogsChangesAndAbortsAfterAWriteError) {
  TStatusLog log;
  auto r = log.Update(1);
  ASSERT_TRUE(r.Name);
  EXPECT_EQ(*r.Name, "Zapisuji data...");
  EXPECT_FALSE(log.Update(1).Name);
  r = log.Update(9);
  EXPECT_EQ(*r.Name, "Chyba vypalování: Provede se storno...");
  EXPECT_FALSE(r.Abort);
  r = log.Update(7);
  EXPECT_EQ(*r.Name, "Probíhá storno...");
  EXPECT_TRUE(r.Abort);
  r = log.Update(4);
  EXPECT_FALSE(r.Abort);
}

TEST(ReportTest, LinesAndTheirOrder) {
  TMediumFacts f;
  f.UnitReady = true;
  f.MediumType = 2;
  f.TotalBlocks = f.FreeBlocks = 359847;
  f.MaxWriteSpeed = 7056;
  f.Capability[41] = 2;  // anything but 1 is "Ne"
  f.Capability[42] = 1;
  f.Capability[8] = 1;   // DVD+R DL read, listed before DVD+RW read
  f.Capability[27] = 1;  // DVD+RW write, listed after DVD+R DL write
  const auto lines = ReportLines(f, kCzech);
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[6], ">>> Celková kapacita média: 702,83 MB");
  EXPECT_EQ(lines[7], ">>> Volné místo na médiu: 702,83 MB");
  EXPECT_EQ(lines[8], ">>> Maximální rychlost zápisu:  7\xC2\xA0" "056 KB/s");
  EXPECT_EQ(lines[10], ">>> Rychlost záspisu:  0 KB/s");
  EXPECT_EQ(lines[14], ">>> Umožňuje zařízení simulaci zápisu? Ne");
  EXPECT_EQ(lines[15], ">>> Podporuje zařízení ochranu přetečení? Ano");
  EXPECT_EQ(lines[23], ">>> Umožňuje zařízení čtení DVDPLUSRDL? Ano");
  EXPECT_EQ(lines[24], ">>> Umožňuje zařízení čtení DVDPLUSRW? Ne");
  EXPECT_EQ(lines[38], ">>> Umožňuje zařízení zápis DVDPLUSRDL? Ne");
  EXPECT_EQ(lines[39], ">>> Umožňuje zařízení zápis DVDPLUSRW? Ano");
  EXPECT_EQ(MediumTypeName(19), "mtDDCDRW");
  EXPECT_EQ(MediumTypeName(20), "mtDDCDROM");
  EXPECT_EQ(MediumTypeName(23), "mtUNKNOWN");
  EXPECT_EQ(StatusName(12), "");
}

TEST(SettingsTest, KeysValuesAndDefaults) {
  TSettings s = ParseSettings("", "/tmp/");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/tmp/");
  s = ParseSettings("[Other]\nIDVyp=4\n[ setting ]\r\n idvyp = 2 \r\nBURNPROOF=0\r\nTempDir=/var/x\r\n", "/tmp/");
  EXPECT_EQ(s.BurnerIndex, 2);
  EXPECT_FALSE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/var/x/");
  s = ParseSettings("[Setting]\nIDVyp=two\nBurnProof=5\nTempDir=/y/\n", "/tmp/");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/y/");
  s = ParseSettings("[Setting]\nIDVyp=99999999999\nBurnProof=off\n", "/t");
  EXPECT_EQ(s.BurnerIndex, -1);
  EXPECT_TRUE(s.BurnProof);
  EXPECT_EQ(s.TempDir, "/t/");
}

TEST(CompilationTest, ListRefusalsAndSizes) {
  namespace fs = std::filesystem;
  const std::string dir = testenv::MakeTempDir("list");
  fs::create_directories(dir + "/f");
  testenv::WriteFile(dir + "/f/a", std::string(1023, 'a'));
  fs::create_directories(dir + "/f/.git");
  testenv::WriteFile(dir + "/f/.git/big", std::string(8192, 'g'));
  testenv::WriteFile(dir + "/f/.hidden", std::string(4096, 'h'));
  fs::create_directories(dir + "/f/sub");
  testenv::WriteFile(dir + "/f/sub/b", std::string(3000, 'b'));
  // Per file truncated, dot names skipped: 0 + 2.
  EXPECT_EQ(FolderSizeKB(dir + "/f"), 2u);

  TCompilationList list;
  std::string message;
  EXPECT_EQ(list.Add(dir + "/f/", message), TCompilationList::TAdd::Added);
  EXPECT_EQ(list.Add(dir + "/f", message), TCompilationList::TAdd::Refused);
  EXPECT_EQ(message, "Složka již je přidána, nelze přidat podruhé.");
  EXPECT_EQ(list.Add(dir + "/f/sub/b", message), TCompilationList::TAdd::Added);
  EXPECT_EQ(list.Add(dir + "/f/sub/../sub/b", message), TCompilationList::TAdd::Refused);
  EXPECT_EQ(message, "Soubor: " + dir + "/f/sub/b již je přidán, nezle přidat podruhé.");
  EXPECT_EQ(list.Add(dir + "/nothing", message), TCompilationList::TAdd::Missing);
  const std::string ok(130, 'n'), tooLong(131, 'n');
  testenv::WriteFile(dir + "/" + ok, "x");
  testenv::WriteFile(dir + "/" + tooLong, "x");
  EXPECT_EQ(list.Add(dir + "/" + ok, message), TCompilationList::TAdd::Added);
  EXPECT_EQ(list.Add(dir + "/" + tooLong, message), TCompilationList::TAdd::Refused);
  EXPECT_EQ(message, "Soubor " + tooLong +
                         " má příliž dlouhý název, nelze přidat do kompilace, soubor přejmenujte na kratší název.");
  ASSERT_EQ(list.Entries().size(), 3u);
  EXPECT_EQ(list.Entries()[0].Path, dir + "/f");
  EXPECT_TRUE(list.Entries()[0].Folder);
  EXPECT_EQ(list.TotalSizeKB(), 2u + 2u + 0u);
}

}  // namespace
}  // namespace cli
