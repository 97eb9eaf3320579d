// The progress display on a terminal (a pseudo-terminal made by script(1)), and the plain log
// lines without one.
#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class TerminalTest : public TCliTest {};

TEST_F(TerminalTest, ProgressDisplayOnlyOnATerminal) {
  // The third WRITE finds the recorder busy until the test has seen the display of the data
  // phase; then the fault is cleared and the burn ends. The clock runs only ten times faster, so
  // the write's patience with a busy recorder (500 s of drive time) outlasts any slow machine.
  clockScale_ = 10;
  const std::string r = Recorder("cd-r");
  Tool("fault " + r + " --opcode 2A --sense 2/04/08 --from 3 --times 0");
  const std::string file = MakeFile(Path("data.bin"), 2 << 20, 51);
  std::string screen;
  bool cleared = false;
  // The display line: status name, the status line with percent and speed, both buffer fills.
  EXPECT_EQ(OnTerminal("burn " + testenv::Quote(file), {r}, screen,
                       [&](const std::string& shown) {
                         if (cleared || shown.find(" MB (") == std::string::npos ||
                             shown.find("drive buffer ") == std::string::npos)
                           return;
                         Tool("clear-faults " + r);
                         cleared = true;
                       }),
            0)
      << screen;
  ASSERT_TRUE(cleared) << screen;
  // Redrawn in place and cleared before every log line.
  EXPECT_NE(screen.find("\r\x1b[K"), std::string::npos) << screen;
  EXPECT_NE(screen.find("software buffer "), std::string::npos) << screen;
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
