// mkimage: the compilation laid out and streamed through the software buffer thread into a file
// (or standard output), with no drive: the image starts at sector 0 of an empty medium.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Formats.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "engine/qvpCache.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpJob.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Files.h"

namespace cli {
namespace {

// Where the image goes: a file, written sparse (blocks of zeros are skipped over, the last block
// is always written so the file has its full length), or standard output.
class TImageSink {
 public:
  bool Open(const std::string& output) {
    toStdout_ = output == "-";
    return toStdout_ || file_.Create(output);
  }
  bool Put(const uint8_t* data, uint32_t length, bool last) {
    if (toStdout_) return WriteAll(STDOUT_FILENO, data, length);
    const bool zeros = data[0] == 0 && std::memcmp(data, data + 1, length - 1) == 0;
    bool ok = true;
    if (zeros && !last) {
      position_ += length;
      return true;
    }
    ok = file_.Seek(static_cast<int64_t>(position_)) && file_.Write(data, length);
    position_ += length;
    return ok;
  }

 private:
  static bool WriteAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
      const ssize_t w = ::write(fd, data, n);
      if (w <= 0) return false;
      data += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }
  bool toStdout_ = false;
  plat::TFile file_;
  uint64_t position_ = 0;
};

}  // namespace

int RunMkImage(TConsole& con, const TCompilationOptions& o, const std::vector<std::string>& paths,
               const std::string& output) {
  TCompilationList list;
  if (const int rc = BuildCompilation(paths, list, con)) return rc;
  // A component without a drive and without an owner: only its compilation is used.
  TQuorvexPro qvx(false);
  std::string error;
  if (!ApplyCompilationOptions(qvx, o, error)) {
    con.Message(error);
    return kExitUsage;
  }
  StartCompilation(qvx, o);
  // The image may be going to standard output: the lines of folders that failed go to stderr.
  // An image without some of the files asked for is not what the command promised, so none is
  // written then.
  if (!FillCompilation(qvx, list, [&con](const std::string& line) { con.Message(line); })) {
    con.Message("ardovan-cli: not everything could be added to the compilation; no image written");
    return kExitFailed;
  }
  TImageBuilder& b = qvx.Builder();
  // PrepareImage counts the sectors up to the data's end; the image runs on to its last 64 KiB
  // block (and the closing anchor), which is what the descriptors record.
  const bool laidOut = qvx.PrepareImage() > 0;
  const int64_t sectors = BuilderTotalSectors(b);
  if (!laidOut || sectors <= 0 || !BuilderRender(b, 0, 0, 0)) {
    con.Message("ardovan-cli: the compilation could not be laid out");
    return kExitFailed;
  }

  TImageSink sink;
  if (!sink.Open(output)) {
    con.Message("ardovan-cli: cannot create " + output);
    return kExitFailed;
  }

  std::atomic<uint16_t> status{0};
  TJobState job;
  job.Status = &status;
  job.Component = &qvx;
  job.CacheBytes = qvx.GetCacheSize() * 1048576u;
  job.TotalSectors.store(static_cast<uint32_t>(sectors));
  bool writeFailed = false;
  uint64_t written = 0;
  {
    TCacheThread cache(job, NewCompilationSource(b));
    TBlock block;
    for (;;) {
      // Any Ctrl-C since the start, also one pressed while the compilation was laid out.
      if (InterruptCount() > 0 && !job.Aborted()) {
        job.ErrorCode.store(kErrAborted);
        job.RequestAbort();
      }
      const int32_t length = TakeBlock(job, block, ClockMsForRealMs(50));
      if (length == 0) break;
      if (length < 0) {
        con.Status(SectorsToMB(static_cast<int64_t>(written / 2048)) + "/" + SectorsToMB(sectors) + " MB");
        continue;
      }
      written += static_cast<uint64_t>(length);
      if (written % (10u << 20) == 0)
        con.Status(SectorsToMB(static_cast<int64_t>(written / 2048)) + "/" + SectorsToMB(sectors) + " MB");
      const bool last = written >= static_cast<uint64_t>(sectors) * 2048;
      if (!sink.Put(block.get(), static_cast<uint32_t>(length), last)) {
        writeFailed = true;
        job.RequestAbort();
        break;
      }
    }
  }
  con.ClearStatus();
  const bool complete = !writeFailed && job.ErrorCode.load() == kErrNone && !job.OutOfMemory.load() &&
                        written == static_cast<uint64_t>(sectors) * 2048;
  if (complete) return kExitDone;
  if (writeFailed) {
    con.Message("ardovan-cli: cannot write " + output);
  } else {
    std::string source;
    {
      std::lock_guard<plat::TCriticalSection> g(job.Lock);
      source = job.CurrentSource;
    }
    con.Message(ErrorTextFor(job.ErrorCode.load(), 0, source));
  }
  if (output != "-") std::remove(output.c_str());
  return kExitFailed;
}

}  // namespace cli
