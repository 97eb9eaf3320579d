// The burn options reach the job that runs (they used to be set before the drive list was made,
// which reset them): seen in the recorder's state and in the command log.
#include <cstdlib>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

// The bytes of a command log line: its CDB (bytes 1 to 15) and the start of its data.
struct TLogged {
  std::vector<int> Cdb, Data;
};

std::vector<TLogged> Commands(const std::string& log, const std::string& name) {
  std::vector<TLogged> found;
  for (const std::string& line : Lines(log)) {
    if (line.find(name) == std::string::npos) continue;
    const size_t cdb = line.find("] "), bar = line.find("| ");
    if (cdb == std::string::npos || bar == std::string::npos) continue;
    TLogged l;
    for (size_t i = cdb + 2; i + 2 <= bar; i += 3)
      l.Cdb.push_back(std::stoi(line.substr(i, 2), nullptr, 16));
    for (size_t i = bar + 2; i + 3 <= line.size() && line[i + 2] == ' '; i += 3)
      l.Data.push_back(std::stoi(line.substr(i, 2), nullptr, 16));
    found.push_back(l);
  }
  return found;
}

// The part of a command log the write job sent, from its REZERO UNIT (01h) on.
std::string JobPart(const std::string& log) {
  const size_t at = log.find(" (01) ");
  return at == std::string::npos ? std::string() : log.substr(at);
}

std::string DiscStatus(const std::string& status) {
  const size_t at = status.find("\"disc_status\": \"");
  return at == std::string::npos ? "" : status.substr(at + 16, status.find('"', at + 16) - at - 16);
}

class OptionsTest : public TCliTest {
 protected:
  void SetUp() override {
    TCliTest::SetUp();
    file_ = MakeFile(Path("data.bin"), 100000, 61);
  }
  std::string file_;
};

TEST_F(OptionsTest, TestWriteLeavesTheMediumBlankAndSaysSo) {
  const std::string cd = Recorder("cd-r");
  TRun run = Cli("burn --test-write --no-eject " + file_, {cd});
  EXPECT_EQ(run.Code, 0) << run.All();
  EXPECT_EQ(LogTexts(run.Out).back(),
            " >>> Simulace zápisu proběhla úspěšně, médium zůstalo beze změny.");
  EXPECT_EQ(DiscStatus(Tool("status " + cd)), "blank");

  // A DVD+R cannot simulate: refused before anything is sent to be written.
  const std::string dvd = Recorder("dvd+r");
  run = Cli("burn --test-write --no-eject " + file_, {dvd});
  EXPECT_EQ(run.Code, 3) << run.All();
  EXPECT_EQ(LogTexts(run.Out).back(),
            " >>> Médium tohoto typu neumožňuje simulaci zápisu, vypalování se neprovede... ");
  EXPECT_EQ(DiscStatus(Tool("status " + dvd)), "blank");
}

TEST_F(OptionsTest, FinalizeClosesTheDisc) {
  for (const char* medium : {"cd-r", "dvd-r", "dvd+r", "bd-r"}) {
    SCOPED_TRACE(medium);
    const std::string open = Recorder(medium), closed = Recorder(medium);
    ASSERT_EQ(Cli("burn --no-eject " + file_, {open}).Code, 0);
    ASSERT_EQ(Cli("burn --finalize --no-eject " + file_, {closed}).Code, 0);
    EXPECT_EQ(DiscStatus(Tool("status " + open)), "appendable");
    EXPECT_EQ(DiscStatus(Tool("status " + closed)), "complete");
  }
}

TEST_F(OptionsTest, BurnProofAndSpeedReachTheWriteParameters) {
  const std::string r = Recorder("cd-r");
  const std::string log = Path("commands.elg");
  ASSERT_EQ(Cli("--log " + log + " burn --no-burnproof --speed 1411 " + file_, {r}).Code, 0);
  const std::string text = testenv::ReadText(log);
  // Every write-parameters page the job sends (the medium queries send
  // their own) has buffer-underrun protection (BUFE) off.
  int pages = 0;
  for (const TLogged& m : Commands(JobPart(text), "MODE SELECT (10)")) {
    if (m.Data.size() < 11 || (m.Data[8] & 0x3F) != 0x05) continue;
    ++pages;
    EXPECT_EQ(m.Data[10] & 0x40, 0);
  }
  EXPECT_GT(pages, 0) << text;
  // The last speed asked for before the write is the one given (write speed in CDB bytes 4-5).
  const auto speeds = Commands(text.substr(0, text.find("WRITE (10)")), "SET CD SPEED");
  ASSERT_FALSE(speeds.empty()) << text;
  EXPECT_EQ(speeds.back().Cdb[3] * 256 + speeds.back().Cdb[4], 1411);

  // Without the option the kept setting (on) is what the write uses.
  const std::string again = Recorder("cd-r");
  ASSERT_EQ(Cli("--log " + log + " burn " + file_, {again}).Code, 0);
  pages = 0;
  for (const TLogged& m : Commands(JobPart(testenv::ReadText(log)), "MODE SELECT (10)")) {
    if (m.Data.size() < 11 || (m.Data[8] & 0x3F) != 0x05) continue;
    ++pages;
    EXPECT_EQ(m.Data[10] & 0x40, 0x40);
  }
  EXPECT_GT(pages, 0);
}

TEST_F(OptionsTest, OptionChecksAsDocumented) {
  const std::string r = Recorder("cd-r");
  // The buffer's range is 2 to 624 MiB, as the help says; the message says it in integers.
  TRun run = Cli("burn --cache 1 " + file_, {r});
  EXPECT_EQ(run.Code, 2);
  EXPECT_NE(run.Err.find("not in range 2 to 624"), std::string::npos) << run.Err;
  EXPECT_EQ(Cli("mkimage --cache 2 --output " + Path("small-cache.iso") + " " + file_).Code, 0);
  // A command log that cannot be made is an error, not a silent nothing.
  run = Cli("--log " + Path("no/such/folder/x.elg") + " drives", {r});
  EXPECT_EQ(run.Code, 2);
  EXPECT_NE(run.Err.find("cannot create the command log"), std::string::npos) << run.Err;
  // A path that is no file or folder is named for what it is.
  ASSERT_EQ(std::system(("mkfifo " + testenv::Quote(Path("pipe"))).c_str()), 0);
  run = Cli("burn " + Path("pipe"), {r});
  EXPECT_EQ(run.Code, 2);
  EXPECT_NE(run.Err.find(Path("pipe") + " is a FIFO; only files and folders can be burned"),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(DiscStatus(Tool("status " + r)), "blank");
}

}  // namespace
}  // namespace clitest
