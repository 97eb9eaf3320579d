// The recording commands: literal CDB bytes of every operation, the write-parameters page over
// what the drive returns, streaming and time-stamp parameter lists, buffer figures, statistics.
#include <functional>

#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::Bytes;
using devtest::Cdb;
using devtest::TFakeDrive;

namespace {

class CommandsTest : public devtest::FakeDriveTest {};

TEST_F(CommandsTest, EveryOperationSendsItsCommandBlock) {
  auto d = SelectOne();
  uint8_t buf[64] = {};
  dev->ReadStats.Speed = dev->WriteStats.Speed = 1;  // no capability refresh in between
  struct TCase {
    const char* Name;
    std::function<bool()> Run;
    std::vector<uint8_t> Cdb;
    uint8_t Direction;
    uint32_t Length;
  };
  const uint8_t in = plat::kScsiDataIn, out = plat::kScsiDataOut, none = plat::kScsiDataUnspecified;
  std::vector<TCase> cases = {
      {"TestUnitReady", [&] { return TestUnitReady(*dev); }, Cdb(6, {0x00}), none, 0},
      {"Inquiry", [&] { return Inquiry(*dev, buf); }, Cdb(6, {0x12, 0, 0, 0, 0x40}), in, 64},
      {"LoadMedium", [&] { return LoadMedium(*dev, false); }, Cdb(6, {0x1B, 0, 0, 0, 3}), none, 0},
      {"EjectMedium", [&] { return EjectMedium(*dev, true); }, Bytes({0x1B, 1, 0, 0, 2, 0}), none,
       0},
      {"RezeroUnit", [&] { return RezeroUnit(*dev); }, Cdb(6, {0x01}), none, 0},
      {"AllowMediumRemoval", [&] { return AllowMediumRemoval(*dev); }, Cdb(6, {0x1E}), none, 0},
      {"ModeSelect10", [&] { return ModeSelect10(*dev, buf, 60); },
       Cdb(10, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 60}), out, 60},
      {"ModeSense10", [&] { return ModeSense10(*dev, buf, 0x200, true, 5); },
       Cdb(10, {0x5A, 0, 0x85, 0, 0, 0, 0, 0x02, 0x00}), in, 0x200},
      {"SetCdSpeed(0,0)", [&] { return SetCdSpeed(*dev, 0, 0); },
       Cdb(12, {0xBB, 1, 0xFF, 0xFF, 0xFF, 0xFF}), none, 0},
      {"SetCdSpeed", [&] { return SetCdSpeed(*dev, 7056, 2770); },
       Cdb(12, {0xBB, 1, 0x1B, 0x90, 0x0A, 0xD2}), none, 0},
      {"SetStreaming", [&] { return SetStreaming(*dev, buf, 28); },
       Cdb(12, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28}), out, 28},
      {"Read10", [&] { return Read10(*dev, 0x00012345, 2, dev->DataBuffer); },
       Cdb(10, {0x28, 0, 0x00, 0x01, 0x23, 0x45, 0, 0, 2}), in, 4096},
      {"Write10", [&] { return Write10(*dev, 0x12345678, 32, 65536, dev->DataBuffer); },
       Cdb(10, {0x2A, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 32}), out, 65536},
      {"SynchronizeCache", [&] { return SynchronizeCache(*dev, true); }, Cdb(10, {0x35, 2}), none,
       0},
      {"FlushDriveCache", [&] { return FlushDriveCache(*dev); }, Cdb(10, {0x35, 2}), none, 0},
      {"CloseTrackSession", [&] { return CloseTrackSession(*dev, true, 5, 3, 4, 7); },
       Cdb(10, {0x5B, 1, 5, 3, 4, 7}), none, 0},
      {"CloseTrack", [&] { return CloseTrackOrSession(*dev, true, false, 9); },
       Cdb(10, {0x5B, 0, 1, 0, 0, 9}), none, 0},
      {"CloseSession", [&] { return CloseTrackOrSession(*dev, false, true, 0); },
       Cdb(10, {0x5B, 1, 2}), none, 0},
      {"ReserveTrack", [&] { return ReserveTrack(*dev, 0x00123456); },
       Cdb(10, {0x53, 0, 0, 0, 0, 0x00, 0x12, 0x34, 0x56}), none, 0},
      {"FormatUnit", [&] { return FormatUnit(*dev, 0x11, buf, 12); }, Cdb(6, {0x04, 0x11}), out,
       12},
      {"Blank(quick)", [&] { return Blank(*dev, true); }, Cdb(12, {0xA1, 0x11}), none, 0},
      {"Blank(full)", [&] { return Blank(*dev, false); }, Cdb(12, {0xA1, 0x10}), none, 0},
      {"SendDvdStructure", [&] { return SendDvdStructure(*dev, 0x0F, buf, 22); },
       Cdb(12, {0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22}), out, 22},
      {"ReadBufferCapacity", [&] { return ReadBufferCapacity(*dev); },
       Cdb(10, {0x5C, 0, 0, 0, 0, 0, 0, 0, 32}), in, 32},
      {"ReadDiscInformation", [&] { return ReadDiscInformation(*dev, dev->DiscInfo, 64); },
       Cdb(10, {0x51, 0, 0, 0, 0, 0, 0, 0, 64}), in, 64},
      {"ReadTrackInformation", [&] { return ReadTrackInformation(*dev, 0xFF); },
       Cdb(10, {0x52, 1, 0, 0, 0, 0xFF, 0, 0, 38}), in, 38},
      {"ReadTocPmaAtip", [&] { return ReadTocPmaAtip(*dev, 4, 0, 30, buf, true); },
       Cdb(10, {0x43, 2, 4, 0, 0, 0, 0, 0, 30}), in, 30},
      {"GetConfiguration", [&] { return GetConfiguration(*dev, dev->Configuration, 114, 0x1234); },
       Cdb(10, {0x46, 2, 0x12, 0x34, 0, 0, 0, 0, 114}), in, 114},
      {"ReadFormatCapacities", [&] { return ReadFormatCapacities(*dev) == 0; },
       Cdb(10, {0x23, 0, 0, 0, 0, 0, 0, 0, 124}), in, 124},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    d->Forget();
    EXPECT_TRUE(c.Run());
    auto seen = d->Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Cdb, c.Cdb);
    EXPECT_EQ(seen[0].Direction, c.Direction);
    EXPECT_EQ(seen[0].DataLength, c.Length);
  }
}

