// The device layer against virtual recorders of every ready-made model: discovery through the
// pass-through and through our ASPI library, identification and capabilities, and the medium
// queries on every kind of medium, blank, written, closed and pressed.
#include <regex>

#include "platform/Files.h"
#include "tests/device/FakeDrive.h"
#include "tests/device/LogParse.h"
#include "vdrive/Media.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

using namespace qvp;
using vdrive::TMediumKind;

namespace {

class RecorderTest : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
    dev = std::make_unique<TSCSIDevice>();
    std::memset(dev.get(), 0, sizeof *dev);
  }
  void TearDown() override {
    ReleaseDevice(*dev);
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
    plat::SetClockScale(1);
  }

  std::string Recorder(const std::string& model, bool noAddress = false) {
    const std::string dir = testenv::MakeTempDir(model);
    std::string error;
    EXPECT_TRUE(vdrive::CreateRecorder(dir, model, noAddress, error)) << error;
    return dir;
  }
  void Use(const std::vector<std::string>& dirs) {
    std::string joined;
    for (auto& d : dirs) joined += (joined.empty() ? "" : ":") + d;
    testenv::SetEnv("ARDOVAN_VDRIVES", joined);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
  }
  // One recorder, discovered and selected.
  std::string Selected(const std::string& model) {
    const std::string dir = Recorder(model);
    Use({dir});
    EXPECT_TRUE(InitializeDevices(*dev, 0, "", ""));
    EXPECT_TRUE(SelectDevice(*dev, 0));
    return dir;
  }
  void InsertBlank(const std::string& dir, TMediumKind kind, bool formatted = false) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(dir, kind, std::nullopt, formatted, error)) << error;
    WaitReady();
  }
  void InsertPressed(const std::string& dir, TMediumKind kind, const std::vector<uint8_t>& image) {
    const std::string file = testenv::MakeTempDir("image") + "/disc.iso";
    testenv::WriteFile(file, image);
    std::string error;
    ASSERT_TRUE(vdrive::InsertPressed(dir, file, kind, error)) << error;
    WaitReady();
  }
  // Long operations keep the recorder NOT READY for a while of clock time: run the clock fast.
  void WaitReady() {
    plat::SetClockScale(1e6);
    bool ready = false;
    for (int i = 0; i < 10000 && !ready; ++i) {
      ready = TestUnitReady(*dev);
      if (!ready && dev->LastSense[12] == 0x3A) break;  // no medium: it will not get ready
      if (!ready) plat::Sleep(50);
    }
    plat::SetClockScale(1);
    EXPECT_TRUE(ready) << std::hex << dev->LastAscAscq;
  }

  std::unique_ptr<TSCSIDevice> dev;
};

// An image of n blocks with a primary volume descriptor announcing volumeBlocks.
std::vector<uint8_t> IsoImage(uint32_t n, uint32_t volumeBlocks) {
  std::vector<uint8_t> image(size_t(n) * 2048, 0);
  uint8_t* pvd = image.data() + 16 * 2048;
  pvd[0] = 1;
  std::memcpy(pvd + 1, "CD001", 5);
  pvd[6] = 1;
  const uint32_t v = volumeBlocks;
  const uint8_t both[8] = {uint8_t(v),       uint8_t(v >> 8),  uint8_t(v >> 16), uint8_t(v >> 24),
                           uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8),  uint8_t(v)};
  std::memcpy(pvd + 80, both, 8);
  uint8_t* end = image.data() + 17 * 2048;
  end[0] = 255;
  std::memcpy(end + 1, "CD001", 5);
  end[6] = 1;
  return image;
}

