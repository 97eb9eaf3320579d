// xorriso and cdrskin (libburn) burn, blank, format and read back through the shim.
#include <gtest/gtest.h>

#include "tests/clients/ClientHarness.h"

namespace clienttest {
namespace {

using vdrive::TMediumKind;

std::string Image() { return testenv::Quote(SourceImage().path); }

// One write of the image with xorriso's cdrecord emulation (or cdrskin), and the state it left.
struct TBurn {
  const char* medium;
  const char* program;  // "xorriso -as cdrecord" or "cdrskin"
  const char* options;
  uint8_t discStatus;  // 1 appendable, 2 complete
};

void PrintTo(const TBurn& b, std::ostream* os) {
  *os << b.medium << " by " << b.program << " " << b.options;
}

class LibburnBurn : public ::testing::TestWithParam<TBurn> {};

TEST_P(LibburnBurn, RecordsTheImageAndLeavesTheDiscAsTheClientAsked) {
  const TBurn& b = GetParam();
  REQUIRE_CLIENT(std::string(b.program).substr(0, std::string(b.program).find(' ')));
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert(b.medium);
  const TRun run = r.Run(std::string(b.program) + " -v dev=/dev/sr7 " + b.options + " " + Image());
  ExpectClean(r, run);
  ExpectImageRecorded(r.Export(), SourceImage().bytes);
  const vdrive::TDisc d = r.Disc();
  EXPECT_EQ(d.DiscStatus(), b.discStatus);
  const auto spans = d.SessionSpans();
  ASSERT_FALSE(spans.empty());
  EXPECT_EQ(spans[0].start, 0u);
  EXPECT_TRUE(spans[0].closed);
  EXPECT_EQ(
      std::count_if(spans.begin(), spans.end(), [](const auto& s) { return s.end > s.start; }), 1);
}

INSTANTIATE_TEST_SUITE_P(Media, LibburnBurn,
                         ::testing::Values(TBurn{"cd-r", "cdrskin", "-tao", 2},
                                           TBurn{"cd-r", "cdrskin", "-sao", 2},
                                           TBurn{"cd-r", "cdrskin", "-tao -multi", 1},
                                           TBurn{"dvd-r", "xorriso -as cdrecord", "", 2},
                                           TBurn{"dvd-rw", "xorriso -as cdrecord", "-tao", 2},
                                           TBurn{"dvd+r", "xorriso -as cdrecord", "", 2},
                                           TBurn{"dvd+r", "xorriso -as cdrecord", "-multi", 1},
                                           TBurn{"dvd+r-dl", "xorriso -as cdrecord", "", 2},
                                           TBurn{"bd-r", "xorriso -as cdrecord", "", 2}),
                         [](const auto& info) {
                           std::string n =
                               std::string(info.param.medium) +
                               (info.param.program[0] == 'c' ? "_cdrskin" : "_xorriso") +
                               info.param.options;
                           return TestName(n);
                         });

TEST(Libburn, CdRwBlanksFastAndFull) {
  REQUIRE_CLIENT("cdrskin");
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("cd-rw");
  for (const char* mode : {"fast", "all"}) {
    SCOPED_TRACE(mode);
    ExpectClean(r, r.Run("cdrskin -v dev=/dev/sr7 -tao " + Image()));
    ASSERT_EQ(r.Disc().DiscStatus(), 2);
    ExpectClean(r, r.Run(std::string("cdrskin -v dev=/dev/sr7 blank=") + mode));
    EXPECT_EQ(r.Disc().DiscStatus(), 0);
    EXPECT_TRUE(r.Export().empty());
  }
}

// Overwritable media: formatted by xorriso, then the image written over from LBA 0.
TEST(Libburn, FormatsAndOverwritesDvdPlusRwDvdRwAndBdRe) {
  REQUIRE_CLIENT("xorriso");
  for (const char* medium : {"dvd+rw", "dvd-rw", "bd-re"}) {
    SCOPED_TRACE(medium);
    TRecorder r;
    r.Insert(medium);
    ExpectClean(r, r.Run("xorriso -outdev /dev/sr7 -format full"));
    const vdrive::TDisc formatted = r.Disc();
    EXPECT_TRUE(formatted.formatted);
    EXPECT_EQ(formatted.Access(), vdrive::TAccess::Random);
    for (int pass = 0; pass < 2; ++pass)
      ExpectClean(r, r.Run("xorriso -as cdrecord -v dev=/dev/sr7 " + Image()));
    ExpectImageRecorded(r.Export(), SourceImage().bytes);
  }
}

// Two sessions appended by xorriso; -toc lists both and each session reads back as written.
TEST(Libburn, AppendsASecondSessionAndReadsEachBack) {
  REQUIRE_CLIENT("xorriso");
  const std::string second = testenv::MakeTempDir("second");
  testenv::WriteFile(second + "/more.bin", testenv::RandomBytes(300 * 1024, 11));
  for (const char* medium : {"dvd+r", "cd-r"}) {
    SCOPED_TRACE(medium);
    TRecorder r;
    r.Insert(medium);
    ExpectClean(r, r.Run("xorriso -dev /dev/sr7 -map " + testenv::Quote(SourceImage().folder) +
                         " / -close off -commit"));
    const TRun toc = r.Run("xorriso -dev /dev/sr7 -map " + testenv::Quote(second) +
                           " /second -close off -commit -toc");
    ExpectClean(r, toc);
    const auto spans = r.Disc().SessionSpans();
    ASSERT_GE(spans.size(), 2u);
    EXPECT_TRUE(spans[0].closed && spans[1].closed);
    EXPECT_EQ(r.Disc().DiscStatus(), 1);

    // "ISO session  :   2 ,     18048 , ...": the session and where it starts.
    for (int session : {1, 2}) {
      const size_t at = toc.out.find("ISO session  :   " + std::to_string(session) + " ,");
      ASSERT_NE(at, std::string::npos) << toc.out;
      const std::string line = toc.out.substr(at, toc.out.find('\n', at) - at);
      EXPECT_NE(line.find(" " + std::to_string(spans[session - 1].start) + " ,"), std::string::npos)
          << line;
    }
    for (int session : {1, 2}) {
      const std::string out = testenv::MakeTempDir("extract") + "/tree";
      ExpectClean(r, r.Run("xorriso -indev /dev/sr7 -load session " + std::to_string(session) +
                           " -osirrox on -extract / " + testenv::Quote(out)));
      EXPECT_EQ(testenv::ReadFile(out + "/data.bin"),
                testenv::ReadFile(SourceImage().folder + "/data.bin"));
      EXPECT_EQ(testenv::Run("test -e " + testenv::Quote(out + "/second/more.bin")) == 0,
                session == 2);
    }
  }
}

TEST(Libburn, CheckMediaFindsTheWrittenDiscGood) {
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("dvd+r");
  ExpectClean(r, r.Run("xorriso -as cdrecord -v dev=/dev/sr7 " + Image()));
  const TRun check = r.Run("xorriso -indev /dev/sr7 -check_media --");
  ExpectClean(r, check);
  EXPECT_NE(check.out.find("Media region :"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("+ good"), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("- bad"), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("- unreadable"), std::string::npos) << check.out;
}

}  // namespace
}  // namespace clienttest
