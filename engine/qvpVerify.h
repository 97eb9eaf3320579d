#pragma once
// Verification: the written session read back with READ(10) and compared, block by block, with
// the image made once more by its source (the compilation's stream, or the image file), pulled
// through the software buffer as the write pulled it. No image file and no second copy of the
// disc are kept: memory stays the buffer, one block of the disc and the rendered metadata.
//
// It runs after a write that succeeded, on the write thread and on the write's recorder claim
// (Verify), or on a thread of its own for a disc written before (VerifyDisc, VerifyImage).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/qvpBlockSource.h"
#include "engine/qvpEvents.h"
#include "engine/qvpJob.h"
#include "platform/Threads.h"

namespace img {
struct TImageBuilder;
}  // namespace img
using img::TImageBuilder;
namespace qvp {
struct TSCSIDevice;
}

class TVerification {
 public:
  uint32_t StartLba = 0;  // medium LBA of the image's first sector
  uint32_t Sectors = 0;   // sectors compared from there
  // Only the boot image's and the files' sectors are compared; the others (directories, the UDF
  // area, padding) must be readable, but their bytes are not looked at. That is how a compilation
  // laid out anew is compared: its folders and UDF entries carry today's dates, not the burn's.
  bool DataOnly = false;
  uint32_t BootFirst = 0, BootEnd = 0, DataFirst = 0, DataEnd = 0;  // image sectors
  // The image once more from its first sector; null when it cannot be made.
  std::function<std::unique_ptr<TBlockSource>()> MakeSource;
  // The entry (FileId and Path of the report) whose data holds an image sector.
  std::function<void(uint32_t sector, TVerifyReport& report)> Locate;
  // OnVerifyDone as it was when the job started.
  TVerifyDoneEvent Handler;

  bool Compared(uint32_t sector) const {
    return !DataOnly || (sector >= BootFirst && sector < BootEnd) ||
           (sector >= DataFirst && sector < DataEnd);
  }
};

// The laid-out compilation as it goes to the medium at start (rendered again on the job thread
// with these bases, exactly as the write rendered it).
std::shared_ptr<TVerification> CompilationVerification(TImageBuilder& b, uint32_t start,
                                                       uint32_t volumeSizeBase, uint32_t udfBase,
                                                       bool dataOnly);
// An image file as it goes to the medium from LBA 0.
std::shared_ptr<TVerification> ImageFileVerification(const std::string& path, uint64_t size);

// Where the last session written with a layout of `sectors` sectors starts on the medium in the
// recorder, with the bases the write rendered it with. Media whose one volume grows keep it at
// the end of the volume; the others have it as their last complete session. False when the
// medium holds no such session.
bool FindWrittenSession(qvp::TSCSIDevice& d, uint8_t mediumType, uint32_t sectors, uint32_t& start,
                        uint32_t& volumeSizeBase, uint32_t& udfBase);

// The pass, on the calling job thread: status 10, the wait for the medium, reading and
// comparing. Keeps the report in the job and fails the job on a difference or an unreadable
// block (kErrVerifyFailed, naming the block and the file).
TVerifyReport RunVerification(TJobState& job, qvp::TSCSIDevice& d, const TVerification& v);
// The write thread's hook after the closing: the job's verification, unless the write failed or
// was aborted (a test write has none), then OnVerifyDone.
void VerifyAfterWrite(TJobState& job, qvp::TSCSIDevice& d);

// A disc written before, verified on a job thread; the recorder claim of the job is given back
// at its end, and OnVerifyDone is its one completion.
class TVerifyThread : public plat::TThread {
 public:
  TVerifyThread(TJobState& job, qvp::TSCSIDevice& device, std::shared_ptr<TVerification> v);
  ~TVerifyThread() override;

 protected:
  void Execute() override;

 private:
  TJobState& job_;
  qvp::TSCSIDevice& d_;
  std::shared_ptr<TVerification> v_;
};