TEST_F(RecorderTest, DiscoveryListsRecordersWithAndWithoutAddress) {
  const std::string bd = Recorder("bd");
  const std::string plain = Recorder("dvd", true);
  Use({bd, plain});
  const std::string log = testenv::MakeTempDir("log") + "/discovery.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", log));
  ASSERT_EQ(GetDeviceCount(*dev), 2);
  const std::regex form(R"(^\d+:\d+:\d+,[D-Z]: .{8} .{16} .{4} $)");
  const std::string first = GetDeviceName(*dev, 0), second = GetDeviceName(*dev, 1);
  EXPECT_TRUE(std::regex_match(first, form)) << first;
  EXPECT_TRUE(std::regex_match(second, form)) << second;
  EXPECT_EQ(first.substr(0, 8), "1:0:0,D:");
  EXPECT_EQ(second.substr(0, 8), "2:0:0,E:");  // the address-less one, after the real adapter
  EXPECT_EQ(GetDeviceName(*dev, 2), "");

  // Selecting logs one line per command.
  ASSERT_TRUE(SelectDevice(*dev, 1));
  ReleaseDevice(*dev);
  const std::string text = testenv::ReadText(log);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 24 + 11);

  // The same drives through our ASPI library.
  ASSERT_TRUE(InitializeDevices(*dev, 1, "", ""));
  ASSERT_EQ(GetDeviceCount(*dev), 2);
  EXPECT_EQ(GetDeviceName(*dev, 0), first);
  EXPECT_EQ(GetDeviceName(*dev, 1), second);
  ASSERT_TRUE(SelectDevice(*dev, 0));
  EXPECT_TRUE(IsWriter(*dev));
  EXPECT_EQ(GetDeviceCapability(*dev, 31), 1);
}

TEST_F(RecorderTest, CapabilitiesOfEveryModel) {
  struct TExpect {
    const char* Model;
    std::string Codes;  // 1-14, 21-32, 41, 42
  };
  // Codes:                      1234567890123412345678901212
  const std::vector<TExpect> models = {
      {"bd", "1111111100011111111111001111"},     {"dvd", "1111111100000011111111000011"},
      {"cd", "1100000000000011000000000011"},     {"hddvd", "1111111111100011111111110011"},
      {"legacy", "1100000000000011000000000011"},
  };
  for (const auto& m : models) {
    SCOPED_TRACE(m.Model);
    Selected(m.Model);
    std::string codes;
    for (int c = 1; c <= 14; ++c)
      codes += char('0' + GetDeviceCapability(*dev, static_cast<uint8_t>(c)));
    for (int c = 21; c <= 32; ++c)
      codes += char('0' + GetDeviceCapability(*dev, static_cast<uint8_t>(c)));
    codes += char('0' + GetDeviceCapability(*dev, 41));
    codes += char('0' + GetDeviceCapability(*dev, 42));
    EXPECT_EQ(codes, m.Codes);
    EXPECT_TRUE(IsWriter(*dev));
    EXPECT_GT(GetMaxWriteSpeed(*dev), 0);
    EXPECT_GT(GetDefaultMaxReadSpeed(*dev), 0);
    EXPECT_GE(GetDefaultMaxWriteSpeed(*dev), GetCurrentWriteSpeed(*dev));
    ReleaseDevice(*dev);
  }
}

struct TMediumExpect {
  TMediumKind Kind;
  const char* Model;
  uint8_t Type;
  bool Erasable, Writable;
  bool Formatted = false;  // random access: formatted, one complete session, all blocks free
};

TEST_F(RecorderTest, BlankMediaOfEveryKind) {
  const std::vector<TMediumExpect> media = {
      {TMediumKind::CdR, "bd", mtCDR, false, true},
      {TMediumKind::CdRw, "bd", mtCDRW, true, true},
      {TMediumKind::DvdR, "bd", mtDVDR, false, true},
      {TMediumKind::DvdRw, "bd", mtDVDRWSR, true, true},
      {TMediumKind::DvdPlusR, "bd", mtDVDPLUSR, false, true},
      {TMediumKind::DvdPlusRw, "bd", mtDVDPLUSRW, true, true, true},
      {TMediumKind::DvdPlusRDl, "bd", mtDVDPLUSRDL, false, true},
      {TMediumKind::DvdRam, "bd", mtDVDRAM, true, true, true},
      {TMediumKind::BdR, "bd", mtBDR, false, true},
      {TMediumKind::BdRe, "bd", mtBDRE, true, true, true},
      {TMediumKind::HdDvdR, "hddvd", mtHDDVDR, false, true},
      {TMediumKind::CdR, "legacy", mtCDR, false, true},
      {TMediumKind::CdRw, "legacy", mtCDRW, true, true},
  };
  for (const auto& m : media) {
    SCOPED_TRACE(std::string(m.Model) + " " + vdrive::MediumName(m.Kind));
    const std::string dir = Selected(m.Model);
    InsertBlank(dir, m.Kind, m.Formatted);
    const uint32_t capacity = vdrive::Traits(m.Kind).capacity;
    EXPECT_EQ(GetMediumType(*dev), m.Type);
    EXPECT_EQ(IsErasable(*dev), m.Erasable);
    EXPECT_EQ(IsDiscWritable(*dev), m.Writable);
    EXPECT_EQ(GetTotalBlocks(*dev), capacity);
    EXPECT_EQ(GetFreeBlocks(*dev), capacity);
    EXPECT_EQ(GetCompleteSessionCount(*dev), m.Formatted ? 1 : 0);
    ReleaseDevice(*dev);
  }
}

