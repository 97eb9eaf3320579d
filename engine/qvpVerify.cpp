#include "engine/qvpVerify.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "device/qvpConsts.h"
#include "device/qvpSCSILib.h"
#include "device/qvpSCSIReady.h"
#include "device/qvpSense.h"
#include "engine/qvpCache.h"
#include "engine/qvpWrite.h"

using namespace qvp;

namespace {

// A drive that stays busy or keeps working towards ready is asked again every 100 ms, as the
// write asks it, up to this many times.
constexpr uint32_t kNotReadyRetries = 5000;
constexpr uint32_t kNotReadyPollMs = 100;
// A request that fails is tried once more as a whole, then block by block, each block twice:
// the retries the disc reader gives an unreadable block.
constexpr int kRequestAttempts = 2;
constexpr int kBlockAttempts = 2;

// The stream made again: what changed in a source since the burn is no failure of the job here,
// only a likely reason of a difference, kept for the text that names it.
class TQuietSource : public TBlockSource {
 public:
  TQuietSource(std::unique_ptr<TBlockSource> source, std::vector<std::string>& problems)
      : source_(std::move(source)), problems_(problems) {}
  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override {
    const int32_t n = source_->NextBlock(block, info);
    for (std::string detail; source_->TakeSourceProblem(detail);) problems_.push_back(detail);
    return n;
  }
  std::string SourceName() const override { return source_->SourceName(); }
  uint32_t QueuedDataSectors() const override { return source_->QueuedDataSectors(); }

 private:
  std::unique_ptr<TBlockSource> source_;
  std::vector<std::string>& problems_;
};

class TPass {
 public:
  TPass(TJobState& job, TSCSIDevice& d, const TVerification& v) : job_(job), d_(d), v_(v) {}
  TVerifyReport Run();
  // What the failure text adds: the sense of an unreadable block, a change of its source.
  std::string Why(const TVerifyReport& r) const;

 private:
  enum class TRead { Done, Unreadable, Aborted };
  enum class TOnce { Done, Failed, Gone, Aborted };
  TOnce ReadOnce(uint32_t lba, uint32_t count, uint8_t* data);
  // Reads count blocks at lba with the retries; good is how many of them, from the first, were
  // read.
  TRead ReadRange(uint32_t lba, uint32_t count, uint8_t* data, uint32_t& good);
  // The first of count sectors (image sector pos on) whose compared bytes differ, or count.
  uint32_t FirstDifference(const uint8_t* disc, const uint8_t* image, uint32_t pos,
                           uint32_t count) const;
  void Publish();

  TJobState& job_;
  TSCSIDevice& d_;
  const TVerification& v_;
  TSense unreadable_;
  std::vector<std::string> problems_;
};

TPass::TOnce TPass::ReadOnce(uint32_t lba, uint32_t count, uint8_t* data) {
  for (uint32_t tries = 0;;) {
    if (Read10(d_, lba, static_cast<uint16_t>(count), data)) return TOnce::Done;
    unreadable_ = LastSenseOf(d_);
    if (unreadable_.Asc == asc::MediumNotPresent) return TOnce::Gone;
    const bool working = d_.Busy != 0 || unreadable_.Asc == asc::NotReady;
    if (!working || ++tries >= kNotReadyRetries) return TOnce::Failed;
    if (!job_.SleepUnlessAborted(kNotReadyPollMs)) return TOnce::Aborted;
  }
}

TPass::TRead TPass::ReadRange(uint32_t lba, uint32_t count, uint8_t* data, uint32_t& good) {
  good = 0;
  for (int attempt = 0; attempt < kRequestAttempts; ++attempt) {
    switch (ReadOnce(lba, count, data)) {
      case TOnce::Done:
        good = count;
        return TRead::Done;
      case TOnce::Aborted:
        return TRead::Aborted;
      case TOnce::Gone:
        return TRead::Unreadable;  // nothing more will be read
      case TOnce::Failed:
        break;
    }
  }
  for (; good < count; ++good) {
    TOnce r = TOnce::Failed;
    for (int attempt = 0; attempt < kBlockAttempts && r == TOnce::Failed; ++attempt)
      r = ReadOnce(lba + good, 1, data + static_cast<size_t>(good) * kSectorBytes);
    if (r == TOnce::Aborted) return TRead::Aborted;
    if (r != TOnce::Done) return TRead::Unreadable;
  }
  return TRead::Done;
}

uint32_t TPass::FirstDifference(const uint8_t* disc, const uint8_t* image, uint32_t pos,
                                uint32_t count) const {
  if (!v_.DataOnly && std::memcmp(disc, image, size_t{count} * kSectorBytes) == 0) return count;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = size_t{i} * kSectorBytes;
    if (v_.Compared(pos + i) && std::memcmp(disc + at, image + at, kSectorBytes) != 0) return i;
  }
  return count;
}

