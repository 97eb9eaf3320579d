// A compilation and an image burned to every writable medium of the virtual recorder, read back
// by independent readers.
#include "tests/e2e/EngineBurn.h"

namespace engine_e2e {
namespace {

struct TMediumCase {
  TMediumKind Kind;
  const char* Model;
  bool Formatted;
  const char* Name = nullptr;  // test name when the medium's own name is taken
};

class EngineMediaTest : public EngineBurn, public ::testing::WithParamInterface<TMediumCase> {};

TEST_P(EngineMediaTest, CompilationAndImageReadBackByIndependentReaders) {
  const TMediumCase m = GetParam();
  Use(m.Model);
  Insert(m.Kind, m.Formatted);
  const std::string src = MakeSourceFolder(11);
  Compile(src, "Archiv 2008");
  BurnData();
  const std::string medium = Export();
  ExpectSameTree(src, ExtractJoliet(medium), "xorriso, Joliet");
  ExpectSameTree(src, ExtractUdf(medium), "7z, UDF bridge");
  const std::string info = Sh("isoinfo -d -i " + testenv::Quote(medium));
  EXPECT_NE(info.find("Volume id: ARCHIV 2008"), std::string::npos) << info;
  if (testenv::HaveProgram("udfinfo")) {
    const std::string udf = Sh("udfinfo " + testenv::Quote(medium) + " 2>&1");
    EXPECT_NE(udf.find("Archiv 2008"), std::string::npos) << udf;
  }

  // The same image again, now as an image file, onto a fresh medium of the kind.
  const std::string image = testenv::MakeTempDir("image") + "/copy.iso";
  {
    auto bytes = testenv::ReadFile(medium);
    bytes.resize(size_t(q->GetTotalSectors()) * 2048);
    testenv::WriteFile(image, bytes);
  }
  Insert(m.Kind, m.Formatted);
  BurnImage(image);
  const std::string again = Export();
  const auto a = testenv::ReadFile(image), b = testenv::ReadFile(again);
  ASSERT_GE(b.size(), a.size());
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
  ExpectSameTree(src, ExtractJoliet(again), "image burn, xorriso");
}

INSTANTIATE_TEST_SUITE_P(
    EveryWritableMedium, EngineMediaTest,
    ::testing::Values(
        TMediumCase{TMediumKind::CdR, "bd", false}, TMediumCase{TMediumKind::CdRw, "bd", false},
        TMediumCase{TMediumKind::DvdR, "bd", false}, TMediumCase{TMediumKind::DvdRw, "bd", false},
        TMediumCase{TMediumKind::DvdRw, "bd", true},
        TMediumCase{TMediumKind::DvdPlusR, "bd", false},
        TMediumCase{TMediumKind::DvdPlusRDl, "bd", false},
        TMediumCase{TMediumKind::DvdPlusRw, "bd", false},
        TMediumCase{TMediumKind::DvdRam, "bd", true}, TMediumCase{TMediumKind::BdR, "bd", false},
        TMediumCase{TMediumKind::BdRe, "bd", true},
        TMediumCase{TMediumKind::HdDvdR, "hddvd", false},
        TMediumCase{TMediumKind::HdDvdRam, "hddvd", true},
        // A drive without GET CONFIGURATION, with a block descriptor before its pages.
        TMediumCase{TMediumKind::CdR, "legacy", false, "legacy_cd_r"}),
    [](const auto& info) {
      if (info.param.Name) return std::string(info.param.Name);
      std::string n;
      for (char c :
           vdrive::MediumName(info.param.Kind) + (info.param.Formatted ? "_formatted" : ""))
        n += c == '+' ? std::string("plus")
                      : std::string(1, isalnum(static_cast<unsigned char>(c)) ? c : '_');
      return n;
    });

}  // namespace
}  // namespace engine_e2e
