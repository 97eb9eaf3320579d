// mkimage: the compilation laid out and written by the engine into an image file (or standard
// output), with no drive: the image starts at sector 0 of an empty medium, or is the image of a
// session that is to start at a given sector, with the files of a medium image's last session
// kept in view. The image file is never part of its own compilation.
#include <sys/stat.h>

#include <optional>
#include <utility>

#include "cli/Commands.h"
#include "cli/Compilation.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Formats.h"
#include "frontend/Outcome.h"
#include "frontend/Texts.h"
#include "platform/Text.h"

namespace cli {
namespace {

using TFileId = std::pair<dev_t, ino_t>;

std::optional<TFileId> IdentityOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
  return TFileId{st.st_dev, st.st_ino};
}

}  // namespace

int RunMkImage(TConsole& con, const TMkImageOptions& mk, const std::vector<std::string>& paths,
               const std::string& output) {
  const fe::TCompilationOptions& o = mk.Compilation;
  fe::TCompilationList list;
  if (const int rc = BuildCompilation(paths, list, con)) return rc;
  // A component without a drive and without an owner: only its compilation is used.
  TQuorvexPro qvx(false);
  if (const int rc = ApplyCompilationOptions(qvx, o, con)) return rc;

  // An output that already exists is never read into itself: one of the sources (or the boot
  // image, or the medium image imported from) is refused before anything is truncated, and
  // inside a source folder it is left out.
  const std::optional<TFileId> outputId = output == "-" ? std::nullopt : IdentityOf(output);
  if (outputId) {
    std::vector<std::string> sources;
    for (const fe::TCompilationEntry& e : list.Entries())
      if (!e.Folder) sources.push_back(e.Path);
    sources.push_back(o.Boot);
    sources.push_back(mk.ImportFrom);
    for (const std::string& source : sources) {
      if (IdentityOf(source) != outputId) continue;
      con.Message("ardovan-cli: the image file " + output +
                  " is one of the sources; nothing was written");
      return kExitUsage;
    }
  }
  bool outputLeftOut = false;
  qvx.OnAddFile = [&](void*, const char16_t* path, plat::TFindData&, bool& skip) {
    if (outputId && path != nullptr && IdentityOf(plat::Utf16ToUtf8(path)) == outputId) {
      skip = true;
      outputLeftOut = true;
    }
  };
  fe::StartCompilation(qvx, o.VolumeId, o.Boot);
  // The image may be going to standard output: the lines of folders that failed, and the list
  // of what the compilation lacks, go to stderr. An image without some of the files asked for
  // is not what the command promised, so none is written unless the user agrees.
  const auto skipped = fe::FillCompilation(qvx, list.Paths(),
                                           [&con](const std::string& line) { con.Message(line); });
  qvx.OnAddFile = nullptr;
  for (const fe::TSkippedEntry& e : skipped)
    con.Message(fe::text::kSkippedPrefix + e.Path + " (" + e.Reason + ")");
  if (!skipped.empty() && !mk.AllowIncomplete) {
    con.Message("ardovan-cli: " + std::to_string(skipped.size()) +
                " of the files and folders asked for cannot be in the image (listed above); no "
                "image written (--allow-incomplete writes it without them)");
    return kExitFailed;
  }
  if (outputLeftOut)
    con.Message("ardovan-cli: the image file " + output +
                " lies among the sources; it is left out");
  if (!mk.ImportFrom.empty()) {
    const TImportResult r = qvx.ImportSessionFromImage(mk.ImportFrom, mk.SessionStart.value_or(0));
    if (!fe::ImportGoesOn(r)) {
      con.Message("ardovan-cli: " + mk.ImportFrom + ": " + TQuorvexPro::ImportResultText(r));
      return kExitFailed;
    }
  }
  if (qvx.PrepareImage() <= 0) {
    con.Message("ardovan-cli: the compilation could not be laid out");
    return kExitFailed;
  }

  TImageFileJob job;
  // Any Ctrl-C since the start, also one pressed while the compilation was laid out.
  job.AbortRequested = [] { return InterruptCount() > 0; };
  job.Progress = [&con](uint64_t written, uint64_t total) {
    con.Status(fe::SectorsToMB(static_cast<int64_t>(written / 2048)) + "/" +
               fe::SectorsToMB(static_cast<int64_t>(total / 2048)) + " MB");
  };
  const TImageFileResult result = mk.SessionStart
                                      ? qvx.MakeSessionImageFile(output, *mk.SessionStart, job)
                                      : qvx.MakeImageFile(output, job);
  con.ClearStatus();
  switch (result) {
    case TImageFileResult::Done:
      if (skipped.empty()) return kExitDone;
      con.Message("ardovan-cli: the image was written without " + std::to_string(skipped.size()) +
                  " of the files and folders asked for (listed above)");
      return kExitFailed;
    case TImageFileResult::CannotCreate:
      con.Message("ardovan-cli: cannot create " + output);
      break;
    case TImageFileResult::WriteFailed:
      con.Message("ardovan-cli: cannot write " + output);
      break;
    case TImageFileResult::NotLaidOut:
      con.Message("ardovan-cli: the compilation could not be laid out");
      break;
    case TImageFileResult::SourceFailed:
    case TImageFileResult::Aborted:
      con.Message(job.Error);
      break;
  }
  return kExitFailed;
}

}  // namespace cli
