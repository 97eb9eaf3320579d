// A whole command log of a session, parsed line by line: every command line is well formed and
// its fields agree with the command that was sent.
#include <regex>
#include <sstream>

#include "tests/device/FakeDrive.h"

using devtest::TSeenCommand;

using namespace qvp;

namespace {

struct TLogLine {
  std::string Name;
  int Opcode, Flags, CdbLength, Status, Length;
  std::vector<int> Cdb, Data;
  int Asc, Ascq;
  bool HasSystemError;
};

// Parses the command lines of a log (header and discovery lines are skipped and counted).
std::vector<TLogLine> ParseCommandLines(const std::string& text, int& otherLines, int& malformed) {
  static const std::regex line(
      R"(^(?:- NAL -> [0-9A-F]+ )?\d{2}:\d{2}:\d{3} (.{22}|) \(([0-9A-F]{2})\) \{([0-9A-F]{2}):([0-9A-F]{2})\} - ([0-9A-F]+):([0-9A-F]+):([0-9A-F]+) <([0-9A-F]{2})> \[([0-9A-F]{5,})\] ((?:[0-9A-F]{2} ){15})\| ((?:[0-9A-F]{2} )*)([0-9A-F]{2}):([0-9A-F]{2})(, \d+)?$)");
  std::vector<TLogLine> out;
  otherLines = malformed = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ++malformed;  // every line ends with CR LF
      break;
    }
    const std::string l = text.substr(pos, end - pos);
    pos = end + 2;
    std::smatch m;
    if (!std::regex_match(l, m, line)) {
      if (std::isdigit(static_cast<unsigned char>(l[0])) && l.size() > 2 && l[2] == ':') ++malformed;
      else ++otherLines;
      continue;
    }
    TLogLine p;
    p.Name = m[1];
    p.Opcode = std::stoi(m[2], nullptr, 16);
    p.Flags = std::stoi(m[3], nullptr, 16);
    p.CdbLength = std::stoi(m[4], nullptr, 16);
    p.Status = std::stoi(m[8], nullptr, 16);
    p.Length = std::stoi(m[9], nullptr, 16);
    std::istringstream cdb(m[10].str()), data(m[11].str());
    for (std::string b; cdb >> b;) p.Cdb.push_back(std::stoi(b, nullptr, 16));
    for (std::string b; data >> b;) p.Data.push_back(std::stoi(b, nullptr, 16));
    p.Asc = std::stoi(m[12], nullptr, 16);
    p.Ascq = std::stoi(m[13], nullptr, 16);
    p.HasSystemError = m[14].matched;
    out.push_back(p);
  }
  return out;
}

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