TEST_F(CommandsTest, SuccessRulePerOperation) {
  auto d = SelectOne();
  // A refused command: status 4 everywhere.
  for (uint8_t op : {0x00, 0x1B, 0x35, 0x5B, 0xA1, 0x04, 0x55}) d->Fail(op);
  EXPECT_FALSE(TestUnitReady(*dev));
  EXPECT_TRUE(TestUnitReadyAlwaysTrue(*dev));
  EXPECT_FALSE(EjectMedium(*dev, false));
  EXPECT_FALSE(SynchronizeCache(*dev, false));
  EXPECT_FALSE(CloseTrackSession(*dev, false, 1, 0, 0, 1));
  EXPECT_FALSE(Blank(*dev, true));
  EXPECT_FALSE(FormatUnit(*dev, 0x11, nullptr, 0));
  uint8_t page[8] = {};
  EXPECT_FALSE(ModeSelect10(*dev, page, 8));
}

TEST_F(CommandsTest, SpeedsAreRememberedAndSentAgain) {
  auto d = SelectOne();
  ASSERT_TRUE(SetSpeed(*dev, 0, 7056));
  EXPECT_EQ(dev->RequestedReadSpeed, 0);
  EXPECT_EQ(dev->RequestedWriteSpeed, 7056);
  ASSERT_TRUE(SetCdSpeed(*dev, dev->RequestedReadSpeed, dev->RequestedWriteSpeed));
  auto sent = d->Seen(0xBB);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].Cdb, Cdb(12, {0xBB, 1, 0xFF, 0xFF, 0x1B, 0x90}));
}

// Page 5 as a drive returns it: header (and block descriptor), page code 5, its length.
void AnswerWriteParameters(TFakeDrive& d, int header, uint8_t pageLength = 0x32) {
  d.On(0x5A, [header, pageLength](const scripted::TExchange& x) {
    std::vector<uint8_t> a(512, 0);
    if ((x.Cdb[2] & 0x3F) == 0x2A) {  // capabilities with BUF set
      a[8] = 0x2A;
      a[9] = 0x3E;
      a[12] = 0x80;
    } else if ((x.Cdb[2] & 0x3F) == 0x05) {
      a[7] = header == 16 ? 8 : 0;
      a[header] = 0x05;
      a[header + 1] = pageLength;
      for (int i = 2; i < pageLength + 2; ++i) a[header + i] = 0xA5;  // whatever the drive had
    } else {
      return x.Check(5, 0x24);
    }
    return x.Reply(a);
  });
}