TEST_F(RecorderTest, FormattedHdDvdRamIsNotAmongTheRandomAccessMedia) {
  const std::string dir = Selected("hddvd");
  InsertBlank(dir, TMediumKind::HdDvdRam, true);
  EXPECT_EQ(GetMediumType(*dev), mtHDDVDRAM);
  EXPECT_TRUE(IsErasable(*dev));
  // Its disc reads as complete, and only DVD-RAM, DVD+RW, restricted overwrite and BD-RE are
  // taken as writable whatever their status says.
  EXPECT_FALSE(IsDiscWritable(*dev));
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);
  EXPECT_EQ(GetTotalBlocks(*dev), vdrive::Traits(TMediumKind::HdDvdRam).capacity);
}

TEST_F(RecorderTest, PressedDiscsAreNeitherWritableNorErasable) {
  const std::vector<TMediumExpect> media = {
      {TMediumKind::CdRom, "bd", mtCDROM, false, false},
      {TMediumKind::DvdRom, "bd", mtDVDROM, false, false},
      {TMediumKind::BdRom, "bd", mtBDROM, false, false},
      {TMediumKind::HdDvdRom, "hddvd", mtHDDVDROM, false, false},
      // A drive without profiles tells a pressed CD by its missing ATIP: recordable, by the rule.
      {TMediumKind::CdRom, "legacy", mtCDR, false, false},
  };
  for (const auto& m : media) {
    SCOPED_TRACE(std::string(m.Model) + " " + vdrive::MediumName(m.Kind));
    const std::string dir = Selected(m.Model);
    InsertPressed(dir, m.Kind, IsoImage(64, 64));
    EXPECT_EQ(GetMediumType(*dev), m.Type);
    EXPECT_EQ(IsErasable(*dev), m.Erasable);
    EXPECT_EQ(IsDiscWritable(*dev), m.Writable);
    EXPECT_EQ(GetFreeBlocks(*dev), 0u);
    EXPECT_EQ(GetTotalBlocks(*dev), 64u);
    EXPECT_EQ(GetCompleteSessionCount(*dev), 1);
    ReleaseDevice(*dev);
  }
}

TEST_F(RecorderTest, RewritableWithAVolumeHasTheRestFree) {
  const std::string dir = Selected("bd");
  InsertBlank(dir, TMediumKind::DvdPlusRw, true);
  const uint32_t capacity = vdrive::Traits(TMediumKind::DvdPlusRw).capacity;
  EXPECT_EQ(FindIsoVolumeSize(*dev), 0u);
  EXPECT_EQ(GetFreeBlocks(*dev), capacity);
  const auto image = IsoImage(32, 5000);
  ASSERT_TRUE(Write10(*dev, 0, 32, static_cast<uint32_t>(image.size()), image.data()));
  ASSERT_TRUE(SynchronizeCache(*dev, false));
  WaitReady();
  EXPECT_EQ(FindIsoVolumeSize(*dev), 5000u);
  EXPECT_EQ(GetFreeBlocks(*dev), capacity - 5000);
}

// Writes one track of n blocks to a blank write-once CD and closes the session, leaving the disc
// open for another or not.
void BurnSession(TSCSIDevice& dev, uint32_t lba, uint32_t n, bool leaveOpen) {
  ASSERT_TRUE(SetWriteParameters(dev, false, false, mtCDR, leaveOpen));
  std::vector<uint8_t> data(65536, 0x11);
  for (uint32_t done = 0; done < n; done += 32)
    ASSERT_TRUE(Write10(dev, lba + done, 32, 65536, data.data()));
  ASSERT_TRUE(SynchronizeCache(dev, false));
  ASSERT_TRUE(CloseTrackOrSession(dev, true, false, GetLastTrackNumber(dev)));
  ASSERT_TRUE(CloseTrackOrSession(dev, false, false, 0));
}

