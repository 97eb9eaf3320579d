// burn and burn-image: the shared burn sequence on a terminal. The log goes to standard output,
// the question to the terminal (or --erase answers it), Ctrl-C is Storno, the progress display
// is one line on standard error, and the outcome decides the exit code.
#include <string>

#include "cli/Commands.h"
#include "cli/Compilation.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/BurnSequence.h"
#include "frontend/Outcome.h"
#include "frontend/Progress.h"
#include "frontend/Texts.h"
#include "platform/FileCheck.h"

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
      seq_.EraseDone(failed);
    };
    // A Ctrl-C while the compilation is handed over leaves the rest of it out at once; the
    // sequence then stops before anything is written.
    qvx_.OnAddFile = [](void*, const char16_t*, plat::TFindData&, bool& skip) {
      if (InterruptCount() > 0) skip = true;
    };
  }
  ~TCliBurn() override {
    qvx_.OnWriteDone = nullptr;
    qvx_.OnEraseDone = nullptr;
    qvx_.OnAddFile = nullptr;
  }

  int Run(fe::TBurnRequest request) {
    request.WaitForMedium = true;
    if (o_.Finalize) request.Finalize = true;
    if (o_.TestWrite) request.TestWrite = true;
    if (o_.NoBurnProof) request.BurnProof = false;
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
          // The recorder held by another program; the wizard's own checks are in the log.
          if (!seq_.Reason().empty()) con_.Message(seq_.Reason());
          return kExitRefused;
        case fe::TBurnState::NotStarted:
          return seq_.Failure().InUse() ? kExitRefused : kExitFailed;
        default:  // stopped
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
  bool AllowIncomplete(const std::vector<fe::TSkippedEntry>& skipped) override {
    if (o_.AllowIncomplete) return true;
    con_.Message("ardovan-cli: " + std::to_string(skipped.size()) +
                 " of the files and folders asked for cannot be on the disc (listed above); "
                 "nothing was burned (--allow-incomplete burns without them)");
    return false;
  }
  void Uninterruptible(uint8_t step) override { con_.Message(fe::UninterruptibleText(step)); }
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
               [this] {
                 UpdateProgress();
                 seq_.Poll();
               },
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
    const fe::TProgressReading p =
        fe::ReadProgress(qvx_, qvx_.GetStatus(), statusLog_, plat::UtcNow());
    if (p.Logged) con_.Log(*p.Logged);
    std::string display = p.Name;
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
      con_.Message(seq_.Reason());
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
};

}  // namespace

int RunBurn(TSession& s, const TBurnOptions& o, const std::vector<std::string>& paths) {
  fe::TCompilationList list;
  if (const int rc = BuildCompilation(paths, list, s.Console())) return rc;
  if (const int rc = ApplyCompilationOptions(s.Qvx(), o.Compilation, s.Console())) return rc;
  if (const int rc = s.SelectDrive(false)) return rc;
  fe::TBurnRequest request;
  request.Mode = fe::TBurnMode::Compilation;
  request.Compilation = &list;
  request.VolumeId = o.Compilation.VolumeId;
  request.Boot = o.Compilation.Boot;
  request.Import = o.Import;
  return TCliBurn(s, o).Run(request);
}

int RunBurnImage(TSession& s, const TBurnOptions& o, const std::string& image) {
  const plat::TFileKind kind = plat::IdentityOf(image).Kind;
  if (kind == plat::TFileKind::Missing) {
    s.Console().Message("ardovan-cli: no such image file: " + image);
    return kExitUsage;
  }
  if (kind != plat::TFileKind::Regular) {
    s.Console().Message("ardovan-cli: " + image + " is a " + plat::FileKindName(kind) +
                        "; only a file can be burned as an image");
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
