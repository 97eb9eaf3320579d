// Sessions appended with session import: after every burn the last session lists the files of
// every session (a replaced file with its new content), as xorriso, isoinfo, 7-Zip and pycdlib
// read it, and the earlier sessions are still on the medium as they were.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/e2e/EngineBurn.h"
#include "tests/e2e/image_support.h"
#include "vdrive/Disc.h"

namespace engine_e2e {
namespace {

// What the disc should show: relative path -> source file, later sessions over earlier ones.
using TView = std::map<std::string, std::string>;

void Overlay(TView& view, const std::string& src) {
  for (const auto& e : fs::recursive_directory_iterator(src))
    if (e.is_regular_file()) view[fs::relative(e.path(), src).string()] = e.path().string();
}

void ExpectView(const TView& view, const std::string& out, const std::string& what) {
  SCOPED_TRACE(what);
  size_t found = 0;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) ++found;
  EXPECT_EQ(found, view.size());
  // Streamed comparison: one of the files is 4.5 GiB.
  for (const auto& [path, source] : view)
    EXPECT_EQ(e2e::CompareFiles(source, out + "/" + path), "") << path;
}

// The three compilations: the second adds a folder, adds a file to a folder of the first and
// replaces a file of the first; the third replaces one of the first's deeper files.
std::string Session(int k) {
  if (k == 1) return MakeSourceFolder(11);
  const std::string dir = testenv::MakeTempDir("session");
  if (k == 2) {
    fs::create_directories(dir + "/druhá relace");
    fs::create_directories(dir + "/Dokumenty");
    testenv::WriteFile(dir + "/druhá relace/nový soubor.txt", testenv::RandomBytes(5000, 21));
    testenv::WriteFile(dir + "/Dokumenty/přidaný.bin", testenv::RandomBytes(70000, 22));
    testenv::WriteFile(dir + "/jeden bajt.bin", testenv::RandomBytes(3, 23));
  } else {
    fs::create_directories(dir + "/Dokumenty/Fotky z léta");
    testenv::WriteFile(dir + "/třetí.dat", testenv::RandomBytes(100000, 31));
    testenv::WriteFile(dir + "/Dokumenty/Fotky z léta/blok.bin", testenv::RandomBytes(4096, 32));
  }
  return dir;
}

class EngineImportTest : public EngineBurn, public ::testing::WithParamInterface<TMediumKind> {
 protected:
  // Where each session of the medium starts, as the recorder keeps it.
  std::vector<uint32_t> SessionStarts() {
    vdrive::TLoadState state;
    std::string error;
    EXPECT_TRUE(vdrive::ReadLoadState(rec, state, error)) << error;
    std::vector<uint32_t> starts;
    if (!state.disc || state.disc->Access() != vdrive::TAccess::Sequential) return {0};
    for (const auto& span : state.disc->SessionSpans())
      if (span.end > span.start) starts.push_back(span.start);
    return starts;
  }
};

TEST_P(EngineImportTest, EverySessionsFilesStayInView) {
  const bool grown = GetParam() == TMediumKind::DvdPlusRw;
  if (grown && !testenv::HaveProgram("pycdlib-extract-files"))
    GTEST_SKIP() << "pycdlib is not installed";
  Use("bd");
  Insert(GetParam());
  q->SetFinalizeDisc(false);
  TView view;
  std::vector<uint8_t> before;
  for (int k = 1; k <= 3; ++k) {
    const std::string src = Session(k);
    Overlay(view, src);
    q->ClearCompilation();
    q->SetVolumeID("Relace " + std::to_string(k));
    ASSERT_NE(q->InsertDir("\\", src, false, true, "*.*"), nullptr);
    const int32_t newOnly = q->PrepareImage();
    ASSERT_EQ(q->ImportSession(),
              k == 1 ? TImportResult::NothingToImport : TImportResult::Imported);
    // The imported files add records and UDF file entries, never their data.
    EXPECT_LT(q->PrepareImage(), newOnly + 32);
    BurnData();

    const std::string medium = Export();
    const auto bytes = testenv::ReadFile(medium);
    const std::vector<uint32_t> starts = SessionStarts();
    ASSERT_EQ(starts.size(), grown ? 1u : size_t(k));
    const uint32_t last = starts.back();
    const std::string what = "after session " + std::to_string(k) + " at " + std::to_string(last);
    ExpectView(view, ExtractJoliet(medium, last), "xorriso, " + what);
    // isoinfo lists as many files of the same sizes in the Joliet tree of the last session.
    std::multiset<uint64_t> listed, expected;
    std::istringstream lines(
        Sh("isoinfo -J -l -T " + std::to_string(last) + " -i " + testenv::Quote(medium)));
    const std::regex file(R"(^-{10}\s+\d+\s+\d+\s+\d+\s+(\d+)\s)");
    std::smatch m;
    for (std::string line; std::getline(lines, line);)
      if (std::regex_search(line, m, file)) listed.insert(std::stoull(m[1]));
    for (const auto& [path, source] : view) expected.insert(fs::file_size(source));
    EXPECT_EQ(listed, expected) << "isoinfo, " << what;

    // What was on the medium before this burn is still there; a growing volume rewrites only its
    // first block, the UDF anchor and the file set at the partition's start.
    ASSERT_GE(bytes.size(), before.size());
    for (size_t at = 0; at < before.size(); at += 2048) {
      if (grown && (at < 65536 || at == 256 * 2048 || at == 257 * 2048)) continue;
      ASSERT_TRUE(std::equal(before.begin() + at, before.begin() + at + 2048, bytes.begin() + at))
          << "sector " << at / 2048 << ", " << what;
    }
    before = bytes;
    if (grown && k > 1) {
      ExpectView(view, ExtractUdf(medium), "7-Zip, UDF, " + what);
      const std::string iso = testenv::MakeTempDir("7z-iso");
      Sh("7z x -y -tiso -o" + testenv::Quote(iso) + " " + testenv::Quote(medium));
      ExpectView(view, iso, "7-Zip, Joliet, " + what);
      for (const char* type : {"udf", "joliet"}) {
        const std::string out = testenv::MakeTempDir("pycdlib");
        Sh("pycdlib-extract-files -path-type " + std::string(type) + " -extract-to " +
           testenv::Quote(out) + " " + testenv::Quote(medium) + " 2>&1");
        ExpectView(view, out, std::string("pycdlib, ") + type + ", " + what);
      }
    }
  }
}

// A closed disc takes no further session, and a session without the trees the options write
// cannot be continued: both are refused and the compilation stays as it was.
TEST_F(EngineBurn, ImportRefusesClosedDiscsAndMissingTrees) {
  Use("bd");
  const std::string src = MakeSourceFolder(51);
  for (const bool finalize : {true, false}) {
    Insert(TMediumKind::CdR);
    q->SetFinalizeDisc(finalize);
    q->SetUDFBridge(false);
    Compile(src, "Bez UDF");
    BurnData();
    q->SetUDFBridge(true);
    Compile(src, "Dalsi");
    const uint32_t entries = q->Builder().EntryCount;
    EXPECT_EQ(q->ImportSession(), finalize ? TImportResult::DiscClosed : TImportResult::NoUdf);
    EXPECT_EQ(q->Builder().EntryCount, entries);
    EXPECT_EQ(q->GetStatus(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Media, EngineImportTest,
                         ::testing::Values(TMediumKind::CdR, TMediumKind::DvdPlusR,
                                           TMediumKind::BdR, TMediumKind::DvdPlusRw),
                         [](const auto& info) {
                           switch (info.param) {
                             case TMediumKind::CdR:
                               return "cd_r";
                             case TMediumKind::DvdPlusR:
                               return "dvdplusr";
                             case TMediumKind::BdR:
                               return "bd_r";
                             default:
                               return "dvdplusrw";
                           }
                         });

}  // namespace
}  // namespace engine_e2e

namespace engine_e2e {
namespace {

// Puts a session image into a medium image at LBA `start`, passing over the image's holes.
void PlaceAt(const std::string& image, const std::string& medium, uint32_t start) {
  const int in = ::open(image.c_str(), O_RDONLY);
  const int out = ::open(medium.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_TRUE(in >= 0 && out >= 0);
  const off_t at = off_t{start} * 2048, end = ::lseek(in, 0, SEEK_END);
  std::vector<char> buf(1 << 20);
  for (off_t pos = 0; (pos = ::lseek(in, pos, SEEK_DATA)) >= 0;) {
    const off_t hole = ::lseek(in, pos, SEEK_HOLE);
    while (pos < hole) {
      const ssize_t n = ::pread(in, buf.data(), std::min<off_t>(buf.size(), hole - pos), pos);
      ASSERT_GT(n, 0);
      ASSERT_EQ(::pwrite(out, buf.data(), static_cast<size_t>(n), at + pos), n);
      pos += n;
    }
  }
  struct stat st {};
  ASSERT_EQ(::fstat(out, &st), 0);
  if (st.st_size < at + end) {
    ASSERT_EQ(::ftruncate(out, at + end), 0);
  }
  ::close(in);
  ::close(out);
}

// The image of a compilation for a session at `start`, made as mkimage makes it.
void WriteSession(TQuorvexPro& q, uint32_t start, const std::string& path) {
  ASSERT_GT(q.PrepareImage(), 0);
  TImageFileJob job;
  ASSERT_EQ(q.MakeSessionImageFile(path, start, job), TImageFileResult::Done) << job.Error;
}

// Session images made for later starts, as mkimage makes them from an image of the disc: the
// third imports the second, which was written without import and so records only its own size,
// and holds the file of 4.5 GiB and an image file with a volume of its own (not taken for a
// session). Placed at their starts they give a medium whose last session holds both sessions'
// files.
TEST(ImageImport, SessionImagesForLaterStartsKeepEveryFile) {
  if (!testenv::HaveProgram("xorriso")) GTEST_SKIP() << "xorriso is not installed";
  const std::string dir = testenv::MakeTempDir("image-import");
  TQuorvexPro q(false);
  const std::string src2 = Session(2);
  // Marked at its start, its end and where its second extent begins. Its data comes before the
  // image file's, which so lies where a search that took the second volume's size from LBA 0
  // looks for a next session.
  const std::string big = src2 + "/archiv.bin";
  e2e::MakeSparse(big, 9ull << 29);
  {
    std::fstream f(big, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(kMaxExtentBytes));
    ASSERT_TRUE(f.write("boundary", 8));
  }
  q.ClearCompilation();
  ASSERT_NE(q.InsertDir("\\", MakeSourceFolder(41), false, true, "*.*"), nullptr);
  WriteSession(q, 0, src2 + "/obraz.iso");
  TView view;

  const std::string medium = dir + "/medium.iso";
  uint32_t start = 0;
  for (int k = 1; k <= 3; ++k) {
    const std::string src = k == 1 ? MakeSourceFolder(43) : k == 2 ? src2 : Session(3);
    if (k > 1) Overlay(view, src);
    q.ClearCompilation();
    q.SetUDFBridge(true);
    ASSERT_NE(q.InsertDir("\\", src, false, true, "*.*"), nullptr);
    if (k == 3) {
      ASSERT_EQ(q.ImportSessionFromImage(medium, start), TImportResult::Imported);
    }
    const std::string part = dir + "/session" + std::to_string(k) + ".iso";
    WriteSession(q, start, part);
    PlaceAt(part, medium, start);
    if (k < 3) start = static_cast<uint32_t>(fs::file_size(medium) / 2048) + 11400;
  }
  // The big file is read where its marks are; everything else is extracted whole.
  const std::string out = testenv::MakeTempDir("xorriso");
  fs::remove(out);
  std::string cuts;
  const uint64_t at[] = {0, kMaxExtentBytes - 2048, (9ull << 29) - 4096};
  for (int i = 0; i < 3; ++i)
    cuts += " -extract_cut /archiv.bin " + std::to_string(at[i]) + " 4096 " +
            testenv::Quote(dir + "/cut" + std::to_string(i));
  Sh("xorriso -abort_on FAILURE -indev " + testenv::Quote(medium) + " -load sbsector " +
     std::to_string(start) + " -osirrox on" + cuts + " -rm /archiv.bin -- -extract / " +
     testenv::Quote(out) + " -rollback_end 2>&1");
  view.erase("archiv.bin");
  ExpectView(view, out, "xorriso, third session");
  plat::TFile source;
  ASSERT_TRUE(source.OpenRead(std::string_view(big)));
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> want(4096);
    ASSERT_TRUE(source.Seek(static_cast<int64_t>(at[i])));
    ASSERT_EQ(source.Read(want.data(), want.size()), 4096);
    EXPECT_EQ(testenv::ReadFile(dir + "/cut" + std::to_string(i)), want)
        << "archiv.bin at " << at[i];
  }
}

// A session another program wrote is continued: its version suffixes, Rock Ridge, long Joliet
// names and UDF 1.02 tree are read, and the new session lists its files beside the new one.
TEST(ImageImport, GenisoimageSessionIsContinued) {
  for (const char* p : {"xorriso", "genisoimage"})
    if (!testenv::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
  const std::string dir = testenv::MakeTempDir("foreign");
  const std::string first = MakeSourceFolder(61);
  const std::string second = testenv::MakeTempDir("second");
  testenv::WriteFile(second + "/nový.txt", testenv::RandomBytes(777, 62));
  TView view;
  Overlay(view, first);
  Overlay(view, second);
  const std::string medium = dir + "/medium.iso";
  for (const bool udf : {false, true}) {
    SCOPED_TRACE(udf);
    Sh(std::string("genisoimage -quiet -J -joliet-long -R ") + (udf ? "-udf " : "") + "-o " +
       testenv::Quote(medium) + " " + testenv::Quote(first));
    const uint32_t start = static_cast<uint32_t>(fs::file_size(medium) / 2048) + 150;
    TQuorvexPro q(false);
    q.ClearCompilation();
    q.SetUDFBridge(udf);
    ASSERT_NE(q.InsertDir("\\", second, false, true, "*.*"), nullptr);
    ASSERT_EQ(q.ImportSessionFromImage(medium, start), TImportResult::Imported);
    WriteSession(q, start, dir + "/s2.iso");
    PlaceAt(dir + "/s2.iso", medium, start);
    ExpectView(view, ExtractJoliet(medium, start), "xorriso, second session");
  }
}

}  // namespace
}  // namespace engine_e2e
