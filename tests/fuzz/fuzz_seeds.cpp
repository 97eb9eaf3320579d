// fuzz-seeds CORPUS: makes the seed corpora of the drive, recorder and disc-reader harnesses from
// real conversations. On a virtual recorder with each kind of medium it runs what the program asks
// a drive (DriveScenario) and keeps the command log: the recorder's answers become seeds of the
// drive-answers harness, the commands with their data-out seeds of the recorder-commands harness,
// the recorder's folder after the burn a seed of the recorder-state harness, and the burned image
// served as a pressed disc a seed of the disc-reader harness.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "platform/Clock.h"
#include "tests/fuzz/DriveAnswers.h"
#include "tests/fuzz/DriveScenario.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/RecorderSeeds.h"
#include "tests/fuzz/RecorderState.h"
#include "vdrive/Recorder.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"

namespace {

namespace fs = std::filesystem;
using vdrive::TMediumKind;

// Passes every command to a recorder and keeps both sides of the conversation.
class TRecordingDrive : public plat::TVirtualDrive {
 public:
  explicit TRecordingDrive(std::shared_ptr<vdrive::TVirtualRecorder> inner)
      : inner_(std::move(inner)) {}
  std::string Path() const override { return inner_->Path(); }
  bool Address(plat::TScsiAddress& a) const override { return inner_->Address(a); }
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                  uint32_t dataLen, uint8_t* sense, uint8_t senseLen) override {
    std::lock_guard<std::mutex> g(m_);
    // The commands: header, CDB, and the data-out (bulk data as a fill byte) or the allocation.
    commands.Byte(static_cast<uint8_t>((cdbLen - 1) | (direction == plat::kScsiDataOut  ? 0x00
                                                       : direction == plat::kScsiDataIn ? 0x10
                                                                                        : 0x20)));
    commands.Append(cdb, cdbLen);
    if (direction == plat::kScsiDataOut) {
      commands.U24(dataLen);
      if (dataLen > 512) {
        commands.Byte(0x5A);
      } else {
        commands.Byte(0);
        commands.Append(data, dataLen);
      }
    } else if (direction == plat::kScsiDataIn) {
      commands.U24(dataLen);
    }
    const uint8_t status = inner_->Execute(cdb, cdbLen, direction, data, dataLen, sense, senseLen);
    fuzz::EncodeAnswer(answers, status, direction == plat::kScsiDataIn ? data : nullptr,
                       direction == plat::kScsiDataIn ? dataLen : 0, sense, senseLen);
    return status;
  }

  fuzz::TOutput commands, answers;

 private:
  std::mutex m_;
  std::shared_ptr<vdrive::TVirtualRecorder> inner_;
};

void Save(const fs::path& corpus, const std::string& harness, const std::string& name,
          const std::vector<uint8_t>& bytes) {
  fs::create_directories(corpus / harness);
  fuzz::WriteFile((corpus / harness / name).string(), bytes.data(), bytes.size());
}

std::string ReadAll(const std::string& path) {
  std::string text;
  vdrive::ReadTextFile(path, text);
  return text;
}

struct TMedium {
  const char* name;
  TMediumKind kind;
  bool formatted;
  const char* model;
  fuzz::TScenario scenario;
};

void Burn(const fs::path& corpus, const TMedium& m) {
  const std::string dir = fuzz::FreshDir(std::string("rec-") + m.name);
  std::string error;
  if (!vdrive::CreateRecorder(dir, m.model, false, error) ||
      !vdrive::InsertBlank(dir, m.kind, std::nullopt, m.formatted, error)) {
    throw std::runtime_error(error);
  }
  auto recorder = vdrive::TVirtualRecorder::Open(dir, &error);
  if (!recorder) throw std::runtime_error(error);
  auto drive = std::make_shared<TRecordingDrive>(recorder);
  fuzz::InstallDrive(drive);
  fuzz::RunScenario(m.scenario);
  fuzz::RemoveDrives();
  recorder.reset();

  fuzz::TOutput answers;
  fuzz::WriteScenario(answers, m.scenario);
  answers.Append(drive->answers.bytes.data(), drive->answers.bytes.size());
  Save(corpus, "fuzz_drive_answers", m.name, answers.bytes);

  fuzz::TOutput commands;
  fuzz::WriteRecorderSetup(commands, fuzz::TRecorderSetup{m.kind, m.formatted, 0, m.model});
  commands.Append(drive->commands.bytes.data(), drive->commands.bytes.size());
  Save(corpus, "fuzz_vdrive_commands", m.name, commands.bytes);

  fuzz::TRecorderFiles files;
  files.drive = ReadAll(dir + "/drive.json");
  files.medium = ReadAll(dir + "/medium.json");
  files.faults = ReadAll(dir + "/faults.json");
  files.imagePresent = true;
  files.imageSize = static_cast<uint64_t>(fs::file_size(dir + "/medium.img"));
  std::string image = ReadAll(dir + "/medium.img");
  image.resize(std::min<size_t>(image.size(), 4096));
  files.imageHead.assign(image.begin(), image.end());
  fuzz::TOutput state;
  fuzz::WriteRecorderFiles(state, files);
  Save(corpus, "fuzz_recorder_state", m.name, state.bytes);
}

