// The readiness wait after a medium change, and READ FORMAT CAPACITIES as a list.
#include <atomic>
#include <deque>

#include "device/qvpSCSIFormats.h"
#include "device/qvpSCSIReady.h"
#include "tests/device/FakeDrive.h"

using namespace qvp;
using devtest::TFakeDrive;

namespace {

struct TAnswer {
  uint8_t Status = 2, Key = 0, Asc = 0, Ascq = 0;
};
const TAnswer kAttention{2, 6, 0x28, 0}, kBecomingReady{2, 2, 0x04, 0x01}, kGood{0}, kBusy{8};

class ReadyTest : public devtest::FakeDriveTest {
 protected:
  void SetUp() override {
    FakeDriveTest::SetUp();
    plat::SetClockScale(1000);
  }
  void TearDown() override {
    plat::SetClockScale(1);
    FakeDriveTest::TearDown();
  }
  // TEST UNIT READY answers these in turn, then the last one for ever.
  std::shared_ptr<TFakeDrive> Drive(std::deque<TAnswer> answers) {
    auto d = SelectOne();
    auto script = std::make_shared<std::deque<TAnswer>>(std::move(answers));
    d->On(0x00, [script](const scripted::TExchange& x) {
      const TAnswer a = script->front();
      if (script->size() > 1) script->pop_front();
      return a.Status == 2 && (a.Key || a.Asc) ? x.Check(a.Key, a.Asc, a.Ascq) : a.Status;
    });
    return d;
  }
  size_t Polls(const TFakeDrive& d) const { return d.Seen(0x00).size(); }
};

TEST_F(ReadyTest, AttentionThenBecomingReadyIsWaitedForAndLeavesNoError) {
  std::deque<TAnswer> answers{kAttention, kBusy};
  for (int i = 0; i < 10; ++i) answers.push_back(kBecomingReady);
  answers.push_back(kGood);
  auto d = Drive(answers);
  dev->LastAscAscq = 0x1234;  // an error of earlier work, still to be read
  const uint32_t start = plat::TickCount();
  int asked = 0;
  EXPECT_EQ(WaitUntilMediumReady(*dev, [&] { return ++asked > 0; }), TMediumReadiness::Ready);
  // The attention is asked again at once; BUSY and every "becoming ready" cost one poll interval.
  EXPECT_EQ(Polls(*d), 13u);
  EXPECT_EQ(asked, 13);
  EXPECT_GE(plat::TickCount() - start, 11 * kMediumReadyPollMs);
  EXPECT_EQ(dev->LastAscAscq, 0x1234);
}

TEST_F(ReadyTest, AnswersThatEndTheWait) {
  struct TCase {
    std::deque<TAnswer> Answers;
    TMediumReadiness Expected;
    size_t Polls;
  };
  const TCase cases[] = {
      {{kAttention, {2, 2, 0x3A, 0x02}}, TMediumReadiness::NoMedium, 2},  // tray open
      {{{2, 2, 0x3A, 0x00}}, TMediumReadiness::NoMedium, 1},
      {{{2, 2, 0x30, 0x00}}, TMediumReadiness::Unusable, 1},  // a medium the drive cannot read
      {{{2, 2, 0x04, 0x03}}, TMediumReadiness::Unusable, 1},  // manual intervention required
      {{{2, 0, 0, 0}}, TMediumReadiness::NotAnswering, 1},    // failed without sense data
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Expected));
    auto d = Drive(c.Answers);
    EXPECT_EQ(WaitUntilMediumReady(*dev), c.Expected);
    EXPECT_EQ(Polls(*d), c.Polls);
    EXPECT_EQ(dev->LastAscAscq, c.Answers.back().Asc << 8 | c.Answers.back().Ascq);
    ReleaseDevice(*dev);
    std::memset(dev.get(), 0, sizeof *dev);
  }
}

TEST_F(ReadyTest, BoundedInDriveTimeAndAbortable) {
  // A drive that never gets ready (an endless stream of attentions counts as such too).
  auto d = Drive({kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  kAttention,
                  {2, 2, 0x04, 0x08}});
  const uint32_t start = plat::TickCount();
  EXPECT_EQ(WaitUntilMediumReady(*dev), TMediumReadiness::TimedOut);
  const uint32_t waited = plat::TickCount() - start;
  EXPECT_GE(waited, kMediumReadyLimitMs);
  // Polls at most every 100 ms: never more than the limit allows, plus the attentions.
  EXPECT_LE(Polls(*d), kMediumReadyLimitMs / kMediumReadyPollMs + 11);

  // Asked once: the attention is taken as read, the drive still busy.
  d = Drive({kAttention, kBecomingReady});
  EXPECT_EQ(WaitUntilMediumReady(*dev, nullptr, 0), TMediumReadiness::TimedOut);
  EXPECT_EQ(Polls(*d), 2u);

  // The caller's way out is taken before the next poll.
  d = Drive({kBecomingReady});
  int calls = 0;
  EXPECT_EQ(WaitUntilMediumReady(*dev, [&] { return ++calls < 4; }), TMediumReadiness::Aborted);
  EXPECT_EQ(Polls(*d), 3u);
}

TEST_F(ReadyTest, FormatCapacityListAndTheFormatBuiltFromIt) {
  auto d = SelectOne();
  // Unformatted BD-RE: current capacity, then full format 00h, 30h with spares, 31h without.
  d->Reply(0x23, {0,    0,    0,    32,   0x00, 0xB4, 0x74, 0x00,
                  0x01, 0x00, 0x08, 0x00,                            // current, unformatted
                  0x00, 0xB4, 0x74, 0x00, 0x00, 0x00, 0x08, 0x00,    // 00h, 2048
                  0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x30, 0x00,    // 30h, parameter 3000h
                  0x00, 0xBA, 0x74, 0x00, 0xC4, 0x00, 0x00, 0x00});  // 31h
  TFormatCapacities caps;
  ASSERT_TRUE(ReadFormatCapacityList(*dev, caps));
  EXPECT_EQ(caps.CurrentBlocks, 0xB47400u);
  EXPECT_EQ(caps.CurrentType, TFormatCapacities::kUnformatted);
  ASSERT_EQ(caps.FormatCount, 3);
  EXPECT_EQ(caps.Formats[1].FormatType, 0x30);
  EXPECT_EQ(caps.Formats[1].Parameter, 0x3000u);
  EXPECT_EQ(caps.Formats[2].Blocks, 0xBA7400u);
  uint8_t list[12];
  ASSERT_TRUE(BuildFormatList(caps, 0x30, list));
  EXPECT_EQ(std::vector<uint8_t>(list, list + 12),
            (std::vector<uint8_t>{0x00, 0x82, 0x00, 0x08, 0x00, 0xB4, 0x74, 0x00, 0xC0, 0x00, 0x30,
                                  0x00}));
  EXPECT_FALSE(BuildFormatList(caps, 0x26, list));
  // A list without its current capacity descriptor is no answer.
  d->Reply(0x23, {0, 0, 0, 0});
  EXPECT_FALSE(ReadFormatCapacityList(*dev, caps));
}

}  // namespace
