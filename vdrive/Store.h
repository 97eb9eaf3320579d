#pragma once
// The recorder folder on disk: its file names, atomic state writes, the per-command lock, cheap
// change detection and the sparse image that holds the medium's user data.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vdrive {

constexpr const char* kDriveFile = "drive.json";
constexpr const char* kMediumFile = "medium.json";
constexpr const char* kImageFile = "medium.img";
constexpr const char* kFaultsFile = "faults.json";
constexpr const char* kTraceFile = "trace.log";
constexpr const char* kLockFile = "lock";

constexpr uint32_t kSectorBytes = 2048;

std::string JoinPath(std::string_view folder, std::string_view name);
bool ReadTextFile(const std::string& path, std::string& out);
// Writes a temporary file beside path and renames it over path, so readers see old or new.
bool WriteFileAtomic(const std::string& path, std::string_view text);

// Identity and modification time of a file: a change means someone rewrote it.
struct TFileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  int64_t mtimeNs = 0, ctimeNs = 0;
  int64_t size = 0;
  bool operator==(const TFileStamp&) const = default;
};
TFileStamp StampOf(const std::string& path);

// Exclusive lock on the folder's lock file for the life of the object (flock, so it also keeps
// two recorder objects of one process apart).
class TFolderLock {
 public:
  explicit TFolderLock(int fd);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int fd_;
};
int OpenLockFile(std::string_view folder);  // -1 on failure

// A loaded medium's image file must be there (a missing one would read as a blank disc) and no
// larger than the medium can hold; false with a reason naming the file otherwise.
bool CheckImageFile(const std::string& path, uint64_t limitBytes, std::string& error);

// The medium's user data at LBA x 2048 in a sparse file; holes read as zeros.
class TImageFile {
 public:
  TImageFile() = default;
  ~TImageFile();
  TImageFile(const TImageFile&) = delete;
  TImageFile& operator=(const TImageFile&) = delete;

  // Opens an existing file (a new medium gets its file from the tool, never from here).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Read(uint64_t lba, uint32_t blocks, uint8_t* out) const;
  bool Write(uint64_t lba, uint32_t blocks, const uint8_t* in);
  bool Clear();  // everything reads as zeros again
  // Writes blocks [first, end) to a new file, leaving holes where nothing was ever written. On
  // failure a regular output file is removed again, so no partial image is left behind; why
  // then says what went wrong. progress, when given, hears the bytes done of the total as the
  // copy goes (at least every MiB) and stops it by answering false.
  bool ExportTo(const std::string& path, uint64_t first, uint64_t end, std::string& why,
                const std::function<bool(uint64_t done, uint64_t total)>& progress = {}) const;

 private:
  int fd_ = -1;
};

}  // namespace vdrive
