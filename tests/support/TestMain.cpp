#include <gtest/gtest.h>

#include <clocale>

namespace testenv {
void SetUpProcess();
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::setlocale(LC_ALL, "");
  testenv::SetUpProcess();
  return RUN_ALL_TESTS();
}
