// Medium queries against drives whose answers are set byte by byte: the medium type and its
// fallbacks, sessions, erasability, writability, free and total blocks, the ISO volume size, and
// answers shorter than asked for.
#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::Bytes;
using devtest::TFakeDrive;

namespace {

// What a scripted disc answers.
struct TDisc {
  int Profile = -1;  // -1: GET CONFIGURATION refused
  uint8_t DiscStatus = 0, LastSessionState = 0, Erasable = 0;
  uint8_t Sessions = 1, LastTrack = 1;
  bool DiscInfoFails = false;
  struct TTrack {
    uint32_t Start = 0, Free = 0, Size = 0;
    bool FixedPacket = false;
  };
  std::map<int, TTrack> Tracks;  // by track number (0xFF: the invisible track)
  uint32_t VolumeBlocks = 0;     // 0: no ISO 9660 volume
  uint8_t VolumeType = 1;
  std::vector<std::pair<uint32_t, uint32_t>>
      Capacities;  // (blocks, type byte << 24 | block length)
};

void Script(TFakeDrive& d, const TDisc& disc) {
  if (disc.Profile < 0) {
    d.Fail(0x46, 5, 0x20, 0);
  } else {
    std::vector<uint8_t> a(8, 0);
    a[3] = 4;
    mmc::PutBE16(a.data() + 6, static_cast<uint16_t>(disc.Profile));
    d.Reply(0x46, a);
  }
  d.Fail(0x43, 5, 0x24, 0);  // no ATIP unless a test says otherwise
  if (disc.DiscInfoFails) {
    d.Fail(0x51, 5, 0x20, 0);
  } else {
    std::vector<uint8_t> di(34, 0);
    di[1] = 32;
    di[2] = static_cast<uint8_t>(disc.Erasable << 4 | disc.LastSessionState << 2 | disc.DiscStatus);
    di[3] = 1;
    di[4] = disc.Sessions;
    di[5] = 1;
    di[6] = disc.LastTrack;
    d.Reply(0x51, di);
  }
  d.On(0x52, [tracks = disc.Tracks](const scripted::TExchange& x) {
    auto it = tracks.find(x.Cdb[5]);
    if (it == tracks.end()) return x.Check(5, 0x24);
    std::vector<uint8_t> ti(48, 0);
    ti[1] = 46;
    ti[2] = x.Cdb[5];
    ti[6] = it->second.FixedPacket ? 0x10 : 0;
    mmc::PutBE32(ti.data() + 8, it->second.Start);
    mmc::PutBE32(ti.data() + 16, it->second.Free);
    mmc::PutBE32(ti.data() + 24, it->second.Size);
    return x.Reply(ti);
  });
  d.On(0x28, [disc](const scripted::TExchange& x) {
    const uint32_t lba = mmc::GetBE32(x.Cdb + 2);
    if (disc.VolumeBlocks == 0 || lba != 16 || x.DataLength < 2048) return x.Check(3, 0x11);
    uint8_t* data = x.Data;
    std::memset(data, 0, 2048);
    data[0] = disc.VolumeType;
    std::memcpy(data + 1, "CD001", 5);
    const uint32_t v = disc.VolumeBlocks;
    const uint8_t both[8] = {uint8_t(v),       uint8_t(v >> 8),  uint8_t(v >> 16), uint8_t(v >> 24),
                             uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8),  uint8_t(v)};
    std::memcpy(data + 80, both, 8);
    return uint8_t{0};
  });
  std::vector<uint8_t> fc(4, 0);
  for (auto& c : disc.Capacities) {
    fc.resize(fc.size() + 8);
    mmc::PutBE32(fc.data() + fc.size() - 8, c.first);
    mmc::PutBE32(fc.data() + fc.size() - 4, c.second);
  }
  fc[3] = static_cast<uint8_t>(fc.size() - 4);
  d.Reply(0x23, fc);
}

class MediumTest : public devtest::FakeDriveTest {
 protected:
  std::shared_ptr<TFakeDrive> Load(const TDisc& disc) {
    auto d = SelectOne();
    dev->ReadStats.Speed = 1;
    Script(*d, disc);
    return d;
  }
};

