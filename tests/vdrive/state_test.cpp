// The recorder as files: the medium survives a restart, another process may change it (reported
// once as unit attention), two processes write one recorder under its lock.
#include <sys/wait.h>
#include <unistd.h>

#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

class State : public VdriveTest {};

TEST_F(State, RestartKeepsWhatWasWritten) {
  TDrive d("bd", "dvd+r");
  ASSERT_TRUE(d.Write(0, 64, 0x61));
  ASSERT_TRUE(d.Sync());
  d.Reopen();
  EXPECT_TRUE(d.Ok({0, 0, 0, 0, 0, 0}));  // a recorder opened afresh has nothing to report
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 64u);
  EXPECT_EQ(d.Read(63, 1), Bytes(2048, 0x61));
  // Written but not flushed when the program ends: still on the medium.
  ASSERT_TRUE(d.Write(64, 32, 0x62));
  d.Reopen();
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 96u);
  ASSERT_TRUE(d.CloseTrack(1));
  d.Reopen();
  EXPECT_EQ(Be32(&d.TrackInfo(1)[24]), 96u);
  EXPECT_EQ(Be32(&d.TrackInfo(2)[8]), 96u);
  // Unsaved progress never overwrites a medium inserted meanwhile elsewhere.
  ASSERT_TRUE(d.Write(96, 32));
  std::string error;
  ASSERT_TRUE(vdrive::InsertBlank(d.dir, vdrive::TMediumKind::CdR, std::nullopt, false, error))
      << error;
  d.Reopen();
  EXPECT_EQ(Be16(&d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8)[6]), 0x0009u);
  EXPECT_EQ(d.DiscInfo()[2], 0x00);
  // Write parameters are the drive's, not the medium's: they start afresh.
  EXPECT_EQ(d.Page5()[2], 0x01);
}

TEST_F(State, MediumChangedElsewhereIsReportedOnce) {
  TDrive d("bd", "cd-r");
  std::string error;
  ASSERT_TRUE(vdrive::InsertBlank(d.dir, vdrive::TMediumKind::DvdPlusR, std::nullopt, false, error))
      << error;
  // INQUIRY and GET CONFIGURATION never report it; the next other command does, once.
  EXPECT_EQ(d.In({0x12, 0, 0, 0, 36, 0}, 36)[0], 0x05);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(Be16(&d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8)[6]), 0x001Bu);
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{6, 0x28, 0x00}));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x01}));  // spinning up
  d.WaitReady();
  EXPECT_TRUE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.DiscInfo()[2], 0x00);
  // Taken out elsewhere.
  ASSERT_TRUE(vdrive::EjectMedium(d.dir, error)) << error;
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{6, 0x28, 0x00}));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x3A, 0x02}));
  // REQUEST SENSE hands over a pending unit attention and clears it.
  ASSERT_TRUE(vdrive::InsertBlank(d.dir, vdrive::TMediumKind::CdRw, std::nullopt, false, error))
      << error;
  const Bytes rs = d.In({0x03, 0, 0, 0, 18, 0}, 18);
  EXPECT_EQ((TSense{rs[2], rs[12], rs[13]}), (TSense{6, 0x28, 0x00}));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x01}));
}