void TPass::Publish() { PublishSpeedSamples(d_, job_.VerifyFigures); }

TVerifyReport TPass::Run() {
  TVerifyReport r;
  std::unique_ptr<TBlockSource> source = v_.MakeSource ? v_.MakeSource() : nullptr;
  if (!source) {
    r.Outcome = TVerifyOutcome::Failed;
    return r;
  }
  // The software buffer runs the stream for as many sectors as are compared.
  job_.TotalSectors.store(v_.Sectors);
  std::vector<uint8_t> disc(kCacheBlockBytes);
  uint32_t pos = 0;
  bool ended = false;
  {
    TCacheThread cache(job_, std::make_unique<TQuietSource>(std::move(source), problems_));
    TBlock block;
    while (pos < v_.Sectors && r.Outcome == TVerifyOutcome::NotRun && !job_.Aborted()) {
      const int32_t length = TakeBlock(job_, block, 10);
      if (length < 0) continue;
      if (length == 0) break;  // the stream stopped (a source failed, or Abort)
      const uint32_t count =
          std::min(static_cast<uint32_t>(length) / kSectorBytes, v_.Sectors - pos);
      uint32_t good = 0;
      const TRead read = ReadRange(v_.StartLba + pos, count, disc.data(), good);
      if (read == TRead::Aborted) break;
      const uint32_t differs = FirstDifference(disc.data(), block.get(), pos, good);
      if (differs < good) {
        r.Outcome = TVerifyOutcome::Differs;
        r.Block = pos + differs;
      } else if (read == TRead::Unreadable) {
        r.Outcome = TVerifyOutcome::Unreadable;
        r.Block = pos + good;
      }
      pos += r.Outcome == TVerifyOutcome::NotRun ? count : r.Block - pos;
      job_.VerifiedSectors.store(pos);
      Publish();
    }
    ended = pos >= v_.Sectors;
    // The producer is stopped where the pass stopped early.
    if (!ended) job_.RequestAbort();
  }
  if (r.Outcome == TVerifyOutcome::NotRun) {
    if (ended)
      r.Outcome = TVerifyOutcome::Passed;
    else if (job_.ErrorCode.load() == kErrAborted)
      r.Outcome = TVerifyOutcome::Aborted;
    else
      r.Outcome = TVerifyOutcome::Failed;
  }
  if (r.Outcome == TVerifyOutcome::Differs || r.Outcome == TVerifyOutcome::Unreadable) {
    if (v_.Locate) v_.Locate(r.Block, r);
    r.Block += v_.StartLba;
  }
  return r;
}

std::string TPass::Why(const TVerifyReport& r) const {
  std::string why;
  if (r.Outcome == TVerifyOutcome::Unreadable && !unreadable_.Empty())
    why = " (" + FormatSense(unreadable_) + ")";
  // A source that changed since the burn explains a difference in its blocks.
  for (const std::string& p : problems_)
    if (!r.Path.empty() && p.rfind(r.Path + " (", 0) == 0)
      why += "; the source " + p.substr(r.Path.size() + 1);
  return why;
}

std::string FailureText(const TVerifyReport& r, const std::string& why) {
  const std::string where = r.Path.empty() ? std::string("the file system's own data") : r.Path;
  const std::string block = "Verification failed: block " + std::to_string(r.Block);
  switch (r.Outcome) {
    case TVerifyOutcome::Differs:
      return block + " reads back other than it was written, in " + where + why;
    case TVerifyOutcome::Unreadable:
      return block + " cannot be read" + why + ", in " + where;
    default:
      return "Verification failed: the image to compare with could not be made again";
  }
}

}  // namespace

