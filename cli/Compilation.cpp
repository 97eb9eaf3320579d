#include "cli/Compilation.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "cli/Console.h"
#include "cli/Session.h"
#include "platform/FileCheck.h"

namespace cli {
namespace fs = std::filesystem;

namespace {

std::string Normalized(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec);
  if (ec) p = fs::path(path);
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TAdd AddPath(fe::TCompilationList& list, const std::string& rawPath, std::string& message) {
  const std::string path = Normalized(rawPath);
  const plat::TFileIdentity id = plat::IdentityOf(path);
  const bool folder = id.Kind == plat::TFileKind::Directory;
  if (!folder && id.Kind != plat::TFileKind::Regular) {
    if (id.Kind != plat::TFileKind::Missing)
      message = "ardovan-cli: " + rawPath + " is a " + plat::FileKindName(id.Kind) +
                "; only files and folders can be burned";
    else if (id.Error != 0 && id.Error != ENOENT)
      message = "ardovan-cli: " + rawPath + ": " + plat::SystemErrorText(id.Error);
    else
      message = "ardovan-cli: no such file or folder: " + rawPath;
    return TAdd::Missing;
  }
  message = list.Refusal(path, LastComponent(path), folder);
  if (!message.empty()) return TAdd::Refused;
  list.Insert(fe::TCompilationEntry{path, folder, std::nullopt}, false);
  return TAdd::Added;
}

int BuildCompilation(const std::vector<std::string>& paths, fe::TCompilationList& list,
                     TConsole& console) {
  for (const auto& p : paths) {
    std::string message;
    const TAdd added = AddPath(list, p, message);
    if (added == TAdd::Added) continue;
    console.Message(message);
    // A missing path is a mistake in the command; a refused one is left out, as the compilation
    // list leaves it out.
    if (added == TAdd::Missing) return kExitUsage;
  }
  return kExitDone;
}

int ApplyCompilationOptions(TQuorvexPro& qvx, const fe::TCompilationOptions& o, TConsole& console) {
  if (fe::ApplyCompilationOptions(qvx, o)) return kExitDone;
  console.Message("ardovan-cli: the boot image " + o.Boot +
                  " cannot be used (it must be a file of 2048, 1228800, 1474560 or 2949120 bytes)");
  return kExitUsage;
}

}  // namespace cli
