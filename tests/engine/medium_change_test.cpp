// A disc that just went into a virtual recorder: the drive answers UNIT ATTENTION and is
// becoming ready for its load time, and the component's first question or job about it must
// still be answered about that disc. Also the media that must be formatted before their first
// write.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "device/qvpConsts.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Model.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace {

using vdrive::TMediumKind;

class MediumChangeTest : public ::testing::Test {
 protected:
  std::string rec;
  std::unique_ptr<TQuorvexPro> q;
  int events = 0;
  bool failed = false;

  void SetUp() override {
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
    plat::SetClockScale(1000);
    rec = testenv::MakeTempDir("recorder");
    std::string error;
    ASSERT_TRUE(vdrive::CreateRecorder(rec, "bd", false, error)) << error;
    testenv::SetEnv("ARDOVAN_VDRIVES", rec);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
    q = std::make_unique<TQuorvexPro>(true);
    ASSERT_TRUE(q->InitializeDevices(0, "", ""));
    ASSERT_TRUE(q->SelectDevice(0));
    auto done = [this](TQuorvexPro*, uint8_t, bool f) {
      ++events;
      failed = f;
    };
    q->OnWriteDone = done;
    q->OnEraseDone = done;
    q->SetCacheSize(2);
  }
  void TearDown() override {
    q.reset();
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
    plat::SetClockScale(1);
  }
  void Insert(TMediumKind kind) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(rec, kind, std::nullopt, false, error)) << error;
  }
  void WaitForEvent() {
    for (int i = 0; i < 600000 && events == 0; ++i) q->NotifyQueue()->WaitAndDispatch(1000);
    ASSERT_EQ(events, 1);
    events = 0;
  }
  void Compile() {
    const std::string dir = testenv::MakeTempDir("src");
    testenv::WriteFile(dir + "/data.bin", testenv::RandomBytes(200000, 7));
    q->ClearCompilation();
    ASSERT_NE(q->InsertDir("\\", dir, false, true, "*.*"), nullptr);
    ASSERT_GT(q->PrepareImage(), 0);
  }
  vdrive::TDisc Medium() {
    vdrive::TLoadState s;
    std::string error;
    EXPECT_TRUE(vdrive::ReadLoadState(rec, s, error)) << error;
    return s.disc.value_or(vdrive::TDisc{});
  }
};

TEST_F(MediumChangeTest, FirstQuestionsAfterAnInsertAreAnsweredAboutTheNewDisc) {
  const uint32_t loadMs = vdrive::TDurations{}.loadMs;
  Insert(TMediumKind::DvdPlusR);
  const uint32_t start = plat::TickCount();
  EXPECT_TRUE(q->IsUnitReady());
  EXPECT_GE(plat::TickCount() - start, loadMs);  // it waited for the load instead of giving up

  // Each query the windows use, right after another change.
  const uint32_t plusR = vdrive::Traits(TMediumKind::DvdPlusR).capacity;
  const std::pair<TMediumKind, std::function<bool()>> queries[] = {
      {TMediumKind::DvdPlusR, [&] { return q->GetMediumType() == qvp::mtDVDPLUSR; }},
      {TMediumKind::DvdPlusR, [&] { return q->IsDiscWritable(); }},
      {TMediumKind::DvdPlusR,
       [&] { return q->GetFreeBlocks() == plusR && q->GetTotalBlocks() == plusR; }},
      {TMediumKind::CdRw, [&] { return q->IsErasable(); }},
  };
  for (size_t i = 0; i < std::size(queries); ++i) {
    Insert(queries[i].first);
    EXPECT_TRUE(queries[i].second()) << i;
  }

  // The settings window's speed probe right after a change lists every DVD+R speed.
  Insert(TMediumKind::DvdPlusR);
  std::set<uint16_t> speeds;
  const uint16_t max = q->GetMaxWriteSpeed();
  for (int x = 16; x >= 1; --x) {
    q->SetSpeed(0, static_cast<uint16_t>(x * 1385));
    speeds.insert(q->GetCurrentWriteSpeed());
  }
  EXPECT_EQ(*speeds.rbegin(), max);
  EXPECT_EQ(speeds.size(), 5u);  // 2.4x, 4x, 8x, 12x, 16x

  ASSERT_TRUE(q->EjectDisc(false));
  EXPECT_FALSE(q->IsUnitReady());
  EXPECT_EQ(q->WaitUntilMediumReady(), qvp::TMediumReadiness::NoMedium);
}

