// The stand-alone erase: checks, the quick or full erase job, and its end (a failure is
// reported; the medium is flushed and ejected either way).
#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"

namespace cli {

int RunErase(TSession& s, bool full, bool noEject) {
  if (const int rc = s.SelectDrive(true)) return rc;
  TQuorvexPro& qvx = s.Qvx();
  TConsole& con = s.Console();
  if (!qvx.IsUnitReady()) {
    con.Message(text::kNotReady);
    return kExitRefused;
  }
  if (!qvx.IsErasable()) {
    con.Message(text::kNotErasable);
    return kExitRefused;
  }

  // Ctrl-C before the erase has begun still stops it; once begun it runs to its end.
  if (InterruptCount() > 0) {
    con.Message("Aborted by user");
    return kExitFailed;
  }
  bool done = false, failed = false;
  std::string error;
  qvx.OnEraseDone = [&](TQuorvexPro*, uint8_t, bool f) {
    con.ClearStatus();
    if (f) {
      error = qvx.GetLastErrorText();
      con.Message(text::kEraseFailed);
    }
    qvx.FlushDriveCache();
    s.Eject(noEject);
    failed = f;
    done = true;
  };
  qvx.EraseDisc(!full);
  // An activity display: the erase job reports no progress, only its status.
  const uint32_t start = plat::TickCount();
  s.WaitFor([&] { return done; },
            [&] {
              const uint32_t seconds = (plat::TickCount() - start) / 1000;
              con.Status(StatusName(qvx.GetStatus()) + "  " + std::to_string(seconds) + " s");
            },
            [&] { con.Message("An erase cannot be stopped; waiting for the recorder to finish..."); });
  qvx.OnEraseDone = nullptr;
  if (!failed) return kExitDone;
  if (!error.empty()) con.Message(error);
  return kExitFailed;
}

}  // namespace cli
