// The compilation page's remembered choices (session import, verify after burning) and the
// settings window's keys share one file: writing either side leaves the other as it was.
#include <gtest/gtest.h>

#include "frontend/Settings.h"
#include "tests/support/TestEnv.h"

namespace fe {
namespace {

TEST(PageChoicesTest, ChoicesAndSettingsWindowKeysKeepEachOther) {
  const std::string dir = testenv::MakeTempDir("ini-choices");
  EXPECT_FALSE(ReadSettings(dir).Verify);  // off until chosen
  ASSERT_TRUE(WriteSettings(dir, TSettings{2, false, "/x/"}));
  ASSERT_TRUE(WriteVerifyChoice(dir, true));
  ASSERT_TRUE(WriteImportChoice(dir, true));
  TSettings s = ReadSettings(dir);
  EXPECT_TRUE(s.Verify);
  EXPECT_TRUE(s.Import);
  EXPECT_EQ(s.BurnerIndex, 2);
  // The settings window stores its three keys only.
  s.Verify = false;
  s.BurnerIndex = 1;
  ASSERT_TRUE(WriteSettings(dir, s));
  EXPECT_TRUE(ReadSettings(dir).Verify);
  ASSERT_TRUE(WriteVerifyChoice(dir, false));
  s = ReadSettings(dir);
  EXPECT_FALSE(s.Verify);
  EXPECT_TRUE(s.Import);
  EXPECT_EQ(s.BurnerIndex, 1);
}

}  // namespace
}  // namespace fe
