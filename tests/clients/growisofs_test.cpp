// growisofs, dvd+rw-mediainfo and dvd+rw-format (dvd+rw-tools) through the shim.
#include <gtest/gtest.h>

#include "tests/clients/ClientHarness.h"

namespace clienttest {
namespace {

std::string Quoted(const std::string& s) { return testenv::Quote(s); }

struct TGrow {
  const char* medium;
  const char* options;  // growisofs options for both runs
  bool sequential;      // sessions follow each other (else the volume grows in place)
};

void PrintTo(const TGrow& g, std::ostream* os) { *os << g.medium << " " << g.options; }

class Growisofs : public ::testing::TestWithParam<TGrow> {};

// -Z writes the image as it is; -M appends a session that genisoimage builds on the previous one
// (read back through the descriptor growisofs hands it), and both sessions read back.
TEST_P(Growisofs, WritesWithZAndAppendsWithM) {
  REQUIRE_CLIENT("growisofs");
  REQUIRE_CLIENT("xorriso");
  const TGrow& g = GetParam();
  TRecorder r;
  r.Insert(g.medium);
  ExpectClean(r, r.Run(std::string("growisofs ") + g.options +
                       " -Z /dev/sr7=" + Quoted(SourceImage().path)));
  ExpectImageRecorded(r.Export(), SourceImage().bytes);

  const std::string more = testenv::MakeTempDir("more");
  testenv::WriteFile(more + "/later.txt", std::string("appended with -M\n"));
  ExpectClean(r,
              r.Run(std::string("growisofs ") + g.options + " -M /dev/sr7 -R -J " + Quoted(more)));
  const vdrive::TDisc d = r.Disc();
  const auto spans = d.SessionSpans();
  if (g.sequential) {
    ASSERT_GE(spans.size(), 2u);
    EXPECT_TRUE(spans[0].closed && spans[1].closed);
    // The first session is untouched by the second.
    ExpectImageRecorded(r.Export(1), SourceImage().bytes);
  }
  const std::string out = testenv::MakeTempDir("extract") + "/tree";
  ExpectClean(r, r.Run("xorriso -indev /dev/sr7 -osirrox on -extract / " + Quoted(out)));
  EXPECT_EQ(testenv::ReadFile(out + "/data.bin"),
            testenv::ReadFile(SourceImage().folder + "/data.bin"));
  EXPECT_EQ(testenv::ReadText(out + "/later.txt"), "appended with -M\n");
}

INSTANTIATE_TEST_SUITE_P(Media, Growisofs,
                         ::testing::Values(TGrow{"dvd+r", "", true}, TGrow{"dvd-r", "", true},
                                           TGrow{"dvd+rw", "", false},
                                           TGrow{"bd-r", "-use-the-force-luke=spare:none", true}),
                         [](const auto& info) {
                           std::string n = info.param.medium;
                           return TestName(n);
                         });

// growisofs formats a blank BD-R with spare areas before writing, as it does by default.
TEST(GrowisofsBdR, FormatsWithSpareAreasAndWrites) {
  REQUIRE_CLIENT("growisofs");
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("bd-r");
  const TRun run = r.Run("growisofs -Z /dev/sr7=" + Quoted(SourceImage().path));
  ExpectClean(r, run);
  EXPECT_NE(run.out.find("pre-formatting blank BD-R"), std::string::npos) << run.out;
  const vdrive::TDisc d = r.Disc();
  EXPECT_TRUE(d.formatted);
  EXPECT_EQ(d.capacity, vdrive::BdRCapacityWithSpares(200000));
  ExpectImageRecorded(r.Export(), SourceImage().bytes);
}

TEST(DvdRwMediainfo, ReportsBlankAppendableAndCompleteMedia) {
  REQUIRE_CLIENT("dvd+rw-mediainfo");
  REQUIRE_CLIENT("growisofs");
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("dvd+r", 100000);
  auto info = [&] {
    const TRun run = r.Run("dvd+rw-mediainfo /dev/sr7");
    ExpectClean(r, run);
    EXPECT_NE(run.out.find("Mounted Media:         1Bh, DVD+R"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(":-"), std::string::npos) << "a command failed:\n" << run.out;
    return run.out;
  };
  std::string out = info();
  EXPECT_NE(out.find("Disc status:           blank"), std::string::npos) << out;
  EXPECT_NE(out.find("Free Blocks:           100000*2KB"), std::string::npos) << out;

  ExpectClean(r, r.Run("growisofs -Z /dev/sr7=" + Quoted(SourceImage().path)));
  out = info();
  EXPECT_NE(out.find("Disc status:           appendable"), std::string::npos) << out;
  EXPECT_NE(out.find("Number of Sessions:    2"), std::string::npos) << out;
  const std::string size = std::to_string(SourceImage().bytes.size() / 2048);
  EXPECT_NE(out.find("READ CAPACITY:          " + size + "*2048"), std::string::npos) << out;

  ExpectClean(r, r.Run("growisofs -dvd-compat -M /dev/sr7=/dev/zero"));
  out = info();
  EXPECT_NE(out.find("Disc status:           complete"), std::string::npos) << out;
}

TEST(DvdRwFormat, FormatsDvdPlusRwAndBdRe) {
  REQUIRE_CLIENT("dvd+rw-format");
  for (const char* medium : {"dvd+rw", "bd-re"}) {
    SCOPED_TRACE(medium);
    TRecorder r;
    r.Insert(medium, 50000);
    ExpectClean(r, r.Run("dvd+rw-format /dev/sr7"));
    const vdrive::TDisc d = r.Disc();
    EXPECT_TRUE(d.formatted);
    EXPECT_EQ(d.DiscStatus(), 2);
    EXPECT_EQ(d.WritableExtent(), d.formattedBlocks);
    EXPECT_GT(d.formattedBlocks, 0u);
  }
}

}  // namespace
}  // namespace clienttest
