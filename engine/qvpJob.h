#pragma once
// The state a job shares between the component, the buffer thread, the write thread and the
// erase thread: the job lock, the abort request, the engine error code, the sector counters, the
// block queue of the software buffer with its flags, the completion path to the owner's thread.
//
// It lives beside the image builder rather than inside it: the builder is a plain record of the
// compilation and its layout, while these fields carry locks, atomics and thread hand-offs that
// only the engine uses. The status word is the one job field the builder keeps itself (the
// layout sets it too); the job state reaches it through a pointer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "device/qvpSense.h"
#include "engine/qvpEvents.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/NotifyQueue.h"
#include "platform/Threads.h"

constexpr uint32_t kBlockSize = 65536;
constexpr uint32_t kSectorBytes = 2048;
constexpr uint32_t kBlockSectors = kBlockSize / kSectorBytes;
// The slot table of the buffer has 10,000 entries and one is kept for the block in the making.
constexpr uint32_t kMaxCacheMiB = 624;
constexpr uint32_t kMinCacheBytes = 2u * 1048576u;

// sectors(n): n / 2048 rounded up, 0 for 0.
constexpr uint64_t SectorsOf(uint64_t bytes) { return (bytes + kSectorBytes - 1) / kSectorBytes; }

// One 64 KiB block of the software buffer.
struct TBlockDeleter {
  void operator()(uint8_t* p) const;
};
using TBlock = std::unique_ptr<uint8_t[], TBlockDeleter>;

// One queued block: its data, the valid length and the tree entry whose data the block ends with.
struct TSlot {
  TBlock Block;
  uint32_t Length = 0;
  uint32_t EntryIndex = 0;
};

// Drive figures the application polls while a write runs, published by the write thread after
// each command that changes them (the device record itself belongs to the job thread).
struct TDriveFigures {
  std::atomic<uint64_t> SampleBytes{0};  // bytes of the 64 timed WRITEs in the speed ring
  std::atomic<int64_t> SampleTicks{0};   // performance-counter ticks they took
  std::atomic<double> MsPerTick{0};
  std::atomic<uint32_t> BufferLength{0};
  std::atomic<uint32_t> BufferBlank{0};
  void Reset();
};

struct TJobState {
  TJobState();

  // The job lock, taken around every change of the block queue and while the write thread
  // reports its end. Changed is signalled on every change of the queue and of the flags below.
  plat::TCriticalSection Lock;
  std::condition_variable_any Changed;

  // The status word (kept in the image builder) and the component that sends the events.
  std::atomic<uint16_t>* Status = nullptr;
  TQuorvexPro* Component = nullptr;
  // The hidden notification window; null for a component without an owner.
  plat::TNotifyQueue* Window = nullptr;

  std::atomic<uint8_t> AbortFlag{0};
  std::atomic<uint32_t> ErrorCode{0};
  std::atomic<uint32_t> TotalSectors{0};
  std::atomic<uint32_t> WrittenSectors{0};
  std::atomic<uint32_t> QueuedDataSectors{0};
  // A block the heap refused: the job failed without an error code of its own.
  std::atomic<bool> OutOfMemory{false};

  // Copy of OnWriteDone taken when a write job starts.
  TWriteDoneEvent WriteDone;

  // Image write: the job streams an existing image file.
  bool ImageSource = false;
  plat::TFile ImageFile;
  uint64_t ImageSize = 0;

  // Where the image starts on the medium and what the render bases its addresses on.
  uint32_t SessionStart = 0;
  uint32_t VolumeSizeBase = 0;
  uint32_t UdfBase = 0;
  // A data write with the UDF bridge: the anchor sector for medium LBA 256, written there when
  // the image goes behind a volume already on the medium (empty otherwise).
  std::vector<uint8_t> MediumAnchor;

