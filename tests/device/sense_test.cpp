// Sense data as users read it: the key's name, then what the ASC/ASCQ pair means.
#include <gtest/gtest.h>

#include "device/qvpSense.h"

namespace {

using qvp::TSense;

TEST(SenseTextTest, CommonCodesAreDescribedAndAMediumErrorIsNoHardwareError) {
  EXPECT_EQ(qvp::FormatSense(TSense{0x03, 0x0C, 0x00}), "3/0C/00 medium error: write error");
  EXPECT_EQ(qvp::FormatSense(TSense{0x04, 0x44, 0x00}),
            "4/44/00 hardware error: internal drive failure");
  EXPECT_EQ(qvp::FormatSense(TSense{0x02, 0x3A, 0x02}),
            "2/3A/02 not ready: medium not present, tray open");
  EXPECT_EQ(qvp::FormatSense(TSense{0x02, 0x3A, 0x00}), "2/3A/00 not ready: medium not present");
  EXPECT_EQ(qvp::FormatSense(TSense{0x02, 0x04, 0x01}), "2/04/01 not ready: becoming ready");
  EXPECT_EQ(qvp::FormatSense(TSense{0x06, 0x28, 0x00}),
            "6/28/00 unit attention: medium may have changed");
  EXPECT_EQ(qvp::FormatSense(TSense{0x06, 0x29, 0x03}),
            "6/29/03 unit attention: power on or reset occurred");
  // A pair outside the table, and sense without ASC, say what the key says.
  EXPECT_EQ(qvp::FormatSense(TSense{0x03, 0xEE, 0x01}), "3/EE/01 medium error");
  EXPECT_EQ(qvp::FormatSense(TSense{0x04, 0x00, 0x00}), "4/00/00 hardware error");
  EXPECT_EQ(qvp::DescribeSense(TSense{0x05, 0x21, 0x02}), "invalid address for write");
  EXPECT_EQ(TSense::FromPacked(TSense{0x05, 0x30, 0x05}.Packed()), (TSense{0x05, 0x30, 0x05}));
  EXPECT_EQ((TSense{0x05, 0x30, 0x05}.Code()), 12293);
}

}  // namespace
