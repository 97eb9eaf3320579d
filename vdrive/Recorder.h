#pragma once
// A virtual recorder: a folder on disk served as an MMC drive through the platform's
// pass-through. Each command runs under the folder's file lock, picks up what other processes
// changed (medium, model, faults), and writes back what it changed.
#include <memory>
#include <mutex>
#include <string>

#include "platform/Drives.h"
#include "vdrive/Store.h"

namespace vdrive {

class TDriveCore;

class TVirtualRecorder : public plat::TVirtualDrive {
 public:
  // Opens the recorder in folder (made by CreateRecorder); null with a reason when it cannot.
  static std::shared_ptr<TVirtualRecorder> Open(const std::string& folder,
                                                std::string* error = nullptr);
  ~TVirtualRecorder() override;
  TVirtualRecorder(const TVirtualRecorder&) = delete;
  TVirtualRecorder& operator=(const TVirtualRecorder&) = delete;

  std::string Path() const override { return folder_; }
  bool Address(plat::TScsiAddress& a) const override;
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                  uint32_t dataLen, uint8_t* sense, uint8_t senseLen) override;
  // Execute that also tells how many bytes the drive returned to the host.
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                  uint32_t dataLen, uint8_t* sense, uint8_t senseLen, uint32_t& dataIn);
  // Saves what writes recorded since the last save (as the destructor does), so another process
  // that opens the recorder next sees it.
  void SaveProgress();

 private:
  explicit TVirtualRecorder(std::string folder);
  bool Load(std::string* error);
  void SyncFromDisk();
  void SaveState();
  void SaveFaults();
  // Execute under the locks; takesMs is how long a paced command still takes.
  uint8_t ExecuteLocked(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                        uint32_t dataLen, uint8_t* sense, uint8_t senseLen, uint32_t& dataIn,
                        uint32_t& takesMs);
  void Trace(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint32_t dataLen,
             uint8_t status, uint8_t key, uint8_t asc, uint8_t ascq);

  const std::string folder_;
  mutable std::mutex m_;
  int lockFd_ = -1;
  TImageFile image_;
  std::unique_ptr<TDriveCore> core_;
  TFileStamp driveStamp_, mediumStamp_, faultsStamp_;
  uint64_t notReadyArmSeen_ = 0;
  double delayCarriedMs_ = 0;
};

}  // namespace vdrive
