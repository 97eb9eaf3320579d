// Command execution over the pass-through: translation of the request block, sense and status,
// handle life, refusals, busy and sense bookkeeping, the write-address quirk and the log line.
#include <regex>

#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::Bytes;
using devtest::Cdb;
using devtest::TFakeDrive;

namespace {

SRB_ExecSCSICmd Block(uint8_t flags, uint8_t cdbLen, std::initializer_list<int> cdb,
                      uint8_t* buf = nullptr, uint32_t len = 0) {
  SRB_ExecSCSICmd srb;
  std::memset(&srb, 0, sizeof srb);
  srb.SRB_Flags = flags;
  srb.SRB_CDBLen = cdbLen;
  srb.SRB_BufPointer = buf;
  srb.SRB_BufLen = len;
  int i = 0;
  for (int b : cdb) srb.CDBByte[i++] = static_cast<uint8_t>(b);
  return srb;
}

class ExecuteTest : public devtest::FakeDriveTest {};

TEST_F(ExecuteTest, NoDataRequestTravelsWithoutDirectionAndLength) {
  auto d = SelectOne();
  uint8_t buf[16] = {};
  auto srb = Block(0x40, 6, {0x00}, buf, 0);
  EXPECT_EQ(ExecuteCommand(*dev, srb), 1);
  auto seen = d->Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Direction, plat::kScsiDataUnspecified);
  EXPECT_EQ(seen[0].DataLength, 0u);
  EXPECT_EQ(seen[0].Cdb, Cdb(6, {0x00}));
  EXPECT_EQ(srb.SRB_Status, 1);
  EXPECT_EQ(srb.SRB_Cmd, 2);
  EXPECT_EQ(srb.SRB_SenseLen, 24);
  EXPECT_EQ(srb.SRB_HaId, 1);
}

TEST_F(ExecuteTest, CheckConditionCopiesTwentyFourSenseBytes) {
  auto d = SelectOne();
  d->On(0x00, [](const scripted::TExchange& x) {
    std::memset(x.Sense, 0xEE, x.SenseLength);
    x.Sense[12] = 0x3A;
    x.Sense[13] = 0x01;
    return uint8_t{2};
  });
  auto srb = Block(0x40, 6, {0x00});
  EXPECT_EQ(ExecuteCommand(*dev, srb), 4);
  EXPECT_EQ(srb.SRB_TargStat, 2);
  for (int i = 0; i < 24; ++i)
    if (i != 12 && i != 13) {
      EXPECT_EQ(srb.SenseArea[i], 0xEE) << i;
    }
  for (int i = 24; i < 32; ++i) EXPECT_EQ(srb.SenseArea[i], 0) << i;
  EXPECT_EQ(dev->LastSense[12], 0x3A);
  EXPECT_EQ(dev->LastAscAscq, 0x3A01);
  EXPECT_EQ(dev->Busy, 0);
}

TEST_F(ExecuteTest, HandleIsKeptOrClosedAfterEveryCommand) {
  auto d = SelectOne();
  auto srb = Block(0x40, 6, {0x00});
  ExecuteCommand(*dev, srb);
  const plat::TDriveHandle kept = dev->Handle;
  EXPECT_NE(kept, plat::kInvalidDriveHandle);
  ExecuteCommand(*dev, srb);
  EXPECT_EQ(dev->Handle, kept);

  // Closing after every command: each one opens the volume anew.
  dev->CloseAfterCommand = 1;
  ExecuteCommand(*dev, srb);
  EXPECT_EQ(dev->Handle, plat::kInvalidDriveHandle);
  ExecuteCommand(*dev, srb);
  EXPECT_EQ(dev->Handle, plat::kInvalidDriveHandle);
  EXPECT_EQ(d->Seen().size(), 4u);

  // A new selection closes the kept handle.
  dev->CloseAfterCommand = 0;
  ExecuteCommand(*dev, srb);
  EXPECT_NE(dev->Handle, plat::kInvalidDriveHandle);
  SelectDevice(*dev, 0);
  EXPECT_NE(dev->Handle, kept);
}

TEST_F(ExecuteTest, RefusedBeforeDiscoveryAndWithoutSelection) {
  auto d = std::make_shared<TFakeDrive>();
  d->SetAddress(0, 0, 0);
  scripted::InstallDrives({d});
  ResetDevice(*dev);
  auto srb = Block(0x40, 6, {0x00});
  EXPECT_EQ(ExecuteCommand(*dev, srb), 4);
  EXPECT_EQ(srb.SRB_Status, 4);

  const std::string log = testenv::MakeTempDir("log") + "/cmd.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", log));
  const std::string afterDiscovery = testenv::ReadText(log);
  srb = Block(0x40, 6, {0x00});
  EXPECT_EQ(ExecuteCommand(*dev, srb), 4);
  EXPECT_FALSE(SelectDevice(*dev, 1));  // beyond the list: nothing selected
  EXPECT_EQ(ExecuteCommand(*dev, srb), 4);
  EXPECT_TRUE(d->Seen(0x00).empty());
  EXPECT_EQ(testenv::ReadText(log), afterDiscovery);
}

