// Compilation tree, layout and image stream at the sizes the program must handle: adding
// 10,000 to 200,000 entries to one folder or spread over 1,000 folders, laying them out with
// ISO 9660 alone, with Joliet, and with Joliet, ISO 9660:1999 and UDF,
// and streaming 100,000 small files or 768 MiB of large files into a null sink.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpTree.h"
#include "platform/Files.h"
#include "platform/Text.h"

using namespace img;

namespace {

struct TNames {
  std::vector<std::u16string> Long, Alt;
};

// Names as a folder enumeration gives them: long names with Czech letters and their generated
// short names.
const TNames& Names(size_t n) {
  static TNames names;
  if (names.Long.size() < n) {
    names = TNames();
    plat::TShortNameGenerator gen;
    for (size_t i = 0; i < n; ++i) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "dokument %zu – účetní doklad.pdf", i);
      names.Long.push_back(plat::Utf8ToUtf16(buf));
      names.Alt.push_back(gen.Next(names.Long.back()));
    }
  }
  return names;
}

plat::TFindData Record(const std::u16string& name, const std::u16string& alt, uint32_t attrs,
                       uint64_t size) {
  plat::TFindData fd;
  fd.FileAttributes = attrs;
  fd.LastWriteTime = plat::FileTimeFromUnix(1700000000, 0);
  fd.FileSizeLow = static_cast<uint32_t>(size);
  fd.FileSizeHigh = static_cast<uint32_t>(size >> 32);
  std::copy(name.begin(), name.end(), fd.FileName);
  std::copy(alt.begin(), alt.end(), fd.AlternateFileName);
  return fd;
}

const std::u16string kSource = u"/srv/data/projekty/archiv/dokument.pdf";

// Adds n entries, spread over `folders` folders (1: all in the root).
void Fill(TImageBuilder& b, size_t n, size_t folders) {
  const TNames& names = Names(n);
  std::vector<TDirNode*> dirs{b.Root};
  for (size_t f = 1; f < folders; ++f) {
    plat::TFindData fd =
        Record(u"složka " + plat::Utf8ToUtf16(std::to_string(f)), u"", plat::kAttrDirectory, 0);
    dirs.push_back(AddSubdirectory(b, b.Root, fd));
  }
  for (size_t i = 0; dirs.size() + i <= n; ++i) {
    plat::TFindData fd = Record(names.Long[i], names.Alt[i], plat::kAttrArchive, 1000 + i % 5000);
    AddEntry(b, dirs[i % dirs.size()], fd, false, 0, kSource.c_str());
  }
}

void BM_AddEntries(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const size_t folders = static_cast<size_t>(state.range(1));
  Names(n);
  double bytesPerEntry = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto b = std::make_unique<TImageBuilder>();
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    ClearCompilation(*b);
    state.ResumeTiming();
    Fill(*b, n, folders);
    state.PauseTiming();
    bytesPerEntry = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(n);
    if (b->EntryCount != n) state.SkipWithError("entries missing");
    b.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_entry"] = bytesPerEntry;
}
BENCHMARK(BM_AddEntries)
    ->ArgsProduct({{10000, 100000, 200000}, {1, 1000}})
    ->ArgNames({"entries", "folders"})
    ->Unit(benchmark::kMillisecond);

void BM_PrepareImage(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const size_t folders = static_cast<size_t>(state.range(1));
  // 0: ISO 9660 alone; 1: with Joliet; 2: with Joliet, ISO 9660:1999 and UDF.
  const int64_t systems = state.range(2);
  for (auto _ : state) {
    state.PauseTiming();
    auto b = std::make_unique<TImageBuilder>();
    ClearCompilation(*b);
    b->JolietFileSystem = systems >= 1;
    b->ISO9660v1999FS = systems >= 2;
    b->UDFBridge = systems >= 2;
    Fill(*b, n, folders);
    state.ResumeTiming();
    const auto sectors = PrepareImage(*b);
    state.PauseTiming();
    if (sectors <= 0) state.SkipWithError("not laid out");
    b.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PrepareImage)
    ->ArgsProduct({{10000, 100000, 200000}, {1, 1000}, {0, 1, 2}})
    ->ArgNames({"entries", "folders", "systems"})
    ->Unit(benchmark::kMillisecond);

// Source files of the stream benchmarks, made once.
std::string StreamFolder(const char* name, size_t files, size_t size) {
  const std::string dir = plat::TempPath() + "ardovan-bench-" + name;
  if (std::filesystem::exists(dir + "/done")) return dir;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::vector<char> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 131 + 7);
  for (size_t i = 0; i < files; ++i) {
    plat::TFile f;
    f.Create(dir + "/f" + std::to_string(i));
    f.Write(data.data(), data.size());
  }
  plat::TFile done;
  done.Create(dir + "/done");
  return dir;
}

void StreamImage(benchmark::State& state, const std::string& dir, bool udf) {
  TImageBuilder b;
  ClearCompilation(b);
  b.JolietFileSystem = 1;
  b.UDFBridge = udf ? 1 : 0;
  InsertDir(b, "\\", dir, false, true, "f*");
  PrepareImage(b);
  std::vector<uint8_t> block(32 * 2048);
  uint64_t bytes = 0;
  for (auto _ : state) {
    RenderMetadata(b);
    TImageStream s(b);
    int64_t n;
    while ((n = s.Read(block.data(), 32)) > 0) {
      benchmark::DoNotOptimize(block.data());
      bytes += static_cast<uint64_t>(n) * 2048;
    }
    if (n < 0) state.SkipWithError("stream failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["sectors"] = b.TotalSectors;
}

void BM_StreamSmallFiles(benchmark::State& state) {
  StreamImage(state, StreamFolder("small", 100000, 1500), state.range(0) != 0);
}
BENCHMARK(BM_StreamSmallFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StreamLargeFiles(benchmark::State& state) {
  StreamImage(state, StreamFolder("large", 3, 256u << 20), state.range(0) != 0);
}
BENCHMARK(BM_StreamLargeFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
