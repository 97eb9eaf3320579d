#pragma once
// A component wired to a scripted recorder, on a clock running 1000 times faster, with helpers
// to wait for the one completion event of a job.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "tests/engine/FakeRecorder.h"

struct JobFixture : ::testing::Test {
  std::shared_ptr<fake::TRecorder> drive = std::make_shared<fake::TRecorder>();
  std::unique_ptr<TQuorvexPro> q;
  int writeEvents = 0, eraseEvents = 0;
  bool lastFailed = false;
  uint16_t statusAtEvent = 0xFFFF;

  void SetUp() override {
    plat::SetClockScale(1000);
    scripted::InstallDrives({drive});
    q = std::make_unique<TQuorvexPro>(true);
    ASSERT_TRUE(q->InitializeDevices(0, "", ""));
    ASSERT_EQ(q->GetDeviceCount(), 1);
    ASSERT_TRUE(q->SelectDevice(0));
    q->OnWriteDone = [this](TQuorvexPro* s, uint8_t id, bool failed) {
      EXPECT_EQ(s, q.get());
      EXPECT_EQ(id, 0);
      ++writeEvents;
      lastFailed = failed;
      statusAtEvent = q->GetStatus();
    };
    q->OnEraseDone = [this](TQuorvexPro* s, uint8_t id, bool failed) {
      EXPECT_EQ(s, q.get());
      EXPECT_EQ(id, 0);
      ++eraseEvents;
      lastFailed = failed;
      statusAtEvent = q->GetStatus();
    };
  }
  void TearDown() override {
    q.reset();
    scripted::RemoveDrives();
    plat::SetClockScale(1);
  }

  // Dispatches until the first completion event, then makes sure no second one follows.
  void WaitForEvent() {
    for (int i = 0; i < 60000 && writeEvents + eraseEvents == 0; ++i)
      q->NotifyQueue()->WaitAndDispatch(1000);
    ASSERT_EQ(writeEvents + eraseEvents, 1);
    q->NotifyQueue()->WaitAndDispatch(200);
    EXPECT_EQ(writeEvents + eraseEvents, 1);
    EXPECT_EQ(statusAtEvent, 0);
    EXPECT_EQ(q->GetStatus(), 0);
  }

  // The logged commands with the given opcode.
  std::vector<std::vector<uint8_t>> Commands(uint8_t op) const { return drive->Cdbs(op); }
  // Index in the log of the n-th command with opcode op (-1 when missing).
  int IndexOf(uint8_t op, int n = 0) const {
    const auto ops = drive->Opcodes();
    for (size_t i = 0; i < ops.size(); ++i)
      if (ops[i] == op && n-- == 0) return static_cast<int>(i);
    return -1;
  }
  static uint32_t Lba(const std::vector<uint8_t>& c) { return qvp::mmc::GetBE32(&c[2]); }
};
