#include "engine/qvpImageFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/qvpCache.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpJob.h"
#include "platform/Clock.h"

namespace {

// Clock milliseconds that pass in about 50 ms of real time (tests run the clock faster).
uint32_t PollMs() {
  const double ms = 50.0 * plat::ClockScale();
  return ms < 1.0 ? 1u : ms > 4.0e9 ? 4000000000u : static_cast<uint32_t>(ms);
}

bool AllZero(const uint8_t* data, uint32_t length) {
  return length > 0 && data[0] == 0 && std::memcmp(data, data + 1, length - 1) == 0;
}

}  // namespace

bool TImageFileSink::Open(const std::string& output) {
  if (output == "-") {
    fd_ = STDOUT_FILENO;
    sparse_ = false;
    return true;
  }
  if (!file_.Create(output)) return false;
  fd_ = file_.Fd();
  struct stat st {};
  sparse_ = fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  return true;
}

bool TImageFileSink::WriteAll(const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd_, data, n);
    if (w <= 0) return false;
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool TImageFileSink::Put(const uint8_t* data, uint32_t length) {
  if (sparse_ && AllZero(data, length)) {
    position_ += length;
    return true;
  }
  if (flushed_ != position_) {
    if (::lseek(fd_, static_cast<off_t>(position_), SEEK_SET) < 0) return false;
    flushed_ = position_;
  }
  if (!WriteAll(data, length)) return false;
  position_ += length;
  flushed_ = position_;
  return true;
}

bool TImageFileSink::Finish() {
  // A trailing run of zeros still counts: its last byte is written, so the file has its length.
  if (flushed_ == position_) return true;
  static const uint8_t zero = 0;
  if (::lseek(fd_, static_cast<off_t>(position_ - 1), SEEK_SET) < 0 || !WriteAll(&zero, 1))
    return false;
  flushed_ = position_;
  return true;
}

TImageFileResult WriteImageFile(TImageBuilder& b, uint32_t cacheBytes, const std::string& output,
                                TImageFileJob& w, uint32_t sessionStart) {
  const uint64_t sectors = BuilderLaidOut(b) ? BuilderTotalSectors(b) : 0;
  if (sectors == 0 || !BuilderRender(b, sessionStart, 0, sessionStart))
    return TImageFileResult::NotLaidOut;
  TImageFileSink sink;
  if (!sink.Open(output)) {
    w.Error = output;
    return TImageFileResult::CannotCreate;
  }
  const uint64_t total = sectors * kSectorBytes;
  auto progress = [&](uint64_t written) {
    if (w.Progress) w.Progress(written, total);
  };

  std::atomic<uint16_t> status{0};
  TJobState job;
  job.Status = &status;
  job.CacheBytes = cacheBytes;
  job.TotalSectors.store(static_cast<uint32_t>(sectors));
  bool writeFailed = false;
  {
    TCacheThread cache(job, NewCompilationSource(b));
    TBlock block;
    for (;;) {
      if (!job.Aborted() && w.AbortRequested && w.AbortRequested()) {
        job.ErrorCode.store(kErrAborted);
        job.RequestAbort();
      }
      const int32_t length = TakeBlock(job, block, PollMs());
      if (length == 0) break;
      if (length < 0) {
        progress(sink.Written());
        continue;
      }
      if (!sink.Put(block.get(), static_cast<uint32_t>(length))) {
        writeFailed = true;
        job.RequestAbort();
        break;
      }
      if (sink.Written() % (10u << 20) == 0) progress(sink.Written());
    }
  }
  writeFailed = writeFailed || (sink.Written() == total && !sink.Finish());
  if (!writeFailed) progress(sink.Written());
  TImageFileResult result = TImageFileResult::Done;
  if (writeFailed) {
    w.Error = output;
    result = TImageFileResult::WriteFailed;
  } else if (job.ErrorCode.load() != kErrNone || job.OutOfMemory.load() ||
             sink.Written() != total) {
    std::string source, detail;
    {
      std::lock_guard<plat::TCriticalSection> g(job.Lock);
      source = job.CurrentSource;
      detail = job.FailureDetail;
    }
    w.Error = ErrorTextFor(job.ErrorCode.load(), 0, source, detail);
    result = job.ErrorCode.load() == kErrAborted ? TImageFileResult::Aborted
                                                 : TImageFileResult::SourceFailed;
  }
  if (result != TImageFileResult::Done && output != "-") std::remove(output.c_str());
  return result;
}
