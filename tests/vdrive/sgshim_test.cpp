// The preload shim as programs meet it: a probe program run by `ardovan-vdrive attach` does to
// /dev/sr7 what burning programs do and reports what it saw.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "tests/support/TestEnv.h"
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using TFacts = std::map<std::string, std::string>;

class ShimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testenv::MakeTempDir("attached");
    std::string error;
    ASSERT_TRUE(vdrive::CreateRecorder(dir, "bd", false, error)) << error;
    log = dir + ".log";
  }

  // Runs the probe with the recorder attached; its key=value lines.
  TFacts Probe(const std::string& check, const std::string& arg = "/dev/sr7", int expectCode = 0) {
    std::string out;
    const int code =
        testenv::Run("ARDOVAN_CLOCK_SCALE=1000 ARDOVAN_SGSHIM_LOG=" + testenv::Quote(log) + " " +
                         testenv::Quote(ARDOVAN_VDRIVE_TOOL) + " attach " + testenv::Quote(dir) +
                         " --as /dev/sr7 -- " + testenv::Quote(SGSHIM_PROBE) + " " + check + " " +
                         testenv::Quote(arg),
                     &out);
    EXPECT_EQ(code, expectCode) << out;
    TFacts facts;
    for (size_t pos = 0; pos < out.size();) {
      const size_t end = std::min(out.find('\n', pos), out.size());
      const std::string line = out.substr(pos, end - pos);
      if (const size_t eq = line.find('='); eq != std::string::npos)
        facts[line.substr(0, eq)] = line.substr(eq + 1);
      pos = end + 1;
    }
    return facts;
  }

  void Insert(const std::string& medium, bool formatted = false) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(dir, *vdrive::ParseMediumKind(medium), 4096, formatted, error))
        << error;
  }

  std::vector<uint8_t> PressImage() {
    const std::vector<uint8_t> image = testenv::RandomBytes(40 * 2048, 5);
    const std::string path = testenv::MakeTempDir("image") + "/pressed.iso";
    testenv::WriteFile(path, image);
    std::string error;
    EXPECT_TRUE(vdrive::InsertPressed(dir, path, std::nullopt, error)) << error;
    return image;
  }

  static std::string Sum(const uint8_t* p, size_t n) {
    uint32_t s = 0;
    for (size_t i = 0; i < n; ++i) s = s * 31 + p[i];
    return std::to_string(s);
  }

  std::string dir, log;
};

TEST_F(ShimTest, NodeLooksLikeABlockDeviceThroughEveryStatAbi) {
  TFacts f = Probe("facts");
  for (const char* abi : {"stat", "lstat", "fstatat", "xstat", "fstat"})
    EXPECT_EQ(f[abi], "blk 11:7") << abi;
  EXPECT_EQ(f["statx"], "11:7");
  EXPECT_EQ(f["access"], "0");
  EXPECT_EQ(f["readlink_errno"], std::to_string(EINVAL));
  EXPECT_EQ(f["listed"], "blk");
  struct stat st;
  EXPECT_NE(stat("/dev/sr7", &st), 0) << "the node exists outside the shimmed program";
}

TEST_F(ShimTest, SgIoAnswersAsTheKernelDoes) {
  Insert("dvd+r");
  TFacts f = Probe("commands");
  EXPECT_EQ(f["inquiry.rc"], "0");
  EXPECT_EQ(f["inquiry.status"], "0");
  EXPECT_EQ(f["inquiry.resid"], "60");  // 36 of 96 bytes came back
  EXPECT_EQ(f["inquiry.info"], "0");
  EXPECT_EQ(f["tur.rc"], "0");
  EXPECT_EQ(f["tur.status"], "0");
  EXPECT_EQ(f["read.status"], "2");
  EXPECT_EQ(f["read.masked"], "1");
  EXPECT_EQ(f["read.driver"], "8");
  EXPECT_EQ(f["read.host"], "0");
  EXPECT_EQ(f["read.info"], "1");
  EXPECT_EQ(f["read.sense_len"], "18");
  EXPECT_EQ(f["read.resid"], "2048");
  EXPECT_EQ(f["read.key"], "5");
  EXPECT_EQ(f["read.asc"], std::to_string(0x21));
  EXPECT_EQ(f["bad_interface"], std::to_string(EINVAL));
  EXPECT_EQ(f["data_without_direction"], std::to_string(-EINVAL));
  EXPECT_EQ(f["sg_version"], "30527");
  // The address lies on a host no real adapter has; the generic driver's query is not a
  // CD-ROM node's, unknown requests neither.
  EXPECT_EQ(f["idlun.rc"], "0");
  const std::string host = f["idlun.host"];
  EXPECT_GE(std::stoi(host), 100);
  struct stat st;
  EXPECT_NE(stat(("/sys/class/scsi_host/host" + host).c_str(), &st), 0);
  EXPECT_EQ(f["scsi_id_errno"], std::to_string(ENOTTY));
  EXPECT_EQ(f["unknown_errno"], std::to_string(ENOTTY));

  // BUSY comes back as the status with nothing else set but the check flag.
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      dir, [](vdrive::TFaults& x) { x.busy = 1; }, error))
      << error;
  f = Probe("commands");
  EXPECT_EQ(f["inquiry.status"], "8");
  EXPECT_EQ(f["inquiry.masked"], "4");
  EXPECT_EQ(f["inquiry.driver"], "0");
  EXPECT_EQ(f["inquiry.info"], "1");
  EXPECT_EQ(f["inquiry.sense_len"], "0");
}

