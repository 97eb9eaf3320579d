// The progress display on a terminal (a pseudo-terminal made by script(1)), and the plain log
// lines without one.
#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class TerminalTest : public TCliTest {};

TEST_F(TerminalTest, ProgressDisplayOnlyOnATerminal) {
  // A stall of 4 s of drive time keeps the data phase on screen for a few display refreshes.
  const std::string r = StalledRecorder(40);
  const std::string file = MakeFile(Path("data.bin"), 2 << 20, 51);
  const std::string script = CliScript("burn " + testenv::Quote(file), {r}, "", false);
  std::string screen;
  ASSERT_EQ(testenv::Run("script -qec " + testenv::Quote("sh " + script) + " /dev/null </dev/null", &screen), 0)
      << screen;
  // The display line: status name, the status line with percent and speed, both buffer fills,
  // redrawn in place and cleared before every log line.
  EXPECT_NE(screen.find("\r\x1b[K"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" MB ("), std::string::npos) << screen;
  EXPECT_NE(screen.find("software buffer "), std::string::npos) << screen;
  EXPECT_NE(screen.find("drive buffer "), std::string::npos) << screen;
  EXPECT_NE(screen.find(" >>> Vypalování dokončeno..."), std::string::npos) << screen;

  // Without a terminal the same burn gives log lines only.
  Tool("insert " + r + " --medium cd-r");
  const TRun plain = Cli("burn " + file, {r});
  ASSERT_EQ(plain.Code, 0) << plain.All();
  EXPECT_EQ(plain.All().find('\x1b'), std::string::npos);
  EXPECT_EQ(plain.All().find('\r'), std::string::npos);
}

}  // namespace
}  // namespace clitest
