// ardovan-vdrive as users run it, and the recorders the drive namespace gets from the environment.
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/Files.h"
#include "tests/vdrive/Harness.h"
#include "vdrive/VirtualDrives.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;
using json = nlohmann::json;

json Status(const std::string& dir) {
  std::string out;
  EXPECT_EQ(Tool("status " + testenv::Quote(dir), &out), 0) << out;
  return json::parse(out, nullptr, false);
}

class ToolTest : public VdriveTest {
 protected:
  void TearDown() override {
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    VdriveTest::TearDown();
  }
};

TEST_F(ToolTest, CreateInsertStatusEject) {
  const std::string dir = testenv::MakeTempDir("vd") + "/burner";
  testenv::SetEnv("ARDOVAN_VDRIVES", dir);
  std::string out;
  ASSERT_EQ(Tool("create " + dir, &out), 0) << out;
  ASSERT_EQ(Tool("insert " + dir + " --medium cd-r --blocks 20000", &out), 0) << out;
  json s = Status(dir);
  EXPECT_EQ(s["tray"], "closed");
  EXPECT_EQ(s["medium"]["type"], "cd-r");
  EXPECT_EQ(s["medium"]["profile"], 9);
  EXPECT_EQ(s["medium"]["capacity"], 20000);
  EXPECT_EQ(s["medium"]["disc_status"], "blank");
  EXPECT_EQ(s["medium"]["erasable"], false);
  EXPECT_EQ(s["medium"]["formatted"], false);
  EXPECT_TRUE(s["medium"]["last_recorded"].is_null());
  EXPECT_EQ(s["medium"]["sessions"], json::parse(R"([{"start":0,"end":0,"closed":false}])"));
  // The drive namespace serves it; written data shows in the status.
  const auto drives = vdrive::CurrentVirtualDrives();
  ASSERT_EQ(drives.size(), 1u);
  uint8_t cdb[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 32, 0};
  Bytes data(32 * 2048, 1);
  uint8_t sense[18];
  ASSERT_EQ(drives[0]->Execute(cdb, 10, plat::kScsiDataOut, data.data(), 65536, sense, 18), 0);
  uint8_t close[10] = {0x5B, 0, 2, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(drives[0]->Execute(close, 10, plat::kScsiDataUnspecified, nullptr, 0, sense, 18), 0);
  s = Status(dir);
  EXPECT_EQ(s["medium"]["disc_status"], "complete");
  EXPECT_EQ(s["medium"]["last_recorded"], 31);
  EXPECT_EQ(s["medium"]["sessions"], json::parse(R"([{"start":0,"end":32,"closed":true}])"));

  ASSERT_EQ(Tool("eject " + dir, &out), 0) << out;
  s = Status(dir);
  EXPECT_EQ(s["tray"], "open");
  EXPECT_TRUE(s["medium"].is_null());
}

TEST_F(ToolTest, ExitCodesAndMessages) {
  const std::string dir = testenv::MakeTempDir("vd") + "/r";
  std::string out;
  EXPECT_EQ(Tool("", &out), 2);
  EXPECT_EQ(Tool("frobnicate " + dir, &out), 2);
  EXPECT_EQ(Tool("create " + dir + " --model tape", &out), 2);
  EXPECT_EQ(Tool("insert " + dir + " --medium cd-r", &out), 1);
  EXPECT_NE(out.find("not a recorder"), std::string::npos) << out;
  ASSERT_EQ(Tool("create " + dir + " --model cd --no-address", &out), 0) << out;
  EXPECT_EQ(Tool("create " + dir, &out), 1);
  EXPECT_NE(out.find("already holds a recorder"), std::string::npos) << out;
  EXPECT_EQ(Tool("insert " + dir + " --medium floppy", &out), 2);
  EXPECT_EQ(Tool("insert " + dir + " --medium dvd-rom", &out), 2);
  EXPECT_EQ(Tool("insert " + dir + " --medium cd-r --blocks 0", &out), 2);
  EXPECT_EQ(Tool("insert " + dir + " --medium dvd+r", &out), 1);
  EXPECT_NE(out.find("cannot read dvd+r"), std::string::npos) << out;
  EXPECT_EQ(Tool("fault " + dir, &out), 2);
  EXPECT_EQ(Tool("fault " + dir + " --opcode 2a", &out), 2);
  EXPECT_EQ(Tool("fault " + dir + " --opcode 2a --sense 3/0c/00 --lba 10-5", &out), 2);
  EXPECT_EQ(Tool("trace " + dir + " maybe", &out), 2);
  EXPECT_EQ(Tool("export " + dir + " --output " + dir + "/x.iso", &out), 1);
  EXPECT_NE(out.find("no medium"), std::string::npos) << out;
  // No address: the address query of the drive namespace fails for it.
  auto r = vdrive::TVirtualRecorder::Open(dir);
  ASSERT_TRUE(r);
  plat::TScsiAddress a;
  EXPECT_FALSE(r->Address(a));
}

TEST_F(ToolTest, FaultsArmedByTheToolReachARunningRecorder) {
  TDrive d("bd", "cd-r");
  std::string out;
  ASSERT_EQ(Tool("fault " + d.dir + " --opcode 2A --sense 3/0C/00 --from 2", &out), 0) << out;
  ASSERT_EQ(Tool("fault " + d.dir + " --refuse 5c --refuse-page 2a", &out), 0) << out;
  EXPECT_TRUE(d.Write(0, 32));
  EXPECT_FALSE(d.Write(32, 32));
  EXPECT_EQ(d.Sense(), (TSense{3, 0x0C, 0x00}));
  d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x20, 0x00}));
  ASSERT_EQ(Tool("fault " + d.dir + " --busy 1", &out), 0) << out;
  EXPECT_EQ(d.Cmd({0, 0, 0, 0, 0, 0}), vdrive::kStatusBusy);
  ASSERT_EQ(Tool("clear-faults " + d.dir, &out), 0) << out;
  EXPECT_TRUE(d.Write(32, 32));
  ASSERT_EQ(Tool("fault " + d.dir + " --needs-format", &out), 0) << out;
  // Inserted by the tool in another process: the running recorder reports the change.
  ASSERT_EQ(Tool("insert " + d.dir + " --medium dvd+rw", &out), 0) << out;
  EXPECT_FALSE(d.Write(0, 32));
  EXPECT_EQ(d.Sense(), (TSense{6, 0x28, 0x00}));
  d.WaitReady();
  EXPECT_FALSE(d.Write(0, 32));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x30, 0x05}));
  ASSERT_EQ(Tool("trace " + d.dir + " on", &out), 0) << out;
  d.Ok({0, 0, 0, 0, 0, 0});
  EXPECT_EQ(testenv::ReadText(d.dir + "/trace.log"),
            "00 00 00 00 00 00 | out 0 | status 00 | 0/00/00\n");
}