TEST_F(ExecuteTest, BusyAndLastAscAscqFollowTheCommands) {
  auto d = SelectOne();
  d->On(0x00, [](const scripted::TExchange&) { return uint8_t{8}; });
  EXPECT_FALSE(TestUnitReady(*dev));
  EXPECT_EQ(dev->Busy, 1);

  d->Fail(0x00, 2, 0x04, 0x01);
  EXPECT_FALSE(TestUnitReady(*dev));
  EXPECT_EQ(dev->Busy, 0);
  EXPECT_EQ(dev->LastAscAscq, 0x0401);

  // A success (ASC 0) keeps the code of the last failure; the sense itself is the new one.
  d->On(0x00, nullptr);
  EXPECT_TRUE(TestUnitReady(*dev));
  EXPECT_EQ(dev->LastAscAscq, 0x0401);
  EXPECT_EQ(dev->LastSense[12], 0);
}

TEST_F(ExecuteTest, ClearWriteLbaHighZeroesTheUpperAddressOfWrites) {
  auto d = SelectOne();
  uint8_t block[2048] = {};
  dev->WriteStats.Speed = 1;  // no capability refresh in between
  ASSERT_TRUE(Write10(*dev, static_cast<uint32_t>(-150), 1, sizeof block, block));
  EXPECT_EQ(d->Seen(0x2A).back().Cdb, Cdb(10, {0x2A, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0, 1}));

  EXPECT_EQ(GetDeviceCapability(*dev, 77), 0);
  ASSERT_TRUE(Write10(*dev, static_cast<uint32_t>(-150), 1, sizeof block, block));
  EXPECT_EQ(d->Seen(0x2A).back().Cdb, Cdb(10, {0x2A, 0, 0x00, 0x00, 0xFF, 0x6A, 0, 0, 1}));
  // Reads are left alone.
  dev->ReadStats.Speed = 1;
  Read10(*dev, static_cast<uint32_t>(-150), 1, block);
  EXPECT_EQ(d->Seen(0x28).back().Cdb, Cdb(10, {0x28, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0, 1}));
}

// ---- The log line ----

class LogLineTest : public testing::Test {
 protected:
  void SetUp() override {
    dev = std::make_unique<TSCSIDevice>();
    ResetDevice(*dev);
    InitCommandNames(*dev);
  }
  std::unique_ptr<TSCSIDevice> dev;
  plat::TSystemTime at{2026, 12, 2, 8, 10, 12, 34, 56};
};

TEST_F(LogLineTest, CommandNamesAreTwentyTwoCharacters) {
  int named = 0;
  for (int op = 0; op < 256; ++op) {
    const size_t n = std::strlen(dev->CommandNames[op]);
    EXPECT_TRUE(n == 0 || n == 22) << op;
    named += n == 22;
  }
  EXPECT_EQ(named, 51);
  EXPECT_STREQ(dev->CommandNames[0x4A], "GET EVENT/STATUS NOTIF");
  EXPECT_STREQ(dev->CommandNames[0x23], "READ FORMAT CAPACITIES");
  EXPECT_STREQ(dev->CommandNames[0x2A], "WRITE (10)            ");
  EXPECT_STREQ(dev->CommandNames[0xAB], "");
}

TEST_F(LogLineTest, ReadWithDataOverPassThrough) {
  alignas(4) uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  auto srb = Block(0x48, 10, {0x5A, 0x00, 0xAA, 0, 0, 0, 0, 0x00, 0x04, 0}, data, 4);
  srb.SRB_HaId = 1;
  srb.SRB_Status = 1;
  dev->SptiInUse = 1;
  dev->LastSystemError = 0;
  EXPECT_EQ(FormatCommandLogLine(*dev, srb, at),
            "12:34:056 MODE SENSE (10)        (5A) {48:0A} - 1:0:0 <01> [00004] "
            "00 AA 00 00 00 00 00 04 00 00 00 00 00 00 00 | DE AD BE EF 00:00, 0\r\n");
}

TEST_F(LogLineTest, UnnamedOpcodeAndEmptyBufferOverAspi) {
  auto srb = Block(0x40, 12, {0xAB, 0x01});
  srb.SRB_HaId = 0x0C;
  srb.SRB_Target = 2;
  srb.SRB_Lun = 1;
  srb.SRB_Status = 4;
  srb.SenseArea[12] = 0x24;
  dev->SptiInUse = 0;
  EXPECT_EQ(FormatCommandLogLine(*dev, srb, at),
            "12:34:056  (AB) {40:0C} - C:2:1 <04> [00000] "
            "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 | 24:00\r\n");
}

TEST_F(LogLineTest, DumpStopsAtOneHundredBytesAndMarksMisalignedBuffers) {
  alignas(4) uint8_t data[260];
  for (int i = 0; i < 260; ++i) data[i] = static_cast<uint8_t>(i);
  auto srb = Block(0x48, 10, {0x28}, data + 1, 0x10000);
  srb.SRB_Status = 1;
  dev->SptiInUse = 1;
  dev->LastSystemError = 22;
  const std::string line = FormatCommandLogLine(*dev, srb, at);
  EXPECT_EQ(line.rfind("- NAL -> ", 0), 0u);
  const size_t bar = line.find("| ");
  ASSERT_NE(bar, std::string::npos);
  const std::string dump = line.substr(bar + 2);
  EXPECT_EQ(dump.substr(0, 12), "01 02 03 04 ");
  EXPECT_EQ(dump.size(), 100 * 3 + std::string("00:00, 22\r\n").size());
  EXPECT_EQ(dump.substr(297), "64 00:00, 22\r\n");
  EXPECT_NE(line.find("[10000] "), std::string::npos);
}

}  // namespace
