#include "vdrive/Recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "vdrive/Core.h"

namespace vdrive {

TVirtualRecorder::TVirtualRecorder(std::string folder) : folder_(std::move(folder)) {}

TVirtualRecorder::~TVirtualRecorder() {
  // What was written but never synchronised still belongs on the medium, unless the medium was
  // replaced meanwhile by another process.
  SaveProgress();
  if (lockFd_ >= 0) close(lockFd_);
}

void TVirtualRecorder::SaveProgress() {
  std::lock_guard<std::mutex> g(m_);
  if (core_ && core_->progressUnsaved && lockFd_ >= 0) {
    TFolderLock lock(lockFd_);
    SyncFromDisk();
    if (core_->progressUnsaved) SaveState();
  }
}

std::shared_ptr<TVirtualRecorder> TVirtualRecorder::Open(const std::string& folder,
                                                         std::string* error) {
  std::shared_ptr<TVirtualRecorder> r(new TVirtualRecorder(folder));
  std::string why;
  if (!r->Load(&why)) {
    if (error) *error = why;
    return nullptr;
  }
  return r;
}

bool TVirtualRecorder::Load(std::string* error) {
  lockFd_ = OpenLockFile(folder_);
  if (lockFd_ < 0) {
    *error = "cannot open the lock file in " + folder_;
    return false;
  }
  TFolderLock lock(lockFd_);
  std::string text, why;
  TDriveModel model;
  const std::string drivePath = JoinPath(folder_, kDriveFile);
  if (!ReadTextFile(drivePath, text)) {
    *error = folder_ + " is not a recorder (no " + kDriveFile + ")";
    return false;
  }
  if (!ModelFromJson(text, model, why)) {
    *error = drivePath + ": " + why;
    return false;
  }
  driveStamp_ = StampOf(drivePath);
  TLoadState state;
  const std::string mediumPath = JoinPath(folder_, kMediumFile);
  if (ReadTextFile(mediumPath, text) && !StateFromJson(text, state, why)) {
    *error = mediumPath + ": " + why;
    return false;
  }
  mediumStamp_ = StampOf(mediumPath);
  const std::string imagePath = JoinPath(folder_, kImageFile);
  if (state.disc &&
      !CheckImageFile(imagePath, uint64_t{state.disc->UserBlockLimit()} * kBlockSize, *error)) {
    return false;
  }
  if (state.disc && !image_.Open(imagePath)) {
    *error = "cannot open " + imagePath;
    return false;
  }
  core_ = std::make_unique<TDriveCore>(std::move(model), std::move(state), &image_);
  const std::string faultsPath = JoinPath(folder_, kFaultsFile);
  faultsStamp_ = StampOf(faultsPath);
  if (ReadTextFile(faultsPath, text)) {
    TFaults f;
    if (FaultsFromJson(text, f, why)) {
      core_->faults = f;
      if (f.notReadyMs > 0) core_->StartNotReady(f.notReadyMs, sense::kNotReady);
      notReadyArmSeen_ = f.notReadyArm;
    }
  }
  return true;
}

void TVirtualRecorder::SyncFromDisk() {
  std::string text, why;
  const std::string drivePath = JoinPath(folder_, kDriveFile);
  if (TFileStamp s = StampOf(drivePath); !(s == driveStamp_)) {
    driveStamp_ = s;
    TDriveModel m;
    if (ReadTextFile(drivePath, text) && ModelFromJson(text, m, why)) core_->model = std::move(m);
  }
  const std::string mediumPath = JoinPath(folder_, kMediumFile);
  if (TFileStamp s = StampOf(mediumPath); !(s == mediumStamp_)) {
    mediumStamp_ = s;
    TLoadState fresh;
    if (!s.exists || (ReadTextFile(mediumPath, text) && StateFromJson(text, fresh, why))) {
      const bool replaced = fresh.generation != core_->state.generation;
      core_->state = std::move(fresh);
      core_->progressUnsaved = false;
      if (replaced) {
        // Another medium: its image is another file.
        image_.Close();
        if (core_->state.disc) image_.Open(JoinPath(folder_, kImageFile));
        core_->MediumChanged();
      }
    }
  }
  const std::string faultsPath = JoinPath(folder_, kFaultsFile);
  if (TFileStamp s = StampOf(faultsPath); !(s == faultsStamp_)) {
    faultsStamp_ = s;
    TFaults f;
    if (!s.exists || (ReadTextFile(faultsPath, text) && FaultsFromJson(text, f, why))) {
      if (f.notReadyMs > 0 && f.notReadyArm != notReadyArmSeen_)
        core_->StartNotReady(f.notReadyMs, sense::kNotReady);
      notReadyArmSeen_ = f.notReadyArm;
      core_->faults = std::move(f);
    }
  }
}

void TVirtualRecorder::SaveState() {
  const std::string path = JoinPath(folder_, kMediumFile);
  if (WriteFileAtomic(path, StateToJson(core_->state))) mediumStamp_ = StampOf(path);
  core_->stateChanged = false;
  core_->progressUnsaved = false;
}

void TVirtualRecorder::SaveFaults() {
  const std::string path = JoinPath(folder_, kFaultsFile);
  if (WriteFileAtomic(path, FaultsToJson(core_->faults))) faultsStamp_ = StampOf(path);
  core_->faultsChanged = false;
}

bool TVirtualRecorder::Address(plat::TScsiAddress& a) const {
  std::lock_guard<std::mutex> g(m_);
  const auto& address = core_->model.address;
  if (!address) return false;
  a = plat::TScsiAddress{};
  a.PortNumber = address->port;
  a.TargetId = address->target;
  a.Lun = address->lun;
  return true;
}

uint8_t TVirtualRecorder::Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                                  uint8_t* data, uint32_t dataLen, uint8_t* sense,
                                  uint8_t senseLen) {
  uint32_t dataIn = 0;
  return Execute(cdb, cdbLen, direction, data, dataLen, sense, senseLen, dataIn);
}

