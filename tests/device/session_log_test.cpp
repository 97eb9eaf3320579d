// A whole command log of a session, parsed line by line: every command line is well formed and
// its fields agree with the command that was sent.
#include "tests/device/FakeDrive.h"
#include "tests/device/LogParse.h"

using devtest::ParseCommandLines;
using devtest::TSeenCommand;

using namespace qvp;

namespace {

class SessionLogTest : public devtest::FakeDriveTest {};

TEST_F(SessionLogTest, EveryCommandOfASessionHasOneWellFormedLine) {
  auto d = std::make_shared<devtest::TFakeDrive>();
  d->SetAddress(0, 1, 0);
  Install({d});
  const std::string log = testenv::MakeTempDir("log") + "/session.elg";
  ASSERT_TRUE(InitializeDevices(*dev, 0, "", log));
  ASSERT_TRUE(SelectDevice(*dev, 0));
  d->Fail(0x51, 2, 0x3A, 0x00);
  TestUnitReady(*dev);
  GetMediumType(*dev);
  IsDiscWritable(*dev);
  SetSpeed(*dev, 0, 4155);
  std::vector<uint8_t> block(65536, 0x5A);
  dev->WriteStats.Speed = 1;
  Write10(*dev, 0, 32, 65536, block.data());
  SynchronizeCache(*dev, true);
  const std::vector<TSeenCommand> sent = d->Seen();
  ReleaseDevice(*dev);

  int other = 0, malformed = 0;
  auto lines = ParseCommandLines(testenv::ReadText(log), other, malformed);
  EXPECT_EQ(malformed, 0);
  EXPECT_EQ(other, 1 + 24);  // header, one line per letter C to Z
  // INQUIRY of the discovery goes straight to the drive and is not a command line.
  ASSERT_EQ(lines.size() + 1, sent.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& l = lines[i];
    const auto& s = sent[i + 1];
    SCOPED_TRACE(l.Name);
    EXPECT_EQ(l.Opcode, s.Cdb[0]);
    EXPECT_EQ(l.CdbLength, static_cast<int>(s.Cdb.size()));
    for (size_t b = 1; b < 15; ++b) EXPECT_EQ(l.Cdb[b - 1], b < s.Cdb.size() ? s.Cdb[b] : 0);
    EXPECT_EQ(static_cast<uint32_t>(l.Length), s.DataLength);
    EXPECT_EQ(l.Data.size(), std::min<size_t>(100, s.DataLength));
    EXPECT_TRUE(l.HasSystemError);
    EXPECT_EQ(l.Name, dev->CommandNames[l.Opcode]);
  }
  const auto& write = lines[lines.size() - 2];
  EXPECT_EQ(write.Name, "WRITE (10)            ");
  EXPECT_EQ(write.Flags, 0x50);
  EXPECT_EQ(write.Data, std::vector<int>(100, 0x5A));
  bool sawNotReady = false;
  for (auto& l : lines)
    if (l.Opcode == 0x51) sawNotReady = l.Status == 4 && l.Asc == 0x3A && l.Ascq == 0;
  EXPECT_TRUE(sawNotReady);
}

}  // namespace
