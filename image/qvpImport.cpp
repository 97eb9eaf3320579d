#include "image/qvpImport.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "image/qvpClassesW.h"
#include "image/qvpTree.h"
#include "image/qvpUDFBridge.h"
#include "platform/Files.h"

const char* ImportResultText(TImportResult r) {
  switch (r) {
    case TImportResult::Imported:
      return "The previous session was imported";
    case TImportResult::NothingToImport:
      return "The medium holds no previous session";
    case TImportResult::DiscClosed:
      return "The medium is closed";
    case TImportResult::NoVolume:
      return "The last session holds no ISO 9660 file system";
    case TImportResult::NoJoliet:
      return "The last session has no Joliet file system";
    case TImportResult::NoIso1999:
      return "The last session has no ISO 9660:1999 file system";
    case TImportResult::NoUdf:
      return "The last session has no UDF file system";
    case TImportResult::Damaged:
      return "The file system of the last session is damaged";
    case TImportResult::Unsupported:
      return "The file system of the last session cannot be continued";
    case TImportResult::TooLarge:
      return "Too many files and folders";
    case TImportResult::ReadError:
      return "The last session cannot be read";
    case TImportResult::Aborted:
      return "Aborted";
    case TImportResult::NoImage:
      return "The image file cannot be opened";
  }
  return "";
}

namespace {

plat::TSystemTime DateOf(const uint8_t* d) {
  plat::TSystemTime t;
  if (std::all_of(d, d + 6, [](uint8_t x) { return x == 0; })) return t;  // not recorded
  t.Year = static_cast<uint16_t>(1900 + d[0]);
  t.Month = d[1];
  t.Day = d[2];
  t.Hour = d[3];
  t.Minute = d[4];
  t.Second = d[5];
  return t;
}

// Counts what an import may add and whether its data is all where the UDF partition reaches.
void Survey(const TImportedNode& n, uint32_t& entries, uint32_t& dirs, bool& belowPartition) {
  for (const TImportedNode& c : n.Children) {
    ++entries;
    if (c.Directory) ++dirs;
    for (const TImportedExtent& x : c.Extents) belowPartition |= x.Lba < kUdfPartitionStart;
    Survey(c, entries, dirs, belowPartition);
  }
}

class TMerger {
 public:
  explicit TMerger(TImageBuilder& b) : b_(b) {}

  void Merge(TDirNode* dir, const TImportedNode& node) {
    // Generated 8.3 names avoid the recorded ones of the same folder.
    plat::TShortNameGenerator names;
    for (const TImportedNode& c : node.Children) {
      names.Reserve(std::u16string(c.IsoName.begin(), c.IsoName.end()));
    }
    for (const TImportedNode& c : node.Children) {
      plat::TFindData fd;
      fd.FileAttributes = c.Directory ? plat::kAttrDirectory : plat::kAttrArchive;
      fd.FileSizeHigh = static_cast<uint32_t>(c.Size >> 32);
      fd.FileSizeLow = static_cast<uint32_t>(c.Size);
      std::u16string_view name = c.LongName;
      if (name.size() > kMaxLongName) {
        size_t keep = kMaxLongName;
        if (name[keep - 1] >= 0xD800 && name[keep - 1] < 0xDC00) --keep;  // a whole surrogate pair
        name = name.substr(0, keep);
      }
      name.copy(fd.FileName, 259);
      if (c.IsoName.empty()) names.Next(name).copy(fd.AlternateFileName, 13);
      if (c.Directory) {
        const uint32_t before = b_.DirCount;
        TDirNode* d = AddSubdirectory(b_, dir, fd);
        if (d == nullptr) continue;  // a file of the compilation has the name
        if (b_.DirCount != before) {
          Take(d->Entry, c);
          if (!c.IsoName.empty()) {
            const size_t n = std::min(c.IsoName.size(), sizeof d->ShortName - 1);
            std::memcpy(d->ShortName, c.IsoName.data(), n);
            d->ShortName[n] = 0;
            d->ShortNameLen = static_cast<uint8_t>(n);
          }
        }
        Merge(d, c);
      } else {
        const uint32_t before = b_.EntryCount;
        TFileNode* e = AddEntry(b_, dir, fd, false, 0, nullptr);
        if (IsEntry(e) && b_.EntryCount != before) Take(e, c);
      }
    }
  }

