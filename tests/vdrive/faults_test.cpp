// Faults armed in faults.json: sense for chosen commands, BUSY, NOT READY periods, refused
// commands and pages; and the command trace.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

class Faults : public VdriveTest {};

void Arm(TDrive& d, const std::function<void(vdrive::TFaults&)>& change) {
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(d.dir, change, error)) << error;
}

TEST_F(Faults, CommandFailsInRangeFromTheKthTimeForTTimes) {
  TDrive d("bd", "dvd+rw", 0, true);
  Arm(d, [](vdrive::TFaults& f) {
    vdrive::TOpcodeFault w;
    w.opcode = 0x2A;
    w.lbaFirst = 64;
    w.lbaLast = 95;
    w.from = 2;
    w.times = 1;
    w.sense = TSense{3, 0x0C, 0x00};
    f.commands.push_back(w);
  });
  EXPECT_TRUE(d.Write(0, 32));   // outside the range
  EXPECT_TRUE(d.Write(48, 32));  // first touch of the range
  EXPECT_FALSE(d.Write(90, 32));
  EXPECT_EQ(d.Sense(), (TSense{3, 0x0C, 0x00}));
  EXPECT_TRUE(d.Write(90, 32));  // fired its one time
  // The counters live in faults.json: a restarted program does not see it fire again.
  d.Reopen();
  EXPECT_TRUE(d.Write(64, 32));
  std::string text;
  ASSERT_TRUE(vdrive::ReadTextFile(d.dir + "/faults.json", text));
  vdrive::TFaults f;
  std::string error;
  ASSERT_TRUE(vdrive::FaultsFromJson(text, f, error)) << error;
  EXPECT_EQ(f.commands[0].seen, 4u);
  EXPECT_EQ(f.commands[0].fired, 1u);

  Arm(d, [](vdrive::TFaults& f) {
    vdrive::TOpcodeFault r;
    r.opcode = 0x28;
    r.times = 0;
    r.sense = TSense{3, 0x11, 0x05};
    f.commands.push_back(r);
  });
  for (int i = 0; i < 3; ++i) {
    d.Read(0, 1);
    EXPECT_EQ(d.Sense(), (TSense{3, 0x11, 0x05}));
  }
  std::string e2;
  ASSERT_TRUE(vdrive::ClearFaults(d.dir, e2)) << e2;
  d.Read(0, 1);
  EXPECT_EQ(d.status, 0);
}

TEST_F(Faults, BusyForKCommands) {
  TDrive d("bd", "cd-r");
  Arm(d, [](vdrive::TFaults& f) { f.busy = 2; });
  EXPECT_EQ(d.Cmd({0, 0, 0, 0, 0, 0}), vdrive::kStatusBusy);
  EXPECT_EQ(d.Sense(), (TSense{0, 0, 0}));
  EXPECT_EQ(d.Cmd({0x12, 0, 0, 0, 36, 0}), vdrive::kStatusBusy);
  EXPECT_EQ(d.Cmd({0, 0, 0, 0, 0, 0}), vdrive::kStatusGood);
}

TEST_F(Faults, NotReadyForAPeriod) {
  TDrive d("bd", "cd-r");
  Arm(d, [](vdrive::TFaults& f) {
    f.notReadyMs = 60000;
    ++f.notReadyArm;
  });
  EXPECT_FALSE(d.Ok({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x04, 0x00}));
  d.WaitReady();
  EXPECT_TRUE(d.Ok({0, 0, 0, 0, 0, 0}));
  // Noticed once: rewriting the file without a new arming starts nothing.
  Arm(d, [](vdrive::TFaults& f) { f.busy = 0; });
  EXPECT_TRUE(d.Ok({0, 0, 0, 0, 0, 0}));
}

TEST_F(Faults, RefusedCommandsAndPagesModelOlderDrives) {
  TDrive d("bd", "cd-r");
  Arm(d, [](vdrive::TFaults& f) {
    f.refuse = {0x5C, 0x46};
    f.refusePages = {0x2A};
  });
  d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x20, 0x00}));
  d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x20, 0x00}));
  d.In({0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 255, 0}, 255);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  d.In({0x5A, 0, 0x05, 0, 0, 0, 0, 0, 255, 0}, 255);
  EXPECT_EQ(d.status, 0);
}

TEST_F(Faults, TraceWritesOneLinePerCommand) {
  TDrive d("bd");
  std::string error;
  ASSERT_TRUE(vdrive::SetTrace(d.dir, true, error)) << error;
  d.Ok({0, 0, 0, 0, 0, 0});
  d.Insert("dvd+rw", 0, true);
  d.WaitReady();
  ASSERT_TRUE(d.Write(0x1234, 32));
  ASSERT_TRUE(vdrive::SetTrace(d.dir, false, error)) << error;
  d.Ok({0, 0, 0, 0, 0, 0});
  const std::string trace = testenv::ReadText(d.dir + "/trace.log");
  EXPECT_EQ(trace.rfind("00 00 00 00 00 00 | out 0 | status 02 | 2/3A/00\n", 0), 0u) << trace;
  EXPECT_NE(trace.find("00 00 00 00 00 00 | out 0 | status 02 | 6/28/00\n"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("2A 00 00 00 12 34 00 00 20 00 | out 65536 | status 00 | 0/00/00\n"),
            std::string::npos)
      << trace;
  // Nothing after tracing was switched off.
  const std::string last = "2A 00 00 00 12 34 00 00 20 00 | out 65536 | status 00 | 0/00/00\n";
  EXPECT_EQ(trace.substr(trace.size() - last.size()), last);
}

}  // namespace
}  // namespace vdtest
