// Recording at once and session closing as burning programs rely on: CD session at once from
// the cue sheet (pre-gap below LBA 0) with its refusals, DVD-R disc at once, and DVD+R closing
// that ignores the write parameters' multi-session field.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

class AtOnce : public VdriveTest {};

// Lead-in, track 1 with its pre-gap from 00:00:00 and data from 00:02:00, lead-out.
Bytes CueSheet(uint32_t blocks, uint8_t dataForm = 0x10, uint8_t preGapSeconds = 0) {
  const uint32_t end = blocks + 150;
  return {0x41,
          0x00,
          0x00,
          0x14,
          0,
          0,
          0,
          0,
          0x41,
          0x01,
          0x00,
          dataForm,
          0,
          0,
          preGapSeconds,
          0,
          0x41,
          0x01,
          0x01,
          dataForm,
          0,
          0,
          2,
          0,
          0x41,
          0xAA,
          0x01,
          0x14,
          0,
          static_cast<uint8_t>(end / 4500),
          static_cast<uint8_t>(end / 75 % 60),
          static_cast<uint8_t>(end % 75)};
}

bool SendCue(TDrive& d, const Bytes& cue) {
  const uint32_t n = static_cast<uint32_t>(cue.size());
  return d.Out({0x5D, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(n), 0}, cue);
}

TEST_F(AtOnce, CdSessionAtOnceFromThePreGap) {
  TDrive d("cd", "cd-r");
  ASSERT_TRUE(d.SetWriteParameters(2, 0));
  // No cue sheet yet: the drive does not know what is coming.
  EXPECT_FALSE(d.Write(0, 1));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x2C, 0x00}));
  // Audio, and a pre-gap of another length, are refused.
  EXPECT_FALSE(SendCue(d, CueSheet(64, 0x00)));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  EXPECT_FALSE(SendCue(d, CueSheet(64, 0x10, 1)));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  ASSERT_TRUE(SendCue(d, CueSheet(64)));
  // The stream starts with the pre-gap at -150, not at the track.
  EXPECT_FALSE(d.Write(0, 16));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  const uint32_t preGap = static_cast<uint32_t>(-150);
  ASSERT_TRUE(d.Write(preGap, 150, 0x00));
  Bytes data(64 * 2048);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(d.WritePattern(0, data));
  EXPECT_FALSE(d.Write(64, 1));  // nothing past the lead-out
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  // The flush writes the lead-out: one closed session, the disc complete.
  ASSERT_TRUE(d.Sync());
  const Bytes di = d.DiscInfo();
  EXPECT_EQ(di[2] & 0x03, 2);
  EXPECT_EQ(Be32(&d.TrackInfo(1)[24]), 64u);
  EXPECT_EQ(d.Read(0, 64), data);
}

TEST_F(AtOnce, DvdRDiscAtOnceClosesWhenTheReservedTrackIsWritten) {
  TDrive d("bd", "dvd-r");
  ASSERT_TRUE(d.SetWriteParameters(2, 0));
  ASSERT_TRUE(d.Reserve(40));  // on a recording unit of 16: 48 blocks
  ASSERT_TRUE(d.Write(0, 32));
  ASSERT_TRUE(d.Sync());
  EXPECT_EQ(d.DiscInfo()[2] & 0x03, 1);  // not yet all of it
  ASSERT_TRUE(d.Write(32, 8));
  ASSERT_TRUE(d.Sync());
  EXPECT_EQ(d.DiscInfo()[2] & 0x03, 2);  // the drive pads the last unit and closes the disc
  EXPECT_EQ(Be32(&d.TrackInfo(1)[24]), 48u);
}

TEST_F(AtOnce, DvdPlusRSessionCloseKeepsTheDiscAppendable) {
  for (const char* medium : {"dvd+r", "bd-r"}) {
    SCOPED_TRACE(medium);
    TDrive d("bd", medium);
    ASSERT_TRUE(d.SetWriteParameters(2, 0));  // "no next session": no part in closing these media
    ASSERT_TRUE(d.Write(0, 32));
    ASSERT_TRUE(d.CloseTrack(1));
    ASSERT_TRUE(d.CloseFunction(2));
    EXPECT_EQ(d.DiscInfo()[2] & 0x03, 1);
    ASSERT_TRUE(d.CloseFunction(6));
    EXPECT_EQ(d.DiscInfo()[2] & 0x03, 2);
  }
}

}  // namespace
}  // namespace vdtest
