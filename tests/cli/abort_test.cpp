// Ctrl-C during a burn: SIGINT to the running ardovan-cli.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class AbortTest : public TCliTest {};

// How often the recorder's armed fault has fired so far (its counters are kept in faults.json).
int Fired(const std::string& recorder) {
  const std::string faults = testenv::ReadText(recorder + "/faults.json");
  const size_t at = faults.find("\"fired\":");
  return at == std::string::npos ? 0 : std::atoi(faults.c_str() + at + 8);
}

TEST_F(AbortTest, CtrlCDuringABurnAbortsOnce) {
  // The third WRITE finds the recorder busy for 30 s of drive time.
  const std::string r = StalledRecorder(300);
  const std::string file = MakeFile(Path("big.bin"), 4 << 20, 41);
  const std::string err = Path("abort.err");
  const std::string script = CliScript("burn " + testenv::Quote(file), {r},
                                       "2>" + testenv::Quote(err) + " </dev/null", true);
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
    if (sent == 0 && line.find(" >>> Probíhá vypalování... ") != std::string::npos) {
      // The first Ctrl-C once the recorder holds written blocks: its fault has begun to stall
      // the third WRITE, so the two before it are on the disc.
      for (int i = 0; i < 60000 && Fired(r) == 0; ++i) usleep(1000);
      ASSERT_GT(Fired(r), 0) << out;
      ASSERT_EQ(kill(pid, SIGINT), 0);
      ++sent;
    } else if (sent == 1 && line.find(" >>> Stisknuto Storno") != std::string::npos) {
      // The second once the first has been taken, while the stalled WRITE keeps the job busy.
      ASSERT_EQ(kill(pid, SIGINT), 0);
      ++sent;
    }
  }
  pclose(p);
  EXPECT_EQ(sent, 2) << out;
  EXPECT_NE(out.find("exit=1\n"), std::string::npos) << out;
  const auto log = LogTexts(out);
  EXPECT_EQ(Count(log, " >>> Stisknuto Storno, čekám na ukončení operace a stornuji... "), 1)
      << out;
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1) << out;
  // The last line says the disc lacks part of what was asked for.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2],
            " >>> Vypalování bylo přerušeno – disk neobsahuje celou kompilaci.")
      << out;
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
  const auto log = LogTexts(run.Out);
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1) << run.Out;
  EXPECT_EQ(run.Err.rfind("Hardware Error ", 0), 0u) << run.Err;
  // The last line says the burn failed, and why.
  EXPECT_EQ(log.back(), " >>> Vypalování se nezdařilo: " + run.Err.substr(0, run.Err.find('\n')))
      << run.Out;
}

}  // namespace
}  // namespace clitest