bool FindWrittenSession(TSCSIDevice& d, uint8_t type, uint32_t sectors, uint32_t& start,
                        uint32_t& volumeSizeBase, uint32_t& udfBase) {
  if (type == mtDVDPLUSRW || type == mtDVDRAM || type == mtBDRE) {
    // The write grew the volume by exactly the image: it starts where the volume did before.
    const uint32_t volume = FindIsoVolumeSize(d);
    if (volume < sectors || sectors == 0) return false;
    start = volumeSizeBase = udfBase = volume - sectors;
    return true;
  }
  uint8_t toc[12] = {};
  if (!ReadTocPmaAtip(d, 1, 0, sizeof toc, toc, false) || toc[3] == 0) return false;
  start = udfBase = mmc::GetBE32(toc + 8);
  volumeSizeBase = 0;
  return true;
}

TVerifyReport RunVerification(TJobState& job, TSCSIDevice& d, const TVerification& v) {
  job.VerifyRan.store(true);
  job.VerifyTotal.store(v.Sectors);
  job.VerifiedSectors.store(0);
  ResetSpeedStatistics(d);
  job.VerifyFigures.Reset();
  job.VerifyFigures.MsPerTick.store(d.MsPerTick);
  if (!job.Aborted()) job.SetStatus(kStatusVerifying);
  // The drive handle stays open for the pass, as for a write.
  const uint8_t closeAfter = d.CloseAfterCommand;
  d.CloseAfterCommand = 0;

  TPass pass(job, d, v);
  TVerifyReport r;
  std::string why;
  // Closing a session reloads the medium: the drive takes its time before it reads.
  const TMediumReadiness ready = WaitUntilMediumReady(d, [&job] { return !job.Aborted(); });
  if (job.Aborted() || ready == TMediumReadiness::Aborted) {
    r.Outcome = TVerifyOutcome::Aborted;
  } else if (ready != TMediumReadiness::Ready) {
    r.Outcome = TVerifyOutcome::Unreadable;
    if (v.Locate) v.Locate(0, r);
    r.Block = v.StartLba;
    if (const TSense s = LastSenseOf(d); !s.Empty()) why = " (" + FormatSense(s) + ")";
  } else {
    r = pass.Run();
    why = pass.Why(r);
  }
  d.CloseAfterCommand = closeAfter;
  if (closeAfter != 0) CloseDriveHandle(d);

  {
    std::lock_guard<plat::TCriticalSection> g(job.Lock);
    job.VerifyReport = r;
  }
  // An abort keeps its own error, and a stream that failed has named its file already.
  if (r.Failed() && r.Outcome != TVerifyOutcome::Aborted)
    job.FailWith(kErrVerifyFailed, FailureText(r, why));
  return r;
}

void VerifyAfterWrite(TJobState& job, TSCSIDevice& d) {
  const std::shared_ptr<TVerification> v = job.Verification;
  // Only a write that succeeded is read back.
  if (!v || job.HasFailed() || job.Aborted() || job.OutOfMemory.load()) return;
  const TVerifyReport r = RunVerification(job, d, *v);
  job.DeliverVerifyDone(v->Handler, r.FileId, r.Failed());
}

TVerifyThread::TVerifyThread(TJobState& job, TSCSIDevice& device, std::shared_ptr<TVerification> v)
    : job_(job), d_(device), v_(std::move(v)) {
  Resume();
}

TVerifyThread::~TVerifyThread() { WaitFor(); }

void TVerifyThread::Execute() {
  MarkJobThread(this);
  const TVerifyReport r = RunVerification(job_, d_, *v_);
  job_.ReleaseJobClaim();
  // Status 0 before the event: a handler called on this thread may start the next job at once.
  job_.SetStatus(kStatusIdle);
  job_.DeliverVerifyDone(v_->Handler, r.FileId, r.Failed());
}
