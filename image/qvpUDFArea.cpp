// The UDF area, produced on demand: the file entries and identifier streams follow the same
// depth-first walk as the layout, one sector at a time, with no memory beyond the tree.
#include "image/qvpUDFArea.h"

#include <algorithm>
#include <cstring>

#include "image/qvpECMA_167.h"
#include "image/qvpImportTypes.h"
#include "image/qvpOSTA_UDF_150.h"
#include "image/qvpUDFBridge.h"
#include "image/qvpUDFTime.h"
#include "image/qvpUDFUtils.h"

namespace img {

namespace {

// Allocation descriptors of one run from ad on, within the room of the entry; returns the end.
uint8_t* PutRun(uint8_t* ad, const uint8_t* end, uint32_t position, uint64_t length) {
  if (length <= kShortAdMaxLength) {
    if (ad + 8 > end) return ad;
    EcmaPutShortAd(ad, static_cast<uint32_t>(length), position);
    return ad + 8;
  }
  while (length > 0 && ad + 8 <= end) {
    const uint32_t len = static_cast<uint32_t>(std::min<uint64_t>(length, kUdfMaxExtentLength));
    EcmaPutShortAd(ad, len, position);
    ad += 8;
    position += kUdfMaxExtentLength / kUdfSectorSize;
    length -= len;
  }
  return ad;
}

void WriteEntry(uint8_t* s, const TUdfTimestamp& time, uint32_t location, uint8_t fileType,
                uint16_t linkCount, uint64_t informationLength, uint64_t uniqueId,
                const TUdfRun* runs, uint32_t runCount, uint32_t position) {
  std::memset(s, 0, kUdfSectorSize);
  EcmaPutIcbTag(s + 16, fileType, 0);
  UdfPut32(s + 36, 0xFFFFFFFF);  // uid
  UdfPut32(s + 40, 0xFFFFFFFF);  // gid
  UdfPut32(s + 44, 0x14A5);      // read and execute for owner, group and others
  UdfPut16(s + 48, linkCount);
  UdfPut64(s + 56, informationLength);
  UdfPut64(s + 64, UdfSectors(informationLength));  // logical blocks recorded
  UdfPutTimestamp(s + 72, time);                    // access
  UdfPutTimestamp(s + 84, time);                    // modification
  UdfPutTimestamp(s + 96, time);                    // attribute
  UdfPut32(s + 108, 1);                             // checkpoint
  OstaPutImplementationId(s + 128);
  UdfPut64(s + 160, uniqueId);
  UdfPut32(s + 168, 0);  // length of extended attributes
  UdfPut32(s + 172, kUdfMaxAllocationDescriptors * 8);
  uint8_t* ad = s + 176;
  const uint8_t* end = ad + kUdfMaxAllocationDescriptors * 8;
  if (runs == nullptr) {
    ad = PutRun(ad, end, position, informationLength);
  } else {
    for (uint32_t i = 0; i < runCount; ++i) ad = PutRun(ad, end, runs[i].Position, runs[i].Length);
  }
  EcmaWriteTagZeroTail(s, kTagFileEntry, location, kUdfSectorSize - 16, ad - s);
}

}  // namespace

void UdfWriteFileEntry(uint8_t* s, const TUdfTimestamp& time, uint32_t location, uint8_t fileType,
                       uint16_t linkCount, uint64_t informationLength, uint64_t uniqueId,
                       uint32_t position) {
  WriteEntry(s, time, location, fileType, linkCount, informationLength, uniqueId, nullptr, 0,
             position);
}

void UdfWriteFileEntry(uint8_t* s, const TUdfTimestamp& time, uint32_t location, uint8_t fileType,
                       uint16_t linkCount, uint64_t informationLength, uint64_t uniqueId,
                       const TUdfRun* runs, uint32_t runCount) {
  WriteEntry(s, time, location, fileType, linkCount, informationLength, uniqueId, runs, runCount,
             0);
}

uint32_t UdfWriteIdentifier(uint8_t* out, uint32_t location, uint8_t characteristics,
                            std::u16string_view name, uint32_t icbBlock) {
  const uint32_t size = UdfIdentifierSize(static_cast<uint32_t>(name.size()));
  std::memset(out, 0, size);
  UdfPut16(out + 16, 1);  // file version number
  out[18] = characteristics;
  out[19] = static_cast<uint8_t>(UdfCs0Encode(name, out + 38));
  EcmaPutLongAd(out + 20, kUdfSectorSize, icbBlock, 0);
  UdfPut16(out + 36, 0);  // length of implementation use
  EcmaWriteTag(out, kTagFileIdentifier, location, static_cast<uint16_t>(size - 16));
  return size;
}

namespace {

uint32_t FilePosition(const TUdfState& u, const TFileNode& e) {
  if (e.Size == 0) return 0;
  if (e.FixedExtent) return e.Extent - 257;
  return UdfBlock(u, u.DataStart + e.Extent);
}

// Phase 0: the directory's file entry; its stream then opens with the parent identifier.
void WriteDirectoryEntry(TImageBuilder& b, uint8_t* s) {
  TUdfState& u = b.Udf;
  TDirNode* dir = u.CurrentDir;
  const uint64_t id = dir == b.Root ? 0 : u.NextUniqueId++;
  UdfWriteFileEntry(s, u.RecordingTime, UdfBlock(u, dir->UdfFileEntrySector), kFileTypeDirectory,
                    dir->UdfLinkCount, dir->UdfInfoLength, id, UdfBlock(u, dir->UdfIdentSector));
  u.IdentSectorIndex = 0;
  u.IdentBytesUsed = 0;
  u.ListExhausted = false;
  u.CarryLength =
      UdfWriteIdentifier(u.CarryBytes, UdfBlock(u, dir->UdfIdentSector), kFidDirectory | kFidParent,
                         {}, UdfBlock(u, dir->Parent->UdfFileEntrySector));
  u.CarryOffset = 0;
  u.CarryPending = true;
  dir->UdfStreamEntry = dir->FirstEntry;
  u.Phase = 1;
}

// Phase 1: one sector of the directory's identifier stream.
void WriteIdentifierSector(TImageBuilder& b, uint8_t* s) {
  TUdfState& u = b.Udf;
  TDirNode* dir = u.CurrentDir;
  std::memset(s, 0, kUdfSectorSize);
  const uint32_t location = UdfBlock(u, dir->UdfIdentSector + u.IdentSectorIndex);
  uint32_t used = 0;
  for (;;) {
    if (u.CarryPending) {
      const uint32_t n = std::min(u.CarryLength - u.CarryOffset, kUdfSectorSize - used);
      std::memcpy(s + used, u.CarryBytes + u.CarryOffset, n);
      used += n;
      u.CarryOffset += n;
      if (u.CarryOffset < u.CarryLength) break;  // the rest opens the next sector
      u.CarryPending = false;
    }
    TFileNode* e = dir->UdfStreamEntry;
    if (used == kUdfSectorSize || !e) break;
    dir->UdfStreamEntry = e->Next;
    const uint32_t icb =
        UdfBlock(u, e->SubDir ? e->SubDir->UdfFileEntrySector : e->UdfFileEntrySector);
    u.CarryLength = UdfWriteIdentifier(u.CarryBytes, location, e->SubDir ? kFidDirectory : 0,
                                       UdfEntryName(*e), icb);
    u.CarryOffset = 0;
    u.CarryPending = true;
  }
  ++u.IdentSectorIndex;
  u.IdentBytesUsed = used;
  u.ListExhausted = !u.CarryPending && !dir->UdfStreamEntry;
  if (u.ListExhausted) {
    dir->UdfStreamEntry = dir->FirstEntry;
    u.Phase = 2;
  }
}

// Writes the next sector; false when the walk has finished.
bool ProduceSector(TImageBuilder& b, uint8_t* s) {
  TUdfState& u = b.Udf;
  while (!u.Finished) {
    TDirNode* dir = u.CurrentDir;
    if (u.Phase == 0) {
      WriteDirectoryEntry(b, s);
      return true;
    }
    if (u.Phase == 1) {
      WriteIdentifierSector(b, s);
      return true;
    }
    TFileNode* e = dir->UdfStreamEntry;
    if (!e) {
      if (dir == b.Root) {
        u.Finished = true;
        break;
      }
      u.CurrentDir = dir->Parent;  // continues after the remembered entry
      continue;
    }
    dir->UdfStreamEntry = e->Next;
    if (e->SubDir) {
      u.CurrentDir = e->SubDir;
      u.Phase = 0;
      continue;
    }
    if (const TImportedData* im = ImportedOf(e); im != nullptr && im->ExtentCount > 0) {
      // Data of an earlier session: the partition starts at LBA 257 and reaches over it.
      TUdfRun runs[kUdfMaxAllocationDescriptors];
      const uint32_t n = std::min(im->ExtentCount, kUdfMaxAllocationDescriptors);
      for (uint32_t i = 0; i < n; ++i)
        runs[i] = {im->Extents[i].Lba - kUdfPartitionStart, im->Extents[i].Length};
      UdfWriteFileEntry(s, u.RecordingTime, UdfBlock(u, e->UdfFileEntrySector), kFileTypeFile, 1,
                        e->Size, u.NextUniqueId++, runs, n);
      return true;
    }
    UdfWriteFileEntry(s, u.RecordingTime, UdfBlock(u, e->UdfFileEntrySector), kFileTypeFile, 1,
                      e->Size, u.NextUniqueId++, FilePosition(u, *e));
    return true;
  }
  return false;
}

}  // namespace

void UdfStreamStart(TImageBuilder& b) {
  TUdfState& u = b.Udf;
  u.CurrentDir = b.Root;
  u.Phase = 0;
  u.IdentBytesUsed = 0;
  u.IdentSectorIndex = 0;
  u.CarryOffset = 0;
  u.CarryLength = 0;
  u.ListExhausted = false;
  u.CarryPending = false;
  u.Finished = b.Root == nullptr;
  u.NextUniqueId = 16;
}

void ProduceUdfArea(TImageBuilder& b, uint8_t* dest, uint32_t sectors) {
  for (uint32_t i = 0; i < sectors; ++i) {
    uint8_t* s = dest + size_t{i} * kUdfSectorSize;
    if (!ProduceSector(b, s)) std::memset(s, 0, kUdfSectorSize);
  }
}

}  // namespace img
