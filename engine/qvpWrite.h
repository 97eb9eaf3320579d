#pragma once
// The write job: the set-up on the caller's thread (start address, metadata, software buffer,
// initial fill) and TWriteThread, which prepares the drive, writes the image block by block,
// closes the track and session the way the medium type needs and reports the end.
#include <cstdint>
#include <memory>

#include "engine/qvpCache.h"
#include "engine/qvpJob.h"
#include "platform/Threads.h"

struct TImageBuilder;
namespace qvp {
struct TSCSIDevice;
}

// Where UDF readers look for the first anchor of the volume.
constexpr uint32_t kMediumAnchorLba = 256;

// Polls READ DISC INFORMATION (42 bytes) every 5000 ms while the drive reports it is becoming
// ready (ASC 04h). The drive is finishing an operation that cannot be interrupted (step, one of
// kStep...): the job shows it meanwhile, and an abort takes effect after it.
void WaitWhileNotReady(TJobState& job, qvp::TSCSIDevice& d, uint8_t step);

// Marks a step the drive must be allowed to finish for as long as the object lives.
class TUninterruptibleStep {
 public:
  TUninterruptibleStep(TJobState& job, uint8_t step)
      : job_(job), previous_(job.Uninterruptible.exchange(step)) {}
  ~TUninterruptibleStep() { job_.Uninterruptible.store(previous_); }
  TUninterruptibleStep(const TUninterruptibleStep&) = delete;
  TUninterruptibleStep& operator=(const TUninterruptibleStep&) = delete;

 private:
  TJobState& job_;
  uint8_t previous_;
};

// Clears the speed sample ring and the polled drive figures at the start of a write.
void ResetWriteFigures(TJobState& job, qvp::TSCSIDevice& d);
// The data write's preparation of the medium on the caller's thread: write parameters, the
// formatting a DVD-RW needs, and where the image starts (job.SessionStart, VolumeSizeBase,
// UdfBase).
void PrepareDataWrite(TJobState& job, qvp::TSCSIDevice& d, uint8_t mediumType, bool udf);

class TWriteThread : public plat::TThread {
 public:
  TWriteThread(TJobState& job, qvp::TSCSIDevice& device, uint8_t mediumType);
  ~TWriteThread() override;

 protected:
  void Execute() override;

 private:
  enum class TWritten { Done, Failed, Aborted };
  // Writes the block just taken at lba, with the busy and not-ready retries.
  TWritten WriteBlock(uint32_t lba, int32_t length);
  // Writes a grown volume's descriptors at the start of the medium (the image's first block at
  // LBA 0, the UDF anchor at 256), with the retries and the one format a DVD+RW may need.
  TWritten WriteAtStartOfMedium(uint32_t lba, uint8_t* data, int32_t length);
  // Step by step preparation of the drive up to the first WRITE; false when a simulation was
  // asked for and the drive refused it.
  bool PrepareDrive(uint32_t startLba);
  // Formats a medium that takes no WRITE unformatted (a new BD-RE, ...), with status 3 while it
  // runs; false when the drive refused the format.
  bool FormatFreshMedium();
  void Close();
  // Judges a closing command: a refusal fails the job (unless it failed before) and says the
  // disc may be left open.
  void Closed(bool accepted, const char* what);
  // Waits for the producer to end and delivers the job's one completion.
  void Finish();
  void ClearBufferFigures();
  void PublishFigures();
  void WaitForClosing();

  TJobState& job_;
  qvp::TSCSIDevice& d_;
  uint8_t type_;
  TBlock block_;
  bool pollBuffer_ = false;
  uint32_t sessions_ = 0;
  bool failed_ = false;
};
