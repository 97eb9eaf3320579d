// A burn onto a paced virtual recorder: the drive buffer figures the write job polls move as the
// buffer fills and drains, and the speed figure shows the drive's speed.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace {

// Bytes held in the drive buffer by every READ BUFFER CAPACITY answer of a command log, in order
// (length minus blank length, the first 12 bytes dumped after "| ").
std::vector<uint32_t> BufferAnswers(const std::string& log) {
  std::vector<uint32_t> out;
  std::istringstream in(testenv::ReadText(log));
  for (std::string line; std::getline(in, line);) {
    if (line.find(" (5C) ") == std::string::npos) continue;
    std::istringstream data(line.substr(line.find("| ") + 2));
    uint32_t b[12];
    for (uint32_t& x : b) data >> std::hex >> x;
    const uint32_t length = b[4] << 24 | b[5] << 16 | b[6] << 8 | b[7];
    const uint32_t blank = b[8] << 24 | b[9] << 16 | b[10] << 8 | b[11];
    out.push_back(length - blank);
  }
  return out;
}

TEST(PacedBurnTest, BufferFiguresMoveAndTheSpeedIsTheDrives) {
  plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
  // Twenty times faster: the drive still takes 4.6 ms of real time per 64 KiB at 4x CD, far
  // more than a WRITE costs the machine, so the buffer fills ahead of the drive.
  plat::SetClockScale(20);
  const std::string rec = testenv::MakeTempDir("recorder");
  std::string error;
  ASSERT_TRUE(vdrive::CreateRecorder(rec, "cd", false, error)) << error;  // 2 MiB buffer
  ASSERT_TRUE(vdrive::SetPace(rec, true, error)) << error;
  ASSERT_TRUE(vdrive::InsertBlank(rec, vdrive::TMediumKind::CdR, std::nullopt, false, error))
      << error;
  testenv::SetEnv("ARDOVAN_VDRIVES", rec);
  vdrive::RegisterVirtualDrives();
  plat::RescanDrives();
  const std::string log = testenv::MakeTempDir("log") + "/commands.log";
  {
    TQuorvexPro q(true);
    ASSERT_TRUE(q.InitializeDevices(0, "", log));
    ASSERT_TRUE(q.SelectDevice(0));
    ASSERT_TRUE(q.SetSpeed(0, 1));  // the slowest: 4x, 705 kB/s
    int events = 0;
    bool failed = true;
    q.OnWriteDone = [&](TQuorvexPro*, uint8_t, bool f) {
      ++events;
      failed = f;
    };
    const std::string src = testenv::MakeTempDir("src");
    testenv::WriteFile(src + "/six.bin", testenv::RandomBytes(6 << 20, 5));  // 96 blocks
    q.SetCacheSize(8);
    ASSERT_NE(q.InsertDir("\\", src, false, true, "*.*"), nullptr);
    ASSERT_GT(q.PrepareImage(), 0);
    ASSERT_TRUE(q.BurnData());
    for (int i = 0; i < 600000 && events == 0; ++i) q.NotifyQueue()->WaitAndDispatch(1000);
    ASSERT_EQ(events, 1);
    EXPECT_FALSE(failed) << q.GetLastErrorText();

    // The last 64 WRITEs all waited for the drain: the figure is the drive's 705 kB/s (688 KiB/s),
    // not the saturated 65535 of an instant drive. (The machine's time between WRITEs and its
    // sleeping a little long move it somewhat either way.)
    q.GetWriteSpeed();
    const uint16_t speed = q.GetWriteSpeed();
    EXPECT_GE(speed, 688 / 2);
    EXPECT_LE(speed, 688 * 3);
    EXPECT_EQ(q.GetDriveBufferUsed(), 0);  // cleared when the track was closed
  }
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  plat::RescanDrives();
  plat::SetClockScale(1);

  // Polled before the first WRITE (empty), after the third block, then every sixth.
  const std::vector<uint32_t> used = BufferAnswers(log);
  ASSERT_GE(used.size(), 10u);
  EXPECT_EQ(used[0], 0u);
  EXPECT_GT(used[1], 0u);
  EXPECT_LE(used[1], 3u * 65536);
  const uint32_t most = *std::max_element(used.begin(), used.end());
  EXPECT_LE(most, 2u << 20);
  EXPECT_GE(most, 1u << 20);
  EXPECT_GE(std::set<uint32_t>(used.begin(), used.end()).size(), 4u);
}

}  // namespace
