// Test writes against the virtual recorder: simulated where the medium allows it, refused
// without a single recorded block where it does not.
#include <nlohmann/json.hpp>

#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

nlohmann::json Status(const std::string& rec) {
  std::string json, error;
  EXPECT_TRUE(vdrive::RecorderStatus(rec, json, error)) << error;
  return nlohmann::json::parse(json);
}

// What `ardovan-vdrive status` shows for a medium nothing was recorded on.
void ExpectBlank(const std::string& rec, const char* type) {
  const nlohmann::json m = Status(rec)["medium"];
  EXPECT_EQ(m["type"], type);
  EXPECT_EQ(m["disc_status"], "blank") << m.dump();
  EXPECT_TRUE(m["last_recorded"].is_null()) << m.dump();
  EXPECT_EQ(m["next_writable"], 0) << m.dump();
}

TEST_F(EngineBurn, TestWriteOnDvdPlusRIsRefusedAndRecordsNothing) {
  Use("bd");
  Insert(TMediumKind::DvdPlusR);
  q->SetTestWrite(true);
  const std::string src = MakeSourceFolder(21);
  Compile(src, "Zkouska");
  ASSERT_TRUE(q->BurnData());
  WaitForWrite();
  EXPECT_TRUE(failed);
  // The recorder's refusal of the test-write bit: 5/26/02.
  EXPECT_EQ(q->GetLastErrorText(), "Hardware Error 9730");
  EXPECT_EQ(q->GetWrittenSectors(), 0);
  ExpectBlank(rec, "dvd+r");

  // The disc is still good for the real burn the user meant to try.
  q->SetTestWrite(false);
  BurnData();
  ExpectSameTree(src, ExtractJoliet(Export()), "real burn after the refused simulation");
}

TEST_F(EngineBurn, TestWriteOnCdRSimulatesTheWholeBurn) {
  Use("bd");
  Insert(TMediumKind::CdR);
  q->SetTestWrite(true);
  Compile(MakeSourceFolder(22), "Simulace");
  BurnData();
  // Every block went through the drive, none was recorded.
  EXPECT_EQ(q->GetWrittenSectors(), q->GetTotalSectors());
  EXPECT_GT(q->GetTotalSectors(), 0);
  ExpectBlank(rec, "cd-r");
}

}  // namespace
}  // namespace engine_e2e
