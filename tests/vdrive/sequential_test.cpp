// Sequential media: track-at-once CDs, DVD±R, DVD-R with reservation, BD-R; their disc and track
// information through blank, written, appendable and finalized states, and every refusal.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes& v, size_t from, size_t n) {
  return Bytes(v.begin() + long(from), v.begin() + long(from + n));
}

class Sequential : public VdriveTest {};

TEST_F(Sequential, CdRSessionsFromBlankToFinalized) {
  TDrive d("bd", "cd-r", 20000);

  // Blank: one empty session with the invisible track 1 at 0; ATIP lead-in 97:15:00, lead-out
  // 04:28:50.
  Bytes di = d.DiscInfo();
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(Slice(di, 0, 12), (Bytes{0x00, 0x20, 0x00, 1, 1, 1, 1, 0x20, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(di, 16, 8), (Bytes{0x00, 97, 15, 0, 0x00, 0x04, 0x1C, 0x32}));
  Bytes ti = d.TrackInfo(0xFF);
  EXPECT_EQ(Slice(ti, 2, 6), (Bytes{1, 1, 0, 0x04, 0x4F, 0x01}));
  EXPECT_EQ(Be32(&ti[8]), 0u);       // start
  EXPECT_EQ(Be32(&ti[12]), 0u);      // next writable address
  EXPECT_EQ(Be32(&ti[16]), 20000u);  // free blocks
  EXPECT_EQ(Be32(&ti[24]), 20000u);  // track size

  // Track at once: only at the next writable address, never past the capacity.
  ASSERT_TRUE(d.Write(0, 32, 0x11));
  EXPECT_FALSE(d.Write(100, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  EXPECT_FALSE(d.Write(0, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  ASSERT_TRUE(d.Write(32, 32, 0x22));
  EXPECT_EQ(d.DiscInfo()[2], 0x05);  // incomplete disc, incomplete session

  // Closing with "next session allowed" leaves the disc appendable; the next session follows the
  // lead-out, lead-in and pre-gap of a first session: 11,400 blocks.
  ASSERT_TRUE(d.SetWriteParameters(1, 3));
  ASSERT_TRUE(d.CloseFunction(2));
  di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x01, 1, 2, 2, 2}));         // empty last session counted
  EXPECT_EQ(Slice(di, 16, 4), (Bytes{0x00, 0x01, 0x20, 0x40}));  // lead-in of session 2 at 6814
  ti = d.TrackInfo(2);
  EXPECT_EQ(Be32(&ti[8]), 11464u);
  EXPECT_EQ(Be32(&ti[12]), 11464u);
  EXPECT_EQ(Be32(&ti[16]), 20000u - 11464u);
  ti = d.TrackInfo(1);
  EXPECT_EQ(Slice(ti, 5, 3), (Bytes{0x04, 0x01, 0x02}));  // complete: no NWA, last recorded valid
  EXPECT_EQ(Be32(&ti[24]), 64u);
  EXPECT_EQ(Be32(&ti[28]), 63u);
  EXPECT_EQ(Be32(&ti[16]), 0u);
  EXPECT_EQ(d.In({0x43, 0, 0, 0, 0, 0, 0, 0, 100, 0}, 20),
            (Bytes{0x00, 0x12, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0, 0x40}));

  // Second session, then closed without a next session: the disc is complete.
  EXPECT_FALSE(d.Write(64, 32));
  ASSERT_TRUE(d.Write(11464, 32, 0x33));
  ASSERT_TRUE(d.SetWriteParameters(1, 0));
  ASSERT_TRUE(d.CloseFunction(2));
  di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x0E, 1, 2, 2, 2}));
  EXPECT_EQ(Slice(di, 16, 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  d.TrackInfo(0xFF);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(d.Write(11496, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  EXPECT_EQ(d.In({0x43, 0, 0, 0, 0, 0, 0, 0, 100, 0}, 28),
            (Bytes{0x00, 0x1A, 1, 2, 0,    0x14, 1, 0,    0,    0, 0, 0, 0,    0x14,
                   2,    0,    0, 0, 0x2C, 0xC8, 0, 0x14, 0xAA, 0, 0, 0, 0x2C, 0xE8}));
  // The same in MSF (track 2 at 00:02:34.64) and the session information.
  const Bytes msf = d.In({0x43, 0x02, 0, 0, 0, 0, 2, 0, 100, 0}, 20);
  EXPECT_EQ(Slice(msf, 8, 4), (Bytes{0, 0x02, 0x22, 0x40}));
  EXPECT_EQ(d.In({0x43, 0, 1, 0, 0, 0, 0, 0, 12, 0}, 12),
            (Bytes{0x00, 0x0A, 1, 2, 0, 0x14, 2, 0, 0, 0, 0x2C, 0xC8}));

  // What was written reads back; the gap between sessions and the space after do not.
  EXPECT_EQ(d.Read(11464, 1), Bytes(2048, 0x33));
  EXPECT_EQ(d.Read(32, 1), Bytes(2048, 0x22));
  d.Read(100, 1);
  EXPECT_EQ(d.Sense(), (TSense{3, 0x11, 0x00}));
  d.Read(11496, 1);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  EXPECT_EQ(Be32(d.In({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).data()), 11495u);
}

TEST_F(Sequential, LaterCdSessionsAreSixThousandNineHundredApart) {
  TDrive d("cd", "cd-rw", 40000);
  ASSERT_TRUE(d.SetWriteParameters(1, 3));
  ASSERT_TRUE(d.Write(0, 100));
  ASSERT_TRUE(d.CloseFunction(2));
  ASSERT_TRUE(d.Write(11500, 50));
  ASSERT_TRUE(d.CloseFunction(2));
  const Bytes ti = d.TrackInfo(0xFF);
  EXPECT_EQ(ti[2], 3);
  EXPECT_EQ(ti[3], 3);
  EXPECT_EQ(Be32(&ti[12]), 11550u + 6900u);
  EXPECT_EQ(d.DiscInfo()[2], 0x11);  // erasable, empty last session, appendable
  // Closing an empty last session without a next one finalizes what is there.
  ASSERT_TRUE(d.SetWriteParameters(1, 0));
  ASSERT_TRUE(d.CloseFunction(2));
  const Bytes di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x1E, 1, 2, 2, 2}));
}

TEST_F(Sequential, WritePastCapacityAndSessionWithoutRoom) {
  TDrive d("bd", "cd-r", 20000);
  EXPECT_FALSE(d.Write(0, 20001 - 19990 + 19990));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  ASSERT_TRUE(d.Write(0, 19000));
  EXPECT_FALSE(d.Write(19000, 1001));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  ASSERT_TRUE(d.Write(19000, 1000));
  // A full disc has no room for a next session: closing it appendable finalizes it.
  ASSERT_TRUE(d.SetWriteParameters(1, 3));
  ASSERT_TRUE(d.CloseFunction(2));
  EXPECT_EQ(d.DiscInfo()[2], 0x0E);
}

TEST_F(Sequential, DvdPlusRTracksSessionsAndFinalizing) {
  TDrive d("bd", "dvd+r");
  Bytes config = d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8);
  EXPECT_EQ(Be16(&config[6]), 0x001Bu);
  ASSERT_TRUE(d.Write(0, 40));
  // Closing the track pads it to a whole ECC block; the next track starts right after.
  ASSERT_TRUE(d.CloseTrack(1));
  EXPECT_EQ(Be32(&d.TrackInfo(1)[24]), 48u);
  Bytes ti = d.TrackInfo(2);
  EXPECT_EQ(Be32(&ti[8]), 48u);
  EXPECT_EQ(ti[7], 0x01);
  Bytes di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x05, 1, 1, 1, 2}));
  // Next session allowed: the disc stays appendable after the DVD closing gap.
  ASSERT_TRUE(d.SetWriteParameters(2, 3));
  ASSERT_TRUE(d.CloseFunction(2, 255));
  di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x01, 1, 2, 2, 2}));
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 48u + 16384u);
  ASSERT_TRUE(d.Write(48 + 16384, 32));
  ASSERT_TRUE(d.CloseTrack(2));
  // Finalizing closes the session for good whatever the write parameters say.
  ASSERT_TRUE(d.CloseFunction(5));
  di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x0E, 1, 2, 2, 2}));
  EXPECT_FALSE(d.CloseFunction(2));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x2C, 0x00}));
  EXPECT_FALSE(d.Write(16464, 32));
}

