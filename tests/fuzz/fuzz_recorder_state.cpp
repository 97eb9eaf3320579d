// Recorder state files: a recorder folder made from the input (drive.json, medium.json,
// faults.json and a sparse medium.img, each possibly missing; RecorderState.h) is opened as a
// drive and asked what the program asks, shown by `status` and exported whole and session by
// session. A damaged folder may be refused, with the file named, but never crash, hang or give
// data the medium file does not hold; ejecting (or inserting) repairs it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/Clock.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/RecorderState.h"
#include "vdrive/Recorder.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"

namespace {

// Images beyond this are not made: the folder's files stay cheap to write.
constexpr uint64_t kMaxImage = uint64_t{1} << 36;

void Lay(const std::string& dir, const fuzz::TRecorderFiles& f) {
  if (f.drivePresent) fuzz::WriteFile(dir + "/drive.json", f.drive);
  if (f.mediumPresent) fuzz::WriteFile(dir + "/medium.json", f.medium);
  if (f.faultsPresent) fuzz::WriteFile(dir + "/faults.json", f.faults);
  if (f.imagePresent) {
    const std::string image = dir + "/medium.img";
    fuzz::WriteFile(image, f.imageHead.data(), f.imageHead.size());
    fuzz::Check(truncate(image.c_str(), static_cast<off_t>(std::min(f.imageSize, kMaxImage))) == 0,
                "cannot size medium.img");
  }
}

// What the device layer asks a drive before and while it burns, each answered without a crash
// and with data-in that fits the transfer (the sanitizers watch the buffers).
void AskTheDrive(vdrive::TVirtualRecorder& r) {
  static const std::vector<std::vector<uint8_t>> kCommands = {
      {0x00, 0, 0, 0, 0, 0},
      {0x12, 0, 0, 0, 96, 0},
      {0x46, 0x00, 0, 0, 0, 0, 0, 0x04, 0x00, 0},
      {0x46, 0x02, 0, 0x2A, 0, 0, 0, 0, 112, 0},
      {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0},
      {0x51, 0, 0, 0, 0, 0, 0, 0, 64, 0},
      {0x52, 1, 0, 0, 0, 1, 0, 0, 48, 0},
      {0x52, 1, 0, 0, 0, 2, 0, 0, 48, 0},
      {0x52, 1, 0, 0, 0, 0xFF, 0, 0, 48, 0},
      {0x52, 0, 0, 0, 0, 0, 0, 0, 48, 0},
      {0x52, 2, 0, 0, 0, 1, 0, 0, 48, 0},
      {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0},
      {0x43, 2, 1, 0, 0, 0, 0, 0, 255, 0},
      {0x43, 2, 2, 0, 0, 0, 0, 0x03, 0x24, 0},
      {0x43, 2, 4, 0, 0, 0, 0, 0, 30, 0},
      {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0x23, 0, 0, 0, 0, 0, 0, 0, 252, 0},
      {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 128, 0},
      {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 255, 0},
      {0x5A, 0, 0x3F, 0, 0, 0, 0, 0x04, 0, 0},
      {0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0},
      {0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0},
      {0x28, 0, 0, 0, 0, 0, 0, 0, 16, 0},
  };
  std::vector<uint8_t> data(1024 + 16 * 2048);
  uint8_t sense[32];
  for (const auto& cdb : kCommands) {
    r.Execute(cdb.data(), static_cast<uint8_t>(cdb.size()), plat::kScsiDataIn, data.data(),
              cdb[0] == 0x28 ? (cdb[8] * 2048u) : 1024u, sense, sizeof sense);
  }
}

uint64_t SizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : UINT64_MAX;
}

// An export that succeeds holds exactly the blocks asked for, no more than the medium's file
// has and no more than the medium holds.
void Export(const std::string& dir, std::optional<uint32_t> session, const nlohmann::json& status) {
  const std::string out = fuzz::ScratchDir() + "/export.iso";
  unlink(out.c_str());
  std::string error;
  if (!vdrive::ExportMedium(dir, out, session, error)) {
    fuzz::Check(SizeOf(out) == UINT64_MAX || SizeOf(out) == 0,
                "a failed export left its output behind");
    return;
  }
  uint64_t blocks = 0;
  const nlohmann::json& m = status["medium"];
  if (session) {
    fuzz::Check(*session <= m["sessions"].size(),
                "a session was exported that status does not show");
    const nlohmann::json& s = m["sessions"][*session - 1];
    blocks = s["end"].get<uint64_t>() - s["start"].get<uint64_t>();
  } else if (!m["last_recorded"].is_null()) {
    blocks = m["last_recorded"].get<uint64_t>() + 1;
  }
  fuzz::Check(SizeOf(out) == blocks * vdrive::kBlockSize,
              "the export is not the size of what was recorded");
  fuzz::Check(blocks <= m["capacity"].get<uint64_t>() + m["capacity"].get<uint64_t>() / 30,
              "the export is larger than the medium");
  unlink(out.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plat::SetClockScale(1e6);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  const fuzz::TRecorderFiles files = fuzz::ReadRecorderFiles(in);
  const std::string dir = fuzz::FreshDir("recorder");
  Lay(dir, files);

  std::string error;
  if (auto r = vdrive::TVirtualRecorder::Open(dir, &error)) {
    AskTheDrive(*r);
  } else {
    fuzz::Check(!error.empty(), "a recorder was refused without a reason");
  }

  std::string text;
  if (vdrive::RecorderStatus(dir, text, error)) {
    const nlohmann::json status = nlohmann::json::parse(text, nullptr, false);
    fuzz::Check(status.is_object(), "status is not JSON");
    Export(dir, std::nullopt, status);
    if (status["medium"].is_object()) {
      const size_t sessions = status["medium"]["sessions"].size();
      for (uint32_t s = 1; s <= sessions + 1; ++s) Export(dir, s, status);
    }
  } else {
    fuzz::Check(error.find(dir) != std::string::npos,
                [&] { return "a refusal that names no file: " + error; });
  }

  // Ejecting replaces whatever medium state there was: the folder is a recorder again.
  if (vdrive::EjectMedium(dir, error)) {
    fuzz::Check(vdrive::RecorderStatus(dir, text, error),
                [&] { return "still refused after an ejection: " + error; });
  }
  return 0;
}