TEST_F(MediumChangeTest, DriveThatNeverGetsReadyIsWaitedForOnce) {
  Insert(TMediumKind::DvdPlusR);
  ASSERT_TRUE(q->IsUnitReady());
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      rec, [](vdrive::TFaults& f) { f.notReadyMs = 200000, ++f.notReadyArm; }, error));
  ASSERT_TRUE(vdrive::SetTrace(rec, true, error));
  auto polls = [&] {
    const std::string t = testenv::ReadText(rec + "/trace.log");
    size_t n = 0;
    for (size_t at = 0; (at = t.find("00 00 00 00 00 00 |", at)) != std::string::npos; ++at) ++n;
    return n;
  };
  const uint32_t start = plat::TickCount();
  EXPECT_FALSE(q->IsUnitReady());
  EXPECT_GE(plat::TickCount() - start, qvp::kMediumReadyLimitMs);
  // The queries of a flow that follows ask once each instead of waiting again.
  const size_t before = polls();
  q->GetMediumType();
  q->IsDiscWritable();
  EXPECT_FALSE(q->IsUnitReady());
  EXPECT_EQ(polls() - before, 3u);
  // Once the drive is ready, the next change is waited for in full again.
  plat::Sleep(200000);
  EXPECT_TRUE(q->IsUnitReady());
  Insert(TMediumKind::DvdPlusR);
  EXPECT_TRUE(q->IsUnitReady());
  // A look that asks once while a disc loads (a window's drive watcher) is no timed-out wait:
  // the queries after it still wait for the disc.
  Insert(TMediumKind::CdR);
  ASSERT_TRUE(vdrive::UpdateFaults(
      rec, [](vdrive::TFaults& f) { f.notReadyMs = 5000, ++f.notReadyArm; }, error));
  EXPECT_EQ(q->WaitUntilMediumReady(nullptr, 0), qvp::TMediumReadiness::TimedOut);
  EXPECT_TRUE(q->IsUnitReady());
  EXPECT_EQ(q->GetMediumType(), qvp::mtCDR);
}

TEST_F(MediumChangeTest, JobsStartedRightAfterAnInsertWorkFirstTime) {
  Compile();
  Insert(TMediumKind::CdR);
  ASSERT_TRUE(q->BurnData());
  WaitForEvent();
  EXPECT_FALSE(failed) << q->GetLastErrorText();
  EXPECT_EQ(Medium().DiscStatus(), 1);

  Insert(TMediumKind::CdRw);
  ASSERT_TRUE(q->EraseDisc(true));
  WaitForEvent();
  EXPECT_FALSE(failed) << q->GetLastErrorText();

  // An eject right after an insert is not lost to the unit attention.
  Insert(TMediumKind::CdR);
  ASSERT_TRUE(q->EjectDisc(false));
  vdrive::TLoadState s;
  std::string error;
  ASSERT_TRUE(vdrive::ReadLoadState(rec, s, error));
  EXPECT_TRUE(s.trayOpen);
}

TEST_F(MediumChangeTest, FreshMediaAreFormattedBeforeTheirFirstWrite) {
  Compile();
  // A new BD-RE, and a new DVD+RW in a drive that will not start its background format by itself.
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      rec, [](vdrive::TFaults& f) { f.plusRwNeedsFormat = true; }, error));
  for (const TMediumKind kind : {TMediumKind::BdRe, TMediumKind::DvdPlusRw}) {
    SCOPED_TRACE(vdrive::MediumName(kind));
    Insert(kind);
    EXPECT_TRUE(q->MediumNeedsFormat());
    ASSERT_TRUE(q->BurnData());
    WaitForEvent();
    EXPECT_FALSE(failed) << q->GetLastErrorText();
    const vdrive::TDisc d = Medium();
    EXPECT_TRUE(d.formatted);
    EXPECT_GE(d.highWater, uint32_t(q->GetTotalSectors()));
    EXPECT_FALSE(q->MediumNeedsFormat());
  }
  // Media that come formatted, or are written sequentially, are not formatted by the write.
  for (const TMediumKind kind : {TMediumKind::DvdRam, TMediumKind::BdR, TMediumKind::CdRw}) {
    Insert(kind);
    EXPECT_FALSE(q->MediumNeedsFormat()) << vdrive::MediumName(kind);
  }
}

}  // namespace
