// Discovery over the pass-through: rows, address-less drives and their adapter numbers, the
// discovery log, bad identification data; selection with the capabilities page and the probes.
#include "platform/Files.h"
#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::Bytes;
using devtest::Cdb;
using devtest::TFakeDrive;

namespace {

class DiscoveryTest : public devtest::FakeDriveTest {
 protected:
  std::shared_ptr<TFakeDrive> Drive(int port, int target, std::string product = "Fake Recorder") {
    auto d = std::make_shared<TFakeDrive>("ARDOVAN", product, "1.0");
    if (port >= 0) d->SetAddress(static_cast<uint8_t>(port), static_cast<uint8_t>(target), 0);
    return d;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (int i = 0; i < GetDeviceCount(*dev); ++i)
      out.push_back(GetDeviceName(*dev, static_cast<uint8_t>(i)));
    return out;
  }
};

TEST_F(DiscoveryTest, AddresslessDriveTakesAdapterOne) {
  scripted::InstallDrives({Drive(-1, 0)});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_EQ(Names(), std::vector<std::string>{"1:0:0,D: ARDOVAN  Fake Recorder    1.0  "});
  EXPECT_EQ(dev->Drives[0].HostAdapter, 1);
  EXPECT_EQ(dev->Drives[0].DeviceType, 5);
  EXPECT_EQ(dev->SptiInUse, 1);
  EXPECT_EQ(dev->Initialized, 1);
}

TEST_F(DiscoveryTest, AddresslessDrivesFollowTheAddressedOnes) {
  scripted::InstallDrives(
      {Drive(2, 0, "One"), Drive(-1, 0, "Two"), Drive(2, 1, "Three"), Drive(-1, 0, "Four")});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_EQ(Names(), (std::vector<std::string>{
                         "2:0:0,D: ARDOVAN  One              1.0  ",
                         "2:1:0,F: ARDOVAN  Three            1.0  ",
                         "3:0:0,E: ARDOVAN  Two              1.0  ",
                         "4:0:0,G: ARDOVAN  Four             1.0  ",
                     }));
  EXPECT_EQ(GetDeviceName(*dev, 4), "");
  EXPECT_EQ(GetDeviceName(*dev, 255), "");
}

TEST_F(DiscoveryTest, AdapterNumbersAboveNineAreWrittenInFull) {
  scripted::InstallDrives({Drive(12, 0, "High"), Drive(-1, 0, "Plain")});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_EQ(GetDeviceName(*dev, 1), "13:0:0,E: ARDOVAN  Plain            1.0  ");
}

TEST_F(DiscoveryTest, LogListsEveryLetter) {
  scripted::InstallDrives({Drive(0, 1)});
  const std::string log = testenv::MakeTempDir("log") + "/discovery.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", log));
  std::string expected = "Ardovan burning library 1.21 RC2 (2008-10-20)\r\n";
  expected += "C: ( 3)\r\n";
  expected += "D: 5 - ( 0:1:0,D: ARDOVAN  Fake Recorder    1.0  )\r\n";
  for (char l = 'E'; l <= 'Z'; ++l) expected += std::string(1, l) + ": ( 1)\r\n";
  EXPECT_EQ(testenv::ReadText(log), expected);
}

TEST_F(DiscoveryTest, BadIdentificationStillListsTheDrive) {
  auto silent = Drive(0, 0);
  silent->Fail(0x12, 5, 0x24, 0);
  auto disk = Drive(0, 1);  // answers as a disk, not as a CD/DVD device
  disk->On(0x12, [](const scripted::TExchange& x) {
    std::memset(x.Data, 'X', x.DataLength);
    x.Data[0] = 0;
    return uint8_t{0};
  });
  auto shortAnswer = Drive(0, 2);  // five bytes, then nothing
  shortAnswer->Reply(0x12, {5, 0x80, 0, 0x32, 0xFF});
  auto controls =
      std::make_shared<TFakeDrive>(std::string("AR\tDO\nVA"), "Fake\rRecorder", "1\x01.0");
  controls->SetAddress(0, 3, 0);
  scripted::InstallDrives({silent, disk, shortAnswer, controls});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_EQ(Names(), (std::vector<std::string>{
                         "0:0:0,D:    ",
                         "0:1:0,E:    ",
                         "0:2:0,F:" + std::string(32, ' '),
                         "0:3:0,G: AR DO VA Fake Recorder    1 .0 ",
                     }));
}

TEST_F(DiscoveryTest, NoDriveAndNoAspiLibraryFails) {
  scripted::InstallDrives({});
  EXPECT_FALSE(InitializeDevices(*dev, 0, "libardovan-no-such-aspi.so", ""));
  EXPECT_EQ(GetDeviceCount(*dev), 0);
}

TEST_F(DiscoveryTest, BurnProofSurvivesDiscovery) {
  scripted::InstallDrives({Drive(0, 0)});
  SetBurnProof(*dev, true);
  SetTestWrite(*dev, true);
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_TRUE(GetBurnProof(*dev));
  EXPECT_FALSE(GetTestWrite(*dev));
  EXPECT_EQ(dev->Handle, plat::kInvalidDriveHandle);
  EXPECT_EQ(dev->CurrentLetter, '?');
}

