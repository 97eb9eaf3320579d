#include "frontend/Compilation.h"

#include "engine/qvpQuorvexPro.h"
#include "frontend/Outcome.h"
#include "frontend/SizeEstimate.h"
#include "frontend/Texts.h"
#include "platform/FileCheck.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace fe {
namespace {

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool TCompilationList::Contains(const std::string& path) const {
  for (const TCompilationEntry& e : entries_)
    if (e.Path == path) return true;
  return false;
}

std::string TCompilationList::Refusal(const std::string& path, const std::string& name,
                                      bool folder) const {
  if (Contains(path))
    return folder ? std::string(text::kFolderTwice)
                  : text::kFileTwicePrefix + path + text::kFileTwiceSuffix;
  if (!folder && plat::Utf8ToUtf16(name).size() > kMaxFileNameLength)
    return text::kNameTooLongPrefix + name + text::kNameTooLongSuffix;
  return {};
}

void TCompilationList::Insert(TCompilationEntry entry, bool atFront) {
  entries_.insert(atFront ? entries_.begin() : entries_.end(), std::move(entry));
}

void TCompilationList::RemoveAt(size_t index) {
  if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<long>(index));
}

std::vector<std::string> TCompilationList::Paths() const {
  std::vector<std::string> paths;
  for (const TCompilationEntry& e : entries_) paths.push_back(e.Path);
  return paths;
}

void TCompilationList::Measure(const std::function<void(const std::string&)>& onLoopingLink) {
  for (TCompilationEntry& e : entries_) {
    if (e.SizeKB) continue;
    if (!e.Folder) {
      e.SizeKB = FileSizeKB(e.Path);
      continue;
    }
    const TFolderSize size = FolderSize(e.Path);
    e.SizeKB = size.KB;
    if (onLoopingLink)
      for (const std::string& link : size.LoopingLinks) onLoopingLink(link);
  }
}

uint64_t TCompilationList::TotalSizeKB() {
  Measure();
  uint64_t total = 0;
  for (const TCompilationEntry& e : entries_) total += *e.SizeKB;
  return total;
}

bool ApplyCompilationOptions(TQuorvexPro& qvx, const TCompilationOptions& o) {
  qvx.SetJolietFileSystem(!o.NoJoliet);
  qvx.SetISO9660v1999FS(o.Iso1999);
  qvx.SetUDFBridge(o.Udf);
  qvx.SetReplaceFile(o.Replace);
  if (o.CacheMiB) qvx.SetCacheSize(*o.CacheMiB);
  if (o.Boot.empty()) return true;
  qvx.SetBootImage(o.Boot);
  return !qvx.GetBootImage().empty();
}

void StartCompilation(TQuorvexPro& qvx, const std::string& volumeId, const std::string& boot) {
  qvx.ClearCompilation();
  qvx.SetVolumeID(volumeId);
  if (!boot.empty()) qvx.SetBootImage(boot);
}

std::vector<TSkippedEntry> FillCompilation(TQuorvexPro& qvx, const std::vector<std::string>& paths,
                                           const std::function<void(const std::string&)>& log) {
  std::vector<TSkippedEntry> skipped;
  for (const std::string& path : paths) {
    const size_t omitted = qvx.GetOmittedEntries().size();
    const plat::TFileIdentity id = plat::IdentityOf(path);
    if (id.Kind == plat::TFileKind::Directory) {
      const std::string name = LastComponent(path);
      if (!qvx.CreateDir("\\", name)) {
        log(text::kDirCreateFailed + path);
        skipped.push_back({path, text::kReasonDirCreate});
      }
      // A folder of which only part could be added still comes back; what it lacks is listed
      // by the component below.
      if (!qvx.InsertDir("\\" + name, path, false, true, "*.*")) {
        log(text::kDirInsertFailed + path);
        skipped.push_back({path, text::kReasonDirInsert});
      }
    } else if (id.Kind == plat::TFileKind::Missing) {
      skipped.push_back({path, text::kReasonMissing});
    } else if (id.Kind != plat::TFileKind::Regular) {
      skipped.push_back(
          {path, std::string(text::kNotRegularPrefix) + plat::FileKindName(id.Kind) + ")"});
    } else if (!qvx.InsertFile("\\", path) && qvx.GetOmittedEntries().size() == omitted) {
      // Refused without a reason of the component's own.
      skipped.push_back({path, text::kReasonFileInsert});
    }
  }
  // Nothing the user asked for is left out without being named.
  for (const TOmittedEntry& e : qvx.GetOmittedEntries())
    skipped.push_back({OmittedPath(e), OmitReasonCz(e)});
  return skipped;
}

}  // namespace fe
