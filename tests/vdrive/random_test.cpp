// Random-access media: DVD+RW with its background format and growth, DVD-RAM, BD-RE, DVD-RW in
// restricted overwrite; formatting with the parameter lists the program sends, blanking.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes& v, size_t from, size_t n) {
  return Bytes(v.begin() + long(from), v.begin() + long(from + n));
}

const Bytes kPlusRwFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x23,
                             0x05, 0x40, 0x98, 0x00, 0x00, 0x00};
const Bytes kRamFullFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x22,
                              0x21, 0x20, 0x00, 0x00, 0x08, 0x00};
const Bytes kBdReQuickFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00,
                                0x02, 0x80, 0xC0, 0x00, 0x10, 0x00};
const Bytes kDvdRwQuick1000 = {0x00, 0xA2, 0x00, 0x08, 0x00, 0x00,
                               0x03, 0xE8, 0x54, 0x00, 0x00, 0x10};
const Bytes kDvdRwQuick0 = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x54, 0x00, 0x00, 0x10};
const Bytes kDvdRwQuickGrow = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00,
                               0x00, 0x00, 0x4C, 0x00, 0x00, 0x10};

uint16_t Profile(TDrive& d) { return Be16(&d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8)[6]); }

class RandomAccess : public VdriveTest {};

TEST_F(RandomAccess, DvdPlusRwFormatsOnFirstWriteAndGrows) {
  TDrive d("bd", "dvd+rw");
  EXPECT_EQ(Profile(d), 0x001A);
  Bytes di = d.DiscInfo();
  EXPECT_EQ(di[2], 0x10);  // erasable, blank
  EXPECT_EQ(di[7] & 3, 0);
  // The first write starts the background format; the disc then reads as complete.
  ASSERT_TRUE(d.Write(0, 32, 0x01));
  di = d.DiscInfo();
  EXPECT_EQ(Slice(di, 2, 5), (Bytes{0x1E, 1, 1, 1, 1}));
  EXPECT_EQ(di[7] & 3, 2);
  // A second session grows the volume: data after the first, descriptors rewritten at 0.
  ASSERT_TRUE(d.Sync());
  ASSERT_TRUE(d.CloseFunction(3, 255));
  EXPECT_EQ(d.DiscInfo()[7] & 3, 3);
  ASSERT_TRUE(d.Write(32, 64, 0x02));
  ASSERT_TRUE(d.Write(0, 32, 0x03));
  EXPECT_EQ(d.Read(0, 1), Bytes(2048, 0x03));
  EXPECT_EQ(d.Read(95, 1), Bytes(2048, 0x02));
  EXPECT_EQ(d.Read(5000, 1), Bytes(2048, 0x00));  // formatted, never written
  const Bytes ti = d.TrackInfo(1);
  EXPECT_EQ(Be32(&ti[24]), 2295104u);
  EXPECT_EQ(ti[7], 0x02);
  EXPECT_EQ(Be32(&ti[28]), 95u);
  EXPECT_EQ(Be32(d.In({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).data()), 2295103u);
  // Anywhere inside the formatted area, nowhere past it.
  EXPECT_TRUE(d.Write(2295104 - 32, 32));
  EXPECT_FALSE(d.Write(2295104 - 16, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  // Rewritable but not blankable.
  EXPECT_FALSE(d.Blank(true));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x30, 0x00}));
  EXPECT_FALSE(d.CloseFunction(1, 1));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(RandomAccess, DvdPlusRwFormatUnitAndItsRefusals) {
  TDrive d("bd", "dvd+rw");
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      d.dir, [](vdrive::TFaults& f) { f.plusRwNeedsFormat = true; }, error));
  EXPECT_FALSE(d.Write(0, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x30, 0x05}));

  Bytes bad = kPlusRwFormat;
  bad[3] = 0x04;  // descriptor length
  EXPECT_FALSE(d.Format(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));
  bad = kPlusRwFormat;
  bad[7] = 0x41;  // one block more than the disc has
  EXPECT_FALSE(d.Format(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  bad = kPlusRwFormat;
  bad[8] = 0x00;  // a format type of DVD-RAM
  EXPECT_FALSE(d.Format(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));
  EXPECT_FALSE(d.Format(kPlusRwFormat, 0x01));  // no format data
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(d.Format(Bytes(kPlusRwFormat.begin(), kPlusRwFormat.begin() + 8)));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x1A, 0x00}));

  ASSERT_TRUE(d.Format(kPlusRwFormat));
  d.DiscInfo();
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x04}));
  d.WaitReady();
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
  ASSERT_TRUE(d.Write(0, 32, 0x44));
  // Formatting again empties the disc.
  ASSERT_TRUE(d.Format(kPlusRwFormat));
  d.WaitReady();
  EXPECT_EQ(d.Read(0, 1), Bytes(2048, 0));

  TDrive once("bd", "dvd+r");
  EXPECT_FALSE(once.Format(kPlusRwFormat));
  EXPECT_EQ(once.Sense(), (TSense{5, 0x30, 0x06}));
}