// The image of a burned disc served as a pressed one: its table of contents and the blocks from
// the volume descriptors on.
void PressedDisc(const fs::path& corpus, const std::string& name, const std::string& image,
                 TMediumKind kind) {
  const std::string dir = fuzz::FreshDir("pressed-" + name);
  std::string error;
  if (!vdrive::CreateRecorder(dir, "bd", false, error) ||
      !vdrive::InsertPressed(dir, image, kind, error))
    throw std::runtime_error(error);
  auto recorder = vdrive::TVirtualRecorder::Open(dir, &error);
  if (!recorder) throw std::runtime_error(error);
  uint8_t toc[804] = {};
  uint8_t sense[32];
  const uint8_t cdb[10] = {0x43, 0, 0, 0, 0, 0, 0, sizeof toc >> 8, sizeof toc & 0xFF, 0};
  for (int i = 0;
       i < 1000 && recorder->Execute(cdb, 10, plat::kScsiDataIn, toc, sizeof toc, sense, 32) != 0;
       ++i)
    plat::Sleep(100);
  const size_t tocLength = std::min<size_t>(sizeof toc, 2 + (toc[0] << 8 | toc[1]));
  const std::string content = ReadAll(image);
  constexpr uint32_t kFirst = 16, kBlocks = 8;
  fuzz::TOutput out;
  out.U16(static_cast<uint16_t>(tocLength));
  out.Append(toc, tocLength);
  out.Byte(255);  // reads before the medium is gone
  out.Byte(0);    // no unreadable blocks
  out.U32(kFirst);
  out.Append(std::string_view(content).substr(kFirst * 2048, kBlocks * 2048));
  Save(corpus, "fuzz_disc_reader", name, out.bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz-seeds CORPUS-FOLDER\n";
    return 2;
  }
  const fs::path corpus = argv[1];
  plat::SetClockScale(1e6);
  const fuzz::TScenario all{};
  fuzz::TScenario test = all;
  test.testWrite = true;
  fuzz::TScenario closed = all;
  closed.finalize = true;
  closed.udf = true;
  const TMedium media[] = {
      {"cd-r", TMediumKind::CdR, false, "bd", all},
      {"cd-r-test", TMediumKind::CdR, false, "cd", test},
      {"cd-rw-legacy", TMediumKind::CdRw, false, "legacy", all},
      {"dvd-r", TMediumKind::DvdR, false, "dvd", closed},
      {"dvd-rw", TMediumKind::DvdRw, false, "dvd", all},
      {"dvd-rw-restricted", TMediumKind::DvdRw, true, "dvd", all},
      {"dvd+r", TMediumKind::DvdPlusR, false, "bd", all},
      {"dvd+rw", TMediumKind::DvdPlusRw, false, "bd", closed},
      {"dvd+r-dl", TMediumKind::DvdPlusRDl, false, "bd", closed},
      {"dvd-ram", TMediumKind::DvdRam, false, "bd", all},
      {"bd-r", TMediumKind::BdR, false, "bd", closed},
      {"bd-re", TMediumKind::BdRe, true, "bd", all},
      {"hddvd-r", TMediumKind::HdDvdR, false, "hddvd", all},
      {"hddvd-ram", TMediumKind::HdDvdRam, false, "hddvd", all},
  };
  try {
    for (const TMedium& m : media) Burn(corpus, m);
    // A pressed disc from what the DVD+R burn wrote.
    const std::string dir = fuzz::ScratchDir() + "/rec-dvd+r";
    const std::string image = dir + "/exported.iso";
    std::string error;
    if (!vdrive::ExportMedium(dir, image, std::nullopt, error)) throw std::runtime_error(error);
    PressedDisc(corpus, "dvd-rom", image, TMediumKind::DvdRom);
    PressedDisc(corpus, "cd-rom", image, TMediumKind::CdRom);
  } catch (const std::exception& e) {
    std::cerr << "fuzz-seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
