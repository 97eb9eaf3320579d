// drives and info through ardovan-cli, and the choice of the drive at start.
#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class DrivesInfoTest : public TCliTest {};

std::string MediumLine(const TRun& run) {
  for (const auto& l : Lines(run.Out))
    if (l.rfind(">>> Vložený disk do mechaniky: ", 0) == 0) return l;
  return {};
}

TEST_F(DrivesInfoTest, DrivesListsEveryRecorder) {
  const std::string a = Recorder("cd-r", "", "cd"), b = Recorder("");
  const TRun run = Cli("drives", {a, b});
  ASSERT_EQ(run.Code, 0) << run.All();
  const auto lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), 2u) << run.Out;
  EXPECT_EQ(lines[0].rfind("0: ", 0), 0u);
  EXPECT_EQ(lines[1].rfind("1: ", 0), 0u);
  for (const auto& l : lines) EXPECT_NE(l.find("[recorder]"), std::string::npos) << l;
  EXPECT_NE(lines[0].find("D:"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("E:"), std::string::npos) << lines[1];
}

TEST_F(DrivesInfoTest, BlankCdRReport) {
  const TRun run = Cli("info", {Recorder("cd-r", "--blocks 359847")});
  ASSERT_EQ(run.Code, 0) << run.All();
  const auto lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), 44u) << run.Out;
  EXPECT_EQ(lines[0], ">>> Je zařízení připraveno? Ano");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], ">>> Vložený disk do mechaniky: mtCDR");
  EXPECT_EQ(lines[3], ">>> Je médium PŘEPISOVATELNÉ? Ne");
  EXPECT_EQ(lines[4], ">>> Je médium ZAPISOVATELNÉ? Ano");
  EXPECT_EQ(lines[5], ">>> Sessions na Disku: 0");
  EXPECT_EQ(lines[6], ">>> Celková kapacita média: 702.83 MB");
  EXPECT_EQ(lines[7], ">>> Volné místo na médiu: 702.83 MB");
  EXPECT_EQ(lines[8].rfind(">>> Maximální rychlost zápisu:  ", 0), 0u) << lines[8];
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(lines[16], "");
  EXPECT_EQ(lines[17], ">>> Umožňuje zařízení čtení CDR? Ano");
  EXPECT_EQ(lines[31], "");
  EXPECT_EQ(lines[32], ">>> Umožňuje zařízení zápis CDR? Ano");
  EXPECT_EQ(lines[43], ">>> Umožňuje zařízení zápis BluRay - BDRE? Ano");
}

TEST_F(DrivesInfoTest, EmptyDriveReportsNothingReady) {
  const TRun run = Cli("info", {Recorder("")});
  ASSERT_EQ(run.Code, 0) << run.All();
  const auto lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[0], ">>> Je zařízení připraveno? Ne");
  EXPECT_EQ(lines[2], ">>> Vložený disk do mechaniky: mtUNKNOWN");
  EXPECT_EQ(lines[6], ">>> Celková kapacita média: 0.00 MB");
}

TEST_F(DrivesInfoTest, DriveChoice) {
  const std::string cd = Recorder("cd-r"), dvd = Recorder("dvd+r");
  // No kept choice: the last recorder of the list.
  EXPECT_EQ(MediumLine(Cli("info", {cd, dvd})), ">>> Vložený disk do mechaniky: mtDVDPLUSR");
  EXPECT_EQ(MediumLine(Cli("--drive 0 info", {cd, dvd})), ">>> Vložený disk do mechaniky: mtCDR");
  EXPECT_EQ(MediumLine(Cli("info --drive 0", {cd, dvd})), ">>> Vložený disk do mechaniky: mtCDR");
  // The kept choice, with the key names in any case.
  WriteSettings("[setting]\r\nidvyp=0\r\n");
  EXPECT_EQ(MediumLine(Cli("info", {cd, dvd})), ">>> Vložený disk do mechaniky: mtCDR");
  // --drive wins over it.
  EXPECT_EQ(MediumLine(Cli("--drive 1 info", {cd, dvd})),
            ">>> Vložený disk do mechaniky: mtDVDPLUSR");
  // A kept index that is no longer in the list selects nothing, and is named as the kept one.
  WriteSettings("[Setting]\nIDVyp=7\n");
  const TRun stale = Cli("info", {cd, dvd});
  EXPECT_EQ(stale.Code, 3);
  EXPECT_EQ(stale.Err, "ardovan-cli: the drive 7 kept in the settings file " + work_ +
                           "/config/ardovan/ardovan.ini no longer exists (the list has 2; choose "
                           "one with --drive, see: ardovan-cli drives)\n");
}

TEST_F(DrivesInfoTest, EjectAndLoad) {
  const std::string r = Recorder("dvd-r");
  ASSERT_EQ(Cli("eject", {r}).Code, 0);
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"open\""), std::string::npos);
  ASSERT_EQ(Cli("load", {r}).Code, 0);
  EXPECT_NE(Tool("status " + r).find("\"tray\": \"closed\""), std::string::npos);
  // The medium stayed in: the report sees it again.
  EXPECT_EQ(MediumLine(Cli("info", {r})), ">>> Vložený disk do mechaniky: mtDVDR");
}

}  // namespace
}  // namespace clitest
