#pragma once
// The compilation as the front ends assemble it: the paths the user chose, each with its size,
// the checks that refuse an entry, the options of the data disc, and the hand-over to the burner
// component, in which a folder becomes a top-level folder of the disc holding its content and a
// file goes to the root.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TQuorvexPro;

namespace fe {

inline constexpr size_t kMaxFileNameLength = 130;  // UTF-16 code units

struct TCompilationOptions {
  std::string VolumeId = "Disk";
  bool NoJoliet = false;
  bool Iso1999 = false;
  bool Udf = false;
  bool Replace = false;
  std::string Boot;
  std::optional<uint32_t> CacheMiB;
};

struct TCompilationEntry {
  std::string Path;  // as the file system names it, without a trailing '/'
  bool Folder = false;
  std::optional<uint64_t> SizeKB;  // counted when the entry was added, or when first needed
};

class TCompilationList {
 public:
  // The program's message when the entry may not be added (already listed; a file name longer
  // than 130 characters), empty when it may. A path differing only in case is a new entry.
  std::string Refusal(const std::string& path, const std::string& name, bool folder) const;
  bool Contains(const std::string& path) const;
  // At the top (folders in the window) or at the end.
  void Insert(TCompilationEntry entry, bool atFront);
  void RemoveAt(size_t index);
  void Clear() { entries_.clear(); }
  const std::vector<TCompilationEntry>& Entries() const { return entries_; }
  std::vector<std::string> Paths() const;
  // Counts the entries not counted yet; onLoopingLink hears each folder link that leads back to
  // a folder above it (left out of the count).
  void Measure(const std::function<void(const std::string&)>& onLoopingLink = {});
  // The size estimate: every listed file and every file under a listed folder. Entries not
  // counted yet are counted now (a job that needs no estimate does not walk them at all).
  uint64_t TotalSizeKB();

 private:
  std::vector<TCompilationEntry> entries_;
};

// An entry of the list that the compilation does not hold, and why.
struct TSkippedEntry {
  std::string Path;
  std::string Reason;
};

// Sets the options on the component; false when the boot image is refused.
bool ApplyCompilationOptions(TQuorvexPro& qvx, const TCompilationOptions& o);
// Empties the compilation and sets its label and boot image (emptying it clears the boot image).
void StartCompilation(TQuorvexPro& qvx, const std::string& volumeId, const std::string& boot);
// Hands the paths to the component: an existing folder becomes a top-level folder with its
// content, an existing file goes to the root. Folders that fail give their log line (without a
// time); everything that the compilation lacks afterwards is returned.
std::vector<TSkippedEntry> FillCompilation(TQuorvexPro& qvx, const std::vector<std::string>& paths,
                                           const std::function<void(const std::string&)>& log);

}  // namespace fe
