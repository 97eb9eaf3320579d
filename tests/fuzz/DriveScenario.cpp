#include "tests/fuzz/DriveScenario.h"

#include <condition_variable>
#include <mutex>

#include "device/qvpSCSILib.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Report.h"

namespace fuzz {
namespace {

constexpr uint8_t kHighestMediumType = 22;

void MediumQueries(TQuorvexPro& q) {
  qvp::TSCSIDevice& d = q.Device();
  Check(qvp::GetMediumType(d) <= kHighestMediumType, "a medium type code beyond the table");
  qvp::GetCompleteSessionCount(d);
  qvp::GetLastTrackNumber(d);
  qvp::IsErasable(d);
  qvp::IsDiscWritable(d);
  qvp::GetFreeBlocks(d);
  qvp::GetTotalBlocks(d);
  qvp::FindIsoVolumeSize(d);
  qvp::ReadFormatCapacities(d);
  qvp::ReadBufferCapacity(d);
  qvp::ReadTrackInformation(d, 1);
  qvp::ReadTrackInformation(d, 0xFF);
  uint8_t toc[255];
  for (uint8_t format : {0, 1, 2, 4})
    qvp::ReadTocPmaAtip(d, format, 0, sizeof toc, toc, format != 0);
  uint8_t page[256];
  for (uint8_t code : {0x05, 0x2A, 0x30}) qvp::ModeSense10(d, page, sizeof page, false, code);
  q.GetMaxWriteSpeed();
  q.GetCurrentReadSpeed();
}

void Report(TQuorvexPro& q) {
  const fe::TMediumFacts facts = fe::CollectMediumFacts(q);
  Check(facts.MediumType <= kHighestMediumType,
        "the report shows a medium type code beyond the table");
  Check(fe::ReportLines(facts).size() == 44, "the report does not have its 44 lines");
}

// A folder with one file of a few sectors, made once.
const std::string& SourceFile() {
  static const std::string path = [] {
    const std::string dir = FreshDir("source");
    const std::string file = dir + "/soubor.txt";
    WriteFile(file, std::string(5000, 'x'));
    return file;
  }();
  return path;
}

void Burn(TQuorvexPro& q, const TScenario& s) {
  std::mutex m;
  std::condition_variable cv;
  int events = 0;
  q.OnWriteDone = [&](TQuorvexPro*, uint8_t, bool) {
    std::lock_guard<std::mutex> g(m);
    ++events;
    cv.notify_all();
  };
  q.ClearCompilation();
  q.SetVolumeID("FUZZ");
  q.SetTestWrite(s.testWrite);
  q.SetFinalizeDisc(s.finalize);
  q.SetUDFBridge(s.udf);
  q.SetCacheSize(2);
  Check(q.CreateDir("\\", "Data") != nullptr, "the compilation has no folder");
  Check(q.InsertFile("\\Data", SourceFile()) != nullptr, "the compilation has no file");
  Check(q.PrepareImage() > 0, "the compilation lays out to nothing");
  if (q.BurnData()) {
    std::unique_lock<std::mutex> g(m);
    cv.wait(g, [&] { return events > 0; });
  }
  // Whatever the drive answered, the job ends once and leaves the component idle.
  std::lock_guard<std::mutex> g(m);
  Check(events <= 1, "the burn reported its end more than once");
  Check(q.GetStatus() == 0, "the component is not idle after the burn");
}

}  // namespace

TScenario ReadScenario(TInput& in) {
  const uint8_t b = in.Byte();
  TScenario s;
  s.stages = b & 7;
  s.testWrite = (b & 8) != 0;
  s.finalize = (b & 16) != 0;
  s.udf = (b & 32) != 0;
  return s;
}

void WriteScenario(TOutput& out, const TScenario& s) {
  out.Byte(static_cast<uint8_t>(s.stages | (s.testWrite ? 8 : 0) | (s.finalize ? 16 : 0) |
                                (s.udf ? 32 : 0)));
}

void RunScenario(const TScenario& s) {
  TQuorvexPro q(false);
  q.InitializeDevices(0, "", "");
  if (q.GetDeviceCount() == 0) return;
  q.SelectDevice(0);
  if (s.stages & kStageQueries) MediumQueries(q);
  if (s.stages & kStageReport) Report(q);
  if (s.stages & kStageBurn) Burn(q, s);
}

}  // namespace fuzz
