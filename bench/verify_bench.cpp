// The verification pass against `ardovan-vdrive export` of the same session: 768 MiB of large
// files burned once to a DVD+R, then read back three ways. The pass must read at no less than
// 80 % of the export's rate.
//   BM_ExportSession        what `ardovan-vdrive export --session 1` does: the session's blocks
//                           copied from the recorder's medium file into an image file
//   BM_VerifyPassAfterBurn  the pass a burn with Verify runs: the compilation's stream made
//                           again through the software buffer, READ(10) of every block through
//                           the command layer and the recorder, every byte compared
//   BM_VerifyDiscFolder     VerifyDisc: the same with the session found on the disc and only the
//                           files' data compared (the directories only read)
#include <atomic>
#include <optional>
#include <string>

#include "bench/BenchRig.h"
#include "engine/qvpJob.h"
#include "engine/qvpVerify.h"

namespace {

using namespace benchrig;

// A recorder holding the burned session.
struct TBurned : TRig {
  bool ok = false;
  TBurned() {
    if (!Blank()) return;
    Compile();
    done = false;
    if (!q->BurnData()) return;
    Wait();
    ok = q->GetWrittenSectors() > 0;
  }
};

void BM_ExportSession(benchmark::State& state) {
  TBurned rig;
  if (!rig.ok) return state.SkipWithError("burn failed");
  const std::string out = MakeDir("export") + "/session.iso";
  double cpu = 0;
  for (auto _ : state) {
    const double c0 = ProcessCpu();
    std::string error;
    if (!vdrive::ExportMedium(rig.recorder, out, 1, error))
      return state.SkipWithError(error.c_str());
    cpu += ProcessCpu() - c0;
    state.PauseTiming();
    state.SetBytesProcessed(state.bytes_processed() + plat::GetFileSize(out));
    fs::remove(out);
    state.ResumeTiming();
  }
  fs::remove_all(fs::path(out).parent_path());
  CountCpu(state, cpu);
}
BENCHMARK(BM_ExportSession)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_VerifyPassAfterBurn(benchmark::State& state) {
  TBurned rig;
  if (!rig.ok) return state.SkipWithError("burn failed");
  double cpu = 0;
  for (auto _ : state) {
    // The job state the write thread hands the pass, on this thread instead.
    std::atomic<uint16_t> status{0};
    TJobState job;
    job.Status = &status;
    job.CacheBytes = kCacheMiB << 20;
    const auto v = CompilationVerification(rig.q->Builder(), 0, 0, 0, false);
    const double c0 = ProcessCpu();
    const TVerifyReport r = RunVerification(job, rig.q->Device(), *v);
    cpu += ProcessCpu() - c0;
    if (r.Outcome != TVerifyOutcome::Passed) return state.SkipWithError("the pass failed");
    state.SetBytesProcessed(state.bytes_processed() + int64_t(v->Sectors) * 2048);
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_VerifyPassAfterBurn)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_VerifyDiscFolder(benchmark::State& state) {
  TBurned rig;
  if (!rig.ok) return state.SkipWithError("burn failed");
  std::optional<bool> failed;
  rig.q->OnVerifyDone = [&failed](TQuorvexPro*, uint8_t, int32_t, bool f) { failed = f; };
  double cpu = 0;
  for (auto _ : state) {
    failed.reset();
    const double c0 = ProcessCpu();
    if (!rig.q->VerifyDisc()) return state.SkipWithError("verification refused");
    while (!failed) rig.q->NotifyQueue()->WaitAndDispatch(1000);
    cpu += ProcessCpu() - c0;
    if (*failed) return state.SkipWithError("the pass failed");
    state.SetBytesProcessed(state.bytes_processed() + int64_t(rig.q->GetVerifiedSectors()) * 2048);
  }
  CountCpu(state, cpu);
}
BENCHMARK(BM_VerifyDiscFolder)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
