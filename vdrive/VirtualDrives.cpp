#include "vdrive/VirtualDrives.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/Files.h"
#include "vdrive/Recorder.h"
#include "vdrive/Tool.h"

namespace vdrive {
namespace {

struct TCache {
  std::mutex m;
  std::map<std::string, std::shared_ptr<TVirtualRecorder>> recorders;
};

TCache& Cache() {
  static TCache c;  // released at exit, when recorders save what is still unsaved
  return c;
}

std::string Normal(const std::string& folder) {
  std::error_code ec;
  const auto p = std::filesystem::absolute(folder, ec);
  std::string s = (ec ? std::filesystem::path(folder) : p).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

std::vector<std::string> VirtualDriveFolders() {
  const char* env = std::getenv("ARDOVAN_VDRIVES");
  std::vector<std::string> folders;
  if (env == nullptr) {
    folders.push_back(plat::DataFolder() + "/recorder0");
    return folders;
  }
  std::string list = env;
  size_t pos = 0;
  while (pos <= list.size()) {
    const size_t end = std::min(list.find(':', pos), list.size());
    if (end > pos) folders.push_back(Normal(list.substr(pos, end - pos)));
    pos = end + 1;
  }
  return folders;
}

std::vector<std::shared_ptr<plat::TVirtualDrive>> CurrentVirtualDrives() {
  const bool fromEnvironment = std::getenv("ARDOVAN_VDRIVES") != nullptr;
  std::vector<std::shared_ptr<plat::TVirtualDrive>> out;
  TCache& cache = Cache();
  for (const std::string& folder : VirtualDriveFolders()) {
    std::lock_guard<std::mutex> g(cache.m);
    auto it = cache.recorders.find(folder);
    if (it == cache.recorders.end()) {
      std::string error;
      std::optional<TDisc> first;
      if (!fromEnvironment)
        first = TDisc::Blank(TMediumKind::DvdPlusR, Traits(TMediumKind::DvdPlusR).capacity, false);
      // A recorder that cannot be used is named, so it is not taken for no recorder at all.
      if (!EnsureRecorder(folder, first, error)) {
        plat::ReportUnusableDrive(folder, error);
        continue;
      }
      auto r = TVirtualRecorder::Open(folder, &error);
      if (!r) {
        plat::ReportUnusableDrive(folder, error);
        continue;
      }
      it = cache.recorders.emplace(folder, std::move(r)).first;
    }
    out.push_back(it->second);
  }
  return out;
}

void RegisterVirtualDrives() {
  plat::SetVirtualDriveProvider([] { return CurrentVirtualDrives(); });
}

}  // namespace vdrive
