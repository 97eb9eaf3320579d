// The UDF bridge: the CRC-16 of descriptor tags, and the on-demand UDF area of a compilation of
// 100,000 files produced in the buffer thread's 64 KiB requests into a null sink.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/qvpECMA_167.h"
#include "image/qvpTree.h"
#include "image/qvpUDFBridge.h"
#include "image/qvpUDF_CRC.h"

using namespace img;

namespace {

void BM_UdfCrc16(benchmark::State& state) {
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + 7);
  for (auto _ : state) benchmark::DoNotOptimize(UdfCrc16(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_UdfCrc16)->Arg(40)->Arg(296)->Arg(2032);

// The tag of a file entry: 184 bytes written, the rest of the 2032 zero.
void BM_UdfFileEntryTag(benchmark::State& state) {
  uint8_t sector[2048] = {};
  for (int i = 16; i < 184; ++i) sector[i] = static_cast<uint8_t>(i);
  const bool zeroTail = state.range(0) != 0;
  for (auto _ : state) {
    if (zeroTail)
      EcmaWriteTagZeroTail(sector, kTagFileEntry, 1234, 2032, 184);
    else
      EcmaWriteTag(sector, kTagFileEntry, 1234, 2032);
    benchmark::DoNotOptimize(sector[8]);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_UdfFileEntryTag)->Arg(0)->Arg(1);

// 100 folders of 1000 files each, names of about 20 characters.
std::unique_ptr<TImageBuilder> BuildCompilation(int folders, int filesPerFolder) {
  auto b = std::make_unique<TImageBuilder>();
  ClearCompilation(*b);
  uint32_t extent = 0;
  for (int d = 0; d < folders; ++d) {
    plat::TFindData fd;
    fd.FileAttributes = 0x10;
    const std::u16string dirName = u"folder " + std::u16string(1, char16_t(u'A' + d % 26)) +
                                   std::u16string(1, char16_t(u'a' + d / 26));
    dirName.copy(fd.FileName, dirName.size());
    TDirNode* dir = AddSubdirectory(*b, b->Root, fd);
    for (int f = 0; f < filesPerFolder; ++f) {
      plat::TFindData ff;
      ff.FileAttributes = 0x20;
      ff.FileSizeLow = 3000;
      std::u16string name = u"photo of a day ";
      for (int v = f; v; v /= 10) name += char16_t(u'0' + v % 10);
      name += u".jpg";
      name.copy(ff.FileName, name.size());
      TFileNode* e = AddEntry(*b, dir, ff, false, 0, u"/nowhere");
      e->Extent = extent;
      extent += 2;
    }
  }
  return b;
}

void BM_ProduceUdfArea(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  auto b = BuildCompilation(100, files / 100);
  UdfLayoutStart(*b, 18);
  const uint32_t sectors = UdfLayoutArea(*b, 259);
  UdfLayoutFinish(*b, 259 + sectors, 259 + sectors + 2 * static_cast<uint32_t>(files) + 31);
  std::vector<uint8_t> block(32 * 2048);
  for (auto _ : state) {
    UdfStreamStart(*b);
    for (uint32_t done = 0; done < sectors; done += 32) {
      ProduceUdfArea(*b, block.data(), std::min<uint32_t>(32, sectors - done));
      benchmark::DoNotOptimize(block.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * sectors * 2048);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * files);
  state.counters["sectors"] = sectors;
}
BENCHMARK(BM_ProduceUdfArea)->Arg(100000)->Unit(benchmark::kMillisecond);

// The layout walk of the same compilation.
void BM_UdfLayoutArea(benchmark::State& state) {
  auto b = BuildCompilation(100, static_cast<int>(state.range(0)) / 100);
  UdfLayoutStart(*b, 18);
  for (auto _ : state) benchmark::DoNotOptimize(UdfLayoutArea(*b, 259));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_UdfLayoutArea)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
