// The fixed texts and the number, size and time forms, with the C locale's separators and the
// Czech ones (decimal comma, no-break space between thousands).
#include "frontend/Formats.h"

#include <gtest/gtest.h>

#include "frontend/Texts.h"

namespace fe {
namespace {

const TNumberSeparators kCzech{",", "\xC2\xA0"};
const TNumberSeparators kC{".", ""};

TEST(TextsTest, StatusAndMediumNamesKeepTheirBlanksAndRanges) {
  EXPECT_EQ(StatusName(0), "Dosavadní nečinnost...");
  EXPECT_EQ(StatusName(3), " BACKGROUND FORMAT ");
  EXPECT_EQ(StatusName(9), "Chyba vypalování: Provede se storno...");
  EXPECT_EQ(StatusName(11), " GEN. SM. REF ");
  EXPECT_EQ(StatusName(12), "");
  EXPECT_EQ(StatusName(0xFFFF), "");
  EXPECT_EQ(MediumTypeName(0), "mtUNKNOWN");
  EXPECT_EQ(MediumTypeName(12), "mtDVDPLUSRDL");
  // 17 to 19 keep their historical texts; 20 to 22 are named after their own rows.
  EXPECT_EQ(MediumTypeName(19), "mtDDCDRW");
  EXPECT_EQ(MediumTypeName(20), "mtDDCDROM");
  EXPECT_EQ(MediumTypeName(22), "mtDDCDRW");
  EXPECT_EQ(MediumTypeName(23), "mtUNKNOWN");
  EXPECT_EQ(YesNoText(1), "Ano");
  EXPECT_EQ(YesNoText(2), "Ne");
  EXPECT_EQ(YesNoText(0), "Ne");
  EXPECT_DOUBLE_EQ(SpeedUnit(3), 176.46);
  EXPECT_DOUBLE_EQ(SpeedUnit(4), 1385.0);
  EXPECT_DOUBLE_EQ(SpeedUnit(12), 1385.0);
  EXPECT_DOUBLE_EQ(SpeedUnit(13), 4495.5);
  EXPECT_DOUBLE_EQ(SpeedUnit(19), 4495.5);
  EXPECT_DOUBLE_EQ(SpeedUnit(20), 176.46);
}

TEST(FormatsTest, NumberForms) {
  EXPECT_EQ(FormatGrouped(359847 / 512.0, 2, kCzech), "702,83");
  EXPECT_EQ(FormatGrouped(1234567.891, 2, kCzech),
            "1\xC2\xA0"
            "234\xC2\xA0"
            "567,89");
  EXPECT_EQ(FormatGrouped(999.995, 2, kCzech),
            "1\xC2\xA0"
            "000,00");
  EXPECT_EQ(FormatGrouped(-1234.5, 2, kCzech),
            "-1\xC2\xA0"
            "234,50");
  EXPECT_EQ(FormatGrouped(-0.001, 2, kCzech), "0,00");
  EXPECT_EQ(FormatPlain(1234.5, 2, kCzech), "1234,50");
  EXPECT_EQ(FormatGrouped(1234.5, 2, kC), "1234.50");
  EXPECT_EQ(SpeedText(7056, kCzech),
            " 7\xC2\xA0"
            "056 KB/s");
  EXPECT_EQ(SpeedText(0, kCzech), " 0 KB/s");
  EXPECT_EQ(SectorsToMB(332800, kCzech), "650,00");
  EXPECT_EQ(BlocksToMB(359847, kCzech), "702,83");
}

TEST(FormatsTest, SizeFormsKeepTheirSixtyFourBits) {
  EXPECT_EQ(FormatSize(0, kC), "0.00 B");
  EXPECT_EQ(FormatSize(1, kC), "1.00 KB");
  EXPECT_EQ(FormatSize(999, kC), "999.00 KB");
  // From 1000 of a unit on, the next unit: below one of it.
  EXPECT_EQ(FormatSize(1000, kCzech), "0,98 MB");
  EXPECT_EQ(FormatSize(1023, kC), "1.00 MB");
  EXPECT_EQ(FormatSize(1536, kCzech), "1,50 MB");
  EXPECT_EQ(FormatSize(718848, kCzech), "702,00 MB");
  EXPECT_EQ(FormatSize(4608000, kC), "4.39 GB");
  EXPECT_EQ(FormatSize(uint64_t{5} << 40, kC), "5.00 PB");
  EXPECT_EQ(FormatSize(uint64_t{8} << 50, kC), "8.00 EB");
  // Past exabytes, and a KB count whose bytes do not fit 64 bits: no wrap to a small size.
  EXPECT_EQ(FormatSize(uint64_t{1000} << 50, kC), "too large");
  EXPECT_EQ(FormatSize(UINT64_MAX, kC), "too large");
  EXPECT_EQ(FormatSize(uint64_t{1} << 54, kC), "16.00 EB");
}

TEST(FormatsTest, RoundingTimesAndFolders) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(7058.4), 7058);  // 40 x 176.46
  EXPECT_EQ(RoundHalfEven(39.99), 40);
  EXPECT_EQ(LogTime(plat::TSystemTime{2024, 1, 1, 1, 7, 5, 9, 42}), "07:05:09.042");
  EXPECT_EQ(LogTime(plat::TSystemTime{2024, 1, 1, 1, 23, 5, 9, 999}), "23:05:09.999");
  EXPECT_EQ(ShortLogTime(plat::TSystemTime{2024, 1, 1, 1, 7, 5, 9, 42}), "05:09:042");
  EXPECT_EQ(EnsureTrailingSlash("/tmp/x"), "/tmp/x/");
  EXPECT_EQ(EnsureTrailingSlash("/tmp/x/"), "/tmp/x/");
}

}  // namespace
}  // namespace fe