TEST_F(RecorderTest, ClosedAndOpenWriteOnceDiscs) {
  const std::string dir = Selected("cd");
  InsertBlank(dir, TMediumKind::CdR);
  BurnSession(*dev, 0, 320, true);
  WaitReady();
  // One closed session and an empty one to come.
  EXPECT_EQ(GetCompleteSessionCount(*dev), 1);
  EXPECT_TRUE(IsDiscWritable(*dev));
  const uint32_t free = GetFreeBlocks(*dev);
  EXPECT_GT(free, 0u);
  EXPECT_LT(free, vdrive::Traits(TMediumKind::CdR).capacity - 320);

  InsertBlank(dir, TMediumKind::CdR);
  BurnSession(*dev, 0, 320, false);
  WaitReady();
  EXPECT_EQ(GetCompleteSessionCount(*dev), 1);
  EXPECT_FALSE(IsDiscWritable(*dev));
  EXPECT_EQ(GetFreeBlocks(*dev), 0u);
}

TEST_F(RecorderTest, CommandLogOfAWholeBurn) {
  const std::string dir = Recorder("dvd");
  Use({dir});
  std::string error;
  ASSERT_TRUE(vdrive::InsertBlank(dir, TMediumKind::DvdPlusR, std::nullopt, false, error)) << error;
  const std::string log = testenv::MakeTempDir("log") + "/burn.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", log));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  WaitReady();
  ASSERT_TRUE(IsDiscWritable(*dev));
  const uint32_t free = GetFreeBlocks(*dev);
  ASSERT_TRUE(SetSpeed(*dev, 0, 0));
  ASSERT_TRUE(SetWriteParameters(*dev, false, true, GetMediumType(*dev), false));
  ASSERT_TRUE(SetStreamingPerformance(*dev, 320, GetCurrentReadSpeed(*dev), 1000,
                                      GetCurrentWriteSpeed(*dev), 1000));
  ResetSpeedStatistics(*dev);
  const auto image = IsoImage(320, 320);
  for (uint32_t lba = 0; lba < 320; lba += 32)
    ASSERT_TRUE(Write10(*dev, lba, 32, 65536, image.data() + size_t(lba) * 2048));
  ASSERT_TRUE(ReadBufferCapacity(*dev));
  EXPECT_LE(GetDriveBufferUsed(*dev), GetDriveBufferSize(*dev));
  ASSERT_TRUE(SynchronizeCache(*dev, false));
  ASSERT_TRUE(CloseTrackOrSession(*dev, true, false, 1));
  // A DVD+R is finalized by its own close function; closing the session keeps it appendable.
  ASSERT_TRUE(CloseTrackSession(*dev, false, 6, 0, 0, 0));
  WaitReady();
  EXPECT_EQ(GetCompleteSessionCount(*dev), 1);
  EXPECT_FALSE(IsDiscWritable(*dev));
  EXPECT_EQ(dev->WriteStats.Count, 10);
  EXPECT_EQ(dev->SampleIndex, 10u);
  ReleaseDevice(*dev);
  EXPECT_GT(free, 320u);

  std::string exported = testenv::MakeTempDir("export") + "/disc.iso";
  ASSERT_TRUE(vdrive::ExportMedium(dir, exported, std::nullopt, error)) << error;
  EXPECT_EQ(testenv::ReadFile(exported), image);

  int other = 0, malformed = 0;
  auto lines = devtest::ParseCommandLines(testenv::ReadText(log), other, malformed);
  EXPECT_EQ(malformed, 0);
  EXPECT_EQ(other, 1 + 24);
  int writes = 0;
  for (const auto& l : lines) {
    EXPECT_FALSE(l.Name.empty()) << std::hex
                                 << l.Opcode;  // every command the library sends is named
    EXPECT_EQ(l.Data.size(), std::min<size_t>(100, static_cast<size_t>(l.Length)));
    EXPECT_TRUE(l.HasSystemError);
    if (l.Opcode == 0x2A) {
      ++writes;
      EXPECT_EQ(l.Status, 1);
      EXPECT_EQ(l.Flags, 0x50);
      EXPECT_EQ(l.Length, 0x10000);
    }
  }
  EXPECT_EQ(writes, 10);
}

}  // namespace
