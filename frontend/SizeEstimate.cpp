#include "frontend/SizeEstimate.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "platform/Files.h"
#include "platform/Text.h"

namespace fe {
namespace {

using TFolderId = std::pair<dev_t, ino_t>;

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

class TFolderWalk {
 public:
  explicit TFolderWalk(const std::function<void()>& tick) : tick_(tick) {}

  void Walk(const std::string& folder, TFolderSize& out) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    const TFolderId id{st.st_dev, st.st_ino};
    if (std::find(above_.begin(), above_.end(), id) != above_.end()) {
      out.LoopingLinks.push_back(folder);
      return;
    }
    // A folder reached through a second path is on the disc once; so it counts once.
    if (!walked_.insert(id).second) return;
    above_.push_back(id);
    std::vector<std::string> subfolders;
    {
      plat::TFindEnumerator en;
      plat::TFindData fd;
      for (bool ok = en.First(Join(folder, "*.*"), fd); ok; ok = en.Next(fd)) {
        if (fd.FileName[0] == u'.') continue;
        Tick();
        if (fd.FileAttributes & plat::kAttrDirectory) {
          subfolders.push_back(Join(folder, plat::Utf16ToUtf8(fd.FileName)));
        } else {
          out.KB += KBOfBytes((uint64_t{fd.FileSizeHigh} << 32) | fd.FileSizeLow);
        }
      }
    }
    for (const std::string& sub : subfolders) Walk(sub, out);
    above_.pop_back();
  }

 private:
  void Tick() {
    if (tick_ && ++entries_ % 512 == 0) tick_();
  }

  const std::function<void()>& tick_;
  std::vector<TFolderId> above_;
  std::set<TFolderId> walked_;
  uint64_t entries_ = 0;
};

}  // namespace

uint64_t KBOfBytes(uint64_t bytes) { return bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0); }

uint64_t FileSizeKB(const std::string& path) {
  const int64_t size = plat::GetFileSize(path);
  return size > 0 ? KBOfBytes(static_cast<uint64_t>(size)) : 0;
}

TFolderSize FolderSize(const std::string& path, const std::function<void()>& tick) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  TFolderSize out;
  TFolderWalk(tick).Walk(folder, out);
  return out;
}

const TMediumClass& MediumClassFor(int64_t totalKB) {
  static const TMediumClass classes[] = {
      {0, 718848, "CD-ROM/RW", "700MB"},
      {718848, 4595712, "DVD R/RW", "4,7GB"},
      {4595712, 8346664, "DVD R/RW DL", "8,55GB"},
      {8346664, 24438784, "Blu-ray R/RE", "25GB"},
      {24438784, 48877568, "Blu-ray R/RE DL", "50GB"},
  };
  const TMediumClass* found = &classes[0];
  for (const TMediumClass& c : classes)
    if (totalKB >= c.FromKB) found = &c;
  return *found;
}

}  // namespace fe
