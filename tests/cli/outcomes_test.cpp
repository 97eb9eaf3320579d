// True outcomes through ardovan-cli: one program per recorder, a source that changes while it is
// burned, a compilation that lacks entries, a close the recorder refuses, images that cannot be
// burned. Each ends with a line that says what happened and the exit code that goes with it.
#include <signal.h>
#include <sys/stat.h>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class OutcomeTest : public TCliTest {};

std::string DiscStatus(const std::string& status) {
  const size_t at = status.find("\"disc_status\": \"");
  return at == std::string::npos ? "" : status.substr(at + 16, status.find('"', at + 16) - at - 16);
}

TEST_F(OutcomeTest, TwoBurnsOnOneRecorderGiveOneDiscAndOneRefusal) {
  const std::string r = StalledRecorder(0);
  const std::string first = MakeFile(Path("first/a.bin"), 1 << 20, 51);
  const std::string second = MakeFile(Path("second/b.bin"), 1 << 20, 52);
  TRunning burning = Start("burn " + first, {r}, Path("first.err"));
  ASSERT_GT(burning.Pid, 0);
  // The first holds the recorder and stands at its third WRITE.
  ASSERT_TRUE(WaitUntilFired(r));
  const TRun other = Cli("burn " + second, {r});
  EXPECT_EQ(other.Code, 3) << other.All();
  const std::string pid = std::to_string(burning.Pid);
  EXPECT_EQ(other.Err, "The recorder is in use by another program (pid " + pid + ")\n");
  EXPECT_EQ(LogTexts(other.Out).back(),
            " >>> Vypalování se neprovede: vypalovačku právě používá "
            "jiný program (PID " +
                pid + ")... ");
  EXPECT_FALSE(Contains(LogTexts(other.Out), " >>> Médium umožňuje zápis... "));
  const TRun erase = Cli("erase", {r});
  EXPECT_EQ(erase.Code, 3) << erase.All();
  EXPECT_NE(erase.Err.find("(pid " + pid + ")"), std::string::npos) << erase.Err;
  // Asking about the recorder stays possible.
  EXPECT_EQ(Cli("info", {r}).Code, 0);

  Tool("clear-faults " + r);
  EXPECT_EQ(burning.Finish(), 0) << burning.Out << testenv::ReadText(Path("first.err"));
  EXPECT_EQ(LogTexts(burning.Out).back(), " >>> Vypalování proběhlo úspěšně.");
  ExpectReadBack(Export(r), TExpected{{"/a.bin", first}}, false, Path("read"));
}

TEST_F(OutcomeTest, SourceCutShortDuringTheBurnFailsNamingIt) {
  // A software buffer of 2 MiB holds only the start of the file when the recorder stalls.
  const std::string r = StalledRecorder(0);
  const std::string file = MakeFile(Path("cut.bin"), 8 << 20, 53);
  TRunning burning = Start("burn --cache 2 " + file, {r}, Path("cut.err"));
  ASSERT_TRUE(WaitUntilFired(r));
  fs::resize_file(file, 1 << 20);
  Tool("clear-faults " + r);
  EXPECT_EQ(burning.Finish(), 1) << burning.Out;
  const std::string what = file + " (shorter than when the compilation was made)";
  EXPECT_EQ(testenv::ReadText(Path("cut.err")),
            "Source file changed while it was written: " + what + "\n");
  EXPECT_EQ(LogTexts(burning.Out).back(),
            " >>> Vypalování se nezdařilo: zdrojový soubor se během zápisu změnil, disk jej "
            "neobsahuje správně (Source file changed while it was written: " +
                what + ")");
}

