// wodim, readom (cdrkit) and cd-info (libcdio, through the CD-ROM layer's ioctls).
#include <gtest/gtest.h>

#include "tests/clients/ClientHarness.h"

namespace clienttest {
namespace {

std::string Image() { return testenv::Quote(SourceImage().path); }

TEST(Wodim, BurnsTaoAndBlanksFast) {
  REQUIRE_CLIENT("wodim");
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("cd-r");
  ExpectClean(r, r.Run("wodim -v dev=/dev/sr7 -tao " + Image()));
  ExpectImageRecorded(r.Export(), SourceImage().bytes);
  EXPECT_EQ(r.Disc().DiscStatus(), 2);

  TRecorder rw;
  rw.Insert("cd-rw");
  ExpectClean(rw, rw.Run("wodim -v dev=/dev/sr7 -tao " + Image()));
  ASSERT_EQ(rw.Disc().DiscStatus(), 2);
  ExpectClean(rw, rw.Run("wodim -v dev=/dev/sr7 blank=fast"));
  EXPECT_EQ(rw.Disc().DiscStatus(), 0);
}

TEST(Readom, ReadsAPressedDiscEqualToItsImage) {
  REQUIRE_CLIENT("readom");
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.InsertPressed(SourceImage().path);
  const std::string copy = testenv::MakeTempDir("readom") + "/copy.iso";
  ExpectClean(r, r.Run("readom dev=/dev/sr7 f=" + testenv::Quote(copy)));
  EXPECT_EQ(testenv::ReadFile(copy), SourceImage().bytes);
}

// cd-info sends no command block of its own for the track list: the kernel's CD-ROM layer
// answers from TOC, multi-session and status requests, which the shim builds the same way.
TEST(CdInfo, ListsTheTracksOfABurnedCdAndDvd) {
  REQUIRE_CLIENT("cd-info");
  REQUIRE_CLIENT("cdrskin");
  REQUIRE_CLIENT("xorriso");
  const std::string blocks = std::to_string(SourceImage().bytes.size() / 2048);
  for (const char* medium : {"cd-r", "dvd+r"}) {
    SCOPED_TRACE(medium);
    TRecorder r;
    r.Insert(medium);
    ExpectClean(r, r.Run("cdrskin -v dev=/dev/sr7 " + Image()));
    const size_t leadOut = r.Disc().tracks[0].start + r.Disc().tracks[0].size;
    const bool dvd = std::string(medium) == "dvd+r";
    const TRun info =
        r.Run(std::string("cd-info --no-header ") + (dvd ? "--dvd " : "") + "/dev/sr7");
    ExpectClean(r, info);
    EXPECT_NE(info.out.find("  1: 00:02:00  000000 data"), std::string::npos) << info.out;
    char leadOutLine[64];
    std::snprintf(leadOutLine, sizeof leadOutLine, "170: %02zu:%02zu:%02zu  %06zu leadout",
                  (leadOut + 150) / 4500, (leadOut + 150) / 75 % 60, (leadOut + 150) % 75, leadOut);
    EXPECT_NE(info.out.find(leadOutLine), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("ISO 9660: "), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("label `SOURCE"), std::string::npos) << info.out;
  }
}

}  // namespace
}  // namespace clienttest