TEST_F(MediumTest, EveryProfileMapsToItsMediumType) {
  const std::vector<std::pair<int, int>> table = {
      {0x08, 1},  {0x09, 2},  {0x0A, 3},  {0x10, 4},  {0x11, 5},  {0x12, 6},
      {0x13, 8},  {0x14, 9},  {0x1A, 10}, {0x1B, 11}, {0x2B, 12}, {0x40, 13},
      {0x41, 14}, {0x42, 15}, {0x43, 16}, {0x50, 17}, {0x51, 18}, {0x52, 19},
      {0x20, 20}, {0x21, 21}, {0x22, 22}, {0x00, 0},  {0x15, 0},  {0xFFFF, 0}};
  TDisc disc;
  auto d = Load(disc);
  for (auto [profile, type] : table) {
    disc.Profile = profile;
    Script(*d, disc);
    EXPECT_EQ(GetMediumType(*dev), type) << profile;
  }
  EXPECT_EQ(mmc::GetHost16(dev->Configuration + 6), 0xFFFF);
}

TEST_F(MediumTest, DrivesWithoutProfilesFallBack) {
  TDisc disc;  // no GET CONFIGURATION, no ATIP, disc information not erasable
  auto d = Load(disc);
  EXPECT_EQ(GetMediumType(*dev), mtCDR);
  disc.Erasable = 1;
  Script(*d, disc);
  EXPECT_EQ(GetMediumType(*dev), mtCDRW);

  for (auto [atip6, type] :
       std::vector<std::pair<int, int>>{{0x00, 1}, {0x80, 2}, {0xC0, 3}, {0x40, 1}}) {
    std::vector<uint8_t> a(30, 0);
    a[1] = 28;
    a[6] = static_cast<uint8_t>(atip6);
    d->Reply(0x43, a);
    EXPECT_EQ(GetMediumType(*dev), type) << atip6;
  }
  EXPECT_EQ(d->Seen(0x43).back().Cdb, devtest::Cdb(10, {0x43, 2, 4, 0, 0, 0, 0, 0, 30}));

  disc.DiscInfoFails = true;
  Script(*d, disc);
  EXPECT_EQ(GetMediumType(*dev), mtCDROM);  // only TEST UNIT READY answered
  d->Fail(0x00, 2, 0x3A, 0);
  EXPECT_EQ(GetMediumType(*dev), mtUNKNOWN);
}

TEST_F(MediumTest, BlankCdRIsWritableWithTheLargerOfFreeAndSize) {
  TDisc disc;
  disc.Profile = 0x09;
  disc.Tracks[1] = {0, 359846, 359847, false};
  disc.Tracks[0xFF] = disc.Tracks[1];
  auto d = Load(disc);
  EXPECT_TRUE(IsDiscWritable(*dev));
  EXPECT_FALSE(IsErasable(*dev));
  EXPECT_EQ(GetFreeBlocks(*dev), 359847u);
  EXPECT_EQ(GetTotalBlocks(*dev), 359847u);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 0);  // the one session is the empty one to come
  EXPECT_EQ(GetLastTrackNumber(*dev), 1);
}

TEST_F(MediumTest, FinalizedDiscIsNotWritable) {
  TDisc disc;
  disc.Profile = 0x11;
  disc.DiscStatus = 2;
  disc.LastSessionState = 3;
  disc.Sessions = 2;
  disc.LastTrack = 2;
  disc.Tracks[2] = {1000, 0, 5000, false};
  auto d = Load(disc);
  EXPECT_FALSE(IsDiscWritable(*dev));
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);
  EXPECT_EQ(GetTotalBlocks(*dev), 6000u);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 2);
}

TEST_F(MediumTest, DiscOfOtherStatusIsJudgedByItsTracks) {
  TDisc disc;
  disc.Profile = 0x41;
  disc.DiscStatus = 3;
  disc.LastTrack = 3;
  disc.Tracks[4] = {0, 12, 100, false};
  auto d = Load(disc);
  EXPECT_TRUE(IsDiscWritable(*dev));  // track 0xFF refused: last track + 1 has free blocks
  EXPECT_EQ(d->Seen(0x52).back().Cdb[5], 4);
  disc.Tracks[0xFF] = {0, 0, 100, false};
  Script(*d, disc);
  EXPECT_FALSE(IsDiscWritable(*dev));
}

