#include "app/SizeEstimate.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "app/Formats.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace app {

QString FormatSize(uint64_t kb) {
  static const std::array<const char*, 7> units = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  // In floating point from the start: the byte count of a huge KB figure does not fit 64 bits.
  double value = static_cast<double>(kb) * 1024.0;
  size_t i = 0;
  while (value >= 1024.0) {
    value /= 1024.0;
    ++i;
  }
  if (value >= 1000.0) {
    value /= 1024.0;
    ++i;
  }
  if (i >= units.size()) return QStringLiteral("too large");
  return FormatPlain(value, 2) + QLatin1Char(' ') + QLatin1String(units[i]);
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

int64_t GetFileSizeKB(const QString& path) {
  const int64_t size = plat::GetFileSize(path.toStdString());
  return size < 0 ? 0 : size / 1024;
}

namespace {

using TFolderId = std::pair<dev_t, ino_t>;

class TFolderWalk {
 public:
  explicit TFolderWalk(const std::function<void()>& tick) : tick_(tick) {}

  int64_t Walk(const std::string& folder) {
    struct stat st {};
    if (stat(folder.empty() ? "/" : folder.c_str(), &st) != 0) return 0;
    const TFolderId id{st.st_dev, st.st_ino};
    // A link back to a folder on the way down would be walked for ever.
    if (std::find(above_.begin(), above_.end(), id) != above_.end()) return 0;
    above_.push_back(id);
    int64_t sum = 0;
    std::vector<std::string> subfolders;
    {
      plat::TFindEnumerator en;
      plat::TFindData fd;
      for (bool ok = en.First(folder + "/*.*", fd); ok; ok = en.Next(fd)) {
        if (fd.FileName[0] == u'.') continue;
        Tick();
        if (fd.FileAttributes & plat::kAttrDirectory) {
          subfolders.push_back(folder + "/" + plat::Utf16ToUtf8(fd.FileName));
        } else {
          const uint64_t size = (uint64_t{fd.FileSizeHigh} << 32) | fd.FileSizeLow;
          sum += static_cast<int64_t>(size / 1024);
        }
      }
    }
    for (const std::string& sub : subfolders) sum += Walk(sub);
    above_.pop_back();
    return sum;
  }

 private:
  void Tick() {
    if (tick_ && ++entries_ % 512 == 0) tick_();
  }

  const std::function<void()>& tick_;
  std::vector<TFolderId> above_;
  uint64_t entries_ = 0;
};

}  // namespace

int64_t FolderSizeKB(const QString& path, const std::function<void()>& tick) {
  std::string folder = path.toStdString();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") folder.clear();  // the walk appends "/name"
  return TFolderWalk(tick).Walk(folder);
}

}  // namespace app
