// The checks that refuse work, each with its line or message and its exit code, and the usage
// errors of the command line.
#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class RefusalTest : public TCliTest {
 protected:
  void SetUp() override {
    TCliTest::SetUp();
    file_ = MakeFile(Path("data/file.bin"), 600 * 1024, 31);
  }
  std::string file_;
};

TEST_F(RefusalTest, BurnChecksInTheWizardsOrder) {
  // No medium: the first check, nothing ejected.
  const std::string empty = Recorder("");
  TRun run = Cli("burn " + file_, {empty});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(LogTexts(run.Out),
            (std::vector<std::string>{
                " >>> Zahajuji proces vypalování... ",
                " >>> Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a "
                "klikněte na Vypálit... "}));

  // A pressed disc cannot be written: refused and ejected.
  const std::string iso = Path("rom.iso");
  ASSERT_EQ(Cli("mkimage --output " + iso).Code, 0);
  const std::string rom = Recorder("");
  Tool("insert " + rom + " --rom " + iso);
  run = Cli("burn " + file_, {rom});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(LogTexts(run.Out).back(), " >>> Médium neumožňuje zápis, vypalování se neprovede... ");
  EXPECT_NE(Tool("status " + rom).find("\"tray\": \"open\""), std::string::npos);

  // Too little room: the capacity line, then the refusal with the size wanted; nothing written.
  const std::string small = Recorder("cd-r", "--blocks 200");
  run = Cli("burn " + file_, {small});
  EXPECT_EQ(run.Code, 3);
  auto log = LogTexts(run.Out);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], " >>> Kapacita média je 0.39 MB...");
  EXPECT_EQ(
      log.back(),
      " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno 600.00 KB)");
  EXPECT_NE(Tool("status " + small).find("\"disc_status\": \"blank\""), std::string::npos);
}

TEST_F(RefusalTest, LaidOutImageIsCheckedAgainstTheFreeSpace) {
  // 2 KB of files pass the estimate on a disc of 155 blocks, but the image written runs to the
  // end of its 64 KiB block: 160 sectors.
  const std::string tiny = MakeFile(Path("tiny.txt"), 2048, 32);
  const std::string r = Recorder("cd-r", "--blocks 155");
  const TRun run = Cli("burn " + tiny, {r});
  EXPECT_EQ(run.Code, 3) << run.All();
  const auto log = LogTexts(run.Out);
  EXPECT_TRUE(Contains(log, " >>> Inicializace vypalování... "));
  EXPECT_EQ(
      log.back(),
      " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno 320.00 KB)");
  EXPECT_FALSE(Contains(log, " >>> Probíhá vypalování... "));
  EXPECT_NE(Tool("status " + r).find("\"disc_status\": \"blank\""), std::string::npos);
}

TEST_F(RefusalTest, AnAppendableDiscIsJudgedByItsFreeSpace) {
  // The first burn leaves about half of a small CD-R; the second asks for more than is free but
  // less than the whole capacity.
  const std::string r = Recorder("cd-r", "--blocks 14000");
  const std::string half = MakeFile(Path("half.bin"), 3 << 20, 33);
  ASSERT_EQ(Cli("burn --no-eject " + half, {r}).Code, 0);
  const std::string more = MakeFile(Path("more.bin"), 20 << 20, 34);
  const TRun run = Cli("burn " + more, {r});
  EXPECT_EQ(run.Code, 3) << run.All();
  EXPECT_EQ(
      LogTexts(run.Out).back(),
      " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno 20.00 MB)");
}

TEST_F(RefusalTest, ImageOneByteOverTheFreeSpaceIsRefused) {
  // 200 blocks hold 409,600 bytes; one byte more must not pass as the same 400 KB.
  const std::string r = Recorder("cd-r", "--blocks 200");
  const std::string image = MakeFile(Path("over.iso"), 200 * 2048 + 1, 35);
  const TRun run = Cli("burn-image " + image, {r});
  EXPECT_EQ(run.Code, 3) << run.All();
  EXPECT_EQ(
      LogTexts(run.Out).back(),
      " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno 401.00 KB)");
  EXPECT_NE(Tool("status " + r).find("\"disc_status\": \"blank\""), std::string::npos);
}

TEST_F(RefusalTest, EraseChecks) {
  TRun run = Cli("erase", {Recorder("")});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(run.Err, "Zařízení není připraveno\n");
  run = Cli("erase", {Recorder("cd-r")});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(run.Err, "Disk není přepisovatelný\n");
}

TEST_F(RefusalTest, EraseOfACdRwWithData) {
  const std::string r = Recorder("cd-rw");
  ASSERT_EQ(Cli("burn --no-eject " + file_, {r}).Code, 0);
  EXPECT_NE(Tool("status " + r).find("\"disc_status\": \"appendable\""), std::string::npos);
  const TRun run = Cli("erase", {r});
  EXPECT_EQ(run.Code, 0) << run.All();
  const std::string status = Tool("status " + r);
  EXPECT_NE(status.find("\"disc_status\": \"blank\""), std::string::npos) << status;
  EXPECT_NE(status.find("\"tray\": \"open\""), std::string::npos);
}

TEST_F(RefusalTest, UsageErrors) {
  const std::string r = Recorder("cd-r");
  EXPECT_EQ(Cli("", {r}).Code, 2);
  EXPECT_EQ(Cli("burn", {r}).Code, 2);
  EXPECT_EQ(Cli("burn --no-such-option " + file_, {r}).Code, 2);
  TRun run = Cli("burn " + Path("missing"), {r});
  EXPECT_EQ(run.Code, 2);
  EXPECT_NE(run.Err.find("missing"), std::string::npos);
  run = Cli("--drive 3 info", {r});
  EXPECT_EQ(run.Code, 2);
  run = Cli("burn --boot " + file_ + " " + file_, {r});
  EXPECT_EQ(run.Code, 2) << run.All();
  EXPECT_EQ(Cli("burn-image " + Path("missing.iso"), {r}).Code, 2);
  // Nothing was written by any of them.
  EXPECT_NE(Tool("status " + r).find("\"disc_status\": \"blank\""), std::string::npos);
  // No recorder at all.
  run = Cli("info", {});
  EXPECT_EQ(run.Code, 3);
  EXPECT_EQ(run.Err, "Nebyla nalezena žádná vypalovačka!\n");
}

TEST_F(RefusalTest, RepeatedPathsAreLeftOutWithTheListsMessages) {
  const std::string r = Recorder("cd-r");
  const std::string folder = Path("data");
  const TRun run =
      Cli("burn --no-eject " + folder + " " + folder + "/ " + file_ + " " + file_, {r});
  ASSERT_EQ(run.Code, 0) << run.All();
  EXPECT_NE(run.Err.find("Složka již je přidána, nelze přidat podruhé.\n"), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("Soubor: " + file_ + " již je přidán, nezle přidat podruhé.\n"),
            std::string::npos);
  TExpected expected;
  AddFolder(expected, folder);
  expected["/file.bin"] = file_;
  ExpectReadBack(Export(r), expected, false, Path("read"));
}

}  // namespace
}  // namespace clitest
