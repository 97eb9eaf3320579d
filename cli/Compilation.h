#pragma once
// The compilation as the command line assembles it: the paths the user named, each with the size
// counted when it was added, and the options of the data disc. FillCompilation hands the list to
// the burner component: a folder becomes a top-level folder of the disc holding its content, a
// file goes to the root.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TQuorvexPro;

namespace cli {

class TConsole;

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
  std::string Path;  // absolute, without a trailing '/'
  bool Folder = false;
};

class TCompilationList {
 public:
  enum class TAdd { Added, Refused, Missing };
  // Adds a file or folder. A path already listed, and a file whose name is longer than 130
  // characters, are refused with the program's message in `message`; a path that does not exist
  // is Missing.
  TAdd Add(const std::string& path, std::string& message);
  const std::vector<TCompilationEntry>& Entries() const { return entries_; }
  // The size estimate: every listed file and every file under a listed folder. It walks the
  // folders when asked, so a job that needs no estimate (mkimage) does not walk them twice.
  uint64_t TotalSizeKB() const;

 private:
  std::vector<TCompilationEntry> entries_;
};

// Size of a file in KB (truncated); 0 when it cannot be read.
uint64_t FileSizeKB(const std::string& path);
// Sum of the sizes in KB of every file under a folder, each truncated, skipping every name that
// begins with a dot.
uint64_t FolderSizeKB(const std::string& path);

// Sets the options on the component. False with a message in error when the boot image is
// refused.
bool ApplyCompilationOptions(TQuorvexPro& qvx, const TCompilationOptions& o, std::string& error);
// Empties the compilation and sets its label and boot image (emptying it clears the boot image).
void StartCompilation(TQuorvexPro& qvx, const TCompilationOptions& o);

// Hands the list to the component; log receives the lines of folders that could not be added.
// False when a folder or a file of the list could not be added (the rest is added all the same).
bool FillCompilation(TQuorvexPro& qvx, const TCompilationList& list, const std::function<void(const std::string&)>& log);

// Builds the list from the user's paths; prints the refusals. kExitDone or kExitUsage.
int BuildCompilation(const std::vector<std::string>& paths, TCompilationList& list, TConsole& console);

}  // namespace cli
