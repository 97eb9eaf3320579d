#pragma once
// A virtual recorder in a temporary folder, attached as /dev/sr7 to a program run under the
// preload shim, with what the program wrote and the state it left read back from the recorder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestEnv.h"
#include "vdrive/Disc.h"
#include "vdrive/Media.h"
#include "vdrive/Tool.h"

namespace clienttest {

constexpr const char* kNode = "/dev/sr7";

struct TRun {
  int code = -1;
  std::string out;
};

inline std::string Tool() { return ARDOVAN_VDRIVE_TOOL; }

// Skips the test, visibly, when a program is missing here; fails it in CI, where
// scripts/install-deps installs every client.
#define REQUIRE_CLIENT(name)                                                      \
  do {                                                                            \
    if (!testenv::HaveProgram(name)) GTEST_SKIP() << name << " is not installed"; \
  } while (0)

class TRecorder {
 public:
  explicit TRecorder(const std::string& model = "bd") {
    dir = testenv::MakeTempDir("recorder");
    log = dir + ".shim.log";
    std::string error;
    EXPECT_TRUE(vdrive::CreateRecorder(dir, model, false, error)) << error;
  }

  // A blank medium of a small capacity, so that media-wide operations stay quick.
  void Insert(const std::string& medium, uint32_t blocks = 200000, bool formatted = false) {
    std::string error;
    const auto kind = vdrive::ParseMediumKind(medium);
    ASSERT_TRUE(kind) << medium;
    ASSERT_TRUE(vdrive::InsertBlank(dir, *kind, blocks, formatted, error)) << error;
  }
  void InsertPressed(const std::string& image) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertPressed(dir, image, std::nullopt, error)) << error;
  }

  // Runs a shell command line with the recorder attached as /dev/sr7, the recorder's clock
  // running fast and the shim's log kept beside the recorder.
  TRun Run(const std::string& command) const {
    TRun r;
    const std::string line = "ARDOVAN_CLOCK_SCALE=1000 ARDOVAN_SGSHIM_LOG=" + testenv::Quote(log) +
                             " " + testenv::Quote(Tool()) + " attach " + testenv::Quote(dir) +
                             " --as " + kNode + " -- sh -c " + testenv::Quote(command) +
                             " </dev/null";
    r.code = testenv::Run(line, &r.out);
    return r;
  }

  // What the medium holds from LBA 0 (or of one session).
  std::vector<uint8_t> Export(int session = 0) const {
    const std::string out = testenv::MakeTempDir("export") + "/medium.img";
    const std::string s = session ? " --session " + std::to_string(session) : "";
    EXPECT_EQ(testenv::Run(testenv::Quote(Tool()) + " export " + testenv::Quote(dir) + s +
                           " --output " + testenv::Quote(out)),
              0);
    return testenv::ReadFile(out);
  }

  vdrive::TDisc Disc() const {
    vdrive::TLoadState state;
    std::string error;
    EXPECT_TRUE(vdrive::ReadLoadState(dir, state, error)) << error;
    return state.disc.value_or(vdrive::TDisc{});
  }

  std::string ShimLog() const { return testenv::ReadText(log); }

  std::string dir, log;
};

// A test name from a medium and options: "dvd+r -multi" gives "dvdplusr__multi".
inline std::string TestName(const std::string& text) {
  std::string n;
  for (char c : text)
    n += c == '+' ? std::string("plus")
                  : std::string(1, isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return n;
}

// The client's run succeeded and never touched a device node of this machine.
inline void ExpectClean(const TRecorder& r, const TRun& run) {
  EXPECT_EQ(run.code, 0) << run.out;
  const std::string log = r.ShimLog();
  EXPECT_EQ(log.find("refused to open the real device"), std::string::npos) << log;
}

// The medium starts with the image; whatever the client added behind it (padding to its
// recording unit or its own run-out) is zeros.
inline void ExpectImageRecorded(const std::vector<uint8_t>& medium,
                                const std::vector<uint8_t>& image) {
  ASSERT_GE(medium.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), medium.begin()))
      << "the recorded blocks differ from the image";
  EXPECT_TRUE(std::all_of(medium.begin() + static_cast<long>(image.size()), medium.end(),
                          [](uint8_t b) { return b == 0; }))
      << "non-zero blocks behind the image";
}

// An ISO 9660 image of a few files with pseudo-random content, made once per test program.
struct TSourceImage {
  std::string folder, path;
  std::vector<uint8_t> bytes;
};

inline const TSourceImage& SourceImage() {
  static const TSourceImage image = [] {
    TSourceImage s;
    s.folder = testenv::MakeTempDir("source");
    testenv::WriteFile(s.folder + "/data.bin", testenv::RandomBytes(1500 * 1024, 7));
    testenv::WriteFile(s.folder + "/notes.txt", std::string("burned by a client\n"));
    s.path = testenv::MakeTempDir("image") + "/source.iso";
    std::string out;
    EXPECT_EQ(testenv::Run("xorriso -outdev " + testenv::Quote(s.path) + " -volid SOURCE -map " +
                               testenv::Quote(s.folder) + " / -commit",
                           &out),
              0)
        << out;
    s.bytes = testenv::ReadFile(s.path);
    return s;
  }();
  return image;
}

}  // namespace clienttest
