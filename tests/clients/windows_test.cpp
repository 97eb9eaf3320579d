// The windows on the pass-through path: the burn wizard (offscreen) burns a folder onto a
// recorder attached as /dev/sr7, and another program reads the disc back.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/clients/ClientHarness.h"

// Built only with the windows (ARDOVAN_BUILD_APP).
#ifdef ARDOVAN_APP_TESTS
namespace clienttest {
namespace {

TEST(ArdovanWindows, BurnWizardWritesThroughTheNode) {
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  r.Insert("dvd+r", 100000);
  const TRun run =
      r.Run("ARDOVAN_VDRIVES= QT_QPA_PLATFORM=offscreen ARDOVAN_SHIM_FLOW=" +
            testenv::Quote(SourceImage().folder) + " " + testenv::Quote(ARDOVAN_APP_TESTS) +
            " --gtest_filter=DeviceNodeTest.WizardBurnsAFolderThroughTheNode");
  ExpectClean(r, run);
  EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
  EXPECT_NE(r.ShimLog().find("opened /dev/sr7"), std::string::npos);

  // The folder went on the disc under its own name, file for file.
  const std::string medium = testenv::MakeTempDir("medium") + "/disc.iso";
  const std::vector<uint8_t> bytes = r.Export();
  testenv::WriteFile(medium, bytes);
  const std::string out = testenv::MakeTempDir("extract") + "/tree";
  std::string log;
  ASSERT_EQ(testenv::Run("xorriso -indev " + testenv::Quote(medium) + " -osirrox on -extract / " +
                             testenv::Quote(out),
                         &log),
            0)
      << log;
  const std::string top =
      out + "/" + std::filesystem::path(SourceImage().folder).filename().string();
  for (const char* name : {"/data.bin", "/notes.txt"})
    EXPECT_EQ(testenv::ReadFile(top + name), testenv::ReadFile(SourceImage().folder + name))
        << name;
}

}  // namespace
}  // namespace clienttest
#endif
