// Burns read back and compared (--verify), and ardovan-cli verify, on virtual recorders whose
// READ answers can be damaged, refused or stalled at known blocks.
#include <signal.h>

#include "tests/cli/CliHarness.h"

namespace clitest {
namespace {

constexpr const char* kPassed = " >>> Ověření dat proběhlo v pořádku...";
constexpr const char* kWriteDone = " >>> Vypalování dokončeno...";
constexpr const char* kSuccess = " >>> Vypalování proběhlo úspěšně.";

std::string Failed(uint32_t block, const std::string& file) {
  return " >>> Ověření dat selhalo: blok " + std::to_string(block) + ", soubor " + file;
}

class VerifyTest : public TCliTest {
 protected:
  // Where the file NAME (ISO 9660 name, upper case) starts in an image.
  static uint32_t ExtentOf(const std::string& iso, const std::string& name) {
    std::string out;
    EXPECT_EQ(testenv::Run("isoinfo -l -i " + testenv::Quote(iso), &out), 0) << out;
    for (const auto& l : Lines(out)) {
      const size_t at = l.rfind("]  " + name);
      if (at != std::string::npos && l.find_first_not_of(' ', at + 3 + name.size()) == l.npos)
        return static_cast<uint32_t>(std::stoul(l.substr(l.rfind('[', at) + 1)));
    }
    ADD_FAILURE() << name << " not in\n" << out;
    return 0;
  }

  // A folder of two files whose data take several blocks each.
  std::string MakeFolder(const std::string& name, uint32_t seed) {
    const std::string folder = Path(name);
    MakeFile(folder + "/a.bin", 300001, seed);
    MakeFile(folder + "/b.bin", 90000, seed + 1);
    return folder;
  }

  // The image a blank disc gets from the folder, to learn where its files lie.
  std::string Layout(const std::string& folder) {
    const std::string iso = Path("layout.iso");
    const TRun run = Cli("mkimage --output " + iso + " " + folder);
    EXPECT_EQ(run.Code, 0) << run.All();
    return iso;
  }

