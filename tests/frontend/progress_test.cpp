// The status line of a running job and the status log that decides what is logged.
#include "frontend/Progress.h"

#include <gtest/gtest.h>

namespace fe {
namespace {

const TNumberSeparators kCzech{",", "\xC2\xA0"};
const TNumberSeparators kC{".", ""};

TEST(ProgressTest, StatusLineFormsByStatusAndDoneCount) {
  // Nothing written yet: just the sizes.
  EXPECT_EQ(ProgressLine(1, 332800, 0, 1000, kCzech), "0,00/650,00 MB");
  // Writing: percent and speed, both without grouping; the megabytes grouped.
  EXPECT_EQ(ProgressLine(1, 332800, 83200, 1411, kCzech),
            "162,50/650,00 MB (25,00%) @ 1411,00 KB/s");
  EXPECT_EQ(ProgressLine(1, 2295104, 2295104, 10560, kCzech),
            "4\xC2\xA0"
            "482,63/4\xC2\xA0"
            "482,63 MB (100,00%) @ 10560,00 KB/s");
  // Smart references: no speed.
  EXPECT_EQ(ProgressLine(11, 1000, 250, 1385, kC), "0.49/1.95 MB (25.00%)");
  // A done count without a total yet shows 0 % instead of dividing by nothing.
  EXPECT_EQ(ProgressLine(4, 0, 32, 0, kC), "0.06/0.00 MB (0.00%) @ 0.00 KB/s");
  EXPECT_EQ(Percent(50, 200), 25);
  EXPECT_EQ(Percent(300, 200), 100);
  EXPECT_EQ(Percent(5, 0), 0);
}

TEST(ProgressTest, StatusLogLogsChangesOnlyAndAbortsWhenLeavingWriteError) {
  TStatusLog log;
  EXPECT_TRUE(log.Last().empty());
  auto r = log.Update(1);
  ASSERT_TRUE(r.Name);
  EXPECT_EQ(*r.Name, "Zapisuji data...");
  EXPECT_FALSE(log.Update(1).Name);  // unchanged: nothing logged
  r = log.Update(9);
  EXPECT_EQ(*r.Name, "Chyba vypalování: Provede se storno...");
  EXPECT_FALSE(r.Abort);
  EXPECT_FALSE(log.Update(9).Abort);  // staying in 9 asks nothing
  r = log.Update(7);                  // leaving 9: logged, then the abort is asked for
  EXPECT_EQ(*r.Name, "Probíhá storno...");
  EXPECT_TRUE(r.Abort);
  EXPECT_EQ(log.Last(), "Probíhá storno...");
  // The last name survives between jobs: a new job starting in the same state logs nothing.
  r = log.Update(7);
  EXPECT_FALSE(r.Name);
  EXPECT_FALSE(r.Abort);
  log.Update(9);
  r = log.Update(0);
  EXPECT_TRUE(r.Abort);
  EXPECT_EQ(*r.Name, "Dosavadní nečinnost...");
}

}  // namespace
}  // namespace fe
