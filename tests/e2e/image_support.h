#pragma once
// Helpers of the reader checks: source folders on disk, images streamed into files, and what
// each view of an image (ISO 9660 names, Joliet, UDF) is expected to hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/qvpImageFile.h"
#include "image/qvpCommonLib.h"
#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpSysUtilsW.h"
#include "image/qvpTree.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "tests/support/TestEnv.h"

using namespace img;

namespace e2e {

namespace fs = std::filesystem;

enum class TView { Iso, Joliet, Udf };

// Expected content of a view: path inside the image (with "/") -> source file.
using TExpected = std::map<std::string, std::string>;

inline std::string ViewName(const TFileNode* e, const TImageBuilder& b, TView v) {
  switch (v) {
    case TView::Iso:
      return IsoIdentifier(b, e);
    case TView::Joliet:
      return plat::Utf16ToUtf8(JolietIdentifier(e));
    case TView::Udf:
      return plat::Utf16ToUtf8(WStr(e->LongName2));
  }
  return {};
}

// Some readers show the ISO 9660 name "README." of a file without extension as "README".
inline void CollectView(const TImageBuilder& b, const TDirNode* d, const std::string& prefix,
                        TView v, TExpected& out, std::vector<std::string>* dirs, bool stripDot) {
  for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    std::string name = ViewName(e, b, v);
    if (stripDot && v == TView::Iso && name.size() > 1 && name.back() == '.') name.pop_back();
    const std::string path = prefix + "/" + name;
    if (e->SubDir != nullptr) {
      if (dirs) dirs->push_back(path);
      CollectView(b, e->SubDir, path, v, out, dirs, stripDot);
    } else {
      out[path] = e->SourcePath ? plat::WideToAnsi(WStr(e->SourcePath)) : std::string();
    }
  }
}

inline TExpected Expected(const TImageBuilder& b, TView v, std::vector<std::string>* dirs = nullptr,
                          bool stripDot = false) {
  TExpected out;
  CollectView(b, b.Root, "", v, out, dirs, stripDot);
  return out;
}

// Compares two files by streaming them (sparse giants included). Empty string when equal.
inline std::string CompareFiles(const std::string& a, const std::string& b) {
  plat::TFile fa, fb;
  if (!fa.OpenRead(std::string_view(a))) return "cannot open " + a;
  if (!fb.OpenRead(std::string_view(b))) return "missing " + b;
  std::vector<uint8_t> x(1 << 20), y(1 << 20);
  uint64_t pos = 0;
  for (;;) {
    const int64_t n = fa.Read(x.data(), x.size());
    const int64_t m = fb.Read(y.data(), y.size());
    if (n != m) return "sizes differ at " + std::to_string(pos) + ": " + b;
    if (n <= 0) return {};
    if (std::memcmp(x.data(), y.data(), static_cast<size_t>(n)) != 0)
      return "content differs near " + std::to_string(pos) + ": " + b;
    pos += static_cast<uint64_t>(n);
  }
}

// Every expected file is in the extracted folder and equals its source; nothing else is there.
inline void ExpectExtracted(const TExpected& expected, const std::string& outDir,
                            const std::string& what) {
  SCOPED_TRACE(what);
  size_t files = 0;
  for (auto it = fs::recursive_directory_iterator(outDir); it != fs::recursive_directory_iterator();
       ++it)
    if (it->is_regular_file()) ++files;
  EXPECT_EQ(files, expected.size());
  int failures = 0;
  for (const auto& [path, source] : expected) {
    const std::string diff = CompareFiles(source, outDir + path);
    EXPECT_EQ(diff, "") << path;
    if (!diff.empty() && ++failures > 5) return;
  }
}

inline std::string Sh(const std::string& cmd, int* status = nullptr) {
  std::string out;
  const int rc = testenv::Run(cmd, &out);
  if (status)
    *status = rc;
  else
    EXPECT_EQ(rc, 0) << cmd << "\n" << out.substr(0, 4000);
  return out;
}

// Makes a sparse file of the given size whose first and last bytes and a few in between are set.
inline void MakeSparse(const std::string& path, uint64_t size) {
  plat::TFile f;
  ASSERT_TRUE(f.Create(path));
  const std::string marks[] = {"start", "middle", "end"};
  const uint64_t at[] = {0, size / 2 + 12345, size - 3};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(f.Seek(static_cast<int64_t>(at[i])));
    ASSERT_TRUE(f.Write(marks[i].data(), i == 2 ? 3 : marks[i].size()));
  }
}

inline void WriteSized(const std::string& path, size_t size, uint32_t seed) {
  testenv::WriteFile(path, testenv::RandomBytes(size, seed));
}

// Lays out and streams the compilation into an image file.
inline void BuildImage(TImageBuilder& b, const std::string& iso) {
  PrepareImage(b);
  TImageFileJob job;
  ASSERT_EQ(WriteImageFile(b, 32u << 20, iso, job), TImageFileResult::Done) << job.Error;
  ASSERT_EQ(fs::file_size(iso), static_cast<uint64_t>(b.TotalSectors) * 2048);
}

}  // namespace e2e
