// Session import through ardovan-cli: a session appended with --import lists the files of the
// one before it (a file of the same name replaced), read at the last session by xorriso; the same
// layout is made without a drive by mkimage --import-from; a third session, which closes the
// disc, still lists them all; a closed disc takes no session.
#include <fstream>
#include <regex>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

class ImportTest : public TCliTest {
 protected:
  // Where the recorder's last closed session starts.
  uint32_t LastSessionStart(const std::string& r) {
    const std::string status = Tool("status " + r);
    const std::regex start("\"closed\": true,\\s*\"end\": \\d+,\\s*\"start\": (\\d+)");
    uint32_t last = 0;
    for (std::sregex_iterator it(status.begin(), status.end(), start), end; it != end; ++it)
      last = static_cast<uint32_t>(std::stoul((*it)[1]));
    return last;
  }

  // The files of the image's session at `start`, extracted by xorriso, against their sources.
  void ExpectSession(const std::string& iso, uint32_t start, const TExpected& expected) {
    SCOPED_TRACE(iso + " at " + std::to_string(start));
    const std::string out = Path("x" + std::to_string(start) + "-" + std::to_string(extracts_++));
    std::string log;
    ASSERT_EQ(testenv::Run("xorriso -abort_on FAILURE -indev " + testenv::Quote(iso) +
                               " -load sbsector " + std::to_string(start) +
                               " -osirrox on -extract / " + testenv::Quote(out),
                           &log),
              0)
        << log;
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, expected.size());
    for (const auto& [inside, source] : expected)
      EXPECT_TRUE(SameFile(out + inside, source)) << inside;
  }

  int extracts_ = 0;
};

TEST_F(ImportTest, AppendedSessionKeepsTheEarlierFilesInView) {
  const std::string r = Recorder("cd-r");
  const std::string kept = MakeFile(Path("s1/Dok/a.txt"), 3000, 71);
  const std::string old = MakeFile(Path("s1/b.txt"), 5000, 72);
  const std::string added = MakeFile(Path("s2/Dok/c.txt"), 7000, 73);
  const std::string replacing = MakeFile(Path("s2/b.txt"), 100, 74);
  ASSERT_EQ(Cli("burn --no-eject " + Path("s1/Dok") + " " + old, {r}).Code, 0);
  const TRun second = Cli("burn --import --no-eject " + Path("s2/Dok") + " " + replacing, {r});
  ASSERT_EQ(second.Code, 0) << second.All();
  const uint32_t last = LastSessionStart(r);
  ASSERT_GT(last, 0u);
  const TExpected view{{"/Dok/a.txt", kept}, {"/Dok/c.txt", added}, {"/b.txt", replacing}};
  const std::string disc = Export(r);
  ExpectSession(disc, last, view);
  // The first session is as it was.
  ExpectSession(disc, 0, TExpected{{"/Dok/a.txt", kept}, {"/b.txt", old}});

  // The same second session laid out from the first one's image, without a drive.
  const std::string first = Path("first.iso");
  ASSERT_EQ(Cli("mkimage --output " + first + " " + Path("s1/Dok") + " " + old).Code, 0);
  const std::string made = Path("second.iso");
  const TRun mk =
      Cli("mkimage --import-from " + first + " --session-start " + std::to_string(last) +
          " --output " + made + " " + Path("s2/Dok") + " " + replacing);
  ASSERT_EQ(mk.Code, 0) << mk.All();
  // Put where it would lie on the disc, behind the first image, it shows the same files.
  const std::string combined = Path("combined.iso");
  fs::copy_file(first, combined);
  fs::resize_file(combined, uint64_t{last} * 2048);
  std::ofstream(combined, std::ios::binary | std::ios::app)
      << std::ifstream(made, std::ios::binary).rdbuf();
  ExpectSession(combined, last, view);

  // A closed disc takes no further session: refused before anything is written.
  // A third session, the last one: it still lists the files of both before it.
  ASSERT_EQ(Cli("burn --import --finalize --no-eject " + added, {r}).Code, 0);
  TExpected third = view;
  third["/c.txt"] = added;
  const uint32_t closing = LastSessionStart(r);
  ASSERT_GT(closing, last);
  ExpectSession(Export(r), closing, third);
  const std::string closed = Tool("status " + r);
  const TRun refused = Cli("burn --import --no-eject " + kept, {r});
  EXPECT_EQ(refused.Code, 3) << refused.All();
  EXPECT_EQ(Tool("status " + r), closed);
}

}  // namespace
}  // namespace clitest
