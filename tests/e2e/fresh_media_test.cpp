// Media straight from the shop, inserted with ardovan-vdrive and burned with ardovan-cli as a
// user would: a new DVD-RAM, DVD+RW, CD-RW and BD-RE (the BD-RE must be formatted first), and a
// quick-formatted DVD-RW that holds nothing (blank, not "holds data"). Read back by xorriso and
// 7z, every file must equal its source.
#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

struct TFresh {
  const char* Medium;
  const char* Extra;  // more insert options
  const char* Name;
};

class FreshMediaTest : public ::testing::TestWithParam<TFresh> {
 protected:
  void SetUp() override {
    for (const char* p : {"xorriso", "7z"})
      if (!testenv::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
  }
};

TEST_P(FreshMediaTest, BurnedStraightAfterInsertAndReadBack) {
  const TFresh f = GetParam();
  const std::string work = testenv::MakeTempDir("fresh");
  const std::string rec = work + "/recorder";
  const std::string tool = testenv::Quote(ARDOVAN_VDRIVE_TOOL);
  Sh(tool + " create " + testenv::Quote(rec) + " 2>&1");
  Sh(tool + " insert " + testenv::Quote(rec) + " --medium " + f.Medium + " " + f.Extra + " 2>&1");

  const std::string src = MakeSourceFolder(41);
  std::string out;
  const int rc = testenv::Run(
      "ARDOVAN_VDRIVES=" + testenv::Quote(rec) +
          " XDG_CONFIG_HOME=" + testenv::Quote(work + "/config") +
          " ARDOVAN_CLOCK_SCALE=1000 LC_ALL=C " + testenv::Quote(ARDOVAN_CLI_EXE) +
          " burn --udf --no-eject --volume-id Nova " + testenv::Quote(src) + " </dev/null 2>&1",
      &out);
  ASSERT_EQ(rc, 0) << out;

  const std::string medium = work + "/medium.iso";
  Sh(tool + " export " + testenv::Quote(rec) + " --output " + testenv::Quote(medium) + " 2>&1");
  const std::string top = "/" + fs::path(src).filename().string();
  ExpectSameTree(src, ExtractJoliet(medium) + top, "xorriso, Joliet");
  ExpectSameTree(src, ExtractUdf(medium) + top, "7z, UDF bridge");
}

INSTANTIATE_TEST_SUITE_P(
    FromTheShop, FreshMediaTest,
    ::testing::Values(TFresh{"dvd-ram", "", "dvd_ram"}, TFresh{"dvd+rw", "", "dvd_plus_rw"},
                      TFresh{"cd-rw", "", "cd_rw"}, TFresh{"bd-re", "", "bd_re"},
                      TFresh{"dvd-rw", "--formatted", "quick_formatted_dvd_rw"}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace engine_e2e
