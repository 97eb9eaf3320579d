#include "tests/app/MkImage.h"

#include <gtest/gtest.h>

#include <memory>

#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpTree.h"
#include "tests/support/TestEnv.h"

namespace wiztest {

std::string MakeImage(const std::string& source) {
  auto b = std::make_unique<TImageBuilder>();
  ClearCompilation(*b);
  b->JolietFileSystem = 1;
  SetVolumeID(*b, "KOPIE");
  EXPECT_NE(InsertDir(*b, "\\", source, false, true, "*.*"), nullptr);
  PrepareImage(*b);
  const std::string image = testenv::MakeTempDir("image") + "/zdroj.iso";
  std::string error;
  EXPECT_TRUE(WriteImageFile(*b, image, &error)) << error;
  return image;
}

}  // namespace wiztest
