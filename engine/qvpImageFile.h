#pragma once
// The image of a laid-out compilation written to a file instead of a drive: the same image
// stream, pulled through the software buffer thread from sector 0 of an empty medium, into an
// image file or standard output. The one sparse writer of the program lives here.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Files.h"

struct TImageBuilder;

// Where an image goes, block by block: "-" is standard output. A regular file gets holes where
// whole blocks of zeros would go (and always its full length); a pipe or a device is given every
// byte in order, since it cannot skip and keeps whatever it held where nothing is written.
class TImageFileSink {
 public:
  bool Open(const std::string& output);
  bool Put(const uint8_t* data, uint32_t length);
  // Writes what the holes at the end still owe the file's length. False when that fails.
  bool Finish();
  uint64_t Written() const { return position_; }

 private:
  bool WriteAll(const uint8_t* data, size_t n);
  plat::TFile file_;
  int fd_ = -1;
  bool sparse_ = false;
  uint64_t position_ = 0;  // bytes put so far
  uint64_t flushed_ = 0;   // bytes that are in the file (written or skipped over by a seek)
};

enum class TImageFileResult { Done, NotLaidOut, CannotCreate, WriteFailed, SourceFailed, Aborted };

struct TImageFileJob {
  // Polled between blocks, at least every 50 ms of clock time; true ends the job as Aborted.
  std::function<bool()> AbortRequested;
  // Bytes written and the image's length, about every 10 MiB and while waiting for the buffer.
  std::function<void(uint64_t written, uint64_t total)> Progress;
  // The reason of a failure (the engine's error text, or the file that could not be written).
  std::string Error;
};

// Renders the metadata of the laid-out compilation for sector 0 (or for a session that is to
// start at sessionStart on a medium) and writes the whole image into output through a software
// buffer of cacheBytes. A file left incomplete is removed.
TImageFileResult WriteImageFile(TImageBuilder& b, uint32_t cacheBytes, const std::string& output,
                                TImageFileJob& job, uint32_t sessionStart = 0);
