#include "frontend/CopySequence.h"

#include <cstdio>

#include "engine/qvpQuorvexPro.h"
#include "frontend/Readiness.h"
#include "frontend/Texts.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"

namespace fe {

std::optional<std::string> CopyRefusal(TQuorvexPro& qvx, bool waitForMedium) {
  const qvp::TMediumReadiness ready = MediumReadiness(qvx, waitForMedium);
  if (ready != qvp::TMediumReadiness::Ready) return NotReadyMessage(ready, text::kCopyNoMedium);
  if (qvx.GetTotalBlocks() == qvx.GetFreeBlocks()) return std::string(text::kCopyNoData);
  return std::nullopt;
}

int64_t RecordedKB(TQuorvexPro& qvx) {
  return (static_cast<int64_t>(qvx.GetTotalBlocks()) - static_cast<int64_t>(qvx.GetFreeBlocks())) *
         2;
}

std::string CopyImagePath(const std::string& tempDir) {
  return EnsureTrailingSlash(tempDir) + kCopyImageName;
}

std::string CopyProgressText(int64_t fileBytes, const TNumberSeparators& s) {
  return text::kCopyProgress +
         FormatSize(static_cast<uint64_t>(fileBytes > 0 ? fileBytes / 1024 : 0), s);
}

class TDiscRead::TWorker : public plat::TThread {
 public:
  TWorker(rd::TDevice& device, std::string file, std::atomic<bool>& complete,
          std::atomic<bool>& cancelled, plat::TEvent& done, TEnd onEnd)
      : device_(device),
        file_(std::move(file)),
        complete_(complete),
        cancelled_(cancelled),
        done_(done) {
    SetPriority(plat::TThreadPriority::Lower);
    OnTerminate = [this, onEnd = std::move(onEnd)](plat::TThread*) {
      done_.Set();
      if (onEnd) onEnd(complete_.load());
    };
  }

 protected:
  void Execute() override {
    complete_.store(device_.Reader().ReadToImage(file_, [this] { return !cancelled_.load(); }) &&
                    !cancelled_.load());
    // A copy cut short is of no use to anyone.
    if (cancelled_.load()) std::remove(file_.c_str());
  }

 private:
  rd::TDevice& device_;
  std::string file_;
  std::atomic<bool>& complete_;
  std::atomic<bool>& cancelled_;
  plat::TEvent& done_;
};

TDiscRead::TDiscRead(rd::TDevice& device, std::string file, TEnd onEnd) {
  done_ = std::make_unique<plat::TEvent>();
  worker_ = std::make_unique<TWorker>(device, std::move(file), complete_, cancelled_, *done_,
                                      std::move(onEnd));
  worker_->Resume();
}

TDiscRead::~TDiscRead() { worker_->WaitFor(); }

bool TDiscRead::WaitFor(uint32_t ms) { return done_->WaitFor(ms); }

bool TDiscRead::Finished() const { return done_->IsSet(); }

}  // namespace fe