TEST_F(State, MediaEventsAreReportedOnceEach) {
  TDrive d("bd");
  auto media = [&] { return d.In({0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8); };
  EXPECT_EQ(media(), (Bytes{0, 6, 0x04, 0x16, 0, 0x00, 0, 0}));
  std::string error;
  ASSERT_TRUE(vdrive::InsertBlank(d.dir, vdrive::TMediumKind::CdR, std::nullopt, false, error))
      << error;
  EXPECT_EQ(media(), (Bytes{0, 6, 0x04, 0x16, 2, 0x02, 0, 0}));  // new medium, present
  EXPECT_EQ(media()[4], 0);
  d.WaitReady();
  ASSERT_TRUE(d.Ok({0x1B, 0, 0, 0, 0x02, 0}));
  EXPECT_EQ(media(), (Bytes{0, 6, 0x04, 0x16, 3, 0x03, 0, 0}));  // removed, tray open
  d.In({0x4A, 0x00, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8);              // asynchronous: not offered
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(State, ProgressOfOneProcessIsSeenByTheNext) {
  TDrive d("bd", "dvd+r");
  ASSERT_TRUE(d.Write(0, 32, 0x71));
  ASSERT_TRUE(d.Sync());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto r = vdrive::TVirtualRecorder::Open(d.dir, &error);
    Bytes data(64 * 2048, 0x72);
    uint8_t write[10] = {0x2A, 0, 0, 0, 0, 32, 0, 0, 64, 0};
    uint8_t sync[10] = {0x35};
    uint8_t s[18];
    const bool ok = r &&
                    r->Execute(write, 10, plat::kScsiDataOut, data.data(), 64 * 2048, s, 18) == 0 &&
                    r->Execute(sync, 10, plat::kScsiDataUnspecified, nullptr, 0, s, 18) == 0;
    _exit(ok ? 0 : 1);
  }
  int st = 0;
  ASSERT_EQ(waitpid(child, &st, 0), child);
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 96u);
  EXPECT_EQ(d.Read(95, 1), Bytes(2048, 0x72));
  EXPECT_TRUE(d.Write(96, 32));
}

TEST_F(State, TwoProcessesWriteOneRecorderAtOnce) {
  TDrive d("bd", "dvd+rw", 0, true);
  constexpr uint32_t kPackets = 200;
  auto writer = [&](vdrive::TVirtualRecorder& r, uint32_t parity) {
    bool ok = true;
    for (uint32_t i = parity; i < kPackets; i += 2) {
      Bytes data(16 * 2048, static_cast<uint8_t>(i));
      const uint32_t lba = i * 16;
      uint8_t cdb[10] = {0x2A, 0, 0, 0, uint8_t(lba >> 8), uint8_t(lba), 0, 0, 16, 0};
      uint8_t s[18];
      ok = ok &&
           r.Execute(cdb, 10, plat::kScsiDataOut, data.data(), uint32_t(data.size()), s, 18) == 0;
    }
    uint8_t sync[10] = {0x35};
    uint8_t s[18];
    return ok && r.Execute(sync, 10, plat::kScsiDataUnspecified, nullptr, 0, s, 18) == 0;
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto r = vdrive::TVirtualRecorder::Open(d.dir);
    _exit(r && writer(*r, 1) ? 0 : 1);
  }
  EXPECT_TRUE(writer(*d.rec, 0));
  int st = 0;
  ASSERT_EQ(waitpid(child, &st, 0), child);
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  const Bytes all = d.Read(0, kPackets * 16);
  ASSERT_EQ(d.status, 0);
  for (uint32_t i = 0; i < kPackets; ++i) {
    ASSERT_EQ(all[size_t(i) * 16 * 2048], static_cast<uint8_t>(i)) << i;
    ASSERT_EQ(all[size_t(i + 1) * 16 * 2048 - 1], static_cast<uint8_t>(i)) << i;
  }
}

TEST_F(State, RecorderFolderIsChecked) {
  std::string error;
  EXPECT_EQ(vdrive::TVirtualRecorder::Open(testenv::MakeTempDir("empty"), &error), nullptr);
  EXPECT_NE(error.find("not a recorder"), std::string::npos) << error;
  TDrive d("cd");
  EXPECT_FALSE(
      vdrive::InsertBlank(d.dir, vdrive::TMediumKind::DvdPlusR, std::nullopt, false, error));
  EXPECT_NE(error.find("cannot read dvd+r"), std::string::npos) << error;
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x3A, 0x00}));  // the refused disc never went in
  testenv::WriteFile(d.dir + "/medium.json",
                     "{\"generation\": 9, \"medium\": {\"type\": \"dvd+q\"}}");
  EXPECT_EQ(vdrive::TVirtualRecorder::Open(d.dir, &error), nullptr);
  EXPECT_NE(error.find("unknown medium type"), std::string::npos) << error;
}

}  // namespace
}  // namespace vdtest