TEST_F(CommandsTest, WriteParametersOverTheDrivesPage) {
  auto d = std::make_shared<TFakeDrive>();
  d->SetAddress(0, 0, 0);
  AnswerWriteParameters(*d, 8);
  scripted::InstallDrives({d});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  ASSERT_EQ(dev->Capabilities[4] & 0x80, 0x80);

  d->Forget();
  ASSERT_TRUE(SetWriteParameters(*dev, false, true, mtCDR, true));
  auto sense = d->Seen(0x5A);
  ASSERT_EQ(sense.size(), 1u);
  EXPECT_EQ(sense[0].Cdb, Cdb(10, {0x5A, 0, 0x05, 0, 0, 0, 0, 0x02, 0x00}));
  auto select = d->Seen(0x55);
  ASSERT_EQ(select.size(), 1u);
  EXPECT_EQ(select[0].Cdb, Cdb(10, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 60}));
  const auto& list = select[0].DataOut;
  ASSERT_EQ(list.size(), 60u);
  EXPECT_EQ(std::vector<uint8_t>(list.begin() + 8, list.begin() + 24),
            Bytes({0x05, 0x32, 0x41, 0xC4, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x00, 0x00, 0x96}));
  // The page's last two bytes stay as the drive had them.
  EXPECT_EQ(list[8 + 0x32], 0xA5);
  EXPECT_EQ(list[8 + 0x33], 0xA5);

  ASSERT_TRUE(SetWriteParameters(*dev, false, false, mtCDR, true));
  EXPECT_EQ(dev->WriteParameters[2], 0x01);
  EXPECT_EQ(dev->WriteParameters[3], 0xC4);

  // Page behind a block descriptor.
  AnswerWriteParameters(*d, 16);
  d->Forget();
  ASSERT_TRUE(SetWriteParameters(*dev, false, true, mtCDR, false));
  select = d->Seen(0x55);
  ASSERT_EQ(select.size(), 1u);
  EXPECT_EQ(select[0].Cdb[8], 68);
  EXPECT_EQ(std::vector<uint8_t>(select[0].DataOut.begin() + 16, select[0].DataOut.begin() + 20),
            Bytes({0x05, 0x32, 0x41, 0x04}));

  // A page longer than ours: our 72 bytes go over its start, the rest stays the drive's.
  AnswerWriteParameters(*d, 8, 0x60);
  d->Forget();
  ASSERT_TRUE(SetWriteParameters(*dev, false, true, mtCDR, false));
  select = d->Seen(0x55);
  ASSERT_EQ(select.size(), 1u);
  ASSERT_EQ(select[0].DataOut.size(), 8u + 0x62);
  EXPECT_EQ(select[0].DataOut[8 + 1], 0x60);
  EXPECT_EQ(select[0].DataOut[8 + 71], 0x40);  // last byte of our image
  EXPECT_EQ(select[0].DataOut[8 + 72], 0xA5);

  // Nothing is sent when the page cannot be read.
  d->Fail(0x5A);
  d->Forget();
  EXPECT_FALSE(SetWriteParameters(*dev, false, true, mtCDR, false));
  EXPECT_TRUE(d->Seen(0x55).empty());
}

// Page bytes 2-15 for one medium (template, drive without BUF).
std::vector<uint8_t> PageFor(uint8_t medium, bool testWrite, bool burnProof, bool leaveOpen,
                             bool buf = false) {
  uint8_t p[72];
  BuildWriteParameters(p, 0x32, testWrite, burnProof, medium, leaveOpen, buf);
  return std::vector<uint8_t>(p + 2, p + 16);
}

