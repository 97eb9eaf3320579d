#include "cli/Compilation.h"

#include <filesystem>
#include <system_error>

#include "cli/Console.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace cli {
namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFileNameLength = 130;

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

uint64_t FileSizeKB(const std::string& path) {
  const int64_t size = plat::GetFileSize(path);
  return size > 0 ? static_cast<uint64_t>(size) / 1024 : 0;
}

uint64_t FolderSizeKB(const std::string& path) {
  uint64_t sum = 0;
  std::error_code ec;
  fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
  while (!ec && it != end) {
    const std::string name = it->path().filename().string();
    if (!name.empty() && name.front() == '.') {
      if (it->is_directory(ec)) it.disable_recursion_pending();
    } else if (it->is_regular_file(ec)) {
      const uintmax_t size = it->file_size(ec);
      if (!ec) sum += static_cast<uint64_t>(size) / 1024;
    }
    ec.clear();
    it.increment(ec);
  }
  return sum;
}

TCompilationList::TAdd TCompilationList::Add(const std::string& rawPath, std::string& error) {
  const std::string path = Normalized(rawPath);
  std::error_code ec;
  const bool folder = fs::is_directory(path, ec);
  const bool file = !folder && fs::is_regular_file(path, ec);
  if (!folder && !file) {
    error = "ardovan-cli: no such file or folder: " + rawPath;
    return TAdd::Missing;
  }
  for (const auto& e : entries_) {
    if (e.Path != path) continue;
    error = folder ? std::string(text::kFolderTwice) : text::kFileTwicePrefix + path + text::kFileTwiceSuffix;
    return TAdd::Refused;
  }
  const std::string name = LastComponent(path);
  if (file && plat::Utf8ToUtf16(name).size() > kMaxFileNameLength) {
    error = text::kNameTooLongPrefix + name + text::kNameTooLongSuffix;
    return TAdd::Refused;
  }
  entries_.push_back(TCompilationEntry{path, folder});
  return TAdd::Added;
}

uint64_t TCompilationList::TotalSizeKB() const {
  uint64_t total = 0;
  for (const TCompilationEntry& e : entries_) total += e.Folder ? FolderSizeKB(e.Path) : FileSizeKB(e.Path);
  return total;
}

bool ApplyCompilationOptions(TQuorvexPro& qvx, const TCompilationOptions& o, std::string& error) {
  qvx.SetJolietFileSystem(!o.NoJoliet);
  qvx.SetISO9660v1999FS(o.Iso1999);
  qvx.SetUDFBridge(o.Udf);
  qvx.SetReplaceFile(o.Replace);
  if (o.CacheMiB) qvx.SetCacheSize(*o.CacheMiB);
  if (!o.Boot.empty()) {
    qvx.SetBootImage(o.Boot);
    if (qvx.GetBootImage().empty()) {
      error = "ardovan-cli: the boot image " + o.Boot +
              " cannot be used (it must be a file of 2048, 1228800, 1474560 or 2949120 bytes)";
      return false;
    }
  }
  return true;
}

void StartCompilation(TQuorvexPro& qvx, const TCompilationOptions& o) {
  qvx.ClearCompilation();
  qvx.SetVolumeID(o.VolumeId);
  if (!o.Boot.empty()) qvx.SetBootImage(o.Boot);
}

bool FillCompilation(TQuorvexPro& qvx, const TCompilationList& list,
                     const std::function<void(const std::string&)>& log) {
  bool complete = true;
  for (const auto& e : list.Entries()) {
    if (plat::DirectoryExists(e.Path)) {
      const std::string name = LastComponent(e.Path);
      if (!qvx.CreateDir("\\", name)) {
        log(text::kDirCreateFailed + e.Path);
        complete = false;
      }
      if (!qvx.InsertDir("\\" + name, e.Path, false, true, "*.*")) {
        log(text::kDirInsertFailed + e.Path);
        complete = false;
      }
    } else if (!plat::FileExists(e.Path) || !qvx.InsertFile("\\", e.Path)) {
      complete = false;
    }
  }
  return complete;
}

int BuildCompilation(const std::vector<std::string>& paths, TCompilationList& list, TConsole& console) {
  for (const auto& p : paths) {
    std::string message;
    const auto added = list.Add(p, message);
    if (added == TCompilationList::TAdd::Added) continue;
    console.Message(message);
    // A missing path is a mistake in the command; a refused one is left out, as the compilation
    // list leaves it out.
    if (added == TCompilationList::TAdd::Missing) return kExitUsage;
  }
  return kExitDone;
}

}  // namespace cli
