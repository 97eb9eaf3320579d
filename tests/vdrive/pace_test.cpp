// A paced recorder takes the time a real drive would, in drive time of the platform clock: WRITE
// fills the buffer and then waits for it to drain at the speed in force, READ takes its transfer
// time, closing and formatting without the immediate bit their durations. The bounds checked
// hold however fast the machine runs the test: time is only ever lower-bounded, and what the
// buffer holds is judged against drive time measured around the commands.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

constexpr uint32_t kBlock = 65536;

class Pace : public VdriveTest {
 protected:
  // Ten times faster: a 64 KiB WRITE then waits about 2 ms for the drain.
  void SetUp() override { plat::SetClockScale(10); }
  void TearDown() override { plat::SetClockScale(1); }

  void Paced(TDrive& d, bool on) {
    std::string error;
    ASSERT_TRUE(vdrive::SetPace(d.dir, on, error)) << error;
  }
  // Bytes the drive's buffer holds, from READ BUFFER CAPACITY.
  static uint32_t Used(TDrive& d) {
    const auto r = d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
    return Be32(&r[4]) - Be32(&r[8]);
  }
};

TEST_F(Pace, WritesFillTheBufferThenWaitForItsDrain) {
  TDrive d("dvd", "dvd+rw", 0, true);
  Paced(d, true);
  const uint32_t buffer = 2048 * 1024;
  ASSERT_TRUE(d.Ok({0xBB, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));  // the slowest: 2.4x
  const double rate = 3324;                                          // bytes per ms of drive time
  d.Sync();

  const uint32_t writes = 48;  // 3 MiB
  const uint32_t start = plat::TickCount();
  for (uint32_t i = 0; i < writes; ++i) ASSERT_TRUE(d.Write(i * 32, 32));
  const uint32_t lastReturned = plat::TickCount();
  const uint32_t used = Used(d);
  const uint32_t asked = plat::TickCount();
  // What did not fit into the buffer went out at the drive's speed, no faster.
  EXPECT_GE(lastReturned - start + 1, (writes * kBlock - buffer) / rate);
  // The buffer holds what was written less what the drive had the time to write out.
  EXPECT_LE(used, buffer);
  EXPECT_GE(double(used), writes * kBlock - rate * (asked - start + 1));

  plat::Sleep(100);
  EXPECT_LE(double(Used(d)), buffer - rate * 100 + 1);

  // A flush without the immediate bit returns when the buffer is empty and the flush is done.
  const uint32_t before = plat::TickCount();
  ASSERT_TRUE(d.Sync());
  EXPECT_GE(plat::TickCount() - before + 1, vdrive::TDurations{}.syncMs);
  EXPECT_EQ(Used(d), 0u);

  // Unpaced, every WRITE answers at once and leaves the buffer full.
  Paced(d, false);
  for (uint32_t i = 0; i < writes; ++i) ASSERT_TRUE(d.Write(i * 32, 32));
  const uint32_t written = plat::TickCount();
  const uint32_t full = Used(d);
  EXPECT_GE(double(full), buffer - rate * (plat::TickCount() - written + 1));
}

TEST_F(Pace, ReadsClosesAndFormatsTakeTheirTime) {
  plat::SetClockScale(100);  // only lower bounds of time are checked here
  TDrive d("bd", "dvd+rw");
  Paced(d, true);
  const vdrive::TDurations durations;
  // FORMAT UNIT without IMMED answers when the format is done.
  uint32_t start = plat::TickCount();
  ASSERT_TRUE(d.Format({0x00, 0x80, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00, 0x00}));
  EXPECT_GE(plat::TickCount() - start + 1, durations.formatMs);
  ASSERT_TRUE(d.Write(0, 32));
  d.Sync();

  // READ at the read speed in force: the slowest, 4x DVD, 5540 bytes per ms.
  ASSERT_TRUE(d.Ok({0xBB, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  start = plat::TickCount();
  for (int i = 0; i < 8; ++i) ASSERT_EQ(d.Read(0, 32).size(), kBlock);
  EXPECT_GE(plat::TickCount() - start + 1, 8 * kBlock / 5540);

  start = plat::TickCount();
  ASSERT_TRUE(d.CloseFunction(3));
  EXPECT_GE(plat::TickCount() - start + 1, durations.closeSessionMs);
  // With the immediate bit the drive answers at once and is busy meanwhile, paced or not.
  ASSERT_TRUE(d.CloseFunction(3, 0, true));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x08}));
}

TEST_F(Pace, KeptWithTheRecorderAndValidated) {
  TDrive d("bd");
  ASSERT_EQ(
      testenv::Run(std::string(ARDOVAN_VDRIVE_TOOL) + " insert " + d.dir + " --medium cd-r --pace"),
      0);
  std::string error, json;
  ASSERT_TRUE(vdrive::RecorderStatus(d.dir, json, error)) << error;
  EXPECT_NE(json.find("\"pace\": true"), std::string::npos) << json;
  // Another insert keeps it; --no-pace ends it.
  ASSERT_EQ(testenv::Run(std::string(ARDOVAN_VDRIVE_TOOL) + " insert " + d.dir + " --medium dvd+r"),
            0);
  vdrive::TLoadState s;
  ASSERT_TRUE(vdrive::ReadLoadState(d.dir, s, error));
  EXPECT_TRUE(s.pace);
  ASSERT_EQ(testenv::Run(std::string(ARDOVAN_VDRIVE_TOOL) + " insert " + d.dir +
                         " --medium dvd+r --no-pace"),
            0);
  ASSERT_TRUE(vdrive::ReadLoadState(d.dir, s, error));
  EXPECT_FALSE(s.pace);

  EXPECT_FALSE(vdrive::StateFromJson(
      R"({"generation": 1, "tray": "closed", "pace": "yes", "medium": null})", s, error));
  EXPECT_EQ(error, "pace: is neither true nor false");
}

}  // namespace
}  // namespace vdtest
