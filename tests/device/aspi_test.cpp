// Discovery and commands through ASPI libraries: the misbehaving test libraries, our own
// libwnaspi32 over the drive namespace, and the ASPI-compatible layer it is built on.
#include "platform/AspiLayer.h"
#include "platform/DynLib.h"
#include "platform/Threads.h"
#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::Cdb;
using devtest::TFakeDrive;

namespace {

class AspiTest : public devtest::FakeDriveTest {};

TEST_F(AspiTest, LibrariesWithoutEntryPointOrSupportFailDiscovery) {
  scripted::InstallDrives({});
  EXPECT_FALSE(InitializeDevices(*dev, 1, ASPI_NO_SEND_PATH, ""));
  EXPECT_FALSE(InitializeDevices(*dev, 1, ASPI_NO_SUPPORT_PATH, ""));
  EXPECT_EQ(dev->Initialized, 0);
  EXPECT_FALSE(InitializeDevices(*dev, 1, "/nonexistent/libwnaspi32.so", ""));
}

TEST_F(AspiTest, ZeroAdaptersAreScannedAsSevenAndSynchronousAnswersAreNotAwaited) {
  scripted::InstallDrives({});
  ASSERT_TRUE(InitializeDevices(*dev, 1, ASPI_ZERO_ADAPTERS_PATH, ""));
  plat::TLibrary lib;
  ASSERT_TRUE(lib.Load(ASPI_ZERO_ADAPTERS_PATH));
  auto count = reinterpret_cast<int (*)(int)>(lib.Symbol("AspiDoubleInquiries"));
  ASSERT_NE(count, nullptr);
  for (int a = 0; a < 7; ++a) EXPECT_EQ(count(a), 8 * 7) << a;
  EXPECT_EQ(count(7), 0);

  // The one drive: no letter by address (nothing in the namespace), the letter of the disk
  // information instead; control characters blanked.
  ASSERT_EQ(GetDeviceCount(*dev), 1);
  EXPECT_EQ(GetDeviceName(*dev, 0), "2:3:0,G: DOUBLE   ASPI Test Dr ve  2.00 ");
  EXPECT_EQ(dev->SptiInUse, 0);
  ASSERT_TRUE(SelectDevice(*dev, 0));  // completes synchronously: returns without a wait
  EXPECT_STREQ(dev->Vendor, "DOUBLE  ");
}

TEST_F(AspiTest, ListHoldsTwentySixDrivesWhateverTheLibraryAnswers) {
  scripted::InstallDrives({});
  ASSERT_TRUE(InitializeDevices(*dev, 1, ASPI_EVERY_ADDRESS_PATH, ""));
  ASSERT_EQ(GetDeviceCount(*dev), 26);
  EXPECT_EQ(GetDeviceName(*dev, 0).substr(0, 8), "0:0:0,?:");
  EXPECT_EQ(GetDeviceName(*dev, 25).substr(0, 8), "0:3:4,?:");
}

TEST_F(AspiTest, OwnLibraryFindsTheSameDrivesAsThePassThrough) {
  auto addressed = std::make_shared<TFakeDrive>("ARDOVAN", "Addressed", "1.0");
  addressed->SetAddress(2, 0, 0);
  auto plain = std::make_shared<TFakeDrive>("ARDOVAN", "Plain", "2.0");
  scripted::InstallDrives({addressed, plain});

  ASSERT_TRUE(InitializeDevices(*dev, 0, "", ""));
  std::vector<std::string> spti = {GetDeviceName(*dev, 0), GetDeviceName(*dev, 1)};
  EXPECT_EQ(spti, (std::vector<std::string>{"2:0:0,D: ARDOVAN  Addressed        1.0  ",
                                            "3:0:0,E: ARDOVAN  Plain            2.0  "}));

  const std::string log = testenv::MakeTempDir("log") + "/aspi.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 1, "", log));  // "WNASPI32.DLL" next to the program
  ASSERT_EQ(GetDeviceCount(*dev), 2);
  EXPECT_EQ(GetDeviceName(*dev, 0), spti[0]);
  EXPECT_EQ(GetDeviceName(*dev, 1), spti[1]);
  EXPECT_EQ(dev->SptiInUse, 0);

  // Commands now travel through the library and complete on its worker thread.
  plain->Forget();
  ASSERT_TRUE(SelectDevice(*dev, 1));
  EXPECT_STREQ(dev->Product, "Plain           ");
  EXPECT_FALSE(plain->Seen(0x12).empty());
  EXPECT_TRUE(addressed->Seen(0x00).empty());
  plain->Fail(0x00, 2, 0x3A, 0);
  EXPECT_FALSE(TestUnitReady(*dev));
  EXPECT_EQ(dev->LastAscAscq, 0x3A00);
  plain->On(0x00, [](const scripted::TExchange&) { return uint8_t{8}; });
  EXPECT_FALSE(TestUnitReady(*dev));
  EXPECT_EQ(dev->Busy, 1);

  // ASPI lines carry no system error.
  const std::string text = testenv::ReadText(log);
  const size_t tur = text.find("TEST UNIT READY");
  ASSERT_NE(tur, std::string::npos);
  EXPECT_EQ(text.substr(text.find("| ", tur), 9), "| 3A:00\r\n");
}

TEST_F(AspiTest, LayerTableAdaptersAndUnknownAddresses) {
  scripted::InstallDrives({});
  {
    plat::TAspiLayer empty;
    EXPECT_EQ(empty.SupportInfo(), 0xE800u);
  }
  auto a = std::make_shared<TFakeDrive>();
  a->SetAddress(1, 4, 0);
  auto b = std::make_shared<TFakeDrive>();
  auto c = std::make_shared<TFakeDrive>();
  scripted::InstallDrives({a, b, c});
  plat::TAspiLayerOptions options;
  options.AnswerInquiryFromTable = true;
  plat::TAspiLayer layer(options);
  EXPECT_EQ(layer.SupportInfo(), 0x0103u);  // adapters 0, 1 and the extra one (2)
  auto devices = layer.Devices();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].HostAdapter, 2);
  EXPECT_EQ(devices[1].Target, 0);
  EXPECT_EQ(devices[2].HostAdapter, 2);
  EXPECT_EQ(devices[2].Target, 1);
  EXPECT_EQ(devices[2].Lun, 0);

  plat::SRB_HAInquiry ha{};
  ha.SRB_HaId = 5;
  EXPECT_EQ(layer.Send(&ha), plat::SS_INVALID_HA);
  EXPECT_EQ(ha.HA_Count, 3);
  EXPECT_STREQ(ha.HA_Identifier, "SPTI");

  plat::SRB_GDEVBlock type{};
  type.SRB_Cmd = plat::SC_GET_DEV_TYPE;
  type.SRB_HaId = 2;
  type.SRB_Target = 1;
  EXPECT_EQ(layer.Send(&type), plat::SS_COMP);
  EXPECT_EQ(type.SRB_DeviceType, 5);
  type.SRB_Target = 2;
  EXPECT_EQ(layer.Send(&type), plat::SS_NO_DEVICE);
  EXPECT_EQ(type.SRB_DeviceType, 0x1F);

  plat::SRB_GetDiskInfo disk{};
  disk.SRB_Cmd = plat::SC_GET_DISK_INFO;
  disk.SRB_HaId = 1;
  disk.SRB_Target = 4;
  EXPECT_EQ(layer.Send(&disk), plat::SS_COMP);
  EXPECT_EQ(disk.SRB_DriveNumber, 3);  // D

  a->Forget();
  b->Forget();
  c->Forget();
  plat::SRB_ExecSCSICmd srb{};
  uint8_t data[64] = {};
  srb.SRB_Cmd = plat::SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = 7;
  srb.SRB_CDBLen = 6;
  EXPECT_EQ(layer.Send(&srb), plat::SS_NO_DEVICE);
  // INQUIRY is answered from the table; other commands reach the drive.
  srb.SRB_HaId = 1;
  srb.SRB_Target = 4;
  srb.SRB_Flags = plat::SRB_DIR_IN;
  srb.SRB_BufPointer = data;
  srb.SRB_BufLen = sizeof data;
  srb.CDBByte[0] = 0x12;
  srb.CDBByte[4] = 64;
  EXPECT_EQ(layer.Send(&srb), plat::SS_COMP);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 7), "ARDOVAN");
  EXPECT_TRUE(a->Seen().empty());
  a->Fail(0x00, 6, 0x28, 0);
  srb.CDBByte[0] = 0x00;
  srb.SRB_BufLen = 0;
  srb.SRB_SenseLen = 14;
  EXPECT_EQ(layer.Send(&srb), plat::SS_ERR);
  EXPECT_EQ(srb.SRB_TargStat, 2);
  EXPECT_EQ(srb.SenseArea[12], 0x28);
  EXPECT_EQ(a->Seen().size(), 1u);
  EXPECT_TRUE(b->Seen().empty() && c->Seen().empty());
}

TEST_F(AspiTest, AsynchronousLayerSignalsTheEvent) {
  auto a = std::make_shared<TFakeDrive>();
  a->SetAddress(0, 0, 0);
  scripted::InstallDrives({a});
  plat::TAspiLayerOptions options;
  options.Asynchronous = true;
  plat::TAspiLayer layer(options);
  for (int i = 0; i < 20; ++i) {
    plat::TEvent done;
    plat::SRB_ExecSCSICmd srb{};
    srb.SRB_Cmd = plat::SC_EXEC_SCSI_CMD;
    srb.SRB_Flags = plat::SRB_EVENT_NOTIFY;
    srb.SRB_PostProc = &done;
    srb.SRB_CDBLen = 6;
    EXPECT_EQ(layer.Send(&srb), plat::SS_PENDING);
    done.Wait();
    EXPECT_EQ(srb.SRB_Status, plat::SS_COMP);
  }
  EXPECT_EQ(a->Seen(0x00).size(), 20u);
}

}  // namespace
