// Our own program on the pass-through path of a real burner: no virtual recorder of its own
// (ARDOVAN_VDRIVES is empty), the recorder attached as /dev/sr7 and reached with open and SG_IO
// by the platform layer.
#include <gtest/gtest.h>

#include "tests/clients/ClientHarness.h"

namespace clienttest {
namespace {

std::string Cli(const std::string& args) {
  return "ARDOVAN_VDRIVES= " + testenv::Quote(ARDOVAN_CLI_TOOL) + " " + args;
}

TEST(ArdovanCli, FindsTheNodeAndReportsOnIt) {
  TRecorder r;
  r.Insert("dvd+r", 100000);
  const TRun drives = r.Run(Cli("drives"));
  ExpectClean(r, drives);
  // One drive, reached through the device node (the host number is the shim's, no real one).
  EXPECT_NE(drives.out.find(",D: ARDOVAN  VBD-R12 BD-RE"), std::string::npos) << drives.out;
  EXPECT_NE(drives.out.find("[recorder]"), std::string::npos) << drives.out;
  EXPECT_EQ(drives.out.find(",E:"), std::string::npos) << drives.out;
  EXPECT_NE(r.ShimLog().find("opened /dev/sr7"), std::string::npos);

  const TRun info = r.Run(Cli("info"));
  ExpectClean(r, info);
  EXPECT_NE(info.out.find("Vložený disk do mechaniky: mtDVDPLUSR"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Je médium ZAPISOVATELNÉ? Ano"), std::string::npos) << info.out;
}

TEST(ArdovanCli, BurnsFilesAndImagesErasesAndCopies) {
  REQUIRE_CLIENT("xorriso");
  TRecorder r;
  // A data disc, finalized: read back file by file by another program.
  r.Insert("dvd+r", 100000);
  ExpectClean(r, r.Run(Cli("burn --no-eject --finalize --volume-id PASSTHRU " +
                           testenv::Quote(SourceImage().folder + "/data.bin"))));
  EXPECT_EQ(r.Disc().DiscStatus(), 2);
  const std::string out = testenv::MakeTempDir("extract") + "/tree";
  ExpectClean(r, r.Run("xorriso -indev /dev/sr7 -osirrox on -extract / " + testenv::Quote(out)));
  EXPECT_EQ(testenv::ReadFile(out + "/data.bin"),
            testenv::ReadFile(SourceImage().folder + "/data.bin"));

  // An image on a CD-RW, then erased.
  r.Insert("cd-rw");
  ExpectClean(r, r.Run(Cli("burn-image --no-eject " + testenv::Quote(SourceImage().path))));
  ExpectImageRecorded(r.Export(), SourceImage().bytes);
  ExpectClean(r, r.Run(Cli("erase --no-eject")));
  EXPECT_EQ(r.Disc().DiscStatus(), 0);

  // A pressed disc copied into an image file.
  r.InsertPressed(SourceImage().path);
  const std::string copy = testenv::MakeTempDir("copy") + "/copy.iso";
  ExpectClean(r, r.Run(Cli("copy --no-eject --output " + testenv::Quote(copy))));
  EXPECT_EQ(testenv::ReadFile(copy), SourceImage().bytes);
}

}  // namespace
}  // namespace clienttest
