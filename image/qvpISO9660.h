#pragma once
// Layout and rendering of the image's fixed structures: PrepareImage assigns every sector
// (descriptors, path tables, directory extents, boot catalogue and image, UDF area, file data);
// RenderMetadata then writes everything before the boot image / UDF area / file data into the
// metadata buffer, whole sectors at a time, through Append.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/qvpImportTypes.h"
#include "image/qvpTreeTypes.h"

namespace img {

// Lays the compilation out and returns the sectors to write: DataStart + DataSectors, plus 1
// with the UDF bridge (the closing anchor). TotalSectors, a multiple of 32, is what the
// descriptors record.
uint32_t PrepareImage(TImageBuilder& b);

// Renders the metadata (sectors 0 up to MetadataSectors) into MetadataBuffer. False when the
// layout does not match the tree.
bool RenderMetadata(TImageBuilder& b);
// Releases the rendered metadata once it has been streamed.
void ReleaseMetadata(TImageBuilder& b);

// Copies count bytes to the metadata buffer at the write position and advances it.
void Append(TImageBuilder& b, const void* bytes, size_t count);
// Appends count zero bytes (from ZeroBlock).
void AppendZeros(TImageBuilder& b, size_t count);

// ---- Names (part of PrepareImage) ----
// Makes the primary tree's identifiers unique in every folder: the later entry of a clash gets
// an identifier of its own in IsoName (see IsoIdentifier).
void AssignIsoNames(TImageBuilder& b);

// ---- Ordering (part of PrepareImage) ----
// Puts the directories into path-table order (numbering them) and sorts every directory's
// entries by short name; records the number of ordering rounds in b.OrderRounds.
void OrderTree(TImageBuilder& b);

// ---- Sizes shared by the layout and the writers ----
// Largest data length one directory record can carry: 4 GiB - 2048 bytes.
constexpr uint64_t kMaxExtentBytes = 0xFFFFF800ull;
// Directory records (extents) a file needs: 1 below 4 GiB; an imported file keeps its own.
inline uint32_t ExtentCount(const TFileNode* e) {
  if (const TImportedData* im = ImportedOf(e); im != nullptr)
    return std::max<uint32_t>(im->ExtentCount, 1);
  if (e->SubDir != nullptr || e->Size <= kMaxExtentBytes) return 1;
  return static_cast<uint32_t>((e->Size + kMaxExtentBytes - 1) / kMaxExtentBytes);
}
// Bytes of one directory extent: records never cross a sector, "." and ".." take 68 bytes.
// recordLength gives each entry's record length (every extent of a file has one record).
template <typename F>
uint32_t DirectoryBytes(const TDirNode* d, F recordLength) {
  uint32_t sectors = 1;
  uint32_t freeBytes = kSectorSize - 68;
  for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    const uint32_t r = recordLength(e);
    for (uint32_t i = ExtentCount(e); i > 0; --i) {
      if (r > freeBytes) {
        ++sectors;
        freeBytes = kSectorSize - r;
      } else {
        freeBytes -= r;
      }
    }
  }
  return sectors * kSectorSize;
}
// The identifier the primary tree records for an entry or a directory: the short name upper-
// cased (an imported entry's identifier as it was recorded), or with ISO 9660:1999 the long name
// (one byte per character, case kept).
std::string IsoIdentifier(const TImageBuilder& b, const TFileNode* e);
std::string IsoIdentifier(const TImageBuilder& b, const TDirNode* d);
inline uint32_t IsoRecordLength(uint32_t identLen) {
  return 33 + identLen + ((identLen & 1) == 0 ? 1 : 0);
}

// ---- ISO 9660 writers (append whole structures) ----
void WritePrimaryDescriptor(TImageBuilder& b);
void WriteIso1999Descriptor(TImageBuilder& b);
void WriteTerminator(TImageBuilder& b);
void WritePathTables(TImageBuilder& b);   // L table, then M table
void WriteDirectories(TImageBuilder& b);  // every directory, creation order

// ---- Joliet ----
// Longest Joliet name a directory record can hold (34 + 2 x 110 = 254 bytes).
constexpr uint32_t kMaxJolietName = 110;
// Gives every entry whose long name is too long for a Joliet record a cut name, unique within
// its folder (kept in JolietName); clears it for the others.
void AssignJolietNames(TImageBuilder& b);
std::u16string_view JolietIdentifier(const TFileNode* e);
std::u16string_view JolietIdentifier(const TDirNode* d);
void WriteJolietDescriptor(TImageBuilder& b);
void WriteJolietPathTables(TImageBuilder& b);
void WriteJolietDirectories(TImageBuilder& b);

// ---- El Torito ----
void WriteBootRecord(TImageBuilder& b);
void WriteBootCatalog(TImageBuilder& b);

// ---- Shared by the writers ----
// Descriptor type, "CD001", version.
void PutDescriptorHead(uint8_t* s, uint8_t type, uint8_t version);
// Volume space size, set size, sequence number, block size, path table size and places, root
// directory record (bytes 80 to 189 of a volume descriptor).
void PutVolumeDescriptorFields(const TImageBuilder& b, uint8_t* s, uint32_t pathTableSize,
                               uint32_t lTable, uint32_t mTable, uint32_t rootExtent,
                               uint32_t rootSize);
// L and M path table of the primary or the Joliet tree.
void WritePathTableSet(TImageBuilder& b, uint32_t area, bool joliet);
// Directory extents of every directory, primary or Joliet tree.
void WriteDirectoryExtents(TImageBuilder& b, bool joliet);

// ---- Directory records ----
// Builds one directory record into rec (at least 255 bytes) and returns its length.
struct TRecordDate {
  const plat::TSystemTime* Time = nullptr;  // null: all-zero date
  int8_t Offset = 0;
};
size_t BuildDirectoryRecord(uint8_t* rec, uint32_t extent, uint32_t length, TRecordDate date,
                            uint8_t flags, const uint8_t* ident, uint8_t identLen);

}  // namespace img
