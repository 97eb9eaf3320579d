// The burn pipeline against its two ends: 768 MiB of large files burned through the whole engine
// (buffer thread, write thread, command layer, pass-through) to a virtual recorder whose WRITE
// costs its pwrite; the same image produced into a null sink by the same producer; and the same
// number of 64 KiB WRITEs sent to the recorder straight from the command layer. The pipeline is
// never the bottleneck when the burn runs at no less than 80 % of the slower end.
//
// The recorder lives in $ARDOVAN_BENCH_DIR when set (a tmpfs such as /dev/shm keeps the disk
// out of the figures), else in the temporary folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/qvpSCSILib.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 6;
constexpr size_t kFileBytes = size_t(128) << 20;  // 6 x 128 MiB = 768 MiB
constexpr uint32_t kCacheMiB = 32;

std::string MakeDir(const char* hint) {
  const char* base = getenv("ARDOVAN_BENCH_DIR");
  std::string pattern = (base && *base ? std::string(base) + "/" : plat::TempPath()) + "ardovan-bench-" + hint + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

// CPU seconds of the whole process (every thread, the recorder's work included): on a shared
// machine the wall-clock figures follow the load, this one does not.
double ProcessCpu() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

void CountCpu(benchmark::State& state, double cpu) {
  state.counters["process_cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}

// Removes a folder when the process ends.
struct TRemoveAtExit {
  std::string dir;
  ~TRemoveAtExit() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

// The source files, made once per process and kept in the page cache by their first reads.
const std::string& Sources() {
  static TRemoveAtExit cleanup;
  static const std::string dir = [] {
    const std::string d = MakeDir("src");
    std::vector<char> chunk(1 << 20);
    for (int f = 0; f < kFiles; ++f) {
      plat::TFile file;
      file.Create(d + "/video" + std::to_string(f) + ".mkv");
      for (size_t i = 0; i < kFileBytes / chunk.size(); ++i) {
        for (size_t j = 0; j < chunk.size(); j += 4096) chunk[j] = char(f + i + j);
        file.Write(chunk.data(), chunk.size());
      }
    }
    cleanup.dir = d;
    return d;
  }();
  return dir;
}

// A component with one virtual recorder selected.
struct TRig {
  std::string devices;
  std::string recorder;
  std::unique_ptr<TQuorvexPro> q;
  bool done = false;

  TRig() {
    devices = MakeDir("dev");
    plat::SetRealDriveFolder(devices);
    recorder = MakeDir("recorder");
    std::string error;
    vdrive::CreateRecorder(recorder, "bd", false, error);
    setenv("ARDOVAN_VDRIVES", recorder.c_str(), 1);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
    q = std::make_unique<TQuorvexPro>(true);
    q->InitializeDevices(0, "", "");
    q->SelectDevice(0);
    q->SetCacheSize(kCacheMiB);
    q->OnWriteDone = [this](TQuorvexPro*, uint8_t, bool) { done = true; };
  }
  ~TRig() {
    q.reset();
    std::error_code ec;
    fs::remove_all(recorder, ec);
    fs::remove_all(devices, ec);
  }
  void Compile() {
    q->ClearCompilation();
    q->InsertDir("\\", Sources(), false, false, "*.*");
    q->PrepareImage();
  }
  bool Blank() {
    std::string error;
    if (!vdrive::InsertBlank(recorder, vdrive::TMediumKind::DvdPlusR, std::nullopt, false, error)) return false;
    for (int i = 0; i < 100000 && !q->IsUnitReady(); ++i) plat::Sleep(10);
    return q->IsUnitReady();
  }
};

void BM_ImageToNullSink(benchmark::State& state) {
  TRig rig;
  rig.Compile();
  std::vector<uint8_t> block(65536);
  double cpu = 0;
  for (auto _ : state) {
    const double c0 = ProcessCpu();
    BuilderRender(rig.q->Builder(), 0, 0, 0);
    auto source = NewCompilationSource(rig.q->Builder());
    TBlockInfo info;
    int64_t bytes = 0;
    for (int32_t n; (n = source->NextBlock(block.data(), info)) > 0;) bytes += n;
    benchmark::DoNotOptimize(block.data());
    cpu += ProcessCpu() - c0;
    state.SetBytesProcessed(state.bytes_processed() + bytes);
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_ImageToNullSink)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_RecorderWritesAlone(benchmark::State& state) {
  TRig rig;
  std::vector<uint8_t> block(65536, 0x5A);
  const uint32_t blocks = uint32_t(kFiles * kFileBytes / block.size());
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    rig.Blank();
    qvp::TSCSIDevice& d = rig.q->Device();
    qvp::SetWriteParameters(d, false, true, qvp::mtDVDPLUSR, false);
    d.CloseAfterCommand = 0;
    state.ResumeTiming();
    const double c0 = ProcessCpu();
    for (uint32_t i = 0; i < blocks; ++i)
      if (!qvp::Write10(d, i * 32, 32, uint32_t(block.size()), block.data())) {
        state.SkipWithError("WRITE refused");
        break;
      }
    qvp::SynchronizeCache(d, false);
    cpu += ProcessCpu() - c0;
    d.CloseAfterCommand = 1;
    state.SetBytesProcessed(state.bytes_processed() + int64_t(blocks) * int64_t(block.size()));
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_RecorderWritesAlone)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_BurnToVirtualRecorder(benchmark::State& state) {
  TRig rig;
  // The real clock: a scaled one would turn the buffer's timed waits into polling. A DVD+R
  // closes without a drive poll, so the figure is the pipeline's.
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!rig.Blank()) {
      state.SkipWithError("no blank medium");
      break;
    }
    rig.Compile();
    rig.done = false;
    state.ResumeTiming();
    const double c0 = ProcessCpu();
    if (!rig.q->BurnData()) {
      state.SkipWithError("burn refused");
      break;
    }
    while (!rig.done) rig.q->NotifyQueue()->WaitAndDispatch(1000);
    cpu += ProcessCpu() - c0;
    state.SetBytesProcessed(state.bytes_processed() + int64_t(rig.q->GetWrittenSectors()) * 2048);
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_BurnToVirtualRecorder)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
