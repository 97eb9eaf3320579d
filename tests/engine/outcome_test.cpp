// The outcome a job reports must be the true one: the failure that ended it (not a later closing
// command), a refused close as a failure, an abort heard while the drive keeps saying "not
// ready", and a recorder that serves one job at a time.
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "tests/engine/JobFixture.h"
#include "tests/support/TestEnv.h"

namespace {

using fake::TFault;

struct OutcomeTest : JobFixture {
  std::string image;

  void SetUp() override {
    JobFixture::SetUp();
    image = testenv::MakeTempDir() + "/disc.iso";
    testenv::WriteFile(image, testenv::RandomBytes(8 * 65536, 7));
  }
  void Insert(uint16_t profile, uint8_t discStatus = 0) {
    drive->Medium.Profile = profile;
    drive->Medium.DiscStatus = discStatus;
  }
};

TEST_F(OutcomeTest, TheRefusedWriteIsNamedNotTheCloseThatFollows) {
  // A BD-RE that cannot be written, whose closing commands are refused as well.
  Insert(0x0043);
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A) return TFault{2, 0x05, 0x30, 0x05};
    if (c[0] == 0x5B) return TFault{2, 0x05, 0x24, 0x00};
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(q->GetFailureSense(), (qvp::TSense{0x05, 0x30, 0x05}));
  EXPECT_EQ(TQuorvexPro::DescribeSense(q->GetFailureSense()),
            "5/30/05 illegal request: cannot write medium, incompatible format");
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 12293");
  EXPECT_EQ(q->GetLastErrorText(), "Unknown/No Error!");
}

TEST_F(OutcomeTest, RefusedFlushOrCloseFailsTheJobWhereTheDiscDependsOnIt) {
  struct Case {
    uint16_t profile;
    uint8_t refused;  // opcode answered 5/24/00 every time
    bool fails;
  };
  const Case cases[] = {
      {0x0009, 0x5B, true},   // CD-R: the session stays open, hiding the track
      {0x001B, 0x5B, true},   // DVD+R
      {0x0041, 0x35, true},   // BD-R: the cache never reached the disc
      {0x0012, 0x5B, false},  // DVD-RAM has no session: the drive's refusal changes nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    writeEvents = 0;
    Insert(c.profile);
    drive->Fault = [&](const std::vector<uint8_t>& cdb) -> std::optional<TFault> {
      // Refused after the data (a flush before it is not judged), in the closing step.
      if (cdb[0] == c.refused && q->GetStatus() == kStatusClosingTrack) {
        EXPECT_EQ(q->GetUninterruptibleStep(), kStepClosing);
        return TFault{2, 0x05, 0x24, 0x00};
      }
      if (cdb[0] == 0x2A) {
        EXPECT_EQ(q->GetUninterruptibleStep(), kStepNone);
      }
      return std::nullopt;
    };
    ASSERT_TRUE(q->BurnImage(image));
    WaitForEvent();
    EXPECT_EQ(lastFailed, c.fails);
    EXPECT_EQ(q->GetUninterruptibleStep(), kStepNone);
    const std::string text = q->GetLastErrorText();
    if (c.fails) {
      EXPECT_NE(text.find("5/24/00 illegal request: invalid field in command"), std::string::npos)
          << text;
      EXPECT_NE(text.find("the disc may be left open"), std::string::npos) << text;
    }
  }
}

TEST_F(OutcomeTest, AbortIsHeardWhileWritesKeepAnsweringNotReady) {
  Insert(0x0009);
  std::atomic<int> attempts{0};
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] != 0x2A || Lba(c) != 64) return std::nullopt;
    // The third refusal of the same block is where the user gives up.
    if (attempts.fetch_add(1) == 2) q->Abort();
    return TFault{2, 0x02, 0x04, 0x01};
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  // Without the abort check the same WRITE would be tried 5,000 times.
  EXPECT_LE(attempts.load(), 4);
  EXPECT_EQ(Commands(0x5B).size(), 1u);  // the session is closed over what was written
  EXPECT_EQ(q->GetLastErrorText(), "Aborted by user");
}

TEST_F(OutcomeTest, ImageCutShortDuringTheBurnFailsTheJob) {
  Insert(0x0009);
  q->SetCacheSize(2);
  testenv::WriteFile(image, testenv::RandomBytes(64 * 65536, 8));  // twice the buffer
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] == 0x2A && Lba(c) == 0) ::truncate(image.c_str(), 40 * 65536);
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_TRUE(lastFailed);
  EXPECT_EQ(q->GetWrittenSectors(), 64 * 32) << "the size the burn started with, the rest as zeros";
  EXPECT_EQ(q->GetLastErrorText(), "Source file changed while it was written: " + image +
                                       " (shorter than when the burn started)");
}