TEST_F(CommandsTest, WriteParametersPerMedium) {
  //                                     2     3     4     5     6  7  8  9 10 11 12    13    14 15
  EXPECT_EQ(PageFor(mtCDR, false, true, true, true),
            Bytes({0x41, 0xC4, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x96}));
  EXPECT_EQ(PageFor(mtCDRW, false, false, false),
            Bytes({0x01, 0x04, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  EXPECT_EQ(PageFor(mtCDR, true, false, false),
            Bytes({0x11, 0xC4, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDR, false, true, false, true),
            Bytes({0x60, 0xE5, 0x08, 0x10, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDRWSR, false, false, false),
            Bytes({0x20, 0xC5, 0x08, 0x10, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDPLUSR, false, true, false, true),
            Bytes({0x22, 0x04, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x00, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDPLUSR, false, false, true),
            Bytes({0x22, 0xE4, 0x08, 0x10, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDPLUSRW, false, false, true),
            Bytes({0x22, 0xC4, 0x08, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDVDPLUSRDL, true, true, false, true),
            Bytes({0x32, 0x04, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  EXPECT_EQ(PageFor(mtDDCDR, false, false, false),
            Bytes({0x02, 0x05, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  EXPECT_EQ(PageFor(mtBDR, false, true, false, true),
            Bytes({0x41, 0x04, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
}

TEST_F(CommandsTest, StreamingAndTimestampParameterLists) {
  auto d = SelectOne();
  ASSERT_TRUE(SetStreamingPerformance(*dev, 0x00012345, 8467, 1000, 11080, 1000));
  auto s = d->Seen(0xB6);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].DataOut,
            Bytes({0,    0,    0, 0, 0,    0,    0, 0, 0x00, 0x01, 0x23, 0x45, 0,    0,
                   0x21, 0x13, 0, 0, 0x03, 0xE8, 0, 0, 0x2B, 0x48, 0,    0,    0x03, 0xE8}));

  const plat::TSystemTime t{2008, 10, 1, 20, 7, 5, 9, 0};
  ASSERT_TRUE(SendDvdTimestamp(*dev, t));
  auto ts = d->Seen(0xBF);
  ASSERT_EQ(ts.size(), 1u);
  EXPECT_EQ(ts[0].Cdb, Cdb(12, {0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22}));
  EXPECT_EQ(ts[0].DataOut, Bytes({0x00, 0x14, 0,   0,   0,   0,   0,   0,   '2', '0', '0',
                                  '8',  '1',  '0', '2', '0', '0', '7', '0', '5', '0', '9'}));
}

TEST_F(CommandsTest, BufferFigures) {
  auto d = SelectOne();
  d->Reply(0x5C, Bytes({0, 10, 0, 0, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}));
  ASSERT_TRUE(ReadBufferCapacity(*dev));
  EXPECT_EQ(GetDriveBufferSize(*dev), 0x200000u);
  EXPECT_EQ(GetDriveBufferUsed(*dev), 0u);

  d->Reply(0x5C, Bytes({0, 10, 0, 0, 0x00, 0x20, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00}));
  ASSERT_TRUE(ReadBufferCapacity(*dev));
  EXPECT_EQ(GetDriveBufferUsed(*dev), 0x110000u);

  // A failure keeps the figures; a drive claiming more free than its size has nothing in it.
  d->Fail(0x5C);
  EXPECT_FALSE(ReadBufferCapacity(*dev));
  EXPECT_EQ(GetDriveBufferUsed(*dev), 0x110000u);
  d->Reply(0x5C, Bytes({0, 10, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00}));
  ASSERT_TRUE(ReadBufferCapacity(*dev));
  EXPECT_EQ(GetDriveBufferUsed(*dev), 0u);
}

TEST_F(CommandsTest, TransferStatisticsAndSpeedRing) {
  auto d = SelectOne();
  ResetSpeedStatistics(*dev);
  EXPECT_DOUBLE_EQ(dev->MsPerTick, 1000.0 / static_cast<double>(plat::PerformanceFrequency()));
  dev->WriteStats.Speed = 0;
  d->Forget();
  std::vector<uint8_t> block(65536);
  ASSERT_TRUE(Write10(*dev, 0, 32, 65536, block.data()));
  // The first WRITE asks the drive for its current write speed (ten commands) before the write.
  auto seen = d->Seen();
  ASSERT_EQ(seen.size(), 11u);
  EXPECT_EQ(seen.back().Cdb[0], 0x2A);
  d->Fail(0x2A);
  EXPECT_FALSE(Write10(*dev, 32, 32, 65536, block.data()));
  EXPECT_EQ(dev->WriteStats.Count, 2);
  EXPECT_DOUBLE_EQ(dev->WriteStats.Bytes, 131072.0);
  EXPECT_EQ(dev->SampleIndex, 2u);
  EXPECT_EQ(dev->SampleBytes[1], 65536);

  for (int i = 0; i < 62; ++i) AddSpeedSample(*dev, 1000 + i, 7);
  EXPECT_EQ(dev->SampleIndex, 64u);
  AddSpeedSample(*dev, 5, 9);  // past the end: back to the first slot
  EXPECT_EQ(dev->SampleIndex, 1u);
  EXPECT_EQ(dev->SampleBytes[0], 5);
  EXPECT_EQ(dev->SampleTicks[0], 9);
  EXPECT_EQ(dev->SampleBytes[63], 1061);

  // Reads keep their own figures; a new selection clears the accumulated ones.
  dev->ReadStats.Speed = 1;
  ASSERT_TRUE(Read10(*dev, 16, 1, dev->DataBuffer));
  EXPECT_DOUBLE_EQ(dev->ReadStats.Bytes, 2048.0);
  ASSERT_TRUE(SelectDevice(*dev, 0));
  EXPECT_EQ(dev->ReadStats.Bytes, 0.0);
  EXPECT_EQ(dev->WriteStats.Bytes, 0.0);
  EXPECT_EQ(dev->WriteStats.Count, 2);
}

}  // namespace