TEST_F(Sequential, CloseFunctionsAreCheckedPerMedium) {
  TDrive cd("bd", "cd-r", 20000);
  EXPECT_FALSE(cd.CloseFunction(6));
  EXPECT_EQ(cd.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(cd.CloseFunction(3));
  EXPECT_FALSE(cd.CloseTrack(0));
  EXPECT_EQ(cd.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(cd.CloseTrack(7));
  EXPECT_TRUE(cd.CloseTrack(1));  // an empty invisible track: nothing to close

  TDrive dl("bd", "dvd+r-dl");
  EXPECT_EQ(dl.In({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 34)[2], 0x00);
  ASSERT_TRUE(dl.Write(0, 64));
  ASSERT_TRUE(dl.CloseTrack(1));
  ASSERT_TRUE(dl.CloseFunction(6));
  EXPECT_EQ(dl.DiscInfo()[2], 0x0E);

  TDrive bd("bd", "bd-r");
  ASSERT_TRUE(bd.Write(0, 64));
  EXPECT_FALSE(bd.CloseFunction(5));
  ASSERT_TRUE(bd.SetWriteParameters(1, 3));
  ASSERT_TRUE(bd.CloseFunction(2));
  EXPECT_EQ(Be32(&bd.TrackInfo(0xFF)[12]), 64u + 4096u);
  ASSERT_TRUE(bd.CloseFunction(6));
  EXPECT_EQ(bd.DiscInfo()[2], 0x0E);
}

TEST_F(Sequential, HdDvdRecorderTakesHdDvdMedia) {
  TDrive d("hddvd", "hddvd-r");
  EXPECT_EQ(Be16(&d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8)[6]), 0x0051u);
  EXPECT_EQ(d.In({0x46, 0x02, 0x00, 0x51, 0, 0, 0, 0, 112, 0}, 16),
            (Bytes{0, 0, 0, 12, 0, 0, 0, 0x51, 0x00, 0x51, 0x01, 0x04, 1, 0, 1, 0}));
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[16]), 7650304u);
  ASSERT_TRUE(d.Write(0, 40));
  EXPECT_FALSE(d.Write(0, 32));
  ASSERT_TRUE(d.SetWriteParameters(0, 3));
  ASSERT_TRUE(d.CloseFunction(2));
  EXPECT_EQ(Be32(&d.TrackInfo(1)[24]), 64u);  // padded to 32-block units
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 64u + 16384u);
  d.Insert("hddvd-ram");
  d.WaitReady();
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
  EXPECT_TRUE(d.Write(9591840 - 32, 32));
  // A DVD recorder cannot take them at all.
  TDrive dvd("dvd");
  std::string error;
  EXPECT_FALSE(
      vdrive::InsertBlank(dvd.dir, vdrive::TMediumKind::HdDvdR, std::nullopt, false, error));
  EXPECT_FALSE(vdrive::InsertBlank(dvd.dir, vdrive::TMediumKind::BdR, std::nullopt, false, error));
}

