// The drive list of the reading library: order, identification, addresses, model flags.
#include "reader/rdDevices.h"

#include <gtest/gtest.h>

#include "tests/reader/DiscDrive.h"

using rdtest::TDiscDrive;

namespace {

class DeviceListTest : public testing::Test {
 protected:
  void TearDown() override { scripted::RemoveDrives(); }
};

TEST_F(DeviceListTest, ListFollowsTheBurnersOrderAndReachesEveryDrive) {
  auto d = std::make_shared<TDiscDrive>("DVD-RW DVR-103", "PIONEX");  // no address
  auto e = std::make_shared<TDiscDrive>("CRX175E");                   // port 1
  auto f = std::make_shared<TDiscDrive>();                            // no address
  e->SetAddress(1, 4, 0);
  d->Load(std::vector<uint8_t>(2048 * 3, 0xD1));
  f->Load(std::vector<uint8_t>(2048 * 3, 0xF1));
  scripted::InstallDrives({d, e, f});

  rd::TDevices list;
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(3), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);
  // Addressed drives first, then those without an address, each by letter.
  const rd::TCDBurnerInfo& first = list.Items(0)->Info();
  const rd::TCDBurnerInfo& second = list.Items(1)->Info();
  const rd::TCDBurnerInfo& third = list.Items(2)->Info();
  EXPECT_EQ(std::string() + first.Letter + second.Letter + third.Letter, "EDF");
  EXPECT_EQ(first.Index, 0);
  EXPECT_EQ(third.Index, 2);

  EXPECT_EQ((std::vector<int>{first.HostAdapter, first.Target, first.Lun}),
            (std::vector<int>{1, 4, 0}));
  EXPECT_EQ(first.Address, 0x01040500u);  // 1 << 24, 4 << 16, ('E' & 31) << 8
  // Without an address a drive is reached on the transport's extra adapter (2 here).
  EXPECT_EQ((std::vector<int>{second.HostAdapter, second.Target, second.Lun}),
            (std::vector<int>{2, 0, 0}));
  EXPECT_EQ((std::vector<int>{third.HostAdapter, third.Target, third.Lun}),
            (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(third.Address, 0x02010600u);

  EXPECT_EQ(second.Vendor, "PIONEX");
  EXPECT_EQ(second.Product, "DVD-RW DVR-103");
  EXPECT_EQ(second.Name, "PIONEX DVD-RW DVR-103");
  EXPECT_EQ(second.Revision, "1.02");
  EXPECT_EQ(second.VendorSpecific.substr(0, 13), "VS-2026-11-30");
  EXPECT_EQ(second.Handle, plat::kInvalidDriveHandle);

  // Each device reads its own disc.
  std::vector<uint8_t> block(2048);
  ASSERT_TRUE(list.Items(1)->Reader().ReadBlocks(2, 1, 2048, block.data()));
  EXPECT_EQ(block[0], 0xD1);
  ASSERT_TRUE(list.Items(2)->Reader().ReadBlocks(2, 1, 2048, block.data()));
  EXPECT_EQ(block[0], 0xF1);

  EXPECT_EQ((std::vector<bool>{list.Items(0)->ModelFlag(0), list.Items(0)->ModelFlag(1),
                               list.Items(0)->ModelFlag(2), list.Items(0)->ModelFlag(3)}),
            (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ((std::vector<bool>{list.Items(1)->ModelFlag(0), list.Items(1)->ModelFlag(1),
                               list.Items(1)->ModelFlag(2), list.Items(1)->ModelFlag(3)}),
            (std::vector<bool>{false, false, true, true}));
}

TEST_F(DeviceListTest, DrivesSharingOneAddressEachReadTheirOwnDisc) {
  auto d = std::make_shared<TDiscDrive>();
  auto e = std::make_shared<TDiscDrive>();
  d->SetAddress(1, 0, 0);
  e->SetAddress(1, 0, 0);
  d->Load(std::vector<uint8_t>(2048, 0xD0));
  e->Load(std::vector<uint8_t>(2048, 0xE0));
  scripted::InstallDrives({d, e});
  rd::TDevices list;
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1)->Info().Letter, 'E');
  EXPECT_EQ(list.Items(1)->Info().HostAdapter, 2);
  std::vector<uint8_t> block(2048);
  ASSERT_TRUE(list.Items(0)->Reader().ReadBlocks(0, 1, 2048, block.data()));
  EXPECT_EQ(block[0], 0xD0);
  ASSERT_TRUE(list.Items(1)->Reader().ReadBlocks(0, 1, 2048, block.data()));
  EXPECT_EQ(block[0], 0xE0);
}

TEST_F(DeviceListTest, NewDeviceAsksForMaximumSpeedsAndNamesItsMedium) {
  auto d = std::make_shared<TDiscDrive>();
  d->Load(std::vector<uint8_t>(2048, 0), 0x001B);
  scripted::InstallDrives({d});
  rd::TDevices list;
  ASSERT_EQ(list.Count(), 1);
  auto speed = d->Cdbs(0xBB);
  ASSERT_EQ(speed.size(), 1u);
  EXPECT_EQ(speed[0], (std::vector<uint8_t>{0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  auto config = d->Cdbs(0x46);
  ASSERT_EQ(config.size(), 1u);
  EXPECT_EQ(config[0], (std::vector<uint8_t>{0x46, 0x02, 0, 0, 0, 0, 0, 0, 114, 0}));

  rd::TDevice& dev = *list.Items(0);
  EXPECT_EQ(dev.DiscInfo().ProfileText(), "DVD+R");
  EXPECT_EQ(dev.DiscInfo().ProfileCode(), 16);
  EXPECT_EQ(dev.DeviceInfo().DeviceTypeName(), "CD-ROM Drive");

  // A profile the library has no name for keeps the last name; no medium is "NONE".
  d->Load(std::vector<uint8_t>(2048, 0), 0x0041);
  ASSERT_TRUE(dev.DiscInfo().Refresh());
  EXPECT_EQ(dev.DiscInfo().CurrentProfile(), 0x41);
  EXPECT_EQ(dev.DiscInfo().ProfileIdentifier(), "pdfDVD+R");
  d->Eject();
  ASSERT_TRUE(dev.DiscInfo().Refresh());
  EXPECT_EQ(dev.DiscInfo().ProfileIdentifier(), "pdtNoCurrentProfile");
  EXPECT_EQ(dev.DiscInfo().ProfileText(), "NONE");
}

}  // namespace
