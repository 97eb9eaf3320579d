// The report on the recorder and its medium: its 44 lines in their order.
#include "frontend/Report.h"

#include <gtest/gtest.h>

namespace fe {
namespace {

TEST(ReportTest, LinesAndTheirOrder) {
  TMediumFacts f;
  f.UnitReady = true;
  f.MediumType = 2;
  f.TotalBlocks = f.FreeBlocks = 359847;
  f.MaxWriteSpeed = 7056;
  f.Capability[41] = 2;  // anything but 1 is "Ne"
  f.Capability[42] = 1;
  f.Capability[8] = 1;   // DVD+R DL read, listed before DVD+RW read
  f.Capability[27] = 1;  // DVD+RW write, listed after DVD+R DL write
  const auto lines = ReportLines(f, TNumberSeparators{",", "\xC2\xA0"});
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[0], ">>> Je zařízení připraveno? Ano");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], ">>> Vložený disk do mechaniky: mtCDR");
  EXPECT_EQ(lines[6], ">>> Celková kapacita média: 702,83 MB");
  EXPECT_EQ(lines[7], ">>> Volné místo na médiu: 702,83 MB");
  EXPECT_EQ(lines[8],
            ">>> Maximální rychlost zápisu:  7\xC2\xA0"
            "056 KB/s");
  EXPECT_EQ(lines[10], ">>> Rychlost záspisu:  0 KB/s");
  EXPECT_EQ(lines[14], ">>> Umožňuje zařízení simulaci zápisu? Ne");
  EXPECT_EQ(lines[15], ">>> Podporuje zařízení ochranu přetečení? Ano");
  EXPECT_EQ(lines[16], "");
  EXPECT_EQ(lines[23], ">>> Umožňuje zařízení čtení DVDPLUSRDL? Ano");
  EXPECT_EQ(lines[24], ">>> Umožňuje zařízení čtení DVDPLUSRW? Ne");
  EXPECT_EQ(lines[31], "");
  EXPECT_EQ(lines[38], ">>> Umožňuje zařízení zápis DVDPLUSRDL? Ne");
  EXPECT_EQ(lines[39], ">>> Umožňuje zařízení zápis DVDPLUSRW? Ano");
  EXPECT_EQ(lines[43], ">>> Umožňuje zařízení zápis BluRay - BDRE? Ne");
}

}  // namespace
}  // namespace fe