TEST_F(OutcomeTest, ImagesThatCannotBeBurnedAreRefusedBeforeAnyCommand) {
  const std::string dir = testenv::MakeTempDir("img");
  testenv::WriteFile(dir + "/empty.iso", std::string());
  ASSERT_EQ(::mkfifo((dir + "/fifo.iso").c_str(), 0600), 0);
  struct Case {
    std::string file;
    uint16_t profile;
    uint8_t discStatus;
    uint32_t code;
  };
  const Case cases[] = {
      {dir + "/empty.iso", 0x0009, 0, kErrImageEmpty},
      {dir + "/fifo.iso", 0x0009, 0, kErrImageNotRegular},
      {dir, 0x0009, 0, kErrImageNotRegular},
      {image, 0x0009, 1, kErrDiscNotBlank},  // an appendable CD-R
      {image, 0x0041, 2, kErrDiscNotBlank},  // a closed BD-R
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + std::to_string(c.profile));
    Insert(c.profile, c.discStatus);
    drive->Forget();
    EXPECT_FALSE(q->BurnImage(c.file));
    EXPECT_EQ(q->GetLastErrorCode(), c.code);
    EXPECT_TRUE(Commands(0x2A).empty());
    // Only the readiness and medium queries of the disc check reach the recorder.
    for (uint8_t op : drive->Opcodes())
      EXPECT_TRUE(op == 0x00 || op == 0x46 || op == 0x51) << int(op);
  }
  EXPECT_EQ(q->GetLastErrorText(),
            "The disc is not blank: an image is written only onto a blank or a rewritable disc");
  EXPECT_EQ(q->NotifyQueue()->DispatchPending(), 0u);
  EXPECT_EQ(writeEvents, 0);
  // A rewritable disc written in place takes the image over what it held.
  Insert(0x001A, 2);
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(Lba(Commands(0x2A).front()), 0u);
}

// A second component stands for a second program: it opens its own claim on the same recorder.
TEST_F(OutcomeTest, OneJobAtATimeOnARecorderAndQueriesMeanwhile) {
  Insert(0x0009);
  TQuorvexPro other(true);
  ASSERT_TRUE(other.InitializeDevices(0, "", ""));
  ASSERT_TRUE(other.SelectDevice(0));
  int otherEvents = 0;
  other.OnWriteDone = [&](TQuorvexPro*, uint8_t, bool) { ++otherEvents; };

  // The first job stops at its first WRITE until the second program has been turned away.
  std::mutex m;
  std::condition_variable cv;
  bool atWrite = false, release = false;
  drive->Fault = [&](const std::vector<uint8_t>& c) -> std::optional<TFault> {
    if (c[0] != 0x2A) return std::nullopt;
    std::unique_lock<std::mutex> g(m);
    atWrite = true;
    cv.notify_all();
    cv.wait(g, [&] { return release; });
    return std::nullopt;
  };
  ASSERT_TRUE(q->BurnImage(image));
  {
    std::unique_lock<std::mutex> g(m);
    cv.wait(g, [&] { return atWrite; });
  }
  const size_t before = drive->Cdbs().size();
  EXPECT_FALSE(other.BurnImage(image));
  EXPECT_FALSE(other.EraseDisc(true));
  EXPECT_FALSE(other.ClaimRecorder());
  EXPECT_EQ(drive->Cdbs().size(), before) << "the refused program sent nothing";
  EXPECT_EQ(other.GetLastErrorCode(), kErrRecorderInUse);
  EXPECT_EQ(other.GetRecorderHolderPid(), ::getpid());
  EXPECT_EQ(other.GetLastErrorText(),
            "The recorder is in use by another program (pid " + std::to_string(::getpid()) + ")");
  // Asking is still allowed.
  EXPECT_EQ(other.GetMediumType(), 2);
  EXPECT_GT(drive->Cdbs().size(), before);
  {
    std::lock_guard<std::mutex> g(m);
    release = true;
  }
  cv.notify_all();
  WaitForEvent();
  EXPECT_FALSE(lastFailed);
  EXPECT_EQ(otherEvents, 0);

  // Free again once the job has ended; an owner's claim then keeps the first one out.
  drive->Fault = nullptr;
  ASSERT_TRUE(other.ClaimRecorder());
  EXPECT_FALSE(q->BurnImage(image));
  EXPECT_EQ(q->GetLastErrorCode(), kErrRecorderInUse);
  writeEvents = 0;
  ASSERT_TRUE(other.BurnImage(image));  // the owner's claim carries its own job
  for (int i = 0; i < 60000 && otherEvents == 0; ++i) other.NotifyQueue()->WaitAndDispatch(1000);
  EXPECT_EQ(otherEvents, 1);
  EXPECT_FALSE(q->BurnImage(image)) << "the owner still holds the recorder after its job";
  other.ReleaseRecorder();
  ASSERT_TRUE(q->BurnImage(image));
  WaitForEvent();
}

}  // namespace
