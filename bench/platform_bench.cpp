// Short names for folders whose long names all clash when cut to 8.3: the cost per name must stay
// flat as the folder grows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Files.h"
#include "platform/Text.h"

namespace {

void BM_ShortNamesClashing(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::u16string> names;
  for (int i = 0; i < n; ++i)
    names.push_back(plat::Utf8ToUtf16("Holiday photo number " + std::to_string(i) + ".jpeg"));
  for (auto _ : state) {
    plat::TShortNameGenerator g;
    for (const auto& name : names) benchmark::DoNotOptimize(g.Next(name));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ShortNamesClashing)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_EnumerateClashingFolder(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  char tmpl[] = "/tmp/ardovan-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  for (int i = 0; i < n; ++i)
    std::ofstream(dir + "/Holiday photo number " + std::to_string(i) + ".jpeg");
  for (auto _ : state) {
    plat::TFindEnumerator e;
    plat::TFindData fd;
    size_t count = 0;
    for (bool ok = e.First(dir + "/*.*", fd); ok; ok = e.Next(fd)) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * n);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_EnumerateClashingFolder)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
