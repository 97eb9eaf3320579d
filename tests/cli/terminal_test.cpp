// The progress display on a terminal (a pseudo-terminal made by script(1)), and the plain log
// lines without one.
#include <poll.h>
#include <unistd.h>

#include <cstdio>

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
  const std::string script = CliScript("burn " + testenv::Quote(file), {r}, "", false);
  FILE* p = popen(
      ("script -qec " + testenv::Quote("sh " + script) + " /dev/null </dev/null").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string screen;
  bool cleared = false;
  char buf[4096];
  for (;;) {
    pollfd pfd{fileno(p), POLLIN, 0};
    if (poll(&pfd, 1, 60000) <= 0) break;
    const ssize_t n = read(fileno(p), buf, sizeof buf);
    if (n <= 0) break;
    screen.append(buf, static_cast<size_t>(n));
    // The display line: status name, the status line with percent and speed, both buffer fills.
    if (!cleared && screen.find(" MB (") != std::string::npos &&
        screen.find("drive buffer ") != std::string::npos) {
      Tool("clear-faults " + r);
      cleared = true;
    }
  }
  EXPECT_EQ(pclose(p), 0) << screen;
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