 private:
  // The recorded names, date, attributes and extents of an imported entry.
  void Take(TFileNode* e, const TImportedNode& c) {
    TTreeArena& arena = b_.Store->Arena;
    auto* im =
        static_cast<TImportedData*>(arena.Allocate(sizeof(TImportedData), alignof(TImportedData)));
    if (!c.IsoName.empty()) {
      const size_t n = std::min<size_t>(c.IsoName.size(), 255);
      char* iso = static_cast<char*>(arena.Allocate(n + 1, 1));
      std::memcpy(iso, c.IsoName.data(), n);
      im->IsoName = iso;
      im->IsoNameLen = static_cast<uint8_t>(n);
      // The short name orders the records; it holds what fits of the recorded one.
      const size_t s = std::min(n, sizeof e->ShortName - 1);
      std::memcpy(e->ShortName, iso, s);
      e->ShortName[s] = 0;
      e->ShortNameLen = static_cast<uint8_t>(s);
    }
    if (!c.JolietName.empty()) {
      const size_t n = std::min<size_t>(c.JolietName.size(), 127);
      im->JolietName = arena.NewText(std::u16string_view(c.JolietName).substr(0, n), n + 1);
      im->JolietNameLen = static_cast<uint8_t>(n);
    }
    if (!c.Extents.empty()) {
      auto* x = static_cast<TImportedExtent*>(
          arena.Allocate(c.Extents.size() * sizeof(TImportedExtent), alignof(TImportedExtent)));
      std::copy(c.Extents.begin(), c.Extents.end(), x);
      im->Extents = x;
      im->ExtentCount = static_cast<uint32_t>(c.Extents.size());
    }
    e->Imported = im;
    e->FixedExtent = 1;
    e->Extent = c.Extents.empty() ? 0 : c.Extents.front().Lba;
    e->Size = c.Size;
    e->ModTime = DateOf(c.Date);
    e->GmtOffset = static_cast<int8_t>(c.Date[6]);
    e->Attributes = c.Hidden      ? plat::kAttrHidden
                    : c.Directory ? plat::kAttrDirectory
                                  : plat::kAttrArchive;
  }

  TImageBuilder& b_;
};

}  // namespace

TImportResult MergeImportedSession(TImageBuilder& b, const TImportedSession& s) {
  if (b.Root == nullptr) return TImportResult::TooLarge;
  uint32_t entries = 0, dirs = 0;
  bool belowPartition = false;
  Survey(s.Root, entries, dirs, belowPartition);
  if (uint64_t{b.EntryCount} + entries > kMaxEntries || uint64_t{b.DirCount} + dirs > kMaxDirs)
    return TImportResult::TooLarge;
  if (b.UDFBridge && belowPartition) return TImportResult::Unsupported;
  // Imported entries are neither offered to the handler nor put over the compilation's own.
  const TAddFileEvent handler = std::exchange(b.OnAddFile, TAddFileEvent{});
  const uint8_t replace = std::exchange(b.ReplaceFile, uint8_t{0});
  const uint8_t merging = std::exchange(b.MergingSession, uint8_t{1});
  TMerger(b).Merge(b.Root, s.Root);
  b.OnAddFile = handler;
  b.ReplaceFile = replace;
  b.MergingSession = merging;
  return TImportResult::Imported;
}

bool HasImportedEntries(const TImageBuilder& b) {
  return std::any_of(b.Entries.begin(), b.Entries.end(),
                     [](const TFileNode* e) { return ImportedOf(e) != nullptr; });
}