// ---- Selection and capabilities ----

// A capabilities page: reads CD-R, CD-RW, method 2, DVD-ROM, DVD-R; writes CD-R, CD-RW with test
// write and DVD-R; BUF set; speeds differ between default and current values.
std::vector<uint8_t> CapabilitiesAnswer(bool current, int pageOffset) {
  std::vector<uint8_t> a(128, 0);
  a[1] = 0x7E;
  a[7] = pageOffset == 16 ? 8 : 0;  // block descriptor length
  uint8_t* p = a.data() + pageOffset;
  p[0] = current ? 0xAA : 0x2A;  // the current page says it can be saved
  p[1] = 0x3E;
  p[2] = 0x1F;
  p[3] = 0x17;
  p[4] = 0x80;
  p[8] = current ? 0x21 : 0x1B;  // max read 8467 / 7056
  p[9] = current ? 0x13 : 0x90;
  p[12] = 0x08;  // buffer 2048 KiB
  p[13] = 0x00;
  p[14] = 0x1B;  // current read 7056
  p[15] = 0x90;
  p[18] = current ? 0x1B : 0x2B;  // max write 7056 / 11080
  p[19] = current ? 0x90 : 0x48;
  p[20] = 0x0D;  // current write 3528
  p[21] = 0xC8;
  return a;
}

void AnswerCapabilities(TFakeDrive& d, int pageOffset) {
  d.On(0x5A, [pageOffset](const scripted::TExchange& x) {
    if ((x.Cdb[2] & 0x3F) != 0x2A) return x.Check(5, 0x24);
    return x.Reply(CapabilitiesAnswer((x.Cdb[2] & 0xC0) == 0, pageOffset));
  });
}

class SelectionTest : public DiscoveryTest {};

TEST_F(SelectionTest, PageAfterHeaderOrBlockDescriptorIsRead) {
  for (int offset : {8, 16}) {
    SCOPED_TRACE(offset);
    auto d = Drive(0, 0);
    AnswerCapabilities(*d, offset);
    scripted::InstallDrives({d});
    ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
    ASSERT_TRUE(SelectDevice(*dev, 0));
    EXPECT_STREQ(dev->Vendor, "ARDOVAN ");
    EXPECT_STREQ(dev->Product, "Fake Recorder   ");

    std::string flags;
    for (int code : {1, 2, 3, 4, 21, 22, 23, 24, 41, 42})
      flags += char('0' + GetDeviceCapability(*dev, code));
    EXPECT_EQ(flags, "1101110111");
    EXPECT_EQ(dev->Flags.ReadMethod2, 1);
    EXPECT_EQ(dev->Flags.ReadDvdRom, 1);
    EXPECT_TRUE(IsWriter(*dev));

    EXPECT_EQ(GetDefaultMaxReadSpeed(*dev), 7056);
    EXPECT_EQ(GetDefaultMaxWriteSpeed(*dev), 11080);
    EXPECT_EQ(GetCurrentReadSpeed(*dev), 7056);
    EXPECT_EQ(GetMaxWriteSpeed(*dev), 7056);
    EXPECT_EQ(GetCurrentWriteSpeed(*dev), 3528);
    // The copy keeps the buffer size and the speeds in host order.
    EXPECT_EQ(mmc::GetHost16(dev->Capabilities + 12), 2048);
    EXPECT_EQ(mmc::GetHost16(dev->Capabilities + 20), 3528);
  }
}

TEST_F(SelectionTest, PageFoundNowhereLeavesEverythingZero) {
  auto d = Drive(0, 0);
  d->On(0x5A, [](const scripted::TExchange& x) {
    std::memset(x.Data, 0, x.DataLength);
    x.Data[8] = 0x05;  // another page where the capabilities were asked for
    x.Data[16] = 0x2B;
    return uint8_t{0};
  });
  d->Fail(0x46);
  scripted::InstallDrives({d});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  for (int code = 1; code <= 42; ++code)
    if (code != 42) {
      EXPECT_EQ(GetDeviceCapability(*dev, static_cast<uint8_t>(code)), 0) << code;
    }
  EXPECT_FALSE(IsWriter(*dev));
  EXPECT_EQ(GetMaxWriteSpeed(*dev), 0);
  EXPECT_EQ(GetDefaultMaxReadSpeed(*dev), 0);
}