  // The passed line sits right before the write-done line, and the burn succeeded.
  static void ExpectVerifiedBurn(const TRun& run) {
    ASSERT_EQ(run.Code, 0) << run.All();
    const auto log = LogTexts(run.Out);
    const auto passed = std::find(log.begin(), log.end(), kPassed);
    ASSERT_NE(passed, log.end()) << run.Out;
    ASSERT_NE(passed + 1, log.end());
    EXPECT_EQ(passed[1], kWriteDone);
    EXPECT_EQ(Count(log, kPassed), 1);
    EXPECT_EQ(log.back(), kSuccess);
  }
};

TEST_F(VerifyTest, VerifiedBurnsPassOnWriteOnceMedia) {
  const std::string folder = MakeFolder("data", 1);
  for (const auto& [medium, options] : std::vector<std::pair<std::string, std::string>>{
           {"cd-r", ""}, {"dvd+r", ""}, {"bd-r", "--udf"}}) {
    SCOPED_TRACE(medium);
    const std::string r = Recorder(medium);
    ExpectVerifiedBurn(Cli("burn --verify " + options + " " + folder, {r}));
  }
  // A test write leaves nothing to read back: no pass.
  const TRun simulated = Cli("burn --test-write --verify " + folder, {Recorder("cd-r")});
  EXPECT_EQ(simulated.Code, 0) << simulated.All();
  EXPECT_EQ(simulated.Out.find("Ověření"), std::string::npos) << simulated.Out;
}

TEST_F(VerifyTest, GrownDvdPlusRwSessionIsVerifiedWithoutTheImportedFiles) {
  const std::string first = MakeFolder("first", 3), second = MakeFolder("second", 5);
  const std::string r = Recorder("dvd+rw");
  ASSERT_EQ(Cli("burn --no-eject " + first, {r}).Code, 0);
  // The first session's file data reads back wrong: only the new session is compared, so the
  // grown burn still passes.
  const uint32_t old = ExtentOf(Export(r), "A.BIN");
  Tool("fault " + r + " --damage " + std::to_string(old) + "-" + std::to_string(old + 10));
  ExpectVerifiedBurn(Cli("burn --import --verify --no-eject " + second, {r}));
}

TEST_F(VerifyTest, DamagedAndUnreadableBlocksAreNamedWithTheirFile) {
  const std::string folder = MakeFolder("data", 7);
  const std::string layout = Layout(folder);
  const uint32_t a = ExtentOf(layout, "A.BIN"), b = ExtentOf(layout, "B.BIN");
  const std::string r = Recorder("cd-r");
  Tool("fault " + r + " --damage " + std::to_string(b + 2));
  TRun run = Cli("burn --verify --no-eject " + folder, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  auto log = LogTexts(run.Out);
  EXPECT_TRUE(Contains(log, Failed(b + 2, folder + "/b.bin"))) << run.Out;
  EXPECT_EQ(Count(log, kWriteDone), 1);
  EXPECT_EQ(log.back().rfind(" >>> Vypalování se nezdařilo: ověření dat po vypálení selhalo", 0),
            0u)
      << log.back();
  EXPECT_NE(run.Err.find("block " + std::to_string(b + 2)), std::string::npos) << run.Err;

  // The data were written right: compared with the folder, the disc passes once the damage is gone.
  Tool("clear-faults " + r);
  run = Cli("verify " + folder, {r});
  EXPECT_EQ(run.Code, 0) << run.All();
  EXPECT_TRUE(Contains(LogTexts(run.Out), kPassed)) << run.Out;

  // A block that cannot be read, after the retries, fails the pass at that block.
  Tool("fault " + r + " --opcode 28 --sense 3/11/00 --lba " + std::to_string(a + 1) + " --times 0");
  run = Cli("verify " + folder, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_TRUE(Contains(LogTexts(run.Out), Failed(a + 1, folder + "/a.bin"))) << run.Out;
  EXPECT_NE(run.Err.find("cannot be read (3/11/00"), std::string::npos) << run.Err;

  // A block of the file system's own data belongs to no file.
  Tool("clear-faults " + r);
  Tool("fault " + r + " --opcode 28 --sense 3/11/00 --lba 16 --times 0");
  run = Cli("verify " + folder, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_TRUE(Contains(LogTexts(run.Out), Failed(16, "(systémová data disku)"))) << run.Out;
}

TEST_F(VerifyTest, ImageBurnIsComparedWithItsImage) {
  const std::string image = Layout(MakeFolder("data", 9));
  const std::string r = Recorder("cd-r");
  ExpectVerifiedBurn(Cli("burn-image --verify --no-eject " + image, {r}));
  TRun run = Cli("verify --image " + image, {r});
  EXPECT_EQ(run.Code, 0) << run.All();
  // An image that differs from the disc in one byte of block 40.
  std::vector<uint8_t> bytes = testenv::ReadFile(image);
  bytes[40 * 2048 + 7] ^= 1;
  const std::string other = Path("other.iso");
  testenv::WriteFile(other, bytes);
  run = Cli("verify --image " + other, {r});
  EXPECT_EQ(run.Code, 1) << run.All();
  EXPECT_TRUE(Contains(LogTexts(run.Out), Failed(40, other))) << run.Out;
}

TEST_F(VerifyTest, CtrlCDuringThePassStopsItWithTheDiscWritten) {
  const std::string folder = MakeFolder("data", 11);
  const uint32_t a = ExtentOf(Layout(folder), "A.BIN");
  // The pass finds the recorder working on a block of the data until the job gives up: only the
  // abort ends it.
  const std::string r = Recorder("cd-r");
  Tool("fault " + r + " --opcode 28 --sense 2/04/07 --lba " + std::to_string(a) + " --times 0");
  clockScale_ = 10;
  TRunning run = Start("burn --verify " + folder, {r}, Path("abort.err"));
  ASSERT_GT(run.Pid, 0);
  ASSERT_TRUE(WaitUntilFired(r));
  ASSERT_EQ(kill(run.Pid, SIGINT), 0);
  EXPECT_EQ(run.Finish(), 1) << run.Out;
  const auto log = LogTexts(run.Out);
  EXPECT_TRUE(Contains(log, " >>> Ověření dat bylo přerušeno...")) << run.Out;
  EXPECT_FALSE(Contains(log, kPassed));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), " >>> Ověření dat bylo přerušeno – disk byl vypálen celý, ale neověřen.");
  EXPECT_EQ(Tool("status " + r).find("\"disc_status\": \"blank\""), std::string::npos);
}

TEST_F(VerifyTest, PassShowsItsProgressOnATerminal) {
  const std::string folder = MakeFolder("data", 13);
  const std::string r = Recorder("cd-r");
  ASSERT_EQ(Cli("burn --no-eject " + folder, {r}).Code, 0);
  // The pass waits at the second file until the test has seen its display with figures.
  const uint32_t b = ExtentOf(Export(r), "B.BIN");
  Tool("fault " + r + " --opcode 28 --sense 2/04/07 --lba " + std::to_string(b) + " --times 0");
  clockScale_ = 10;
  std::string screen;
  bool cleared = false;
  EXPECT_EQ(OnTerminal("verify " + folder, {r}, screen,
                       [&](const std::string& shown) {
                         const size_t at = shown.find("Ověřování...  ");
                         if (cleared || at == std::string::npos ||
                             shown.find(" KB/s", at) == std::string::npos)
                           return;
                         Tool("clear-faults " + r);
                         cleared = true;
                       }),
            0)
      << screen;
  ASSERT_TRUE(cleared) << screen;
  EXPECT_NE(screen.find(" MB ("), std::string::npos) << screen;
  EXPECT_NE(screen.find(kPassed), std::string::npos) << screen;
}

}  // namespace
}  // namespace clitest
