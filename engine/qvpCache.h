#pragma once
// The software buffer: TCacheThread reads the image ahead of the recorder into a bounded queue
// of 64 KiB blocks (capacity CacheSize / 64 KiB), and the write thread takes them off the front
// with TakeBlock. The queue is first in, first out; the producer pauses when it is full (during
// file data one block earlier, so a file piece never waits with a block half made), and its
// thread priority follows the fill: it reads at full speed only while the buffer runs low.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/qvpBlockSource.h"
#include "engine/qvpJob.h"
#include "platform/Threads.h"

// An existing image file, copied as it is. A last piece that is not a whole number of sectors
// is padded with zeros to its sector end, so no byte of the image is lost. A file that ends
// before the size it had when the burn started is padded too, and reported.
class TImageFileSource : public TBlockSource {
 public:
  TImageFileSource(plat::TFile& file, uint64_t size, std::string name);
  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override;
  std::string SourceName() const override { return name_; }
  bool TakeSourceProblem(std::string& detail) override;

 private:
  plat::TFile& file_;
  uint64_t remaining_;
  std::string name_;
  bool shorter_ = false, reported_ = false;
};

class TCacheThread : public plat::TThread {
 public:
  // Sets up the queue of job (capacity from its CacheBytes, remaining sectors from its total
  // sectors) and starts the thread at the lower priority.
  TCacheThread(TJobState& job, std::unique_ptr<TBlockSource> source);
  ~TCacheThread() override;

  bool IsReady() const { return job_.BufferReady.load(); }

 protected:
  void Execute() override;

 private:
  // Waits while the queue holds `threshold` blocks or more; false when the job was aborted.
  bool WaitForRoom(int32_t threshold, bool fileData);
  void SetBand(uint8_t band);
  void Fail(uint32_t errorCode, bool outOfMemory);
  void Finish();

  TJobState& job_;
  std::unique_ptr<TBlockSource> source_;
};

// Takes the front block of the queue into block (the write thread's buffer; the block it held
// is released). Returns the block's length; 0 when there is nothing more to write (everything
// taken, or the producer stopped); -1 when no block arrived within waitMs of clock time.
int32_t TakeBlock(TJobState& job, TBlock& block, uint32_t waitMs);
