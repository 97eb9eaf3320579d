// The virtual recorder's command set: a medium of any kind, then command blocks with their
// data-out from the input. After every command the recorder must still hold a disc that the
// write rules can produce, nothing may have been written beyond the medium, and the state must
// come back unchanged from medium.json.
//
// Input: medium kind, flags (bit 0: formatted), capacity (3 bytes, 0: the kind's usual one),
// model, then commands. A command is a header byte h, or FFh and 2 bytes of milliseconds for
// the drive to get on with a long operation. CDB length (h & 0Fh) + 1, then the CDB; direction
// (h >> 4) & 3: 0 data-out (3-byte length, then a fill byte, or 0 and the bytes), 1 data-in
// (3-byte length), 2 and 3 none.
#include <sys/stat.h>

#include <algorithm>

#include "platform/Clock.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/RecorderSeeds.h"
#include "vdrive/Core.h"

namespace {

using namespace vdrive;
using fuzz::MakeDisc;
using fuzz::ReadRecorderSetup;
using fuzz::TRecorderSetup;

constexpr uint32_t kMaxTransfer = 1u << 20;

// A transfer of n bytes: the last n bytes of one buffer kept for the run, so that reading or
// writing past the transfer runs into the sanitizer's guard after the buffer.
uint8_t* Transfer(uint32_t n) {
  static std::vector<uint8_t> pool(kMaxTransfer);
  return pool.data() + (pool.size() - n);
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// What the recorder would do after the command: check the disc, and when it would save
// medium.json, check that the text loads back into the same state.
void CheckState(TDriveCore& core, const std::string& imagePath) {
  const TLoadState& s = core.state;
  if (!s.disc) return;
  const std::string problem = DiscProblem(*s.disc);
  fuzz::Check(problem.empty(),
              [&] { return "the recorder made a disc it would refuse to load: " + problem; });
  const uint64_t limit = uint64_t{s.disc->UserBlockLimit()} * kSectorBytes;
  fuzz::Check(FileSize(imagePath) <= limit, "data was written beyond the end of the medium");
  if (!core.stateChanged) return;
  core.stateChanged = core.progressUnsaved = false;
  const std::string saved = StateToJson(s);
  TLoadState loaded;
  std::string error;
  fuzz::Check(StateFromJson(saved, loaded, error),
              [&] { return "medium.json does not load again: " + error; });
  fuzz::Check(StateToJson(loaded) == saved, "medium.json loads into another state");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  const TRecorderSetup setup = ReadRecorderSetup(in);
  static const std::string imagePath = fuzz::FreshDir("recorder") + "/medium.img";
  fuzz::WriteFile(imagePath, "");
  TLoadState state;
  state.disc = MakeDisc(setup);
  if (state.disc->pressed)
    truncate(imagePath.c_str(), int64_t{state.disc->capacity} * kSectorBytes);
  TImageFile image;
  fuzz::Check(image.Open(imagePath), "cannot open the image file");
  TDriveCore core(PresetModel(setup.model).value(), std::move(state), &image);
  core.stateChanged = true;
  CheckState(core, imagePath);

  while (!in.Empty()) {
    const uint8_t h = in.Byte();
    if (h == 0xFF) {
      // The drive works on for this long, as if the program had waited before its next command.
      const uint32_t ms = in.U16();
      plat::SetClockScale(1e6);
      plat::Sleep(ms);
      plat::SetClockScale(1);
      continue;
    }
    uint8_t cdb[16] = {};
    const uint8_t cdbLength = static_cast<uint8_t>((h & 0x0F) + 1);
    const std::vector<uint8_t> given = in.Bytes(cdbLength);
    std::copy(given.begin(), given.end(), cdb);
    const uint8_t direction = (h >> 4) & 3;
    TCommand c{cdb, cdbLength, plat::kScsiDataUnspecified, nullptr, 0};
    if (direction == 0 || direction == 1) {
      c.dataLen = std::min(in.U24(), kMaxTransfer);
      c.data = Transfer(c.dataLen);
      if (direction == 0) {
        const uint8_t fill = in.Byte();
        if (fill != 0) {
          std::fill(c.data, c.data + c.dataLen, fill);
        } else {
          const std::vector<uint8_t> bytes = in.Bytes(c.dataLen);
          std::copy(bytes.begin(), bytes.end(), c.data);
          std::fill(c.data + bytes.size(), c.data + c.dataLen, 0);
        }
      }
      c.direction = direction == 0 ? plat::kScsiDataOut : plat::kScsiDataIn;
    }
    const TOutcome o = core.Execute(c);
    fuzz::Check(o.status == kStatusGood || o.status == kStatusBusy ||
                    (o.status == kStatusCheckCondition && o.sense.Failed()),
                "a command ended with a status and sense that do not belong together");
    CheckState(core, imagePath);
  }
  return 0;
}
