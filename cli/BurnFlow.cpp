// burn and burn-image: the shared burn sequence on a terminal. The log goes to standard output,
// the question to the terminal (or --erase answers it), Ctrl-C is Storno, the progress display
// is one line on standard error, and the outcome decides the exit code.
#include <string>

#include "cli/Commands.h"
#include "cli/Compilation.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/BurnSequence.h"
#include "frontend/Progress.h"
#include "frontend/Texts.h"
#include "frontend/VerifyResult.h"
#include "platform/Files.h"

namespace cli {
namespace {

class TCliBurn : public fe::TBurnHost {
 public:
  TCliBurn(TSession& s, const TBurnOptions& o)
      : s_(s), o_(o), qvx_(s.Qvx()), con_(s.Console()), seq_(qvx_, *this) {
    qvx_.OnWriteDone = [this](TQuorvexPro*, uint8_t, bool failed) {
      con_.ClearStatus();
      seq_.WriteDone(failed);
    };
    qvx_.OnEraseDone = [this](TQuorvexPro*, uint8_t, bool failed) {
      con_.ClearStatus();
      eraseFailed_ = failed;
      if (failed) eraseError_ = qvx_.GetLastErrorText();
      seq_.EraseDone(failed);
    };
  }
  ~TCliBurn() override {
    qvx_.OnWriteDone = nullptr;
    qvx_.OnEraseDone = nullptr;
  }

  int Run(fe::TBurnRequest request) {
    request.WaitForMedium = true;
    if (o_.Finalize) request.Finalize = true;
    if (o_.TestWrite) request.TestWrite = true;
    if (o_.NoBurnProof) request.BurnProof = false;
    if (o_.Verify) request.Verify = true;
    request.SpeedKBps = o_.SpeedKBps;
    for (;;) {
      seq_.Press(request);
      switch (seq_.State()) {
        case fe::TBurnState::Erasing:
          if (const int rc = WaitForErase()) return rc;
          continue;  // the sequence again from its start, as "Vypálit" pressed again
        case fe::TBurnState::Writing:
          return WaitForWrite();
        case fe::TBurnState::Refused:
          return kExitRefused;
        default:  // stopped, or the job could not start
          return kExitFailed;
      }
    }
  }

  // ---- TBurnHost ----
  void Log(const std::string& line) override { con_.Log(line); }
  bool AskEraseData() override {
    // One erase per run: a medium that still holds data after it is not erased again.
    if (erased_) return false;
    return o_.Erase || con_.AskYesNo(fe::text::kEraseQuestion).value_or(false);
  }
  void Eject() override { s_.Eject(o_.NoEject); }
  void StateChanged(fe::TBurnState) override {}
  bool StopRequested() override { return InterruptCount() > 0; }
  void Concluding(fe::TBurnOutcome outcome, const std::string& reason) override {
    // The reason on standard error as well, for scripts that keep only that.
    if (outcome == fe::TBurnOutcome::Failed) con_.Message(reason);
    if (outcome == fe::TBurnOutcome::Aborted)
      con_.Message(reason.empty() ? "Aborted by user" : reason);
    if (outcome == fe::TBurnOutcome::Incomplete)
      con_.Message(
          "ardovan-cli: the disc was burned without the files and folders that could not be added");
  }

 private:
  int WaitForWrite() {
    s_.WaitFor([this] { return seq_.State() != fe::TBurnState::Writing; },
               [this] { UpdateProgress(); },
               [this] {
                 if (!seq_.Storno())
                   con_.Message("Still aborting: waiting for the recorder to close the track...");
               });
    const fe::TBurnOutcome outcome = seq_.Outcome();
    return outcome == fe::TBurnOutcome::Complete || outcome == fe::TBurnOutcome::Simulated
               ? kExitDone
               : kExitFailed;
  }

  void UpdateProgress() {
    const uint16_t status = qvx_.GetStatus();
    const fe::TProgressReading p = fe::ReadProgress(qvx_, status, statusLog_, plat::UtcNow());
    if (p.Logged) con_.Log(*p.Logged);
    std::string display = status == kStatusVerifying ? fe::text::kVerifying : p.Name;
    if (p.Counted) display += "  " + p.Line;
    if (p.Buffers) {
      display += "  software buffer " + std::to_string(fe::Percent(p.CacheUsed, p.CacheSize)) + "%";
      display += "  drive buffer " + std::to_string(fe::Percent(p.DriveUsed, p.DriveSize)) + "%";
    }
    con_.Status(display);
  }

  // The quick erase inside the sequence; after it the medium is loaded again and the sequence
  // starts over, as the user would by pressing "Vypálit" again.
  int WaitForErase() {
    erased_ = true;
    s_.WaitFor([this] { return seq_.State() == fe::TBurnState::EraseEnded; },
               [this] { con_.Status(fe::StatusName(qvx_.GetStatus())); },
               [this] {
                 con_.Message("An erase cannot be stopped; waiting for the recorder to finish...");
               });
    if (eraseFailed_) {
      con_.Message(eraseError_);
      return kExitFailed;
    }
    if (InterruptCount() > 0) {
      con_.Message("Aborted by user");
      return kExitFailed;
    }
    if (!o_.NoEject) qvx_.LoadDisc(false);
    return kExitDone;
  }

  TSession& s_;
  const TBurnOptions& o_;
  TQuorvexPro& qvx_;
  TConsole& con_;
  fe::TBurnSequence seq_;
  fe::TStatusLog statusLog_;
  bool erased_ = false;
  bool eraseFailed_ = false;
  std::string eraseError_;
};

}  // namespace

int RunBurn(TSession& s, const TBurnOptions& o, const std::vector<std::string>& paths) {
  fe::TCompilationList list;
  if (const int rc = BuildCompilation(paths, list, s.Console())) return rc;
  list.Measure([&s](const std::string& link) {
    s.Console().Message("ardovan-cli: the folder link " + link +
                        " leads back to a folder above it; it is left out");
  });
  if (const int rc = ApplyCompilationOptions(s.Qvx(), o.Compilation, s.Console())) return rc;
  if (const int rc = s.SelectDrive(false)) return rc;
  fe::TBurnRequest request;
  request.Mode = fe::TBurnMode::Compilation;
  request.Compilation = &list;
  request.VolumeId = o.Compilation.VolumeId;
  request.Boot = o.Compilation.Boot;
  return TCliBurn(s, o).Run(request);
}

int RunBurnImage(TSession& s, const TBurnOptions& o, const std::string& image) {
  if (!plat::FileExists(image)) {
    s.Console().Message("ardovan-cli: no such image file: " + image);
    return kExitUsage;
  }
  if (o.Compilation.CacheMiB) s.Qvx().SetCacheSize(*o.Compilation.CacheMiB);
  if (const int rc = s.SelectDrive(false)) return rc;
  fe::TBurnRequest request;
  request.Mode = fe::TBurnMode::Image;
  request.ImageFile = image;
  return TCliBurn(s, o).Run(request);
}

}  // namespace cli
