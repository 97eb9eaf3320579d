// Ctrl-C during a burn (SIGINT to the running ardovan-cli), and jobs that end failed.
#include <signal.h>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class AbortTest : public TCliTest {};

TEST_F(AbortTest, CtrlCWhileWritesAnswerNotReadyAbortsOnce) {
  // From the third WRITE on the recorder answers NOT READY (long write in progress) until the
  // job gives up: only an abort heard meanwhile ends the job as aborted.
  const std::string r = StalledRecorder(0);
  const std::string file = MakeFile(Path("big.bin"), 4 << 20, 41);
  const std::string err = Path("abort.err");
  TRunning run = Start("burn " + testenv::Quote(file), {r}, err);
  ASSERT_GT(run.Pid, 0);
  // The first Ctrl-C once the recorder stalls the third WRITE (the two before it are on the
  // disc); the second once the first has been taken.
  ASSERT_TRUE(WaitUntilFired(r));
  ASSERT_EQ(kill(run.Pid, SIGINT), 0);
  std::string line;
  while (run.ReadLine(line) && line.find(" >>> Stisknuto Storno") == std::string::npos) {
  }
  ASSERT_EQ(kill(run.Pid, SIGINT), 0);
  EXPECT_EQ(run.Finish(), 1) << run.Out;
  const auto log = LogTexts(run.Out);
  EXPECT_EQ(Count(log, " >>> Stisknuto Storno, čekám na ukončení operace a stornuji... "), 1)
      << run.Out;
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1) << run.Out;
  // The last line says the disc lacks part of what was asked for.
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), " >>> Vypalování bylo přerušeno – disk neobsahuje celou kompilaci.")
      << run.Out;
  const std::string errors = testenv::ReadText(err);
  EXPECT_NE(errors.find("Aborted by user\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Still aborting"), std::string::npos) << errors;
  // The session was closed all the same, with less than the whole file on it.
  const std::string status = Tool("status " + r);
  EXPECT_EQ(status.find("\"disc_status\": \"blank\""), std::string::npos) << status;
}

TEST_F(AbortTest, AWriteErrorEndsTheJobAsFailedWithItsSenseDecoded) {
  const std::string r = Recorder("cd-r");
  Tool("fault " + r + " --opcode 2A --sense 3/0C/00 --from 2 --times 0");
  const TRun run = Cli("burn " + MakeFile(Path("data.bin"), 1 << 20, 42), {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  // The write-done line all the same, once; the reason is the refused WRITE's sense.
  const auto log = LogTexts(run.Out);
  EXPECT_EQ(Count(log, " >>> Vypalování dokončeno..."), 1) << run.Out;
  EXPECT_EQ(run.Err, "Hardware Error 3072 (3/0C/00 medium error: write error)\n");
  // The last line says the burn failed, and why.
  EXPECT_EQ(log.back(), " >>> Vypalování se nezdařilo: " + run.Err.substr(0, run.Err.size() - 1))
      << run.Out;
}

}  // namespace
}  // namespace clitest