TEST_F(SelectionTest, CapabilityCommandsAndVendorUnderrunPage) {
  auto d = Drive(0, 0);
  AnswerCapabilities(*d, 8);
  scripted::InstallDrives({d});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  auto sense = d->Seen(0x5A);
  ASSERT_EQ(sense.size(), 3u);
  EXPECT_EQ(sense[0].Cdb, Cdb(10, {0x5A, 0, 0xAA, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(sense[1].Cdb, Cdb(10, {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(sense[2].Cdb, Cdb(10, {0x5A, 0, 0xB0, 0, 0, 0, 0, 0, 0x80}));
  auto probes = d->Seen(0x46);
  ASSERT_EQ(probes.size(), 7u);
  std::vector<int> features;
  for (auto& p : probes) features.push_back(p.Cdb[2] << 8 | p.Cdb[3]);
  EXPECT_EQ(features, (std::vector<int>{0x2A, 0x3B, 0x2F, 0x40, 0x41, 0x50, 0x51}));
  EXPECT_EQ(probes[0].Cdb, Cdb(10, {0x46, 2, 0, 0x2A, 0, 0, 0, 0, 0x70}));

  // BUF clear in the page, but the drive knows the vendor page: protection is available.
  d->On(0x5A, [](const scripted::TExchange& x) {
    auto a = CapabilitiesAnswer(true, 8);
    a[8 + 4] = 0;
    if ((x.Cdb[2] & 0x3F) == 0x30) a.assign(128, 0);
    return x.Reply(a);
  });
  ASSERT_TRUE(ReadCapabilities(*dev));
  EXPECT_EQ(GetDeviceCapability(*dev, 42), 1);
}

// GET CONFIGURATION answers: the header, then the asked-for descriptor when the drive has it.
void AnswerFeatures(TFakeDrive& d, uint16_t profile, std::map<uint16_t, uint8_t> features) {
  d.On(0x46, [profile, features](const scripted::TExchange& x) {
    std::vector<uint8_t> a(16, 0);
    const uint16_t asked = mmc::GetBE16(x.Cdb + 2);
    a[3] = 4;
    mmc::PutBE16(a.data() + 6, profile);
    auto it = features.find(asked);
    if (it != features.end()) {
      a[3] = 12;
      mmc::PutBE16(a.data() + 8, asked);
      a[11] = 4;
      a[12] = it->second;
    }
    return x.Reply(a);
  });
}

std::string FeatureFlags(TSCSIDevice& dev) {
  std::string s;
  for (int code : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 25, 26, 27, 28, 29, 30, 31, 32})
    s += char('0' + GetDeviceCapability(dev, static_cast<uint8_t>(code)));
  return s;
}

TEST_F(SelectionTest, FeatureProbesSetTheMediumFlags) {
  auto d = Drive(0, 0);
  AnswerFeatures(*d, 0x001A, {{0x2A, 1}, {0x3B, 0}, {0x2F, 2}, {0x40, 0}});
  scripted::InstallDrives({d});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  //                                 5 6 7 8 9 1011121314151 25262728293031 32
  EXPECT_EQ(FeatureFlags(*dev), "1111000111011100000");

  // DVD+RW read-only and no DVD-RW writing.
  AnswerFeatures(*d, 0x0010, {{0x2A, 0}, {0x2F, 1}, {0x41, 0}, {0x51, 0}});
  ASSERT_TRUE(ReadCapabilities(*dev));
  EXPECT_EQ(FeatureFlags(*dev), "0110000000000001111");
  EXPECT_EQ(GetDeviceCapability(*dev, 6), GetDeviceCapability(*dev, 7));

  // Without a medium (profile 0) only the descriptors returned count, not the bare header.
  AnswerFeatures(*d, 0x0000, {{0x40, 0}});
  ASSERT_TRUE(ReadCapabilities(*dev));
  EXPECT_EQ(FeatureFlags(*dev), "0000000111000000000");
  // Garbage behind a header that announces no descriptor is not taken for one.
  d->Reply(0x46, devtest::Bytes({0, 0, 0, 4, 0, 0, 0, 0, 0x00, 0x2A, 0, 4, 1}));
  ASSERT_TRUE(ReadCapabilities(*dev));
  EXPECT_EQ(GetDeviceCapability(*dev, 26), 0);

  // A drive that refuses GET CONFIGURATION has none of them.
  d->Fail(0x46);
  ASSERT_TRUE(ReadCapabilities(*dev));
  EXPECT_EQ(FeatureFlags(*dev), "0000000000000000000");
}

TEST_F(SelectionTest, CommandLogCodesOpenAndClose) {
  auto d = Drive(0, 0);
  scripted::InstallDrives({d});
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  EXPECT_EQ(GetDeviceCapability(*dev, 73), 0);  // nothing open
  EXPECT_EQ(GetDeviceCapability(*dev, 72), 1);
  ASSERT_TRUE(SelectDevice(*dev, 0));
  EXPECT_EQ(GetDeviceCapability(*dev, 73), 1);
  const std::string text = testenv::ReadText(plat::SettingsFolder() + "/qvxp.elg");
  EXPECT_EQ(text.rfind("Ardovan burning library 1.21 RC2 (2008-10-20)\r\n", 0), 0u);
  EXPECT_NE(text.find(" INQUIRY" + std::string(16, ' ') +
                      "(12) {48:06} - 0:0:0 <01> [00040] 00 00 00 40 00 "),
            std::string::npos);
  // Eleven commands of the selection, one line each, plus the header.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12);
}

}  // namespace
