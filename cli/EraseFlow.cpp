// erase: the shared stand-alone erase on a terminal, with an activity display while it runs.
#include "cli/Commands.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/EraseSequence.h"
#include "frontend/Texts.h"
#include "platform/Clock.h"

namespace cli {
namespace {

class TCliErase : public fe::TEraseHost {
 public:
  TCliErase(TSession& s, bool full, bool noEject) : s_(s), full_(full), noEject_(noEject) {}

  void Message(const std::string& text) override { s_.Console().Message(text); }
  std::optional<bool> AskQuick() override {
    // Ctrl-C before the erase has begun still stops it; once begun it runs to its end.
    if (InterruptCount() > 0) {
      stopped_ = true;
      return std::nullopt;
    }
    return !full_;
  }
  void Eject() override { s_.Eject(noEject_); }
  void Ended(bool failed) override {
    s_.Console().ClearStatus();
    failed_ = failed;
    done_ = true;
  }

  bool stopped_ = false;
  bool failed_ = false;
  bool done_ = false;

 private:
  TSession& s_;
  bool full_;
  bool noEject_;
};

}  // namespace

int RunErase(TSession& s, bool full, bool noEject) {
  if (const int rc = s.SelectDrive(false)) return rc;
  TQuorvexPro& qvx = s.Qvx();
  TConsole& con = s.Console();
  TCliErase host(s, full, noEject);
  fe::TEraseSequence seq(qvx, host);
  qvx.OnEraseDone = [&](TQuorvexPro*, uint8_t, bool failed) { seq.Done(failed); };
  if (!seq.Start(true)) {
    qvx.OnEraseDone = nullptr;
    if (host.stopped_) {
      con.Message("Aborted by user");
      return kExitFailed;
    }
    if (seq.Reason().empty()) return kExitRefused;
    con.Message(seq.Reason());
    return seq.Failure().InUse() ? kExitRefused : kExitFailed;
  }
  // An activity display: the erase job reports no progress, only its status.
  const uint32_t start = plat::TickCount();
  s.WaitFor(
      [&] { return host.done_; },
      [&] {
        const uint32_t seconds = (plat::TickCount() - start) / 1000;
        con.Status(fe::StatusName(qvx.GetStatus()) + "  " + std::to_string(seconds) + " s");
      },
      [&] { con.Message("An erase cannot be stopped; waiting for the recorder to finish..."); });
  qvx.OnEraseDone = nullptr;
  if (!host.failed_) return kExitDone;
  if (!seq.Reason().empty()) con.Message(seq.Reason());
  return kExitFailed;
}

}  // namespace cli
