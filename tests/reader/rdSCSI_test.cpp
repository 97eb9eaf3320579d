// The reading library's transport over the emulated adapters.
#include "reader/rdSCSI.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Aspi.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"
#include "tests/reader/DiscDrive.h"

using rdtest::TDiscDrive;

namespace {

class TransportTest : public testing::Test {
 protected:
  void TearDown() override { scripted::RemoveDrives(); }
};

TEST_F(TransportTest, DrivesWithoutAddressShareOneNewAdapterAfterTheRealOnes) {
  auto a = std::make_shared<TDiscDrive>();  // D: no address
  auto b = std::make_shared<TDiscDrive>();  // E: port 2
  auto c = std::make_shared<TDiscDrive>();  // F: no address
  b->SetAddress(2, 1, 0);
  scripted::InstallDrives({a, b, c});

  rd::TrdSCSI scsi;
  plat::TAspiDevice d, e, f;
  ASSERT_TRUE(scsi.FindLetter('D', d));
  ASSERT_TRUE(scsi.FindLetter('E', e));
  ASSERT_TRUE(scsi.FindLetter('F', f));
  EXPECT_EQ((std::vector<int>{d.HostAdapter, d.Target, d.Lun}), (std::vector<int>{3, 0, 0}));
  EXPECT_EQ((std::vector<int>{e.HostAdapter, e.Target, e.Lun}), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ((std::vector<int>{f.HostAdapter, f.Target, f.Lun}), (std::vector<int>{3, 1, 0}));
  EXPECT_EQ(scsi.GetSupportInfo(), 0x0104u);

  plat::SRB_HAInquiry ha{};
  ha.SRB_Cmd = plat::SC_HA_INQUIRY;
  EXPECT_EQ(scsi.SendCommand(&ha), 1u);
  EXPECT_EQ(ha.HA_Count, 4);
  EXPECT_EQ(ha.HA_SCSI_ID, 7);
  EXPECT_STREQ(std::string(ha.HA_ManagerId, 16).c_str(), "rdSCSI");
  EXPECT_STREQ(std::string(ha.HA_Identifier, 16).c_str(), "SPTI");
  ha.SRB_HaId = 4;
  EXPECT_EQ(scsi.SendCommand(&ha), 0x81u);

  // Device type and drive number answer for a known address only.
  plat::SRB_GDEVBlock type{};
  type.SRB_Cmd = plat::SC_GET_DEV_TYPE;
  type.SRB_HaId = 3;
  type.SRB_Target = 1;
  EXPECT_EQ(scsi.SendCommand(&type), 1u);
  EXPECT_EQ(type.SRB_DeviceType, 5);
  type.SRB_Target = 2;
  EXPECT_EQ(scsi.SendCommand(&type), 0x82u);
  EXPECT_EQ(type.SRB_DeviceType, 31);
  plat::SRB_GetDiskInfo disk{};
  disk.SRB_Cmd = plat::SC_GET_DISK_INFO;
  disk.SRB_HaId = 3;
  disk.SRB_Target = 1;
  EXPECT_EQ(scsi.SendCommand(&disk), 1u);
  EXPECT_EQ(disk.SRB_DriveNumber, 'F' - 'A');
}

TEST_F(TransportTest, UnknownAddressAnswersNoDeviceWithoutTouchingAnyDrive) {
  auto a = std::make_shared<TDiscDrive>();
  a->SetAddress(0, 0, 0);
  a->Load(std::vector<uint8_t>(2048, 0));
  scripted::InstallDrives({a});
  rd::TrdSCSI scsi;
  a->Forget();
  const uint8_t tur[6] = {0, 0, 0, 0, 0, 0};
  EXPECT_EQ(scsi.Execute(5, 0, 0, nullptr, 0, 6, tur, 0), 0x82);
  EXPECT_EQ(scsi.Execute(0, 3, 0, nullptr, 0, 6, tur, 0), 0x82);
  EXPECT_TRUE(a->Seen().empty());
  EXPECT_EQ(scsi.Execute(0, 0, 0, nullptr, 0, 6, tur, 0), 1);
  EXPECT_EQ(a->Seen().size(), 1u);
}

TEST_F(TransportTest, NoDriveGivesNoAdaptersSupportInformation) {
  scripted::InstallDrives({});
  {
    rd::TrdSCSI scsi;
    EXPECT_EQ(scsi.GetSupportInfo(), 0xE800u);
    EXPECT_TRUE(scsi.Layer().Devices().empty());
  }
  rd::TDevices list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Items(0), nullptr);
}

TEST_F(TransportTest, ExecuteFillsTheRequestAsTheReaderExpects) {
  auto a = std::make_shared<TDiscDrive>("CD-RW CRX800E", "OPTIWARE");
  a->SetAddress(1, 0, 2);
  scripted::InstallDrives({a});
  rd::TrdSCSI scsi;
  a->Forget();

  // INQUIRY comes from the table: 36 bytes, the drive is not asked again.
  uint8_t inq[64];
  std::memset(inq, 0xEE, sizeof inq);
  const uint8_t inquiry[6] = {0x12, 0, 0, 0, 64, 0};
  EXPECT_EQ(scsi.Execute(1, 0, sizeof inq, inq, plat::SRB_DIR_IN, 6, inquiry, 2), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inq + 8), 8), "OPTIWARE");
  EXPECT_EQ(inq[35], '2');
  EXPECT_EQ(inq[36], 0xEE);
  EXPECT_TRUE(a->Seen().empty());

  // The LUN goes into bits 7-5 of byte 1; a CDB starting with 0xFF is never sent.
  const uint8_t read[10] = {0x28, 0x1F, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t block[2048];
  EXPECT_EQ(scsi.Execute(1, 0, 0, block, plat::SRB_DIR_IN | plat::SRB_EVENT_NOTIFY, 10, read, 2),
            4);
  ASSERT_EQ(a->Seen().size(), 1u);
  EXPECT_EQ(a->Cdbs()[0][1], 0x5F);
  const uint8_t none[6] = {0xFF, 0, 0, 0, 0, 0};
  EXPECT_EQ(scsi.Execute(1, 0, 0, nullptr, 0, 6, none, 2), 1);
  EXPECT_EQ(a->Seen().size(), 1u);

  // CHECK CONDITION: status 4 with the sense (no medium: 2/3A/00).
  uint8_t sense[rd::kReaderSenseLength] = {};
  EXPECT_EQ(scsi.Execute(1, 0, 2048, block, plat::SRB_DIR_IN, 10, read, 2, sense), 4);
  EXPECT_EQ(sense[2], 2);
  EXPECT_EQ(sense[12], 0x3A);
}

}  // namespace
