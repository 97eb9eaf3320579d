#include "tests/app/MkImage.h"

#include <gtest/gtest.h>

#include "engine/qvpQuorvexPro.h"
#include "tests/support/TestEnv.h"

namespace wiztest {

std::string MakeImage(const std::string& source) {
  TQuorvexPro qvx(false);
  qvx.ClearCompilation();
  qvx.SetVolumeID("KOPIE");
  EXPECT_NE(qvx.InsertDir("\\", source, false, true, "*.*"), nullptr);
  EXPECT_GT(qvx.PrepareImage(), 0);
  const std::string image = testenv::MakeTempDir("image") + "/zdroj.iso";
  TImageFileJob job;
  EXPECT_EQ(qvx.MakeImageFile(image, job), TImageFileResult::Done) << job.Error;
  return image;
}

}  // namespace wiztest