uint8_t TVirtualRecorder::Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                                  uint8_t* data, uint32_t dataLen, uint8_t* sense, uint8_t senseLen,
                                  uint32_t& dataIn) {
  uint32_t takesMs = 0;
  const uint8_t status =
      ExecuteLocked(cdb, cdbLen, direction, data, dataLen, sense, senseLen, dataIn, takesMs);
  // A paced command takes its time after the locks are released: the tool and other callers
  // are not held up meanwhile, as they would not be by a drive busy writing.
  if (takesMs > 0) plat::Sleep(takesMs);
  return status;
}

uint8_t TVirtualRecorder::ExecuteLocked(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                                        uint8_t* data, uint32_t dataLen, uint8_t* sense,
                                        uint8_t senseLen, uint32_t& dataIn, uint32_t& takesMs) {
  std::lock_guard<std::mutex> g(m_);
  TFolderLock lock(lockFd_);
  SyncFromDisk();
  TCommand c{cdb, cdbLen, direction, data, dataLen};
  const TOutcome o = core_->Execute(c);
  if (core_->stateChanged) SaveState();
  if (core_->faultsChanged) SaveFaults();
  if (o.status == kStatusCheckCondition && sense != nullptr && senseLen > 0) {
    uint8_t s[18] = {0x70, 0, o.sense.key, 0, 0, 0, 0, 10};
    s[12] = o.sense.asc;
    s[13] = o.sense.ascq;
    if (o.progressValid) {
      s[15] = 0x80;
      s[16] = o.progress[0];
      s[17] = o.progress[1];
    }
    std::memset(sense, 0, senseLen);
    std::memcpy(sense, s, std::min<size_t>(senseLen, sizeof s));
  }
  if (core_->model.trace)
    Trace(cdb, cdbLen, direction, dataLen, o.status, o.sense.key, o.sense.asc, o.sense.ascq);
  dataIn = o.dataIn;
  // Whole milliseconds are slept; the rest is carried to the next command.
  delayCarriedMs_ += o.delayMs;
  takesMs = static_cast<uint32_t>(delayCarriedMs_);
  delayCarriedMs_ -= takesMs;
  return o.status;
}

void TVirtualRecorder::Trace(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                             uint32_t dataLen, uint8_t status, uint8_t key, uint8_t asc,
                             uint8_t ascq) {
  std::string line;
  char buf[64];
  for (uint8_t i = 0; i < cdbLen && cdb != nullptr; ++i) {
    std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", cdb[i]);
    line += buf;
  }
  std::snprintf(buf, sizeof buf, " | out %u | status %02X | %X/%02X/%02X\n",
                direction == plat::kScsiDataOut ? dataLen : 0u, status, key, asc, ascq);
  line += buf;
  const int fd =
      open(JoinPath(folder_, kTraceFile).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = write(fd, line.data(), line.size());
  close(fd);
}

}  // namespace vdrive
