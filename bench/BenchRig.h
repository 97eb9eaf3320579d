#pragma once
// What the engine benchmarks share: folders in $ARDOVAN_BENCH_DIR (a tmpfs such as /dev/shm keeps
// the disk out of the figures; else the temporary folder), 768 MiB of large source files made
// once per process, the process's CPU time, and a component with one virtual recorder selected.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace benchrig {

namespace fs = std::filesystem;

constexpr int kFiles = 6;
constexpr size_t kFileBytes = size_t(128) << 20;  // 6 x 128 MiB = 768 MiB
constexpr uint32_t kCacheMiB = 32;

inline std::string MakeDir(const char* hint) {
  const char* base = getenv("ARDOVAN_BENCH_DIR");
  std::string pattern = (base && *base ? std::string(base) + "/" : plat::TempPath()) +
                        "ardovan-bench-" + hint + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

// CPU seconds of the whole process (every thread, the recorder's work included): on a shared
// machine the wall-clock figures follow the load, this one does not.
inline double ProcessCpu() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

inline void CountCpu(benchmark::State& state, double cpu) {
  state.counters["process_cpu_ms"] =
      benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
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
inline const std::string& Sources() {
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
    if (!vdrive::InsertBlank(recorder, vdrive::TMediumKind::DvdPlusR, std::nullopt, false, error))
      return false;
    for (int i = 0; i < 100000 && !q->IsUnitReady(); ++i) plat::Sleep(10);
    return q->IsUnitReady();
  }
  // Dispatches the component's messages until `done` is set.
  void Wait() {
    while (!done) q->NotifyQueue()->WaitAndDispatch(1000);
  }
};

}  // namespace benchrig