TEST_F(Sequential, DvdRReservedTrackWithFixedPacketsAndTimeStamp) {
  TDrive d("dvd", "dvd-r");
  // Incremental writing in fixed packets of 16 blocks, link size 16.
  Bytes p = d.Page5();
  p[2] = 0x20;  // LS_V, incremental
  p[3] = 0xE5;  // next session allowed, fixed packets, track mode 5
  p[5] = 16;
  p[13] = 16;
  ASSERT_TRUE(d.SelectPage5(p));
  Bytes stamp = {0x00, 0x14, 0, 0, 0, 0, 0, 0};
  for (char c : std::string("20240229235959")) stamp.push_back(static_cast<uint8_t>(c));
  ASSERT_TRUE(d.Out({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, stamp));
  Bytes bad = stamp;
  bad[12] = '1';
  bad[13] = '3';  // month 13
  EXPECT_FALSE(d.Out({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  bad = stamp;
  bad[9] = 'x';
  EXPECT_FALSE(d.Out({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));

  ASSERT_TRUE(d.Reserve(100));
  Bytes ti = d.TrackInfo(1);
  EXPECT_EQ(Slice(ti, 5, 3), (Bytes{0x05, 0xF0 | 0x0F, 0x01}));  // reserved, blank, packet, fixed
  EXPECT_EQ(Be32(&ti[20]), 16u);
  EXPECT_EQ(Be32(&ti[24]), 112u);
  EXPECT_EQ(Be32(&d.TrackInfo(2)[8]), 112u);
  EXPECT_EQ(d.DiscInfo()[2], 0x09);  // reserved session, incomplete disc
  EXPECT_FALSE(d.Write(0, 8));       // not a whole packet
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  ASSERT_TRUE(d.Write(0, 32));
  ASSERT_TRUE(d.Write(32, 64));
  EXPECT_FALSE(d.Write(96, 32));  // would run into the next track
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  ASSERT_TRUE(d.Write(112, 16));  // the invisible track after the reservation
  EXPECT_FALSE(d.Reserve(10));    // holds data now: nothing left to reserve
  EXPECT_EQ(d.Sense(), (TSense{5, 0x2C, 0x00}));
  ASSERT_TRUE(d.CloseTrack(1));
  EXPECT_EQ(Be32(&d.TrackInfo(1)[28]), 111u);  // padded to its reserved size
  ASSERT_TRUE(d.CloseTrack(2));
  ASSERT_TRUE(d.CloseFunction(2, 3));
  EXPECT_EQ(d.DiscInfo()[2], 0x01);
  std::string status, error;
  ASSERT_TRUE(vdrive::RecorderStatus(d.dir, status, error)) << error;
  EXPECT_NE(status.find("\"timestamp\": \"20240229235959\""), std::string::npos) << status;
}

TEST_F(Sequential, TimeStampOnlyOnDvdMinusR) {
  TDrive d("bd", "dvd+r");
  Bytes stamp = {0x00, 0x14, 0, 0, 0, 0, 0, 0};
  for (char c : std::string("20240101120000")) stamp.push_back(static_cast<uint8_t>(c));
  EXPECT_FALSE(d.Out({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, stamp));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(Sequential, TestWriteChangesNothing) {
  TDrive d("bd", "cd-r", 20000);
  ASSERT_TRUE(d.SetWriteParameters(1, 0, true));
  ASSERT_TRUE(d.Write(0, 32));
  ASSERT_TRUE(d.Write(32, 32));
  EXPECT_FALSE(d.Write(100, 32));
  ASSERT_TRUE(d.Sync());
  ASSERT_TRUE(d.CloseFunction(2));
  EXPECT_EQ(d.DiscInfo()[2], 0x00);  // still blank
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[12]), 0u);
  d.Read(0, 1);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  EXPECT_EQ(testenv::ReadFile(d.dir + "/medium.img").size(), 0u);
  // Media without simulation refuse the test-write bit.
  TDrive plus("bd", "dvd+r");
  EXPECT_FALSE(plus.SetWriteParameters(2, 0, true));
  EXPECT_EQ(plus.Sense(), (TSense{5, 0x26, 0x02}));
}

TEST_F(Sequential, PressedDiscIsWriteProtected) {
  TDrive d("bd");
  const std::string image = testenv::MakeTempDir("rom") + "/disc.iso";
  Bytes content = testenv::RandomBytes(33 * 2048 - 100, 7);
  testenv::WriteFile(image, content);
  std::string error;
  ASSERT_TRUE(vdrive::InsertPressed(d.dir, image, std::nullopt, error)) << error;
  d.WaitReady();
  EXPECT_EQ(Be16(&d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8)[6]), 0x0008u);
  EXPECT_FALSE(d.Write(33, 16));
  EXPECT_EQ(d.Sense(), (TSense{7, 0x27, 0x00}));
  EXPECT_FALSE(d.CloseFunction(2));
  EXPECT_EQ(d.Sense(), (TSense{7, 0x27, 0x00}));
  Bytes back = d.Read(0, 33);
  content.resize(33 * 2048, 0);
  EXPECT_EQ(back, content);
  // One data track, lead-out at 33; no ATIP on a pressed disc.
  EXPECT_EQ(d.In({0x43, 0, 0, 0, 0, 0, 0, 0, 20, 0}, 20),
            (Bytes{0x00, 0x12, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0, 33}));
  d.In({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_EQ(d.DiscInfo()[2], 0x0E);
}

TEST_F(Sequential, AtipOnRecordableCds) {
  TDrive d("bd", "cd-rw");
  const Bytes atip = d.In({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30);
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(Be16(&atip[0]), 26u);
  EXPECT_EQ(atip[6], 0xC0);  // CD-RW
  EXPECT_EQ(Slice(atip, 8, 3), (Bytes{97, 15, 0}));
  EXPECT_EQ(Slice(atip, 12, 3), (Bytes{79, 59, 72}));  // lead-out 359,847
  d.Insert("cd-r");
  d.WaitReady();
  EXPECT_EQ(d.In({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30)[6], 0x80);
  d.Insert("dvd-r");
  d.WaitReady();
  d.In({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(Sequential, LongClosingKeepsTheDriveNotReady) {
  TDrive d("bd", "cd-r", 20000);
  ASSERT_TRUE(d.Write(0, 32));
  ASSERT_TRUE(d.Sync(true));
  d.In({0x51, 0, 0, 0, 0, 0, 0, 0, 42, 0}, 42);
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x08}));
  // REQUEST SENSE tells the progress of the operation.
  const Bytes rs = d.In({0x03, 0, 0, 0, 18, 0}, 18);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(rs[0], 0x70);
  EXPECT_EQ((TSense{rs[2], rs[12], rs[13]}), (TSense{2, 0x04, 0x08}));
  EXPECT_EQ(rs[15], 0x80);
  d.In({0x12, 0, 0, 0, 36, 0}, 36);
  EXPECT_EQ(d.status, 0);  // INQUIRY still answers
  d.WaitReady();
  ASSERT_TRUE(d.SetWriteParameters(1, 3));
  ASSERT_TRUE(d.CloseFunction(2, 0, true));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x08}));
  d.WaitReady();
  EXPECT_EQ(d.DiscInfo()[2], 0x01);
}

}  // namespace
}  // namespace vdtest
