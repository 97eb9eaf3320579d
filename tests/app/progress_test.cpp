// The status line and the status log of the burn page.
#include <gtest/gtest.h>

#include "app/Progress.h"
#include "tests/app/AppTestEnv.h"

namespace {

TEST(ProgressLineTest, FormsByStatusAndDoneCount) {
  apptest::TCzechLocale cs;
  // Nothing written yet: just the sizes.
  EXPECT_EQ(app::ProgressLine(1, 332800, 0, 0), QStringLiteral("0,00/650,00 MB"));
  // Writing: percent and speed, both without grouping.
  EXPECT_EQ(app::ProgressLine(1, 332800, 83200, 1411), QStringLiteral("162,50/650,00 MB (25,00%) @ 1411,00 KB/s"));
  EXPECT_EQ(app::ProgressLine(4, 1000, 1000, 0), QStringLiteral("1,95/1,95 MB (100,00%) @ 0,00 KB/s"));
  // Smart references: no speed.
  EXPECT_EQ(app::ProgressLine(11, 400, 100, 999), QStringLiteral("0,20/0,78 MB (25,00%)"));
  // A done count without a total yet shows 0 % instead of dividing by nothing.
  EXPECT_EQ(app::ProgressLine(1, 0, 32, 5), QStringLiteral("0,06/0,00 MB (0,00%) @ 5,00 KB/s"));
}

TEST(ProgressLineTest, LargeImagesGroupTheMegabytes) {
  apptest::TCzechLocale cs;
  const QString nbsp(QChar(0x00A0));
  EXPECT_EQ(app::ProgressLine(1, 2295104, 2295104, 10560),
            QStringLiteral("4") + nbsp + "482,63/4" + nbsp + "482,63 MB (100,00%) @ 10560,00 KB/s");
}

TEST(StatusLogTest, LogsChangesOnlyAndAbortsWhenLeavingWriteError) {
  app::TStatusLog log;
  plat::TSystemTime t;
  t.Hour = 13;
  t.Minute = 2;
  t.Second = 3;
  t.Milliseconds = 4;
  EXPECT_TRUE(log.LastStatusText().isEmpty());

  auto r = log.Update(1, t);
  ASSERT_TRUE(r.Line.has_value());
  EXPECT_EQ(*r.Line, QStringLiteral("13:02:03.004 >>> Zapisuji data..."));
  EXPECT_FALSE(r.Abort);

  r = log.Update(1, t);  // unchanged: nothing logged
  EXPECT_FALSE(r.Line.has_value());
  EXPECT_FALSE(r.Abort);

  r = log.Update(9, t);
  ASSERT_TRUE(r.Line.has_value());
  EXPECT_EQ(*r.Line, QStringLiteral("13:02:03.004 >>> Chyba vypalování: Provede se storno..."));
  EXPECT_FALSE(r.Abort);
  EXPECT_FALSE(log.Update(9, t).Abort);  // staying in 9 asks nothing

  r = log.Update(7, t);  // leaving 9: logged first, then the abort is asked for
  ASSERT_TRUE(r.Line.has_value());
  EXPECT_EQ(*r.Line, QStringLiteral("13:02:03.004 >>> Probíhá storno..."));
  EXPECT_TRUE(r.Abort);
  EXPECT_EQ(log.LastStatusText(), QStringLiteral("Probíhá storno..."));

  // The last name survives between jobs: a new job starting in the same state logs nothing.
  r = log.Update(7, t);
  EXPECT_FALSE(r.Line.has_value());
  EXPECT_FALSE(r.Abort);
  r = log.Update(9, t);
  r = log.Update(0, t);
  EXPECT_TRUE(r.Abort);
  EXPECT_EQ(*r.Line, QStringLiteral("13:02:03.004 >>> Dosavadní nečinnost..."));
}

}  // namespace
