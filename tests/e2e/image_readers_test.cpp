// Images streamed into files and read back by readers no one here wrote: xorriso (Joliet and
// ISO 9660 names), isoinfo, 7z (ISO and UDF), udfinfo, iso-info. Every extracted file must equal
// its source byte for byte through every view that carries it.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "tests/e2e/image_support.h"

using namespace img;

using namespace e2e;

namespace {

bool HaveReaders() {
  for (const char* p : {"xorriso", "isoinfo", "7z", "udfinfo", "iso-info"})
    if (!testenv::HaveProgram(p)) return false;
  return true;
}

#define REQUIRE_READERS() \
  if (!HaveReaders()) GTEST_SKIP() << "readers not installed (scripts/install-deps)"

// A folder with nested subfolders, Czech and other non-ASCII names, names of the lengths where
// the recorded forms change, and files of the sizes around a sector.
std::string MakeSampleFolder() {
  const std::string top = testenv::MakeTempDir("sample");
  fs::create_directories(top + "/Dokumenty/Účty 2024/staré");
  fs::create_directories(top + "/Ελληνικά/日本語");
  fs::create_directories(top + "/" + std::string(111, 'D') + "/empty folder");
  uint32_t seed = 1;
  for (size_t size : {0, 1, 2047, 2048, 2049})
    WriteSized(top + "/size" + std::to_string(size) + ".bin", size, seed++);
  WriteSized(top + "/Dokumenty/Účty 2024/faktura č. 1.pdf", 5000, seed++);
  WriteSized(top + "/Dokumenty/Účty 2024/staré/žluťoučký kůň.txt", 300, seed++);
  WriteSized(top + "/Dokumenty/README", 20, seed++);
  WriteSized(top + "/Dokumenty/readme.txt", 21, seed++);
  WriteSized(top + "/Ελληνικά/αλφα.txt", 70, seed++);
  WriteSized(top + "/Ελληνικά/日本語/ファイル.dat", 4096, seed++);
  for (size_t len : {64, 110, 111, 127, 128, 217}) {
    WriteSized(top + "/" + std::string(len - 4, static_cast<char>('a' + len % 26)) + ".txt", len,
               seed++);
  }
  // Two names that agree in their first 110 characters: the cut Joliet names must differ.
  WriteSized(top + "/" + std::string(115, 'q') + "1.log", 11, seed++);
  WriteSized(top + "/" + std::string(115, 'q') + "2.log", 12, seed++);
  WriteSized(top + "/" + std::string(111, 'D') + "/inner.txt", 10, seed++);
  return top;
}

struct TImage {
  TImageBuilder b;
  std::string dir;  // scratch folder of this image
  std::string iso;
  explicit TImage(const char* hint) : dir(testenv::MakeTempDir(hint)), iso(dir + "/image.iso") {
    ClearCompilation(b);
  }
  std::string Out(const std::string& name) {
    const std::string p = dir + "/" + name;
    fs::remove_all(p);
    return p;
  }
};

// ---- One reader each ----

void CheckXorriso(TImage& im, TView view) {
  const std::string out = im.Out(view == TView::Iso ? "xorriso-iso" : "xorriso-joliet");
  const std::string read = view == TView::Iso ? " -read_fs ecma119" : "";
  Sh("xorriso -abort_on FAILURE" + read + " -indev " + testenv::Quote(im.iso) +
     " -osirrox on:sparse=1m -extract / " + testenv::Quote(out));
  fs::create_directories(out);
  ExpectExtracted(Expected(im.b, view), out,
                  view == TView::Iso ? "xorriso, ISO 9660 names" : "xorriso, Joliet");
}

void Check7z(TImage& im, TView view) {
  const std::string out = im.Out(view == TView::Udf ? "7z-udf" : "7z-iso");
  const std::string type = view == TView::Udf ? "udf" : "iso";
  Sh("7z x -y -t" + type + " -o" + testenv::Quote(out) + " " + testenv::Quote(im.iso));
  fs::create_directories(out);
  // 7z shows the El Torito boot image as a file of its own: it must be the boot image.
  const std::string boot = out + "/[BOOT]";
  if (view != TView::Udf && !im.b.BootImage.empty()) {
    size_t images = 0;
    for (const auto& f : fs::directory_iterator(boot)) {
      ++images;
      EXPECT_EQ(CompareFiles(im.b.BootImage, f.path().string()), "") << "boot image through 7z";
    }
    EXPECT_EQ(images, 1u);
    fs::remove_all(boot);
  }
  ExpectExtracted(Expected(im.b, view, nullptr, true), out, "7z, " + type);
}

// File sizes of a listing: "name size" pairs of isoinfo -l or -J -l.
std::multiset<uint64_t> IsoinfoSizes(const std::string& listing) {
  std::multiset<uint64_t> sizes;
  std::istringstream in(listing);
  std::string line;
  const std::regex file(R"(^-{10}\s+\d+\s+\d+\s+\d+\s+(\d+)\s)");
  std::smatch m;
  while (std::getline(in, line))
    if (std::regex_search(line, m, file)) sizes.insert(std::stoull(m[1]));
  return sizes;
}

std::multiset<uint64_t> ExpectedSizes(const TImageBuilder& b, TView v, bool perExtent) {
  std::multiset<uint64_t> sizes;
  for (const auto& [path, source] : Expected(b, v)) {
    uint64_t s = fs::file_size(source);
    // Readers that list directory records show one line per extent.
    while (perExtent && s > kMaxExtentBytes) {
      sizes.insert(kMaxExtentBytes);
      s -= kMaxExtentBytes;
    }
    sizes.insert(s);
  }
  return sizes;
}

void CheckIsoinfo(TImage& im) {
  const std::string d = Sh("isoinfo -d -i " + testenv::Quote(im.iso));
  // isoinfo shows at most 30 characters of the label; iso-info below checks all 32.
  EXPECT_NE(d.find("Volume id: " + RecordedVolumeId(im.b).substr(0, 30)), std::string::npos) << d;
  EXPECT_NE(d.find("Volume size is: " + std::to_string(im.b.TotalSectors) + "\n"),
            std::string::npos)
      << d;
  if (im.b.JolietFileSystem) {
    EXPECT_NE(d.find("Joliet with UCS level 1 found"), std::string::npos) << d;
  }
  EXPECT_EQ(IsoinfoSizes(Sh("isoinfo -l -i " + testenv::Quote(im.iso))),
            ExpectedSizes(im.b, TView::Iso, true));
  if (im.b.JolietFileSystem) {
    EXPECT_EQ(IsoinfoSizes(Sh("isoinfo -J -l -i " + testenv::Quote(im.iso))),
              ExpectedSizes(im.b, TView::Joliet, true));
  }
}

void CheckIsoInfoLibcdio(TImage& im) {
  const std::string out = Sh("iso-info --no-header -l -i " + testenv::Quote(im.iso));
  if (im.b.VolumeId[0] != 0) {
    EXPECT_NE(
        out.find("Volume      : " +
                 (im.b.JolietFileSystem
                      ? plat::Utf16ToUtf8(std::u16string_view(im.b.VolumeIdWide).substr(0, 16))
                      : RecordedVolumeId(im.b)) +
                 "\n"),
        std::string::npos)
        << out;
  }
  // Every file of the view iso-info reads (Joliet when present) is listed with its size.
  const TView v = im.b.JolietFileSystem ? TView::Joliet : TView::Iso;
  for (const auto& [path, source] : Expected(im.b, v)) {
    if (fs::file_size(source) > kMaxExtentBytes) continue;
    const std::string base = path.substr(path.rfind('/') + 1);
    const std::string want = std::to_string(fs::file_size(source));
    std::regex line("\\s" + want + "\\s.*" +
                        std::regex_replace(base, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"),
                    std::regex::icase);
    EXPECT_TRUE(std::regex_search(out, line)) << path;
  }
}

void CheckUdfinfo(TImage& im, size_t files, size_t dirs) {
  int rc = 0;
  const std::string out = Sh("udfinfo " + testenv::Quote(im.iso), &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("udfrev=1.50\n"), std::string::npos) << out;
  EXPECT_NE(out.find("integrity=closed\n"), std::string::npos) << out;
  std::u16string label(plat::AnsiToWide(im.b.VolumeId));
  if (label.size() > 15) label.resize(15);
  EXPECT_NE(out.find("label=" + plat::Utf16ToUtf8(label) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("numfiles=" + std::to_string(files) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("numdirs=" + std::to_string(dirs + 1) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("blocks=" + std::to_string(im.b.TotalSectors) + "\n"), std::string::npos)
      << out;
}

// Every view the options give, through every reader that shows it.
void CheckAllViews(TImage& im) {
  std::vector<std::string> dirs;
  const size_t files = Expected(im.b, TView::Iso, &dirs).size();
  CheckIsoinfo(im);
  CheckIsoInfoLibcdio(im);
  CheckXorriso(im, TView::Iso);
  if (im.b.JolietFileSystem) CheckXorriso(im, TView::Joliet);
  Check7z(im, im.b.JolietFileSystem ? TView::Joliet : TView::Iso);
  if (im.b.UDFBridge) {
    Check7z(im, TView::Udf);
    CheckUdfinfo(im, files, dirs.size());
  }
}

// ---- The checks ----

TEST(ImageReaders, EmptyCompilationWithAndWithoutUdf) {
  REQUIRE_READERS();
  for (int udf = 0; udf < 2; ++udf) {
    TImage im("empty");
    im.b.JolietFileSystem = 1;
    im.b.UDFBridge = static_cast<uint8_t>(udf);
    BuildImage(im.b, im.iso);
    EXPECT_EQ(im.b.TotalSectors, udf ? 288u : 160u);
    CheckAllViews(im);
  }
}

TEST(ImageReaders, EveryCombinationOfJolietIso1999AndUdf) {
  REQUIRE_READERS();
  const std::string src = MakeSampleFolder();
  for (int mask = 0; mask < 8; ++mask) {
    SCOPED_TRACE("Joliet " + std::to_string(mask & 1) + ", ISO 9660:1999 " +
                 std::to_string(mask >> 1 & 1) + ", UDF " + std::to_string(mask >> 2 & 1));
    TImage im("combo");
    im.b.JolietFileSystem = mask & 1;
    im.b.ISO9660v1999FS = mask >> 1 & 1;
    im.b.UDFBridge = mask >> 2 & 1;
    // 40 characters, some of them outside ASCII.
    SetVolumeID(im.b, "Záloha dokumentů a fotografií, léto 2024");
    ASSERT_NE(InsertDir(im.b, "\\", src, false, true, "*.*"), nullptr);
    BuildImage(im.b, im.iso);
    CheckAllViews(im);
    if (HasFailure()) return;
  }
}

// Names that the compilation keeps apart but a tree would record alike: case-only pairs (level-1
// names are upper case), equal generated 8.3 names from two folders, Czech letters that
// ISO 9660:1999 records as '_'. Every file must come back through every view.
TEST(ImageReaders, NamesThatMeetInOneTreeStayDistinctInEach) {
  REQUIRE_READERS();
  const std::string one = testenv::MakeTempDir("one"), two = testenv::MakeTempDir("two");
  uint32_t seed = 50;
  for (const char* name :
       {"a.txt", "A.TXT", "Docs/x.txt", "DOCS/x.txt", "č.txt", "ř.txt", "Long file name.txt"}) {
    fs::create_directories(fs::path(one + "/" + name).parent_path());
    WriteSized(one + "/" + name, 100 + seed, seed);
    ++seed;
  }
  WriteSized(two + "/Long file name.doc.txt", 77, seed);
  for (int iso1999 = 0; iso1999 < 2; ++iso1999) {
    SCOPED_TRACE(iso1999 ? "ISO 9660:1999" : "level 1");
    TImage im("clash");
    im.b.JolietFileSystem = 1;
    im.b.UDFBridge = 1;
    im.b.ISO9660v1999FS = static_cast<uint8_t>(iso1999);
    ASSERT_NE(InsertDir(im.b, "\\", one, false, true, "*.*"), nullptr);
    // LONGFI~1.TXT in both folders.
    ASSERT_TRUE(IsEntry(InsertFile(im.b, "\\", two + "/Long file name.doc.txt")));
    EXPECT_TRUE(im.b.Omitted.empty());
    BuildImage(im.b, im.iso);
    for (TView v : {TView::Iso, TView::Joliet, TView::Udf}) EXPECT_EQ(Expected(im.b, v).size(), 8u);
    CheckAllViews(im);
  }
}

TEST(ImageReaders, BootImagesOfTheFourSizes) {
  REQUIRE_READERS();
  const struct {
    uint32_t Size;
    const char* Media;
    int LoadSize;
  } kinds[] = {
      {2048, "none", 4}, {1228800, "fd1.2", 1}, {1474560, "fd1.4", 1}, {2949120, "fd2.8", 1}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.Size);
    TImage im("boot");
    im.b.JolietFileSystem = 1;
    const std::string boot = im.dir + "/boot.img";
    WriteSized(boot, k.Size, k.Size);
    ASSERT_TRUE(SetBootImage(im.b, boot));
    WriteSized(im.dir + "/after.bin", 3000, 9);
    ASSERT_TRUE(IsEntry(InsertFile(im.b, "\\", im.dir + "/after.bin")));
    BuildImage(im.b, im.iso);
    const std::string report =
        Sh("xorriso -indev " + testenv::Quote(im.iso) + " -report_el_torito plain");
    // "El Torito boot img :   1  BIOS  y   none  0x0000  0x00      4        150"
    std::regex img(std::string(R"(El Torito boot img :\s+1\s+BIOS\s+y\s+)") + k.Media +
                   R"(\s+0x0000\s+0x00\s+)" + std::to_string(k.LoadSize) + R"(\s+)" +
                   std::to_string(im.b.BootImageLba));
    EXPECT_TRUE(std::regex_search(report, img)) << report;
    EXPECT_NE(report.find("El Torito catalog  : " + std::to_string(im.b.BootCatalog) + "  1\n"),
              std::string::npos)
        << report;
    // The boot image's bytes, then zeros to the end of its last sector.
    const std::string extract = im.Out("boot-back.img");
    Sh("dd if=" + testenv::Quote(im.iso) + " of=" + testenv::Quote(extract) +
       " bs=2048 skip=" + std::to_string(im.b.BootImageLba) +
       " count=" + std::to_string(Sectors(k.Size)) + " status=none");
    EXPECT_EQ(testenv::ReadFile(extract), testenv::ReadFile(boot));
    CheckAllViews(im);
  }
}

TEST(ImageReaders, TenThousandSmallFiles) {
  REQUIRE_READERS();
  const std::string src = testenv::MakeTempDir("many");
  for (int d = 0; d < 10; ++d) {
    const std::string folder = src + "/složka " + std::to_string(d);
    fs::create_directories(folder);
    for (int f = 0; f < 1000; ++f)
      testenv::WriteFile(folder + "/soubor číslo " + std::to_string(f) + ".txt",
                         std::to_string(d * 1000 + f) + "\n");
  }
  TImage im("many-img");
  im.b.JolietFileSystem = 1;
  im.b.UDFBridge = 1;
  SetVolumeID(im.b, "Many");
  ASSERT_NE(InsertDir(im.b, "\\", src, false, true, "*.*"), nullptr);
  ASSERT_EQ(im.b.EntryCount, 10010u);
  BuildImage(im.b, im.iso);
  CheckXorriso(im, TView::Joliet);
  CheckXorriso(im, TView::Iso);
  Check7z(im, TView::Udf);
  CheckUdfinfo(im, 10000, 10);
}

// Compares every file of a view with its source inside xorriso (content read, nothing written).
void CheckXorrisoCompare(TImage& im, TView view) {
  std::string cmd = "xorriso" + std::string(view == TView::Iso ? " -read_fs ecma119" : "") +
                    " -indev " + testenv::Quote(im.iso);
  const TExpected files = Expected(im.b, view);
  for (const auto& [path, source] : files)
    cmd += " -compare " + testenv::Quote(source) + " " + testenv::Quote(path);
  const std::string out = Sh(cmd);
  const std::regex bad(R"((content|CONTENT|st_size)\s*:|cannot find)");
  EXPECT_FALSE(std::regex_search(out, bad)) << out;
  // Each comparison ends with one verdict; differences in mode or times alone are expected.
  size_t verdicts = 0;
  for (const char* v : {"Both file objects match", "Differences detected."})
    for (size_t p = 0; (p = out.find(v, p)) != std::string::npos; ++p) ++verdicts;
  EXPECT_EQ(verdicts, files.size()) << out;
}

// Streams one file of a view through 7z and compares it with its source.
void Check7zStream(TImage& im, const std::string& type, const std::string& inside,
                   const std::string& source) {
  const std::string cmd = "7z x -so -t" + type + " " + testenv::Quote(im.iso) + " " +
                          testenv::Quote(inside) + " 2>/dev/null | cmp - " + testenv::Quote(source);
  int rc = 0;
  const std::string out = Sh(cmd, &rc);
  EXPECT_EQ(rc, 0) << type << " " << inside << ": " << out;
}

TEST(ImageReaders, LargeSparseFilesReadBackWhole) {
  REQUIRE_READERS();
  const std::string src = testenv::MakeTempDir("large");
  MakeSparse(src + "/one and a half.bin", 3ull << 29);
  MakeSparse(src + "/five.bin", 5ull << 30);
  WriteSized(src + "/after.txt", 5000, 3);
  TImage im("large-img");
  im.b.JolietFileSystem = 1;
  im.b.UDFBridge = 1;
  ASSERT_NE(InsertDir(im.b, "\\", src, false, true, "*.*"), nullptr);
  BuildImage(im.b, im.iso);
  // Multi-extent records through both ISO trees.
  EXPECT_EQ(IsoinfoSizes(Sh("isoinfo -l -i " + testenv::Quote(im.iso))),
            ExpectedSizes(im.b, TView::Iso, true));
  CheckXorrisoCompare(im, TView::Joliet);
  CheckXorrisoCompare(im, TView::Iso);
  for (const auto& [path, source] : Expected(im.b, TView::Joliet))
    Check7zStream(im, "iso", path.substr(1), source);
  for (const auto& [path, source] : Expected(im.b, TView::Udf))
    Check7zStream(im, "udf", path.substr(1), source);
  CheckUdfinfo(im, 3, 0);
}

}  // namespace
