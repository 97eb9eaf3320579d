#pragma once
// The image record: the compilation tree (files and folders with their names, dates, sizes and
// sources), the layout results that PrepareImage computes from it, and the rendered metadata.
// Nodes and names are taken zero-filled from the tree's own store and live until the next
// ClearCompilation.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/qvpTreeEvents.h"
#include "image/qvpTreeOmitted.h"
#include "image/qvpUDFTypes.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace img {

// Capacities of the tables.
constexpr uint32_t kMaxEntries = 200000;
constexpr uint32_t kMaxDirs = 65000;
// Longest long name the tree accepts (218 is the first length refused).
constexpr uint32_t kMaxLongName = 217;
constexpr uint32_t kSectorSize = 2048;
// Metadata always reaches at least this sector.
constexpr uint32_t kMetadataMinSectors = 150;

struct TDirNode;
struct TImportedData;
class TTreeStore;

// One entry of a directory: a file, or the record that names a subdirectory. The fields are
// ordered for size (a large compilation holds 200,000 of them).
struct TFileNode {
  char16_t* LongName;    // room for LongNameLen + 5 characters
  char16_t* LongName2;   // second copy, used for the UDF names
  char16_t* SourcePath;  // full disk path of the data; null for folders and sourceless entries
  TFileNode* Next;
  TDirNode* SubDir;  // the directory this entry names; null for files
  TDirNode* Owner;   // the directory whose list holds this entry
  // Joliet identifier when the long name had to be cut to fit a record; null otherwise.
  char16_t* JolietName;
  uint64_t Size;
  plat::TSystemTime ModTime;  // local time of the source's last write
  // ISO 9660 level-1 name, one byte per character, NUL-terminated: up to 12 characters plus the
  // dot appended to names without one. Case is kept here and folded when it is recorded.
  char ShortName[16];
  uint32_t Extent;      // relative to DataStart, or absolute when FixedExtent is set
  uint32_t Attributes;  // find record attributes (directory 0x10, hidden 0x02)
  uint32_t UdfFileEntrySector;
  uint32_t NameHash;  // case-insensitive hash of LongName (directory index)
  uint8_t FixedExtent;
  uint8_t ShortNameLen;
  uint8_t LongNameLen;
  uint8_t WideOpen;  // open the source through the wide interface
  // UTC offset in effect at ModTime, in 15-minute units (recorded with the date).
  int8_t GmtOffset;
  uint8_t JolietNameLen;
  // The primary tree's identifier when the layout had to make it unique in its folder (null
  // otherwise; see AssignIsoNames).
  char* IsoName;
  uint8_t IsoNameLen;
  // The source as it was compiled (from the find record; 0 when unknown), so the stream can tell
  // a file that changed or was replaced since.
  uint64_t SourceVolume, SourceId;
  uint64_t SourceWriteTime;
  // Entry taken over from a session already on the medium (see qvpImportTypes.h); null otherwise.
  const TImportedData* Imported;
};

struct TDirNode {
  TDirNode* Parent;       // the root is its own parent
  char16_t* LongName;     // null for the root
  char ShortName[13];     // upper case; "ROOT_DIR" for the root
  uint32_t IsoSize;       // bytes, a multiple of 2048
  uint32_t JolietSize;    // bytes, a multiple of 2048
  uint32_t IsoExtent;     // sector offset inside the ISO directory area
  uint32_t JolietExtent;  // sector offset inside the Joliet directory area
  uint16_t PathTableNumber;
  uint8_t ShortNameLen;
  uint8_t LongNameLen;
  TFileNode* FirstEntry;

  // UDF bridge.
  uint16_t UdfLinkCount;
  uint64_t UdfInfoLength;
  TFileNode* UdfStreamEntry;
  uint32_t UdfFileEntrySector;
  uint32_t UdfIdentSector;

  TFileNode* LastEntry;  // tail of the entry list
  TFileNode* Entry;      // the entry naming this directory in its parent; null for the root
  uint32_t EntryListCount;
};

struct TImageBuilder {
  TImageBuilder();
  ~TImageBuilder();
  TImageBuilder(const TImageBuilder&) = delete;
  TImageBuilder& operator=(const TImageBuilder&) = delete;

  // ---- Compilation tree ----
  std::vector<TFileNode*> Entries;  // creation order
  uint32_t EntryCount = 0;
  std::vector<TDirNode*> Dirs;  // creation order; slot 0 is the root
  uint32_t DirCount = 0;
  std::vector<TDirNode*> PathDirs;  // path-table order, re-sorted by the layout
  TDirNode* Root = nullptr;
  uint8_t ReplaceFile = 0;
  uint8_t LaidOut = 0;
  TAddFileEvent OnAddFile;
  plat::TTimeZoneInfo TimeZone;
  int32_t GmtOffset = 0;  // UTC offset now, 15-minute units (ClearCompilation)
  std::string BootImage;  // path of the El Torito boot image; empty for none
  uint32_t BootImageSize = 0;

  // ---- Options ----
  uint8_t ISO9660FS = 0;  // forced on by PrepareImage
  uint8_t ISO9660v1999FS = 0;
  uint8_t JolietFileSystem = 0;
  uint8_t UDFBridge = 0;
  uint8_t BootImageSet = 0;
  char VolumeId[96] = {};          // system code page, at most 95 bytes
  char16_t VolumeIdWide[32] = {};  // at most 31 units

  // ---- Layout results ----
  uint32_t SessionStart = 0;    // medium LBA of the image's first sector
  uint32_t VolumeSizeBase = 0;  // added to the recorded volume space size
  uint32_t PathTableSize = 0;
  uint32_t LPathTable = 0;
  uint32_t MPathTable = 0;
  uint32_t DirArea = 0;
  uint32_t DirAreaSectors = 0;
  uint32_t JolietPathTableSize = 0;
  uint32_t JolietLPathTable = 0;
  uint32_t JolietMPathTable = 0;
  uint32_t JolietDirArea = 0;
  uint32_t JolietDirAreaSectors = 0;
  uint32_t BootCatalog = 0;
  uint32_t BootImageLba = 0;
  int32_t PaddingCount = 0;
  uint32_t MetadataSectors =
      0;  // sectors RenderMetadata produces (up to boot image, UDF area, data)
  uint32_t DataStart = 0;
  uint32_t DataSectors = 0;
  uint32_t TotalSectors = 0;
  uint32_t OrderRounds = 0;  // rounds the directory order took in the last layout
  std::atomic<uint16_t> Status{0};
  uint8_t ZeroBlock[kSectorSize] = {};

  TUdfState Udf;

  // ---- Rendered metadata ----
  std::vector<uint8_t> MetadataBuffer;
  size_t MetadataPos = 0;  // bytes appended so far

  // Arena of nodes and names, and the case-insensitive name index of the directories.
  std::unique_ptr<TTreeStore> Store;

  // What the insertions left out since ClearCompilation, and how many beyond the listed ones.
  std::vector<TOmittedEntry> Omitted;
  uint32_t OmittedBeyondList = 0;
  // Set while a session already on the medium is merged in: its names meet the compilation's
  // without regard to case (the compilation's entry stands), and what stays out is no omission.
  uint8_t MergingSession = 0;
};

// The result of an insertion that the OnAddFile handler (or a name over 217 characters) left
// out: not an entry, but every caller treats it as success.
TFileNode* SkipMark();
inline bool IsEntry(const TFileNode* n) { return n != nullptr && n != SkipMark(); }

}  // namespace img
