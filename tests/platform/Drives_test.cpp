#include "platform/Drives.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/SgIo.h"
#include "tests/support/ScriptedDrive.h"
#include "tests/support/TestEnv.h"

using namespace plat;

namespace {

TScsiPassThroughBuffer Request(uint8_t dataIn, uint32_t len, void* buf) {
  TScsiPassThroughBuffer r;
  std::memset(&r, 0, sizeof r);
  r.Spt.Length = 44;
  r.Spt.CdbLength = 10;
  r.Spt.SenseInfoLength = 24;
  r.Spt.DataIn = dataIn;
  r.Spt.DataTransferLength = len;
  r.Spt.TimeOutValue = 12000;
  r.Spt.DataBuffer = buf;
  r.Spt.SenseInfoOffset = 48;
  r.Spt.Cdb[0] = 0x28;
  return r;
}

// A drive that answers every command the same way: a byte of data and CHECK CONDITION.
class TFakeDrive : public scripted::TScriptedDrive {
 public:
  TFakeDrive(std::string path, bool hasAddress) : TScriptedDrive(std::move(path), {}) {
    if (hasAddress) SetAddress(3, 1, 0);
  }

 protected:
  uint8_t Answer(const scripted::TExchange& x) override {
    if (x.Data && x.DataLength) x.Data[0] = 0xAB;
    return x.Check(0x05, 0x24);
  }
};

// Each test gets a device folder and virtual drives of its own; the namespace is put back after.
class DriveNamespace : public testing::Test {
 protected:
  void SetUp() override {
    devices = testenv::MakeTempDir("dev");
    for (const char* n : {"sr0", "sr1", "sr10", "sr2", "srx", "sda", "sr"})
      testenv::WriteFile(devices + "/" + n, "");
    SetRealDriveFolder(devices);
    first = std::make_shared<TFakeDrive>("/vd/one", true);
    second = std::make_shared<TFakeDrive>("/vd/two", false);
    SetVirtualDriveProvider([this] {
      return std::vector<std::shared_ptr<TVirtualDrive>>{first, second};
    });
  }
  void TearDown() override {
    SetVirtualDriveProvider(nullptr);
    SetRealDriveFolder("");
  }

  std::string devices;
  std::shared_ptr<TFakeDrive> first, second;
};

}  // namespace

