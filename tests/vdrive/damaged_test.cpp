// Recorder folders that were edited or damaged: `status`, `export` and the drive itself refuse
// them, naming the file and the field, instead of crashing or inventing data; ejecting repairs
// them; an export that cannot be written leaves no partial image.
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using json = nlohmann::json;

class Damaged : public VdriveTest {
 protected:
  // A CD-R with one closed session of 48 blocks, the recorder closed again.
  void SetUp() override {
    VdriveTest::SetUp();
    d = std::make_unique<TDrive>("bd", "cd-r", 30000);
    ASSERT_TRUE(d->SetWriteParameters(1, 3));
    ASSERT_TRUE(d->Write(0, 48, 0x01));
    ASSERT_TRUE(d->CloseFunction(2));
    d->rec.reset();
    out = testenv::MakeTempDir("export") + "/disc.iso";
  }

  json Medium() { return json::parse(testenv::ReadText(d->dir + "/medium.json")); }
  void SetMedium(const json& j) { testenv::WriteFile(d->dir + "/medium.json", j.dump(1)); }

  // status, export and export --session 1 all refuse the folder with a message that holds
  // `what`, and no image is left behind.
  void ExpectRefused(const std::string& what) {
    SCOPED_TRACE(what);
    std::string msg;
    for (const std::string& command : {"status " + d->dir, "export " + d->dir + " --output " + out,
                                       "export " + d->dir + " --output " + out + " --session 1"}) {
      EXPECT_EQ(Tool(command, &msg), 1) << command << "\n" << msg;
      EXPECT_NE(msg.find(what), std::string::npos) << msg;
      EXPECT_NE(access(out.c_str(), F_OK), 0) << command << " left " << out;
    }
    std::string error;
    EXPECT_EQ(vdrive::TVirtualRecorder::Open(d->dir, &error), nullptr);
    EXPECT_NE(error.find(what), std::string::npos) << error;
  }

  std::unique_ptr<TDrive> d;
  std::string out;
};

TEST_F(Damaged, EditedStateIsRefusedWithFileAndField) {
  const json good = Medium();
  json j = good;
  j["medium"]["sessions"][0]["first_track"] = 7;  // a session naming a track that is not there
  SetMedium(j);
  ExpectRefused("medium.json: medium.sessions[0].first_track");
  j = good;
  j["medium"]["tracks"][1]["nwa"] = -1;  // once read as 4294967295: an 8 TiB export
  SetMedium(j);
  ExpectRefused("medium.json: medium.tracks[1].nwa");
  j = good;
  j["medium"]["tracks"][0]["size"] = 40000;  // beyond the capacity
  SetMedium(j);
  ExpectRefused("medium.tracks[0].size");
  j = good;
  j["medium"]["capacity"] = 2.5;
  SetMedium(j);
  ExpectRefused("medium.capacity");
  testenv::WriteFile(d->dir + "/medium.json", "{\"medium\": ");
  ExpectRefused("medium.json");

  // Ejecting replaces the damaged state: the recorder works again.
  std::string msg;
  ASSERT_EQ(Tool("eject " + d->dir, &msg), 0) << msg;
  ASSERT_EQ(Tool("status " + d->dir, &msg), 0) << msg;
  ASSERT_EQ(Tool("insert " + d->dir + " --medium dvd+r", &msg), 0) << msg;
  EXPECT_NE(vdrive::TVirtualRecorder::Open(d->dir), nullptr);
}

TEST_F(Damaged, DriveFileIsReadStrictly) {
  // Every ready-made model comes back from its own text unchanged.
  for (const std::string& name : vdrive::PresetModelNames()) {
    const std::string text = vdrive::ModelToJson(*vdrive::PresetModel(name));
    vdrive::TDriveModel m;
    std::string error;
    ASSERT_TRUE(vdrive::ModelFromJson(text, m, error)) << name << ": " << error;
    EXPECT_EQ(vdrive::ModelToJson(m), text) << name;
  }
  json j = json::parse(testenv::ReadText(d->dir + "/drive.json"));
  j["durations_ms"]["load"] = -1500;
  testenv::WriteFile(d->dir + "/drive.json", j.dump(1));
  std::string msg;
  EXPECT_EQ(Tool("status " + d->dir, &msg), 1);
  EXPECT_NE(msg.find("drive.json: durations_ms.load: -1500 is not a whole number"),
            std::string::npos)
      << msg;
}

TEST_F(Damaged, MediumFileMustBeThereAndFitTheMedium) {
  const std::string image = d->dir + "/medium.img";
  ASSERT_EQ(truncate(image.c_str(), int64_t{30000} * 2048 + 1), 0);
  ExpectRefused("medium.img: 61440001 bytes, more than the medium holds");
  ASSERT_EQ(unlink(image.c_str()), 0);
  ExpectRefused("medium.img is missing");
}

TEST_F(Damaged, ExportThatCannotBeWrittenLeavesNothing) {
  // A file system with room for 8 KiB: the writes fail (SIGXFSZ ignored, so they fail with EFBIG).
  std::string msg;
  const std::string command = "sh -c " + testenv::Quote("trap '' XFSZ; ulimit -f 16; exec " +
                                                        std::string(ARDOVAN_VDRIVE_TOOL) +
                                                        " export " + d->dir + " --output " + out);
  EXPECT_EQ(testenv::Run(command, &msg), 1) << msg;
  EXPECT_NE(msg.find("cannot write " + out + ": File too large"), std::string::npos) << msg;
  EXPECT_NE(access(out.c_str(), F_OK), 0);
  ASSERT_EQ(Tool("export " + d->dir + " --output " + out, &msg), 0) << msg;
  struct stat st;
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 48 * 2048);
}

}  // namespace
}  // namespace vdtest