TEST_F(MediumTest, RewritablePlusWithAndWithoutVolume) {
  TDisc disc;
  disc.Profile = 0x1A;
  disc.DiscStatus = 2;
  disc.Tracks[1] = {0, 0, 2295104, false};
  disc.VolumeBlocks = 1234;
  auto d = Load(disc);
  EXPECT_TRUE(IsDiscWritable(*dev));
  EXPECT_TRUE(IsErasable(*dev));
  EXPECT_EQ(FindIsoVolumeSize(*dev), 1234u);
  EXPECT_EQ(GetFreeBlocks(*dev), 2295104u - 1234u);

  disc.VolumeType = 2;  // a supplementary descriptor counts too
  Script(*d, disc);
  EXPECT_EQ(FindIsoVolumeSize(*dev), 1234u);

  disc.VolumeBlocks = 0;
  Script(*d, disc);
  EXPECT_EQ(FindIsoVolumeSize(*dev), 0u);
  EXPECT_EQ(GetFreeBlocks(*dev), 2295104u);
  // Both descriptor searches read blocks 16 to 31.
  auto reads = d->Seen(0x28);
  ASSERT_GE(reads.size(), 32u);
  EXPECT_EQ(mmc::GetBE32(reads[reads.size() - 32].Cdb.data() + 2), 16u);
  EXPECT_EQ(mmc::GetBE32(reads.back().Cdb.data() + 2), 31u);
}

TEST_F(MediumTest, VolumeLargerThanTheTrackLeavesNothingFree) {
  TDisc disc;
  disc.Profile = 0x1A;
  disc.Tracks[1] = {0, 0, 1000, false};
  disc.VolumeBlocks = 5000;
  auto d = Load(disc);
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);

  // Restricted overwrite: formatted capacity minus the volume on it, also bounded below; the
  // track, which spans the whole formatted extent, says nothing about what is recorded.
  disc.Profile = 0x13;
  disc.Capacities = {{800, 0x00000800}};
  Script(*d, disc);
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);
  disc.Capacities = {{6000, 0x00000800}};
  disc.Tracks[1] = {0, 0, 6000, true};
  Script(*d, disc);
  EXPECT_EQ(GetFreeBlocks(*dev), 1000u);
  disc.VolumeBlocks = 0;  // quick-formatted and blank: all of it is free
  Script(*d, disc);
  EXPECT_EQ(GetFreeBlocks(*dev), 6000u);
  EXPECT_EQ(GetTotalBlocks(*dev), 6000u);
}

TEST_F(MediumTest, FormatCapacitiesPreferTwoKilobyteDescriptors) {
  TDisc disc;
  auto d = Load(disc);
  disc.Capacities = {{111, 0x02000800}, {222, 0x00000200}, {333, 0x00000800}, {444, 0x00000800}};
  Script(*d, disc);
  EXPECT_EQ(ReadFormatCapacities(*dev), 333u);
  disc.Capacities = {{111, 0x02000800}, {222, 0x00000200}};
  Script(*d, disc);
  EXPECT_EQ(ReadFormatCapacities(*dev), 111u);
  // Only the first four descriptors are looked at.
  disc.Capacities = {
      {1, 0x02000800}, {2, 0x02000800}, {3, 0x02000800}, {4, 0x02000800}, {5, 0x00000800}};
  Script(*d, disc);
  EXPECT_EQ(ReadFormatCapacities(*dev), 1u);
  d->Fail(0x23);
  EXPECT_EQ(ReadFormatCapacities(*dev), 0u);
}

TEST_F(MediumTest, FixedPacketTrackTotalsComeFromFormatCapacities) {
  TDisc disc;
  disc.Profile = 0x13;
  disc.Tracks[1] = {0, 0, 2000, true};
  disc.Capacities = {{2295104, 0x00000800}};
  auto d = Load(disc);
  EXPECT_EQ(GetTotalBlocks(*dev), 2295104u);
  disc.Tracks[1].Size = 0xFFFFFFFF;
  Script(*d, disc);
  EXPECT_EQ(GetTotalBlocks(*dev), 0u);
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);
  disc.DiscInfoFails = true;
  Script(*d, disc);
  EXPECT_EQ(GetTotalBlocks(*dev), 2295104u);
}

