// The windows show the shared core's numbers with the separators of the locale in effect.
#include <gtest/gtest.h>

#include "app/Formats.h"
#include "tests/app/AppTestEnv.h"

namespace {

const QString kNbsp = QString(QChar(0x00A0));

TEST(FormatsTest, CzechNumbersUseCommaAndNoBreakSpaceGroups) {
  apptest::TCzechLocale cs;
  EXPECT_EQ(app::Numbers().Decimal, ",");
  EXPECT_EQ(app::Numbers().Thousands, "\xC2\xA0");
  EXPECT_EQ(app::FormatGrouped(1234567.891, 2),
            QStringLiteral("1") + kNbsp + "234" + kNbsp + "567,89");
  EXPECT_EQ(app::FormatSize(1000), QStringLiteral("0,98 MB"));
}

TEST(FormatsTest, PlainLocaleNumbers) {
  QLocale saved;
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(app::FormatGrouped(1234567.891, 2), QStringLiteral("1,234,567.89"));
  EXPECT_EQ(app::FormatSize(1536), QStringLiteral("1.50 MB"));
  QLocale::setDefault(saved);
}

}  // namespace