TEST_F(ToolTest, ExportWritesTheRecordedUserData) {
  TDrive d("bd", "cd-r", 30000);
  ASSERT_TRUE(d.SetWriteParameters(1, 3));
  ASSERT_TRUE(d.Write(0, 32, 0x01));
  ASSERT_TRUE(d.Write(32, 16, 0x02));
  ASSERT_TRUE(d.CloseFunction(2));
  ASSERT_TRUE(d.Write(11448, 16, 0x03));
  ASSERT_TRUE(d.Sync());
  const std::string out = testenv::MakeTempDir("export");
  std::string msg;
  ASSERT_EQ(Tool("export " + d.dir + " --output " + out + "/all.iso", &msg), 0) << msg;
  ASSERT_EQ(plat::GetFileSize(out + "/all.iso"), int64_t(11464) * 2048);
  std::ifstream all(out + "/all.iso", std::ios::binary);
  auto at = [&](int64_t offset) {
    all.seekg(offset);
    return static_cast<uint8_t>(all.get());
  };
  EXPECT_EQ(at(0), 0x01);
  EXPECT_EQ(at(48 * 2048 - 1), 0x02);
  EXPECT_EQ(at(48 * 2048), 0x00);  // between the sessions
  EXPECT_EQ(at(11447 * 2048), 0x00);
  EXPECT_EQ(at(11448 * 2048), 0x03);
  EXPECT_EQ(at(11464 * 2048 - 1), 0x03);
  ASSERT_EQ(Tool("export " + d.dir + " --output " + out + "/s2.iso --session 2", &msg), 0) << msg;
  EXPECT_EQ(testenv::ReadFile(out + "/s2.iso"), Bytes(16 * 2048, 0x03));
  ASSERT_EQ(Tool("export " + d.dir + " --output " + out + "/s1.iso --session 1", &msg), 0) << msg;
  EXPECT_EQ(testenv::ReadFile(out + "/s1.iso").size(), size_t(48) * 2048);
  EXPECT_EQ(Tool("export " + d.dir + " --output " + out + "/s3.iso --session 3", &msg), 1);
}

