// Fixed texts, number forms and time stamps the windows show.
#include <gtest/gtest.h>

#include "app/Formats.h"
#include "app/Texts.h"
#include "tests/app/AppTestEnv.h"

namespace {

const QString kNbsp = QString(QChar(0x00A0));

TEST(TextsTest, StatusNamesKeepTheirBlanksAndEndAtEleven) {
  EXPECT_EQ(app::StatusName(0), QStringLiteral("Dosavadní nečinnost..."));
  EXPECT_EQ(app::StatusName(3), QStringLiteral(" BACKGROUND FORMAT "));
  EXPECT_EQ(app::StatusName(7), QStringLiteral("Probíhá storno..."));
  EXPECT_EQ(app::StatusName(9), QStringLiteral("Chyba vypalování: Provede se storno..."));
  EXPECT_EQ(app::StatusName(11), QStringLiteral(" GEN. SM. REF "));
  EXPECT_TRUE(app::StatusName(12).isEmpty());
  EXPECT_TRUE(app::StatusName(0xFFFF).isEmpty());
}

TEST(TextsTest, MediumTypeNamesCoverEveryCodeTheEngineReports) {
  EXPECT_EQ(app::MediumTypeName(0), QStringLiteral("mtUNKNOWN"));
  EXPECT_EQ(app::MediumTypeName(2), QStringLiteral("mtCDR"));
  EXPECT_EQ(app::MediumTypeName(12), QStringLiteral("mtDVDPLUSRDL"));
  EXPECT_EQ(app::MediumTypeName(16), QStringLiteral("mtBDRE"));
  // 17 to 19 keep their historical texts; 20 to 22 are named after their own rows.
  EXPECT_EQ(app::MediumTypeName(17), QStringLiteral("mtDDCDROM"));
  EXPECT_EQ(app::MediumTypeName(19), QStringLiteral("mtDDCDRW"));
  EXPECT_EQ(app::MediumTypeName(20), QStringLiteral("mtDDCDROM"));
  EXPECT_EQ(app::MediumTypeName(21), QStringLiteral("mtDDCDR"));
  EXPECT_EQ(app::MediumTypeName(22), QStringLiteral("mtDDCDRW"));
  EXPECT_EQ(app::MediumTypeName(200), QStringLiteral("mtUNKNOWN"));
}

TEST(TextsTest, YesOnlyForOneAndSpeedUnitsByMediumFamily) {
  EXPECT_EQ(app::YesNoText(1), QStringLiteral("Ano"));
  EXPECT_EQ(app::YesNoText(0), QStringLiteral("Ne"));
  EXPECT_EQ(app::YesNoText(2), QStringLiteral("Ne"));
  EXPECT_EQ(app::YesNoText(255), QStringLiteral("Ne"));
  EXPECT_DOUBLE_EQ(app::SpeedUnit(3), 176.46);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(4), 1385.0);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(12), 1385.0);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(13), 4495.5);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(19), 4495.5);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(20), 176.46);
  EXPECT_DOUBLE_EQ(app::SpeedUnit(0), 176.46);
}

TEST(FormatsTest, RoundingSendsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(app::RoundHalfEven(2.5), 2);
  EXPECT_EQ(app::RoundHalfEven(3.5), 4);
  EXPECT_EQ(app::RoundHalfEven(0.5), 0);
  EXPECT_EQ(app::RoundHalfEven(2.4999), 2);
  EXPECT_EQ(app::RoundHalfEven(2.5001), 3);
  EXPECT_EQ(app::RoundHalfEven(7058.4), 7058);  // 40 x 176.46
  EXPECT_EQ(app::RoundHalfEven(39.99), 40);
}

TEST(FormatsTest, CzechNumbersUseCommaAndNoBreakSpaceGroups) {
  apptest::TCzechLocale cs;
  EXPECT_EQ(app::FormatGrouped(359847 / 512.0, 2), QStringLiteral("702,83"));
  EXPECT_EQ(app::FormatGrouped(1234567.891, 2), QStringLiteral("1") + kNbsp + "234" + kNbsp + "567,89");
  EXPECT_EQ(app::FormatPlain(1234.5, 2), QStringLiteral("1234,50"));
  EXPECT_EQ(app::SpeedText(7056), QStringLiteral(" 7") + kNbsp + QStringLiteral("056 KB/s"));
  EXPECT_EQ(app::SpeedText(0), QStringLiteral(" 0 KB/s"));
  EXPECT_EQ(app::SectorsToMB(332800), QStringLiteral("650,00"));
}

TEST(FormatsTest, PlainLocaleNumbers) {
  QLocale saved;
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(app::FormatGrouped(1234567.891, 2), QStringLiteral("1,234,567.89"));
  EXPECT_EQ(app::SectorsToMB(512), QStringLiteral("1.00"));
  QLocale::setDefault(saved);
}

TEST(FormatsTest, LogTimesArePaddedAndFolderGetsOneSlash) {
  plat::TSystemTime t;
  t.Hour = 7;
  t.Minute = 5;
  t.Second = 9;
  t.Milliseconds = 42;
  EXPECT_EQ(app::LogTime(t), QStringLiteral("07:05:09.042"));
  EXPECT_EQ(app::ShortLogTime(t), QStringLiteral("05:09:042"));
  t.Hour = 23;
  t.Milliseconds = 999;
  EXPECT_EQ(app::LogTime(t), QStringLiteral("23:05:09.999"));
  EXPECT_EQ(app::EnsureTrailingSlash(QStringLiteral("/tmp/x")), QStringLiteral("/tmp/x/"));
  EXPECT_EQ(app::EnsureTrailingSlash(QStringLiteral("/tmp/x/")), QStringLiteral("/tmp/x/"));
}

}  // namespace
