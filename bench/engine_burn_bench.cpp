// The burn pipeline against its two ends: 768 MiB of large files burned through the whole engine
// (buffer thread, write thread, command layer, pass-through) to a virtual recorder whose WRITE
// costs its pwrite; the same image produced into a null sink by the same producer; and the same
// number of 64 KiB WRITEs sent to the recorder straight from the command layer. The pipeline is
// never the bottleneck when the burn runs at no less than 80 % of the slower end.
#include <vector>

#include "bench/BenchRig.h"
#include "device/qvpSCSILib.h"
#include "engine/qvpImageLink.h"

namespace {

using namespace benchrig;

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
    rig.Wait();
    cpu += ProcessCpu() - c0;
    state.SetBytesProcessed(state.bytes_processed() + int64_t(rig.q->GetWrittenSectors()) * 2048);
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_BurnToVirtualRecorder)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