TEST_F(ShimTest, ExclusiveOpenersAndLocksAcrossProcesses) {
  Insert("dvd+r");
  TFacts f = Probe("exclusive");
  EXPECT_EQ(f["first"], "0");
  EXPECT_EQ(f["again_same_process"], std::to_string(EBUSY));
  EXPECT_EQ(f["flock"], "0");
  EXPECT_EQ(f["setlk"], "0");  // the program's own lock does not meet the exclusive claim
  EXPECT_EQ(f["dup_vendor"], "ARDOVAN");
  EXPECT_EQ(f["child_excl"], std::to_string(EBUSY));
  EXPECT_EQ(f["child_plain"], "0");
  EXPECT_EQ(f["child_flock"], std::to_string(EWOULDBLOCK));
  EXPECT_EQ(f["child_setlk"], std::to_string(EAGAIN));
  EXPECT_EQ(f["child_getlk_len"], "0");  // to the end of the file, as the parent asked
  EXPECT_EQ(f["child_getlk_parent"], "1");
  EXPECT_EQ(f["after_first_close"], std::to_string(EBUSY));  // its dup still holds the claim
  EXPECT_EQ(f["after_last_close"], "0");
}

TEST_F(ShimTest, BlockReadsAndDescriptorsPassedToAnotherProgram) {
  const std::vector<uint8_t> image = PressImage();
  TFacts f = Probe("reads");
  EXPECT_EQ(f["size"], std::to_string(image.size()));
  EXPECT_EQ(f["blkgetsize64"], std::to_string(image.size()));
  EXPECT_EQ(f["pread"], "100");
  EXPECT_EQ(f["pread_sum"], Sum(image.data() + 16 * 2048 + 1, 100));
  EXPECT_EQ(f["read"], "3000");
  EXPECT_EQ(f["read_sum"], Sum(image.data() + 2047, 3000));
  EXPECT_EQ(f["position"], std::to_string(2047 + 3000));
  EXPECT_EQ(f["past_end"], "0");

  f = Probe("inherit");
  EXPECT_EQ(f["vendor"], "ARDOVAN");
  EXPECT_EQ(f["reopened_read"], "2048");
  EXPECT_EQ(f["reopened_sum"], Sum(image.data() + 16 * 2048, 2048));
}

TEST_F(ShimTest, ThreadsShareADescriptor) {
  PressImage();
  EXPECT_EQ(Probe("threads")["failures"], "0");
}

TEST_F(ShimTest, ChildEndingWithExitKeepsTheParentsProgress) {
  Insert("dvd+rw", true);
  TFacts f = Probe("fork-exit");
  EXPECT_EQ(f["first_write"], "0");
  EXPECT_EQ(f["second_write"], "0");
  vdrive::TLoadState state;
  std::string error;
  ASSERT_TRUE(vdrive::ReadLoadState(dir, state, error)) << error;
  EXPECT_EQ(state.disc->highWater, 64u);
}

// Safety: nothing of this machine is reached through the shim.
TEST_F(ShimTest, RealDevicesStayOutOfReach) {
  // Any block device of the machine will do (loop devices are there on every Linux system).
  std::string device;
  for (const char* candidate : {"/dev/loop0", "/dev/sda", "/dev/vda", "/dev/nvme0n1"}) {
    struct stat st;
    if (stat(candidate, &st) == 0 && S_ISBLK(st.st_mode)) {
      device = candidate;
      break;
    }
  }
  if (device.empty()) GTEST_SKIP() << "no block device on this machine to try";
  TFacts f = Probe("guard", device);
  EXPECT_EQ(f["device_errno"], std::to_string(EACCES));
  EXPECT_EQ(f["null"], "0");
  EXPECT_EQ(f["sg_devices"], "0");
  EXPECT_NE(testenv::ReadText(log).find("refused to open the real device " + device),
            std::string::npos);

  // A name that exists is never claimed, by the launcher nor by the shim itself.
  std::string out;
  EXPECT_EQ(testenv::Run(testenv::Quote(ARDOVAN_VDRIVE_TOOL) + " attach " + testenv::Quote(dir) +
                             " --as " + device + " -- true",
                         &out),
            2);
  EXPECT_NE(out.find("exists on this system"), std::string::npos) << out;
  const std::string tool = ARDOVAN_VDRIVE_TOOL;
  const std::string shim = tool.substr(0, tool.find_last_of('/')) + "/libardovan-sgshim.so";
  EXPECT_EQ(testenv::Run("ASAN_OPTIONS=verify_asan_link_order=0 ARDOVAN_SGSHIM_DRIVES=/dev/null=" +
                             testenv::Quote(dir) + " LD_PRELOAD=" + testenv::Quote(shim) + " " +
                             testenv::Quote(SGSHIM_PROBE) + " guard /dev/null",
                         &out),
            125);
  EXPECT_NE(out.find("/dev/null exists on this system"), std::string::npos) << out;
}

}  // namespace
}  // namespace vdtest