TEST(SgIoTranslation, RequestFieldsReachTheHeader) {
  uint8_t buf[2048];
  auto r = Request(kScsiDataIn, sizeof buf, buf);
  sg_io_hdr h;
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  EXPECT_EQ(h.interface_id, 'S');
  EXPECT_EQ(h.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(h.dxfer_len, 2048u);
  EXPECT_EQ(h.dxferp, buf);
  EXPECT_EQ(h.cmd_len, 10);
  EXPECT_EQ(h.cmdp, r.Spt.Cdb);
  EXPECT_EQ(h.sbp, r.SenseBuffer);
  EXPECT_EQ(h.mx_sb_len, 24);
  EXPECT_EQ(h.timeout, 12000000u);  // seconds become milliseconds

  r = Request(kScsiDataOut, 65536, buf);
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  EXPECT_EQ(h.dxfer_direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(h.dxfer_len, 65536u);

  // No data: nothing moves even if a length was left in the request.
  r = Request(kScsiDataUnspecified, 4096, buf);
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  EXPECT_EQ(h.dxfer_direction, SG_DXFER_NONE);
  EXPECT_EQ(h.dxfer_len, 0u);
  EXPECT_EQ(h.dxferp, nullptr);

  // The sense can never run past the request's own buffer.
  r = Request(kScsiDataIn, 0, nullptr);
  r.Spt.SenseInfoLength = 200;
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  EXPECT_EQ(h.mx_sb_len, 32);
  r.Spt.TimeOutValue = 0xFFFFFFFFu;
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  EXPECT_EQ(h.timeout, 0xFFFFFFFFu);  // saturates instead of wrapping

  r = Request(3, 0, nullptr);
  EXPECT_FALSE(BuildSgIoHeader(r, h));
  r = Request(kScsiDataIn, 0, nullptr);
  r.Spt.CdbLength = 17;
  EXPECT_FALSE(BuildSgIoHeader(r, h));
  r = Request(kScsiDataIn, 512, nullptr);
  EXPECT_FALSE(BuildSgIoHeader(r, h));  // a length without a buffer
}

TEST(SgIoTranslation, OutcomeReachesTheRequest) {
  uint8_t buf[2048];
  auto r = Request(kScsiDataIn, sizeof buf, buf);
  sg_io_hdr h;
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  uint32_t err = 99;
  h.status = 2;
  h.driver_status = 0x08;  // sense came with it
  h.resid = 48;
  EXPECT_TRUE(ApplySgIoOutcome(h, r, err));
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(r.Spt.ScsiStatus, 2);
  EXPECT_EQ(r.Spt.DataTransferLength, 2000u);

  r = Request(kScsiDataIn, sizeof buf, buf);
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  h.host_status = 0x03;  // timed out in the adapter
  EXPECT_FALSE(ApplySgIoOutcome(h, r, err));
  EXPECT_EQ(err, uint32_t(ETIMEDOUT));
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  h.driver_status = 0x04;
  EXPECT_FALSE(ApplySgIoOutcome(h, r, err));
  EXPECT_EQ(err, uint32_t(EIO));
  ASSERT_TRUE(BuildSgIoHeader(r, h));
  h.resid = 99999;  // nonsense residue leaves the length alone
  EXPECT_TRUE(ApplySgIoOutcome(h, r, err));
  EXPECT_EQ(r.Spt.DataTransferLength, 2048u);
}

TEST_F(DriveNamespace, RealDrivesFirstThenVirtualOnes) {
  EXPECT_EQ(OpticalDriveLetters(), "DEFGHI");
  EXPECT_EQ(DrivePath('D'), devices + "/sr0");
  EXPECT_EQ(DrivePath('F'), devices + "/sr2");
  EXPECT_EQ(DrivePath('G'), devices + "/sr10");  // numeric order, not text order
  EXPECT_EQ(DrivePath('h'), "/vd/one");
  EXPECT_EQ(VirtualDriveAt('H'), first);
  EXPECT_EQ(VirtualDriveAt('D'), nullptr);
  EXPECT_EQ(GetDriveType('d'), kDriveCdrom);
  EXPECT_EQ(GetDriveType('I'), kDriveCdrom);
  EXPECT_EQ(GetDriveType('J'), kDriveNoRootDir);
  EXPECT_EQ(GetDriveType('C'), kDriveFixed);
  EXPECT_EQ(DrivePath('J'), "");

  // Drives that come later are seen after a rescan.
  testenv::WriteFile(devices + "/sr3", "");
  EXPECT_EQ(OpticalDriveLetters(), "DEFGHI");
  RescanDrives();
  EXPECT_EQ(DrivePath('G'), devices + "/sr3");
  EXPECT_EQ(OpticalDriveLetters(), "DEFGHIJ");

  // Letters end at Z.
  std::vector<std::shared_ptr<TVirtualDrive>> many;
  for (int i = 0; i < 30; ++i)
    many.push_back(std::make_shared<TFakeDrive>("/vd/" + std::to_string(i), false));
  SetVirtualDriveProvider([&] { return many; });
  EXPECT_EQ(OpticalDriveLetters(), "DEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(DrivePath('Z'), "/vd/17");
}

TEST_F(DriveNamespace, VirtualDrivesTakeThePassThrough) {
  uint32_t err = 0;
  const TDriveHandle h = OpenDrive('H', true, err);
  ASSERT_NE(h, kInvalidDriveHandle);
  uint8_t buf[4096] = {};
  auto r = Request(kScsiDataIn, sizeof buf, buf);
  ASSERT_TRUE(DrivePassThrough(h, r, err));
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(r.Spt.ScsiStatus, 2);
  EXPECT_EQ(r.SenseBuffer[2], 0x05);
  EXPECT_EQ(r.SenseBuffer[12], 0x24);
  EXPECT_EQ(buf[0], 0xAB);
  EXPECT_EQ(first->Seen().back().Cdb, (std::vector<uint8_t>{0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(first->Seen().back().Direction, kScsiDataIn);
  EXPECT_EQ(first->Seen().back().DataLength, 4096u);

  r = Request(kScsiDataUnspecified, 4096, buf);
  r.Spt.SenseInfoLength = 255;
  ASSERT_TRUE(DrivePassThrough(h, r, err));
  EXPECT_FALSE(first->Seen().back().HadBuffer);
  EXPECT_EQ(first->Seen().back().DataLength, 0u);
  EXPECT_EQ(first->Seen().back().SenseLength, 32);  // clamped to the request's sense buffer

  r = Request(7, 0, nullptr);
  EXPECT_FALSE(DrivePassThrough(h, r, err));
  EXPECT_EQ(err, uint32_t(EINVAL));

  TScsiAddress a;
  ASSERT_TRUE(DriveScsiAddress(h, a, err));
  EXPECT_EQ(a.Length, 8u);
  EXPECT_EQ(a.PortNumber, 3);
  EXPECT_EQ(a.TargetId, 1);
  const TDriveHandle h2 = OpenDrive('I', false, err);
  ASSERT_NE(h2, kInvalidDriveHandle);
  EXPECT_NE(h2, h);
  EXPECT_FALSE(DriveScsiAddress(h2, a, err));  // this one has no address

  CloseDrive(h);
  CloseDrive(h);  // twice is harmless
  r = Request(kScsiDataIn, sizeof buf, buf);
  EXPECT_FALSE(DrivePassThrough(h, r, err));
  EXPECT_EQ(err, uint32_t(EBADF));
  CloseDrive(h2);
}

TEST_F(DriveNamespace, RealDriveFailuresReportSystemErrors) {
  uint32_t err = 0;
  EXPECT_EQ(OpenDrive('Q', true, err), kInvalidDriveHandle);
  EXPECT_EQ(err, uint32_t(ENOENT));

  // A node that is no SCSI device opens but refuses the pass-through and the address query.
  const TDriveHandle h = OpenDrive('D', false, err);
  ASSERT_NE(h, kInvalidDriveHandle);
  uint8_t buf[16];
  auto r = Request(kScsiDataIn, sizeof buf, buf);
  EXPECT_FALSE(DrivePassThrough(h, r, err));
  EXPECT_NE(err, 0u);
  TScsiAddress a;
  EXPECT_FALSE(DriveScsiAddress(h, a, err));
  EXPECT_NE(err, 0u);
  CloseDrive(h);

  // Without permission to open, the system's error comes back.
  testenv::WriteFile(devices + "/sr0", "");
  chmod((devices + "/sr0").c_str(), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(OpenDrive('D', true, err), kInvalidDriveHandle);
    EXPECT_EQ(err, uint32_t(EACCES));
  }
}

TEST_F(DriveNamespace, HandlesAreSafeAcrossThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        uint32_t err = 0;
        const TDriveHandle h = OpenDrive('H', true, err);
        if (h == kInvalidDriveHandle) continue;
        auto r = Request(kScsiDataUnspecified, 0, nullptr);
        if (DrivePassThrough(h, r, err) && r.Spt.ScsiStatus == 2) ++ok;
        CloseDrive(h);
        if (i % 50 == 0) RescanDrives();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), 800);
}

// A job's claim keeps every other job off the drive, in this program and in others, while
// queries go on; it dies with the process that holds it.
TEST_F(DriveNamespace, ClaimsKeepJobsApartAndDieWithTheirHolder) {
  const std::string folder = testenv::MakeTempDir("rec");
  auto recorder = std::make_shared<TFakeDrive>(folder, true);
  SetVirtualDriveProvider([&] {
    return std::vector<std::shared_ptr<TVirtualDrive>>{first, recorder};
  });
  TClaimResult result;
  int32_t pid = 0;
  uint32_t err = 0;
  // D is a real node, H a recorder without a folder on disk, I a recorder folder.
  for (char letter : {'D', 'H', 'I'}) {
    SCOPED_TRACE(letter);
    const TDriveHandle held = ClaimDrive(letter, result, pid, err);
    ASSERT_EQ(result, TClaimResult::Claimed);
    EXPECT_EQ(ClaimDrive(letter, result, pid, err), kInvalidDriveHandle);
    EXPECT_EQ(result, TClaimResult::InUse);
    EXPECT_EQ(pid, getpid());
    const TDriveHandle query = OpenDrive(letter, false, err);
    EXPECT_NE(query, kInvalidDriveHandle);
    CloseDrive(query);
    CloseDrive(held);
    const TDriveHandle again = ClaimDrive(letter, result, pid, err);
    EXPECT_EQ(result, TClaimResult::Claimed);
    CloseDrive(again);
  }

  // Another program holds the recorder folder's lock, then is killed.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open((folder + "/" + kJobLockFile).c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
    (void)!write(ready[1], "x", 1);
    for (;;) pause();
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(ClaimDrive('I', result, pid, err), kInvalidDriveHandle);
  EXPECT_EQ(result, TClaimResult::InUse);
  EXPECT_EQ(pid, child);
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const TDriveHandle after = ClaimDrive('I', result, pid, err);
  EXPECT_EQ(result, TClaimResult::Claimed);
  CloseDrive(after);
  close(ready[0]);
  close(ready[1]);

  // A node that cannot be opened for writing is a failure with the system's error, not "in use".
  chmod((devices + "/sr0").c_str(), 0444);
  if (geteuid() != 0) {
    EXPECT_EQ(ClaimDrive('D', result, pid, err), kInvalidDriveHandle);
    EXPECT_EQ(result, TClaimResult::Failed);
    EXPECT_EQ(err, uint32_t(EACCES));
  }
}
