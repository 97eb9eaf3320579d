// The burner component without a drive: property rules, the error texts and status after an
// abort, and the jobs that must refuse to start.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <type_traits>
#include <vector>

#include "device/qvpDeviceTypes.h"
#include "engine/qvpQuorvexPro.h"
#include "image/qvpTreeTypes.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "tests/support/TestEnv.h"

namespace {

TEST(ComponentTest, ConstructorValuesAndSetterRules) {
  TQuorvexPro q(false);
  EXPECT_TRUE(q.GetBurnProof());
  EXPECT_FALSE(q.GetTestWrite());
  EXPECT_FALSE(q.GetFinalizeDisc());
  EXPECT_FALSE(q.GetReplaceFile());
  EXPECT_TRUE(q.GetJolietFileSystem());
  EXPECT_FALSE(q.GetISO9660v1999FS());
  EXPECT_FALSE(q.GetUDFBridge());
  EXPECT_EQ(q.GetCacheSize(), 32u);
  EXPECT_EQ(q.GetVolumeID(), "");
  EXPECT_EQ(q.GetBootImage(), "");
  EXPECT_EQ(q.NotifyQueue(), nullptr);
  EXPECT_EQ(q.Device().CloseAfterCommand, 1);
  EXPECT_NE(TQuorvexPro::Version().find("1.21"), std::string::npos);

  // Below 2 MiB the buffer stays at 2; above the slot table's reach it is clamped to 624.
  q.SetCacheSize(1);
  EXPECT_EQ(q.GetCacheSize(), 2u);
  q.SetCacheSize(0);
  EXPECT_EQ(q.GetCacheSize(), 2u);
  q.SetCacheSize(624);
  EXPECT_EQ(q.GetCacheSize(), 624u);
  q.SetCacheSize(625);
  EXPECT_EQ(q.GetCacheSize(), 624u);
  q.SetCacheSize(0xFFFFFFFFu);  // would overflow as bytes
  EXPECT_EQ(q.GetCacheSize(), 624u);

  q.SetVolumeID("Prázdniny 2008");
  EXPECT_EQ(q.GetVolumeID(), "Prázdniny 2008");
  q.SetVolumeID("");
  EXPECT_EQ(q.GetVolumeID(), "");
}

TEST(ComponentTest, BootImageAcceptsOnlyDisketteAndSectorSizes) {
  TQuorvexPro q(false);
  const std::string dir = testenv::MakeTempDir();
  const std::string floppy = dir + "/floppy.img";
  const std::string longer = dir + "/longer.img";
  testenv::WriteFile(floppy, std::vector<uint8_t>(1474560, 0xF6));
  testenv::WriteFile(longer, std::vector<uint8_t>(1474561, 0xF6));
  q.SetBootImage(floppy);
  EXPECT_EQ(q.GetBootImage(), floppy);
  q.SetBootImage(longer);
  EXPECT_EQ(q.GetBootImage(), floppy);
  q.SetBootImage(dir + "/missing.img");
  EXPECT_EQ(q.GetBootImage(), floppy);
  q.SetBootImage("");  // an empty value changes nothing
  EXPECT_EQ(q.GetBootImage(), floppy);
}

TEST(ComponentTest, AbortBetweenJobsLeavesStatusSevenAndTheTextIsConsumedOnce) {
  TQuorvexPro q(true);
  EXPECT_EQ(q.GetStatus(), 0);
  EXPECT_EQ(q.GetLastErrorText(), "Unknown/No Error!");
  q.Abort();
  EXPECT_EQ(q.GetStatus(), 7);
  EXPECT_EQ(q.GetLastErrorText(), "Aborted by user");
  EXPECT_EQ(q.GetLastErrorText(), "Unknown/No Error!");
  EXPECT_EQ(q.GetStatus(), 7);
  q.Device().LastAscAscq = 0x3005;
  EXPECT_EQ(q.GetLastErrorText(), "Hardware Error 12293");
  EXPECT_STREQ(q.Device().ErrorText, "Hardware Error 12293");
  EXPECT_EQ(q.Device().LastAscAscq, 0);
}

// The component publishes the tree's own handler type, so the two can never drift apart.
static_assert(std::is_same_v<decltype(TQuorvexPro::OnAddFile), decltype(TImageBuilder::OnAddFile)>);

TEST(ComponentTest, OnAddFileReachesTheTreeWhichFiresItWithoutASender) {
  TQuorvexPro q(false);
  const std::string dir = testenv::MakeTempDir("src");
  testenv::WriteFile(dir + "/keep.txt", std::string("keep"));
  testenv::WriteFile(dir + "/skip.txt", std::string("skip"));
  std::vector<std::string> seen;
  int withSender = 0;
  q.OnAddFile = [&](void* sender, const char16_t* path, plat::TFindData& fd, bool& skip) {
    if (sender != nullptr) ++withSender;
    seen.push_back(path ? plat::Utf16ToUtf8(path) : "<folder>");
    skip = plat::Utf16ToUtf8(fd.FileName) == "skip.txt";
  };
  q.ClearCompilation();
  ASSERT_NE(q.InsertDir("\\", dir, false, true, "*.*"), nullptr);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{dir + "/keep.txt", dir + "/skip.txt"}));
  EXPECT_EQ(withSender, 0);
  // The skipped file is not in the tree.
  EXPECT_EQ(q.Builder().EntryCount, 1u);

  // A handler cleared on the component is cleared in the tree at the next insertion.
  q.OnAddFile = nullptr;
  seen.clear();
  EXPECT_TRUE(IsEntry(q.InsertFile("\\", dir + "/skip.txt")));
  EXPECT_TRUE(seen.empty());
}