TEST_F(RandomAccess, DvdRamComesFormattedAndFormatsFully) {
  TDrive d("bd", "dvd-ram");
  EXPECT_EQ(Profile(d), 0x0012);
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
  ASSERT_TRUE(d.Write(1000, 32, 0x5A));
  EXPECT_EQ(d.Read(1000, 32), Bytes(32 * 2048, 0x5A));
  // The capacity list leads with the formatted capacity, then the full format at 2048 bytes.
  EXPECT_EQ(d.In({0x23, 0, 0, 0, 0, 0, 0, 0, 124, 0}, 20),
            (Bytes{0,    0,    0,    16,   0x00, 0x22, 0x21, 0x20, 0x02, 0x00,
                   0x08, 0x00, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00}));
  Bytes bad = kRamFullFormat;
  bad[10] = 0x02;  // block length 512
  EXPECT_FALSE(d.Format(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  ASSERT_TRUE(d.Format(kRamFullFormat));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x04}));
  d.WaitReady();
  EXPECT_EQ(d.Read(1000, 1), Bytes(2048, 0));
  // Tracks and sessions do not exist to be closed on DVD-RAM.
  EXPECT_FALSE(d.CloseFunction(1, 0));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(RandomAccess, BdReNeedsFormattingBeforeWrites) {
  TDrive d("bd", "bd-re");
  EXPECT_EQ(Profile(d), 0x0043);
  EXPECT_FALSE(d.Write(0, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x30, 0x05}));
  EXPECT_EQ(d.In({0x23, 0, 0, 0, 0, 0, 0, 0, 124, 0}, 36),
            (Bytes{0,    0,    0,    32,                               //
                   0x00, 0xB4, 0x74, 0x00, 0x01, 0x00, 0x08, 0x00,     // unformatted
                   0x00, 0xB4, 0x74, 0x00, 0x00, 0x00, 0x08, 0x00,     // 00h
                   0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x00, 0x00,     // 30h with spares
                   0x00, 0xBA, 0x74, 0x00, 0xC4, 0x00, 0x00, 0x00}));  // 31h without
  ASSERT_TRUE(d.Format(kBdReQuickFormat));
  d.WaitReady();
  ASSERT_TRUE(d.Write(0, 16));
  EXPECT_EQ(Be32(d.In({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).data()), 11826175u);
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
}

TEST_F(RandomAccess, DvdRwQuickFormatToRestrictedOverwriteAndBack) {
  TDrive d("dvd", "dvd-rw");
  EXPECT_EQ(Profile(d), 0x0014);
  EXPECT_EQ(d.DiscInfo()[2], 0x10);
  ASSERT_TRUE(d.Format(kDvdRwQuick1000));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x04}));
  d.WaitReady();
  EXPECT_EQ(Profile(d), 0x0013);
  // Quick-formatted: the formatted extent is the requested one, writable everywhere until closed.
  Bytes ti = d.TrackInfo(1);
  EXPECT_EQ(Slice(ti, 5, 3), (Bytes{0x05, 0x31, 0x01}));
  EXPECT_EQ(Be32(&ti[12]), 1000u);
  EXPECT_EQ(Be32(&ti[20]), 16u);
  EXPECT_EQ(d.DiscInfo()[2], 0x15);
  ASSERT_TRUE(d.Write(0, 32));
  ASSERT_TRUE(d.Write(2000, 32));
  EXPECT_FALSE(d.Write(8, 16));  // not on an ECC block
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x02}));
  ASSERT_TRUE(d.CloseTrack(1));
  ASSERT_TRUE(d.CloseFunction(2, 0, true));
  d.WaitReady();
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
  ti = d.TrackInfo(1);
  EXPECT_EQ(Be32(&ti[24]), 2032u);
  EXPECT_EQ(Be32(&ti[12]), 2032u);
  EXPECT_FALSE(d.Write(2032, 16));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  // Quick grow of the last session opens the whole disc again.
  ASSERT_TRUE(d.Format(kDvdRwQuickGrow));
  d.WaitReady();
  ti = d.TrackInfo(1);
  EXPECT_EQ(Be32(&ti[24]), 2298496u);
  EXPECT_EQ(ti[7] & 1, 0);
  EXPECT_TRUE(d.Write(2032, 16));
  EXPECT_EQ(d.Read(0, 1), Bytes(2048, 0xA5));
  // Blanking returns it to sequential recording, empty.
  ASSERT_TRUE(d.Blank(true));
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x07}));
  d.WaitReady();
  EXPECT_EQ(Profile(d), 0x0014);
  EXPECT_EQ(d.DiscInfo()[2], 0x10);
  d.Read(0, 1);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x21, 0x00}));
  // The second try of the program's quick format asks for no blocks at all.
  ASSERT_TRUE(d.Format(kDvdRwQuick0));
  d.WaitReady();
  EXPECT_EQ(Be32(&d.TrackInfo(1)[12]), 0u);
  EXPECT_TRUE(d.Write(0, 32));
}

TEST_F(RandomAccess, CdRwBlanksWholeOrMinimal) {
  TDrive d("cd", "cd-rw", 30000);
  ASSERT_TRUE(d.Write(0, 300));
  ASSERT_TRUE(d.CloseFunction(2));
  EXPECT_EQ(d.DiscInfo()[2], 0x1E);
  EXPECT_FALSE(d.Ok({0xA1, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // blank one track: not offered
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  ASSERT_TRUE(d.Blank(false));
  d.WaitReady();
  EXPECT_EQ(d.DiscInfo()[2], 0x10);
  EXPECT_EQ(Be32(&d.TrackInfo(0xFF)[16]), 30000u);
  TDrive r("cd", "cd-r", 30000);
  EXPECT_FALSE(r.Blank(true));
  EXPECT_EQ(r.Sense(), (TSense{5, 0x30, 0x00}));
}

}  // namespace
}  // namespace vdtest