TEST_F(OutcomeTest, WhatACompilationLacksIsNamed) {
  // A folder link back into its own path, a name that is no UTF-8, two files of one name given
  // for the root; names differing only in case are distinct files and both stay.
  const std::string folder = Path("slozka");
  const std::string lower = MakeFile(folder + "/a.txt", 100, 54);
  const std::string upper = MakeFile(folder + "/A.TXT", 200, 55);
  fs::create_directory_symlink(".", folder + "/selfdir");
  MakeFile(folder + "/\xff.txt", 10, 56);
  const std::string one = MakeFile(Path("x/same.txt"), 10, 57);
  const std::string two = MakeFile(Path("y/same.txt"), 20, 58);
  const std::string iso = Path("lacks.iso");
  const TRun made =
      Cli("mkimage --allow-incomplete --output " + iso + " " + folder + " " + one + " " + two);
  EXPECT_EQ(made.Code, 1) << made.All();
  const auto lines = Lines(made.Err);
  EXPECT_TRUE(Contains(
      lines, "Nepřidáno: " + folder + "/selfdir (odkaz na složku vede zpět do vlastní cesty)"))
      << made.Err;
  EXPECT_TRUE(Contains(lines, "Nepřidáno: " + folder + "/\\xFF.txt (název není platný text UTF-8)"))
      << made.Err;
  EXPECT_TRUE(
      Contains(lines, "Nepřidáno: " + two + " (ve složce kompilace už je položka stejného názvu)"))
      << made.Err;
  EXPECT_EQ(lines.size(), 4u) << made.Err;  // the three, and the summary
  std::string out;
  ASSERT_EQ(
      testenv::Run("xorriso -indev " + testenv::Quote(iso) + " -find / -type f 2>/dev/null", &out),
      0);
  std::string files;
  for (const std::string& line : Lines(out))
    if (!line.empty() && line[0] == '\'') files += line + "\n";
  EXPECT_EQ(files, "'/same.txt'\n'/slozka/A.TXT'\n'/slozka/a.txt'\n");
}

TEST_F(OutcomeTest, RefusedCloseIsNamedAndTheDiscMayBeOpen) {
  const std::string r = Recorder("dvd-r");
  Tool("fault " + r + " --opcode 5B --sense 5/2C/00 --times 0");
  const TRun run = Cli("burn " + MakeFile(Path("c.bin"), 100000, 59), {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  const std::string why =
      "The recorder refused to close the session (5/2C/00 illegal request: command sequence "
      "error); the disc may be left open";
  EXPECT_EQ(run.Err, why + "\n");
  EXPECT_EQ(LogTexts(run.Out).back(),
            " >>> Vypalování se nezdařilo: mechanika odmítla dokončit zápis, disk mohl zůstat "
            "otevřený (" +
                why + ")");
}

TEST_F(OutcomeTest, ImagesThatCannotBeBurnedAreRefused) {
  const std::string r = Recorder("cd-r");
  const std::string empty = MakeFile(Path("empty.iso"), 0, 60);
  TRun run = Cli("burn-image " + empty, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_EQ(run.Err, "The image file is empty: \\" + empty + "\\\n");
  EXPECT_EQ(LogTexts(run.Out).back(), " >>> Vypalování se nezdařilo: soubor obrazu je prázdný");

  ASSERT_EQ(mkfifo(Path("pipe.iso").c_str(), 0600), 0);
  run = Cli("burn-image " + Path("pipe.iso"), {r});
  EXPECT_EQ(run.Code, 2) << run.All();
  EXPECT_EQ(run.Err, "ardovan-cli: " + Path("pipe.iso") +
                         " is a FIFO; only a file can be burned as an image\n");
  EXPECT_EQ(DiscStatus(Tool("status " + r)), "blank");

  // An appendable disc: the image would not be where its addresses say.
  ASSERT_EQ(Cli("load", {r}).Code, 0);
  ASSERT_EQ(Cli("burn --no-eject " + MakeFile(Path("s.bin"), 1000, 61), {r}).Code, 0);
  const std::string before = Tool("status " + r);
  const std::string iso = Path("some.iso");
  ASSERT_EQ(Cli("mkimage --output " + iso).Code, 0);
  run = Cli("burn-image --no-eject " + iso, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_EQ(run.Err,
            "The disc is not blank: an image is written only onto a blank or a rewritable disc\n");
  EXPECT_EQ(Tool("status " + r), before);
}

}  // namespace
}  // namespace clitest