TEST_F(MediumTest, SessionsErasabilityAndRam) {
  TDisc disc;
  disc.Profile = 0x0A;
  disc.DiscStatus = 1;
  disc.LastSessionState = 0;
  disc.Sessions = 3;
  disc.Erasable = 1;
  auto d = Load(disc);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 2);
  EXPECT_EQ(dev->DiscInfo[4], 2);
  EXPECT_TRUE(IsErasable(*dev));
  disc.Sessions = 0;  // a drive that counts no session at all does not make it 255
  Script(*d, disc);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 0);
  disc.Sessions = 3;
  disc.LastSessionState = 1;  // an incomplete last session is counted
  Script(*d, disc);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 3);

  disc.Profile = 0x12;
  disc.DiscInfoFails = true;
  Script(*d, disc);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 1);
  EXPECT_TRUE(IsErasable(*dev));
  EXPECT_TRUE(IsDiscWritable(*dev));
  EXPECT_EQ(GetLastTrackNumber(*dev), 0);
  disc.Profile = 0x09;
  Script(*d, disc);
  EXPECT_EQ(GetCompleteSessionCount(*dev), 0);
  EXPECT_FALSE(IsErasable(*dev));
}

TEST_F(MediumTest, ShortAnswersAreNotReadPastWhatArrived) {
  TDisc disc;
  disc.Profile = 0x09;
  auto d = Load(disc);
  // Disc information that says only its first four bytes are valid, with garbage behind them.
  d->Reply(0x51, Bytes({0x00, 0x02, 0x01, 0x01, 0x07, 0x01, 0x09, 0x01}));
  EXPECT_EQ(GetLastTrackNumber(*dev), 0);
  EXPECT_EQ(dev->DiscInfo[4], 0);
  // Track information of ten bytes: the start address is incomplete, the rest never came.
  d->Reply(0x52, Bytes({0x00, 0x08, 0x01, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0xFF,
                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78}));
  ASSERT_TRUE(ReadTrackInformation(*dev, 1));
  EXPECT_EQ(TrackField(*dev, trackinfo::TrackStart), 0u);
  EXPECT_EQ(TrackField(*dev, trackinfo::NextWritable), 0u);
  EXPECT_EQ(TrackField(*dev, trackinfo::FreeBlocks), 0u);
  EXPECT_EQ(mmc::GetHost16(dev->TrackInfo), 8u);
  // Full-length answers convert every field in place.
  d->Reply(0x52, Bytes({0x00, 0x2E, 0x01, 0x01, 0x00, 0x04, 0x10, 0x00, 0x00, 0x00, 0x01,
                        0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                        0x00, 0x10, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00}));
  ASSERT_TRUE(ReadTrackInformation(*dev, 1));
  EXPECT_EQ(TrackField(*dev, trackinfo::TrackStart), 0x100u);
  EXPECT_EQ(TrackField(*dev, trackinfo::NextWritable), 0x200u);
  EXPECT_EQ(TrackField(*dev, trackinfo::FreeBlocks), 0x300u);
  EXPECT_EQ(TrackField(*dev, trackinfo::FixedPacketSize), 0x10u);
  EXPECT_EQ(TrackField(*dev, trackinfo::TrackSize), 0x400u);
  EXPECT_EQ(TrackField(*dev, trackinfo::LastRecorded), 0x500u);
}

TEST_F(MediumTest, TrayAndReadiness) {
  TDisc disc;
  auto d = Load(disc);
  EXPECT_TRUE(IsUnitReady(*dev));
  d->Fail(0x00, 2, 0x3A, 0x01);
  EXPECT_FALSE(IsUnitReady(*dev));
  EXPECT_TRUE(TestUnitReadyAlwaysTrue(*dev));
  EXPECT_TRUE(EjectMedium(*dev, true));
  EXPECT_TRUE(LoadMedium(*dev, false));
  auto tray = d->Seen(0x1B);
  ASSERT_EQ(tray.size(), 2u);
  EXPECT_EQ(tray[0].Cdb, Bytes({0x1B, 1, 0, 0, 2, 0}));
  EXPECT_EQ(tray[1].Cdb, Bytes({0x1B, 0, 0, 0, 3, 0}));
}

}  // namespace