TEST_F(ToolTest, PressedDiscFromAnImage) {
  TDrive d("bd");
  const std::string image = testenv::MakeTempDir("rom") + "/disc.iso";
  const Bytes content = testenv::RandomBytes(64 * 2048, 3);
  testenv::WriteFile(image, content);
  std::string out;
  ASSERT_EQ(Tool("insert " + d.dir + " --rom " + image, &out), 0) << out;
  json s = Status(d.dir);
  EXPECT_EQ(s["medium"]["type"], "cd-rom");
  EXPECT_EQ(s["medium"]["profile"], 8);
  EXPECT_EQ(s["medium"]["disc_status"], "complete");
  ASSERT_EQ(Tool("insert " + d.dir + " --rom " + image + " --medium dvd-rom", &out), 0) << out;
  s = Status(d.dir);
  EXPECT_EQ(s["medium"]["type"], "dvd-rom");
  EXPECT_EQ(s["medium"]["capacity"], 64);
  d.WaitReady();
  EXPECT_EQ(d.Read(0, 64), content);
  EXPECT_EQ(Tool("insert " + d.dir + " --rom " + image + " --medium dvd-r", &out), 2);
  EXPECT_EQ(Tool("insert " + d.dir + " --rom " + image + " --blocks 5", &out), 2);
}

TEST_F(ToolTest, RecordersComeFromTheEnvironment) {
  // Empty: no virtual recorder at all.
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  EXPECT_TRUE(vdrive::CurrentVirtualDrives().empty());
  // Listed folders, each made on first use with the default model and no medium.
  const std::string a = testenv::MakeTempDir("vd") + "/a", b = testenv::MakeTempDir("vd") + "/b";
  testenv::SetEnv("ARDOVAN_VDRIVES", a + "::" + b);
  auto first = vdrive::CurrentVirtualDrives();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0]->Path(), a);
  EXPECT_EQ(first[1]->Path(), b);
  EXPECT_EQ(vdrive::CurrentVirtualDrives(), first);  // the same objects on every rescan
  uint8_t tur[6] = {0};
  uint8_t sense[18] = {};
  EXPECT_EQ(first[1]->Execute(tur, 6, plat::kScsiDataUnspecified, nullptr, 0, sense, 18), 2);
  EXPECT_EQ(sense[12], 0x3A);
  EXPECT_EQ(Status(a)["medium"], nullptr);
  // In the drive namespace after the real drives.
  vdrive::RegisterVirtualDrives();
  plat::RescanDrives();
  const std::string letters = plat::OpticalDriveLetters();
  ASSERT_GE(letters.size(), 2u);
  EXPECT_EQ(plat::DrivePath(letters[letters.size() - 2]), a);
  EXPECT_EQ(plat::VirtualDriveAt(letters.back()), first[1]);
  plat::TScsiAddress address;
  EXPECT_TRUE(first[0]->Address(address));
  // Unset: the default recorder in the data folder, with a blank DVD+R.
  unsetenv("ARDOVAN_VDRIVES");
  auto fallback = vdrive::CurrentVirtualDrives();
  ASSERT_EQ(fallback.size(), 1u);
  EXPECT_EQ(fallback[0]->Path(), plat::DataFolder() + "/recorder0");
  json s = Status(fallback[0]->Path());
  EXPECT_EQ(s["medium"]["type"], "dvd+r");
  EXPECT_EQ(s["medium"]["disc_status"], "blank");
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  plat::SetVirtualDriveProvider(nullptr);
}

}  // namespace
}  // namespace vdtest