  // Software buffer: size in bytes (CacheSize), the queue (front first) and its figures.
  uint32_t CacheBytes = 32u * 1048576u;
  uint32_t Capacity = 0;
  std::deque<TSlot> Slots;                    // under Lock
  // Blocks the write thread has finished with, handed back to the producer (under Lock), so a
  // long write reuses the same memory instead of going to the heap for every block.
  std::vector<TBlock> Spare;
  std::atomic<int32_t> Count{0};              // Slots.size(), for the polled figures
  std::atomic<uint64_t> BytesQueued{0};       // added by the producer, taken by TakeBlock
  std::atomic<uint64_t> RemainingSectors{0};  // still to be taken by the write thread
  std::atomic<bool> BufferReady{false};
  std::atomic<bool> ProducerDone{false};
  std::atomic<bool> BufferFinished{false};
  std::atomic<uint8_t> PriorityBand{2};
  // Name of the file the producer opened last (UTF-8), for the text of error 2.
  std::string CurrentSource;  // under Lock

  TDriveFigures Drive;

  // Test seam: how buffer blocks are obtained (null means the heap).
  uint8_t* (*AllocateBlock)() = nullptr;

  // ---- The outcome of the job ----
  // The first failure is the one the error text names (a later refusal of a closing command,
  // sent all the same, must not hide it): either the sense data of the refused command, or an
  // engine code with its detail (the changed file, the recorder's holder, the refused close).
  std::atomic<bool> FailureSenseSet{false};
  std::atomic<uint32_t> FailureSense{0};        // qvp::TSense::Packed()
  std::atomic<bool> FailureSenseUnread{false};  // not yet explained by GetLastErrorText
  std::string FailureDetail;                    // under Lock
  // The step the drive must be allowed to finish (kStep...); front ends say so once on abort.
  std::atomic<uint8_t> Uninterruptible{kStepNone};
  // The recorder held for the job (kInvalidDriveHandle when none), and whether the job gives it
  // back when it ends (not when the owner claimed the recorder itself).
  plat::TDriveHandle Claim = plat::kInvalidDriveHandle;  // under Lock
  bool JobOwnsClaim = false;                             // under Lock

  uint16_t GetStatus() const { return Status->load(); }
  void SetStatus(uint16_t s) { Status->store(s); }
  // Sets the abort flag and wakes every waiter of the queue.
  void RequestAbort();
  bool Aborted() const { return AbortFlag.load() != 0; }
  // Wakes every waiter of the queue after a flag changed.
  void Notify();
  // A 64 KiB block (a spare one, else from the heap), or null when the heap refuses it.
  TBlock NewBlock();
  // Gives a block the write thread has finished with back to the producer.
  void Recycle(TBlock block);
  // Releases every queued and spare block.
  void ReleaseBlocks();

  // True once the job has a failure of its own (engine code or refused command).
  bool HasFailed() const { return ErrorCode.load() != kErrNone || FailureSenseSet.load(); }
  // Records the failure that ends the job, unless an earlier one is recorded already.
  // With sense, the refused command's sense data is kept beside the code.
  void FailWith(uint32_t code, const std::string& detail, const qvp::TSense* sense = nullptr);
  void FailOnDevice(const qvp::TSense& sense);
  // The last command of d failed for good: its sense data, BUSY, or the system's reason when it
  // did not reach the recorder.
  void FailOnCommand(const qvp::TSCSIDevice& d);
  // Clears the outcome before a job starts (error code, detail, sense, step).
  void ResetOutcome();
  // Gives the recorder back when the job took it itself.
  void ReleaseJobClaim();
  // Sleeps ms of clock time in slices of at most 200 ms; false (early) once an abort is asked
  // for.
  bool SleepUnlessAborted(uint32_t ms);

  // Delivers the end of a write or an erase: posted to the window as message 1126/1125 with the
  // failure flag, or, without a window, a direct call of handler on the calling thread.
  void DeliverWriteDone(const TWriteDoneEvent& handler, bool failed);
  void DeliverEraseDone(const TEraseDoneEvent& handler, bool failed);
};

// Job threads mark themselves, so that work started from a completion handler that runs on a
// job thread never waits for that very thread.
void MarkJobThread(const plat::TThread* t);
bool IsCurrentJobThread(const plat::TThread* t);

// Text of an error: the engine error code when not 0, else the device's sense code
// (ASC x 256 + ASCQ). source is the name of the current source file, empty when none is known;
// detail completes the texts of codes 5 to 11.
std::string ErrorTextFor(uint32_t engineCode, uint16_t deviceCode, const std::string& source,
                         const std::string& detail = std::string());
// Longest single sleep of a job loop: an abort is noticed at least this often.
constexpr uint32_t kAbortPollMs = 200;
