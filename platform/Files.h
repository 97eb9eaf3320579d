#pragma once
// Files and folders: enumeration with the find record the compilation tree expects, plain file
// access, and the program's folders.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace plat {

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// The wide find record. Attributes come from POSIX facts: directory 0x10, read-only 0x01 when
// the owner cannot write, hidden 0x02 for dot-names, archive 0x20 for regular files (a regular
// file never has attribute 0). AlternateFileName is the generated 8.3 name, empty when the long
// name already is a valid 8.3 name.
struct TFindData {
  uint32_t FileAttributes = 0;
  TFileTime CreationTime, LastAccessTime, LastWriteTime;
  uint32_t FileSizeHigh = 0, FileSizeLow = 0;
  uint32_t Reserved0 = 0, Reserved1 = 0;
  char16_t FileName[260] = {};
  char16_t AlternateFileName[14] = {};
  // Identity of the file (device of its file system and inode), 0 when unknown: with the size
  // and the last-write time it tells later whether the file changed or was replaced.
  uint64_t VolumeId = 0, FileId = 0;
};

// Windows-style mask matching: '*' any run, '?' one character, case-insensitive; "*.*" also
// matches names without a dot.
bool MatchMask(std::u16string_view name, std::u16string_view mask);

// An entry of an enumerated folder that no find record can carry, so the caller can name it
// instead of leaving it out unseen.
struct TSkippedEntry {
  enum TReason : uint8_t {
    NotUtf8,      // the name's bytes are no UTF-8 text
    NameTooLong,  // 260 UTF-16 units or more
    SpecialFile,  // a FIFO, socket or device node (Detail: the st_mode file type bits)
    Unreadable,   // its facts cannot be read, e.g. a link to nothing (Detail: errno value)
  };
  std::string Name;  // the name's bytes as the folder holds them
  TReason Reason = NotUtf8;
  uint32_t Detail = 0;
  bool Folder = false;  // the entry is (a link to) a folder
};

// Enumerates one folder. The pattern is a UTF-8 path whose last component is a mask
// ("/home/ana/photos/*.*"). "." and ".." are not yielded. Entries come sorted by name, so the
// generated short names are the same on every enumeration of an unchanged folder.
class TFindEnumerator {
 public:
  TFindEnumerator();
  ~TFindEnumerator();
  TFindEnumerator(const TFindEnumerator&) = delete;
  TFindEnumerator& operator=(const TFindEnumerator&) = delete;
  bool First(std::string_view pattern, TFindData& fd);  // false: folder unreadable or no match
  bool Next(TFindData& fd);
  // Starts the same enumeration again from its first record, without reading the folder again.
  bool Rewind(TFindData& fd);
  void Close();
  // Entries matching the mask that First left out, and the errno value of opening the folder
  // (0 when it was read).
  const std::vector<TSkippedEntry>& Skipped() const;
  uint32_t LastError() const;

 private:
  struct TImpl;
  TImpl* impl_;
};

// Find record of one file or folder (no mask). False when it does not exist.
bool FindFile(std::string_view path, TFindData& fd);

// Short-name generator of one folder enumeration: constant time per name.
class TShortNameGenerator {
 public:
  TShortNameGenerator();
  ~TShortNameGenerator();
  TShortNameGenerator(const TShortNameGenerator&) = delete;
  TShortNameGenerator& operator=(const TShortNameGenerator&) = delete;
  // Returns the alternate name for longName (empty when longName is a valid 8.3 name).
  std::u16string Next(std::u16string_view longName);
  // Marks a valid 8.3 name of the folder as taken before the others are generated, so no
  // generated name can equal a real one that comes later in the order.
  void Reserve(std::u16string_view name);
  static bool IsValid83(std::u16string_view name);

 private:
  struct TImpl;
  TImpl* impl_;
};

bool FileExists(std::string_view path);  // regular file
bool DirectoryExists(std::string_view path);
uint32_t GetFileAttributes(std::string_view path);  // kInvalidAttributes when absent
int64_t GetFileSize(std::string_view path);         // -1 when absent

// A file opened for reading (others may read it too) or created for writing.
class TFile {
 public:
  TFile() = default;
  ~TFile();
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
  TFile(TFile&& o) noexcept;
  TFile& operator=(TFile&& o) noexcept;

  bool OpenRead(std::string_view path);
  bool OpenRead(std::u16string_view path);
  bool Create(std::string_view path);  // create or truncate, read/write
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // Reads up to n bytes, retrying short reads; returns the bytes read (< n only at the end), -1 on
  // error.
  int64_t Read(void* buf, size_t n);
  bool Write(const void* buf, size_t n);
  bool Seek(int64_t pos);
  int64_t Size() const;
  uint32_t LastError() const { return lastError_; }

 private:
  int fd_ = -1;
  uint32_t lastError_ = 0;
};

// The temporary folder: $TMPDIR or /tmp/, always ending with '/'.
std::string TempPath();
// The folder that stands in for the system folder of the original platform:
// $XDG_CONFIG_HOME/ardovan (default ~/.config/ardovan), created on demand, no trailing '/'.
std::string SettingsFolder();
// $XDG_DATA_HOME/ardovan (default ~/.local/share/ardovan), created on demand.
std::string DataFolder();
// $XDG_RUNTIME_DIR, else /tmp.
std::string RuntimeFolder();
// Folder of the running executable.
std::string ExecutableFolder();
// Creates a folder and its parents; true when it exists afterwards.
bool MakeFolders(std::string_view path);

}  // namespace plat
