#pragma once
// Pieces shared by the units of the session reader: the medium seen through its size, one folder
// entry as one tree lists it, the ISO 9660 / Joliet side (volume descriptors and directory
// extents) and the UDF side (anchor, descriptor sequence, file entries, identifier streams).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/qvpSessionReader.h"

namespace sessionread {

// The medium, read only inside its size.
class TMedium {
 public:
  // budget: the most sectors it reads in all.
  TMedium(const TBlockReader& read, uint32_t blocks, uint32_t budget = kImportMaxSectorsRead)
      : read_(read), blocks_(blocks), budget_(budget) {}
  uint32_t Blocks() const { return blocks_; }
  // lba and the sectors that `bytes` bytes from it occupy lie inside the medium.
  bool Contains(uint32_t lba, uint64_t bytes) const;
  // Reads `sectors` sectors from lba into out (resized); Damaged when they leave the medium or
  // the session has had all it may read, ReadError when the callback fails.
  TImportResult Read(uint32_t lba, uint32_t sectors, std::vector<uint8_t>& out);

 private:
  const TBlockReader& read_;
  uint32_t blocks_;
  uint32_t budget_;
  uint32_t sectorsRead_ = 0;
};

// One entry of one folder as one tree records it.
struct TEntry {
  std::u16string Name;  // the identifier decoded (ISO 9660 bytes widened one to one)
  std::string Raw;      // ISO 9660 and Joliet: the identifier's bytes
  bool Directory = false;
  bool Hidden = false;
  uint8_t Date[7] = {};
  uint64_t Size = 0;
  std::vector<TImportedExtent> Extents;  // files
  uint32_t Ref = 0;  // folders: ISO extent, or UDF file entry block; UDF files: file entry block
  uint32_t RefLength = 0;  // ISO folders: the extent's length
  bool Resolved = true;    // UDF files: false until the file entry has been read
};

// A name an entry can have: not empty, no NUL (names are terminated texts in the tree), not "."
// or "..".
bool SoundName(std::u16string_view name);

// ---- ISO 9660, Joliet, ISO 9660:1999 ----

struct TIsoTree {
  bool Found = false;
  uint32_t RootLba = 0;
  uint32_t RootLength = 0;
};

struct TDescriptors {
  TIsoTree Primary, Joliet, Iso1999;
  uint32_t VolumeSpace = 0;    // primary volume space size
  bool UdfRecognized = false;  // an NSR descriptor follows the terminator
};

// The volume descriptor set from start + 16 up to its terminator.
TImportResult ReadDescriptors(TMedium& m, uint32_t start, TDescriptors& d);
// The entries of one directory extent (without "." and ".."); multi-extent files joined.
TImportResult ListIsoDirectory(TMedium& m, uint32_t lba, uint32_t length, bool joliet,
                               std::vector<TEntry>& out);

// ---- UDF ----

struct TUdfVolume {
  uint32_t PartitionStart = 0;
  uint32_t PartitionLength = 0;
  uint32_t RootIcb = 0;  // block of the root folder's file entry
};

// The anchor at start + 256, the descriptor sequence it leads to (the reserve copy when the main
// one is unusable), the partition and the file set. NoUdf when there is no anchor at all.
TImportResult OpenUdfVolume(TMedium& m, uint32_t start, TUdfVolume& v);
// The entries of the folder whose file entry is at block icb.
TImportResult ListUdfDirectory(TMedium& m, const TUdfVolume& v, uint32_t icb,
                               std::vector<TEntry>& out);
// Reads a file's entry: its size, data extents and date (e.Ref is its block).
TImportResult ResolveUdfFile(TMedium& m, const TUdfVolume& v, TEntry& e);

// ---- Pairing the same folder in two trees ----

// For every entry of `b`, the index of the entry of `a` it is the same file or folder as, or -1.
// Entries pair by name when the name is unique on both sides, files then by their data (b's
// unresolved files are resolved first), and the rest in recorded order when both sides have as
// many of a kind left.
TImportResult PairEntries(const std::vector<TImportedNode>& a, std::vector<TEntry>& b,
                          const std::function<TImportResult(TEntry&)>& resolve,
                          std::vector<int32_t>& partner);
// The name with a version suffix (";1") and one trailing dot removed, ASCII letters upper-cased:
// the form under which names of different trees compare.
std::u16string PairingKey(std::u16string_view name);

}  // namespace sessionread
