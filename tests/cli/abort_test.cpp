// Ctrl-C during a burn: SIGINT to the running ardovan-cli.
#include <signal.h>

#include <cstdio>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class AbortTest : public TCliTest {};

TEST_F(AbortTest, CtrlCDuringABurnAbortsOnce) {
  // A stall of 30 s of drive time: long enough to be interrupted.
  const std::string r = StalledRecorder(300);
  const std::string file = MakeFile(Path("big.bin"), 4 << 20, 41);
  const std::string err = Path("abort.err");
  const std::string script =
      CliScript("burn " + testenv::Quote(file), {r}, "2>" + testenv::Quote(err) + " </dev/null", true);
  FILE* p = popen(("sh " + testenv::Quote(script) + "; echo exit=$?").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[4096];
  ASSERT_NE(std::fgets(buf, sizeof buf, p), nullptr);
  const pid_t pid = static_cast<pid_t>(std::stol(buf));
  std::string out;
  int sent = 0;
  while (std::fgets(buf, sizeof buf, p) != nullptr) {
    const std::string line = buf;
    out += line;
    // The first Ctrl-C once the write runs, the second once the first has been taken.
    if (sent == 0 && line.find(" >>> Probíhá vypalování... ") != std::string::npos) {
      ASSERT_EQ(kill(pid, SIGINT), 0);
      ++sent;
    } else if (sent == 1 && line.find(" >>> Stisknuto Storno") != std::string::npos) {
      ASSERT_EQ(kill(pid, SIGINT), 0);
      ++sent;
    }
  }
  pclose(p);
  EXPECT_EQ(sent, 2) << out;
  EXPECT_NE(out.find("exit=1\n"), std::string::npos) << out;
  const auto log = LogTexts(out);
  EXPECT_EQ(Count(log, " >>> Stisknuto Storno, čekám na ukončení operace a stornuji... "), 1) << out;
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1) << out;
  const std::string errors = testenv::ReadText(err);
  EXPECT_NE(errors.find("Aborted by user\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Still aborting"), std::string::npos) << errors;
  // The session was closed all the same, with less than the whole file on it.
  const std::string status = Tool("status " + r);
  EXPECT_EQ(status.find("\"disc_status\": \"blank\""), std::string::npos) << status;
}

TEST_F(AbortTest, AWriteErrorEndsTheJobAsFailed) {
  const std::string r = Recorder("cd-r");
  Tool("fault " + r + " --opcode 2A --sense 3/0C/00 --from 2 --times 0");
  const TRun run = Cli("burn " + MakeFile(Path("data.bin"), 1 << 20, 42), {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  // The write-done line all the same, once; the reason is the device's last sense code.
  EXPECT_EQ(Count(LogTexts(run.Out), " >>> Vypalování dokončeno..."), 1) << run.Out;
  EXPECT_EQ(run.Err.rfind("Hardware Error ", 0), 0u) << run.Err;
}

}  // namespace
}  // namespace clitest