TEST(ComponentTest, JobsThatCannotStartReturnFalseWithoutAnEvent) {
  TQuorvexPro q(true);
  int events = 0;
  q.OnWriteDone = [&](TQuorvexPro*, uint8_t, bool) { ++events; };
  // An image file that does not exist: error 2 naming it.
  const std::string missing = testenv::MakeTempDir() + "/missing.iso";
  EXPECT_FALSE(q.BurnImage(missing));
  EXPECT_EQ(q.GetLastErrorText(), "Error opening file \\" + missing + "\\");
  // A compilation without a layout after its last change.
  q.ClearCompilation();
  ASSERT_NE(q.CreateDir("\\", "DOCS"), nullptr);
  EXPECT_FALSE(q.BurnData());
  EXPECT_EQ(q.NotifyQueue()->DispatchPending(), 0u);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(q.GetStatus(), 0);
}

TEST(ComponentTest, PostedMessagesFireTheirEventsWithTheComponentAsSender) {
  TQuorvexPro q(true);
  std::string seen;
  q.OnEraseDone = [&](TQuorvexPro* s, uint8_t id, bool failed) {
    seen += "erase:" + std::to_string(s == &q) + std::to_string(id) + std::to_string(failed) + " ";
  };
  q.OnWriteDone = [&](TQuorvexPro* s, uint8_t id, bool failed) {
    seen += "write:" + std::to_string(s == &q) + std::to_string(id) + std::to_string(failed) + " ";
  };
  q.OnVerifyDone = [&](TQuorvexPro*, uint8_t, int32_t file, bool failed) {
    seen += "verify:" + std::to_string(file) + std::to_string(failed) + " ";
  };
  q.OnGenerateSmartReferencesDone = [&](TQuorvexPro*, bool failed, int32_t bytes) {
    seen += "refs:" + std::to_string(failed) + std::to_string(bytes) + " ";
  };
  q.NotifyQueue()->Post(1125, 0, 1);
  q.NotifyQueue()->Post(1126, 0, 0);
  q.NotifyQueue()->Post(1127, 42, 1);
  q.NotifyQueue()->Post(1128, 1, 700);
  q.NotifyQueue()->Post(1129, 0, 0);
  EXPECT_EQ(q.NotifyQueue()->DispatchPending(), 5u);
  EXPECT_EQ(seen, "erase:101 write:100 verify:421 refs:1700 ");
}

}  // namespace
