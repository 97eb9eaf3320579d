// verify: the disc in the drive compared with an image file, or with a compilation given as for
// burn (the same options decide its layout), without writing. Ctrl-C stops the pass; the
// verification's log line and the exit code tell the result.
#include <string>

#include "cli/Commands.h"
#include "cli/Compilation.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Formats.h"
#include "frontend/Progress.h"
#include "frontend/VerifyResult.h"
#include "platform/Files.h"

namespace cli {
namespace {

// The compilation handed to the component and laid out as burn lays it out; kExitDone or the
// exit code after a message.
int LayOut(TSession& s, const std::vector<std::string>& paths, const fe::TCompilationOptions& o) {
  TConsole& con = s.Console();
  TQuorvexPro& qvx = s.Qvx();
  fe::StartCompilation(qvx, o.VolumeId, o.Boot);
  const auto skipped =
      fe::FillCompilation(qvx, paths, [&con](const std::string& l) { con.Message(l); });
  // A compilation without some of its entries has another layout than the one burned.
  for (const fe::TSkippedEntry& e : skipped)
    con.Message("ardovan-cli: " + e.Path + ": " + e.Reason);
  if (!skipped.empty()) return kExitFailed;
  if (qvx.PrepareImage() <= 0) {
    con.Message("ardovan-cli: the compilation could not be laid out");
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

int RunVerify(TSession& s, const TVerifyOptions& o, const std::vector<std::string>& paths) {
  TConsole& con = s.Console();
  TQuorvexPro& qvx = s.Qvx();
  const bool image = !o.Image.empty();
  if (image == !paths.empty()) {
    con.Message(
        "ardovan-cli: verify compares the disc with --image FILE or with the files and folders of "
        "a compilation");
    return kExitUsage;
  }
  if (image && !plat::FileExists(o.Image)) {
    con.Message("ardovan-cli: no such image file: " + o.Image);
    return kExitUsage;
  }
  fe::TCompilationList list;
  if (!image) {
    if (const int rc = BuildCompilation(paths, list, con)) return rc;
    if (const int rc = ApplyCompilationOptions(qvx, o.Compilation, con)) return rc;
  } else if (o.Compilation.CacheMiB) {
    qvx.SetCacheSize(*o.Compilation.CacheMiB);
  }
  if (const int rc = s.SelectDrive(true)) return rc;
  if (!image)
    if (const int rc = LayOut(s, list.Paths(), o.Compilation)) return rc;

  bool done = false;
  qvx.OnVerifyDone = [&done](TQuorvexPro*, uint8_t, int32_t, bool) { done = true; };
  const bool started = image ? qvx.VerifyImage(o.Image) : qvx.VerifyDisc();
  if (!started) {
    qvx.OnVerifyDone = nullptr;
    con.Message(qvx.GetLastErrorText());
    return kExitFailed;
  }
  bool asked = false;
  s.WaitFor([&done] { return done; },
            [&] {
              const uint16_t speed = qvx.GetVerifySpeed();
              con.Status(std::string(fe::text::kVerifying) + "  " +
                         fe::ProgressLine(kStatusVerifying, qvx.GetVerifyTotalSectors(),
                                          qvx.GetVerifiedSectors(), speed));
            },
            [&] {
              if (asked) return;
              asked = true;
              qvx.Abort();
            });
  con.ClearStatus();
  qvx.OnVerifyDone = nullptr;
  const TVerifyReport r = qvx.GetVerifyReport();
  con.Log(fe::LogLine(fe::VerifyResultText(r)));
  if (r.Outcome == TVerifyOutcome::Passed) return kExitDone;
  con.Message(qvx.GetLastErrorText());
  return kExitFailed;
}

}  // namespace cli
