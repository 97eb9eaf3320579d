// Layout of the UDF bridge and the fixed structures rendered with the metadata.
#include "image/qvpUDFBridge.h"

#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "image/qvpECMA_167.h"
#include "image/qvpOSTA_UDF_150.h"
#include "image/qvpTreeTypes.h"
#include "image/qvpUDFArea.h"
#include "image/qvpUDFTime.h"
#include "image/qvpUDFUnicode.h"
#include "image/qvpUDFUtils.h"
#include "platform/Text.h"

namespace img {

namespace {

// The volume identifier keeps 15 characters: compression byte and 30 bytes fit the 31 bytes
// that every field holding it can take.
constexpr size_t kVolumeIdChars = 15;

struct TNoCaseHash {
  size_t operator()(std::u16string_view s) const { return plat::HashNoCase(s); }
};
struct TNoCaseEqual {
  bool operator()(std::u16string_view a, std::u16string_view b) const {
    return plat::EqualsNoCase(a, b);
  }
};

// Names longer than an identifier can hold are cut, in the UDF copy of the name, so that they
// stay unique (ignoring case) among the names of their folder. Folders without such names cost
// one pass over their entries.
void CutLongNames(TDirNode* dir) {
  bool any = false;
  for (TFileNode* e = dir->FirstEntry; e && !any; e = e->Next)
    any = e->LongNameLen > kUdfMaxNameLength;
  if (!any) return;
  std::unordered_set<std::u16string_view, TNoCaseHash, TNoCaseEqual> taken;
  for (TFileNode* e = dir->FirstEntry; e; e = e->Next)
    if (e->LongNameLen <= kUdfMaxNameLength) taken.insert(UdfEntryName(*e));
  for (TFileNode* e = dir->FirstEntry; e; e = e->Next) {
    if (e->LongNameLen <= kUdfMaxNameLength) continue;
    const std::u16string_view full(e->LongName, e->LongNameLen);
    for (uint32_t attempt = 0;; ++attempt) {
      const std::u16string cut = UdfShortenName(full, attempt);
      if (taken.count(cut)) continue;
      // The UDF copy has room for the whole name and its terminator; the cut one is shorter.
      std::memcpy(e->LongName2, cut.data(), cut.size() * sizeof(char16_t));
      e->LongName2[cut.size()] = 0;
      taken.insert(std::u16string_view(e->LongName2, cut.size()));
      break;
    }
  }
}

// Step 1 of the walk: counts, link count, stream length, and the directory's two places.
uint32_t EnterDirectory(TImageBuilder& b, TDirNode* dir, uint32_t cursor) {
  CutLongNames(dir);
  dir->UdfLinkCount = 1;
  dir->UdfInfoLength = kUdfParentIdentifierSize;
  for (TFileNode* e = dir->FirstEntry; e; e = e->Next) {
    if (e->SubDir) {
      ++dir->UdfLinkCount;
      ++b.Udf.DirectoryCount;
    } else {
      ++b.Udf.FileCount;
    }
    dir->UdfInfoLength += UdfIdentifierSize(static_cast<uint32_t>(UdfEntryName(*e).size()));
  }
  dir->UdfFileEntrySector = cursor++;
  dir->UdfIdentSector = cursor;
  cursor += static_cast<uint32_t>(UdfSectors(dir->UdfInfoLength));
  dir->UdfStreamEntry = dir->FirstEntry;
  return cursor;
}

std::u16string_view VolumeIdWideOf(const TImageBuilder& b) {
  size_t n = 0;
  while (n < std::size(b.VolumeIdWide) && b.VolumeIdWide[n]) ++n;
  return {b.VolumeIdWide, n};
}

void PutVolumeId(const TImageBuilder& b, uint8_t* field, size_t fieldLength) {
  UdfPutDString(field, fieldLength, b.Udf.VolumeId, b.Udf.VolumeIdLength);
}

// Primary volume descriptor of one sequence copy.
void RenderPrimaryVolume(const TImageBuilder& b, uint8_t* d, uint32_t location) {
  static const uint8_t kVolumeSetId[] = {8, '0', 'C', 'F', 'E', '9', '0', 'C', 'B'};
  UdfPut32(d + 16, 1);  // descriptor sequence number
  UdfPut32(d + 20, 0);  // primary volume descriptor number
  PutVolumeId(b, d + 24, 32);
  UdfPut16(d + 56, 1);  // volume sequence number
  UdfPut16(d + 58, 1);  // maximum volume sequence number
  UdfPut16(d + 60, 2);  // interchange level
  UdfPut16(d + 62, 3);  // maximum interchange level
  UdfPut32(d + 64, 1);  // character set list
  UdfPut32(d + 68, 1);  // maximum character set list
  UdfPutDString(d + 72, 128, kVolumeSetId, sizeof kVolumeSetId);
  OstaPutCharspec(d + 200);  // descriptor character set
  OstaPutCharspec(d + 264);  // explanatory character set
  UdfPutTimestamp(d + 376, b.Udf.RecordingTime);
  OstaPutImplementationId(d + 388);
  EcmaWriteTag(d, kTagPrimaryVolume, location, 496);
}

void RenderLogicalVolume(const TImageBuilder& b, uint8_t* d, uint32_t location) {
  UdfPut32(d + 16, 2);
  OstaPutCharspec(d + 20);
  PutVolumeId(b, d + 84, 128);
  UdfPut32(d + 212, kUdfSectorSize);
  OstaPutDomainId(d + 216, true);
  EcmaPutLongAd(d + 248, 2 * kUdfSectorSize, b.Udf.UdfBase, 0);  // the file set descriptor
  UdfPut32(d + 264, 6);                                          // map table length
  UdfPut32(d + 268, 1);                                          // one partition map
  OstaPutImplementationId(d + 272);
  EcmaPutExtent(d + 432, kUdfIntegritySectors * kUdfSectorSize,
                b.Udf.UdfBase + kUdfIntegritySector);
  d[440] = 1;            // partition map type 1
  d[441] = 6;            // its length
  UdfPut16(d + 442, 1);  // volume sequence number
  UdfPut16(d + 444, 0);  // partition number
  EcmaWriteTag(d, kTagLogicalVolume, location, 430);
}

void RenderPartition(const TImageBuilder& b, uint8_t* d, uint32_t location) {
  UdfPut32(d + 16, 3);
  UdfPut16(d + 20, 1);  // flags: space allocated
  UdfPut16(d + 22, 0);  // partition number
  OstaPutNsrContents(d + 24);
  UdfPut32(d + 184, 1);  // access type: read only
  UdfPut32(d + 188, kUdfPartitionStart);
  UdfPut32(d + 192, b.Udf.UdfBase + b.Udf.PartitionLength);
  OstaPutImplementationId(d + 196);
  EcmaWriteTag(d, kTagPartition, location, 496);
}

void RenderImplementationUse(const TImageBuilder& b, uint8_t* d, uint32_t location) {
  UdfPut32(d + 16, 5);
  OstaPutLvInfoId(d + 20);
  OstaPutCharspec(d + 52);
  PutVolumeId(b, d + 116, 128);
  OstaPutImplementationId(d + 352);
  EcmaWriteTag(d, kTagImplementationUse, location, 496);
}

void RenderVolumeSequence(const TImageBuilder& b, uint8_t* d, uint32_t first) {
  RenderPrimaryVolume(b, d, first);
  RenderLogicalVolume(b, d + kUdfSectorSize, first + 1);
  RenderPartition(b, d + 2 * kUdfSectorSize, first + 2);
  uint8_t* u = d + 3 * kUdfSectorSize;
  UdfPut32(u + 16, 4);  // unallocated space: sequence number 4, no descriptors
  EcmaWriteTag(u, kTagUnallocatedSpace, first + 3, 8);
  RenderImplementationUse(b, d + 4 * kUdfSectorSize, first + 4);
  EcmaWriteTag(d + 5 * kUdfSectorSize, kTagTerminating, first + 5, 496);
}

}  // namespace

void UdfLayoutStart(TImageBuilder& b, uint32_t vrsStart) {
  TUdfState& u = b.Udf;
  u.RecordingTime = UdfTimestampNow();
  u.DirectoryCount = 1;
  u.FileCount = 0;
  u.AreaSectors = 0;
  u.NextUniqueId = 16;
  u.VrsStart = vrsStart;
  u.MainVdsStart = kUdfMainVdsSector;
  u.ReserveVdsStart = kUdfReserveVdsSector;
  u.IntegrityStart = kUdfIntegritySector;
  u.AnchorSector = kUdfAnchorSector;
  u.PartitionStart = kUdfPartitionStart;
  u.FileSetSector = kUdfPartitionStart;
  const std::u16string_view wide = VolumeIdWideOf(b);
  uint8_t cs0[2 * kVolumeIdChars + 1];
  u.VolumeIdLength =
      static_cast<uint8_t>(UdfCs0Encode(wide.substr(0, UdfCutLength(wide, kVolumeIdChars)), cs0));
  std::memset(u.VolumeId, 0, sizeof u.VolumeId);
  std::memcpy(u.VolumeId, cs0, u.VolumeIdLength);
}

uint32_t UdfLayoutArea(TImageBuilder& b, uint32_t firstSector) {
  TUdfState& u = b.Udf;
  u.DirectoryCount = 1;
  u.FileCount = 0;
  u.AreaStart = firstSector;
  uint32_t cursor = firstSector;
  TDirNode* dir = b.Root;
  if (dir) cursor = EnterDirectory(b, dir, cursor);
  while (dir) {
    TFileNode* e = dir->UdfStreamEntry;
    while (e && !e->SubDir) {
      e->UdfFileEntrySector = cursor++;
      e = e->Next;
    }
    if (e) {
      dir->UdfStreamEntry = e->Next;
      dir = e->SubDir;
      cursor = EnterDirectory(b, dir, cursor);
    } else {
      dir = dir == b.Root ? nullptr : dir->Parent;
    }
  }
  u.LayoutCursor = cursor;
  u.AreaSectors = cursor - firstSector;
  return u.AreaSectors;
}

void UdfLayoutFinish(TImageBuilder& b, uint32_t dataStart, uint32_t lastSector) {
  b.Udf.DataStart = dataStart;
  b.Udf.LastSector = lastSector;
  b.Udf.PartitionLength = lastSector - kUdfPartitionStart;
  UdfStreamStart(b);
}

uint32_t UdfVolumeStructureSectors(const TImageBuilder& b) { return kUdfFixedEnd - b.Udf.VrsStart; }

void RenderUdfVolumeStructures(const TImageBuilder& b, uint8_t* dest) {
  const uint32_t vrs = b.Udf.VrsStart;
  std::memset(dest, 0, size_t{UdfVolumeStructureSectors(b)} * kUdfSectorSize);
  auto at = [&](uint32_t sector) { return dest + size_t{sector - vrs} * kUdfSectorSize; };
  RenderUdfVolumeRecognition(b, at(vrs));
  RenderUdfVolumeDescriptors(b, at(kUdfMainVdsSector));
  RenderUdfIntegrity(b, at(kUdfIntegritySector));
  WriteAnchor(b, at(kUdfAnchorSector), kUdfAnchorSector);
  RenderUdfFileSet(b, at(kUdfPartitionStart));
}

void RenderUdfVolumeRecognition(const TImageBuilder&, uint8_t* dest) {
  EcmaPutVolumeStructure(dest, "BEA01");
  EcmaPutVolumeStructure(dest + kUdfSectorSize, "NSR02");
  EcmaPutVolumeStructure(dest + 2 * kUdfSectorSize, "TEA01");
}

void RenderUdfVolumeDescriptors(const TImageBuilder& b, uint8_t* dest) {
  std::memset(dest, 0, size_t{kUdfVdsSectors} * kUdfSectorSize);
  RenderVolumeSequence(b, dest, b.Udf.UdfBase + kUdfMainVdsSector);
  RenderVolumeSequence(b, dest + size_t{kUdfVdsSectors / 2} * kUdfSectorSize,
                       b.Udf.UdfBase + kUdfReserveVdsSector);
}

void RenderUdfIntegrity(const TImageBuilder& b, uint8_t* dest) {
  const TUdfState& u = b.Udf;
  std::memset(dest, 0, size_t{kUdfIntegritySectors} * kUdfSectorSize);
  UdfPutTimestamp(dest + 16, u.RecordingTime);
  UdfPut32(dest + 28, 1);                                              // integrity type: close
  UdfPut64(dest + 40, 16 + uint64_t{u.DirectoryCount} + u.FileCount);  // next unique ID
  UdfPut32(dest + 72, 1);                                              // number of partitions
  UdfPut32(dest + 76, 48);                             // length of implementation use
  UdfPut32(dest + 80, 0);                              // free space
  UdfPut32(dest + 84, u.UdfBase + u.PartitionLength);  // size
  OstaPutImplementationId(dest + 88);
  UdfPut32(dest + 120, u.FileCount);
  UdfPut32(dest + 124, u.DirectoryCount);
  UdfPut16(dest + 128, kUdfRevision);  // minimum read revision
  UdfPut16(dest + 130, kUdfRevision);  // minimum write revision
  UdfPut16(dest + 132, kUdfRevision);  // maximum write revision
  EcmaWriteTag(dest, kTagIntegrity, u.UdfBase + kUdfIntegritySector, 120);
  EcmaWriteTag(dest + kUdfSectorSize, kTagTerminating, u.UdfBase + kUdfIntegritySector + 1, 496);
}

void RenderUdfFileSet(const TImageBuilder& b, uint8_t* dest) {
  const TUdfState& u = b.Udf;
  std::memset(dest, 0, size_t{kUdfFileSetSectors} * kUdfSectorSize);
  UdfPutTimestamp(dest + 16, u.RecordingTime);
  UdfPut16(dest + 28, 3);  // interchange level
  UdfPut16(dest + 30, 3);  // maximum interchange level
  UdfPut32(dest + 32, 1);  // character set list
  UdfPut32(dest + 36, 1);  // maximum character set list
  OstaPutCharspec(dest + 48);
  PutVolumeId(b, dest + 112, 128);
  OstaPutCharspec(dest + 240);
  PutVolumeId(b, dest + 304, 32);
  EcmaPutLongAd(dest + 400, kUdfSectorSize,
                UdfBlock(b.Udf, b.Root ? b.Root->UdfFileEntrySector : 0), 0);
  OstaPutDomainId(dest + 416, false);
  EcmaWriteTag(dest, kTagFileSet, UdfBlock(b.Udf, kUdfPartitionStart), 496);
  EcmaWriteTag(dest + kUdfSectorSize, kTagTerminating, UdfBlock(b.Udf, kUdfPartitionStart + 1),
               496);
}

void WriteMediumFileSet(const TImageBuilder& b, uint8_t* sector) {
  uint8_t fileSet[kUdfFileSetSectors * kUdfSectorSize];
  RenderUdfFileSet(b, fileSet);
  std::memcpy(sector, fileSet, kUdfSectorSize);
  EcmaWriteTag(sector, kTagFileSet, 0, 496);
}

void WriteAnchor(const TImageBuilder& b, uint8_t* sector, uint32_t location) {
  std::memset(sector, 0, kUdfSectorSize);
  EcmaPutExtent(sector + 16, kUdfVdsSectors / 2 * kUdfSectorSize,
                b.Udf.UdfBase + kUdfMainVdsSector);
  EcmaPutExtent(sector + 24, kUdfVdsSectors / 2 * kUdfSectorSize,
                b.Udf.UdfBase + kUdfReserveVdsSector);
  EcmaWriteTag(sector, kTagAnchor, b.Udf.UdfBase + location, 496);
}

}  // namespace img
