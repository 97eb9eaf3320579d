// The write job's command sequence as the virtual recorder's own trace shows it.
#include <sstream>

#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

// CDB hex texts of the trace, in order ("5B 01 02 00 ...").
std::vector<std::string> TraceCdbs(const std::string& rec) {
  std::vector<std::string> out;
  std::istringstream in(testenv::ReadText(rec + "/trace.log"));
  for (std::string line; std::getline(in, line);) out.push_back(line.substr(0, line.find(" |")));
  return out;
}

int Find(const std::vector<std::string>& t, const std::string& prefix, int from = 0) {
  for (int i = from; i < int(t.size()); ++i)
    if (t[i].rfind(prefix, 0) == 0) return i;
  return -1;
}

TEST_F(EngineBurn, RecorderTraceOfCdRAndDvdRBurns) {
  Use("bd");
  std::string error;
  ASSERT_TRUE(vdrive::SetTrace(rec, true, error)) << error;
  const std::string src = MakeSourceFolder(3);

  Insert(TMediumKind::CdR);
  std::filesystem::remove(rec + "/trace.log");
  Compile(src, "CD");
  BurnData();
  auto t = TraceCdbs(rec);
  const int firstWrite = Find(t, "2A");
  ASSERT_GT(firstWrite, 0);
  EXPECT_EQ(t[firstWrite].substr(0, 17), "2A 00 00 00 00 00");  // a blank CD-R starts at LBA 0
  EXPECT_EQ(Find(t, "B6"), -1);                                 // no streaming on CD
  const int close = Find(t, "5B");
  ASSERT_GT(close, firstWrite);
  EXPECT_EQ(t[close], "5B 01 02 00 00 00 00 00 00 00");  // the session, immediate
  EXPECT_EQ(Find(t, "5B", close + 1), -1);
  // The third block is followed by the first buffer poll.
  const int third = Find(t, "2A", Find(t, "2A", firstWrite + 1) + 1);
  EXPECT_TRUE(t[third + 1].rfind("5C", 0) == 0) << t[third + 1];

  Insert(TMediumKind::DvdR);
  std::filesystem::remove(rec + "/trace.log");
  BurnData();
  t = TraceCdbs(rec);
  const int stamp = Find(t, "BF");
  const int reserve = Find(t, "53");
  const int write = Find(t, "2A");
  ASSERT_GE(stamp, 0);
  EXPECT_LT(stamp, reserve);
  EXPECT_LT(reserve, write);
  EXPECT_GE(Find(t, "B6"), 0);
  std::vector<std::string> closes;
  for (int i = Find(t, "5B"); i >= 0; i = Find(t, "5B", i + 1)) closes.push_back(t[i]);
  EXPECT_EQ(closes, (std::vector<std::string>{"5B 00 01 00 00 01 00 00 00 00",
                                              "5B 00 01 00 00 02 00 00 00 00",
                                              "5B 00 02 00 00 03 00 00 00 00"}));
}

}  // namespace
}  // namespace engine_e2e
