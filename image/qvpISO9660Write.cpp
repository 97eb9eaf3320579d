// Writers of the ISO 9660 structures: volume descriptors, path tables, directory extents. The
// directory extents of the Joliet tree share the record writer below.
#include <algorithm>
#include <cstring>

#include "image/qvpCommonLib.h"
#include "image/qvpISO9660.h"
#include "image/qvpTree.h"

namespace img {

size_t BuildDirectoryRecord(uint8_t* rec, uint32_t extent, uint32_t length, TRecordDate date,
                            uint8_t flags, const uint8_t* ident, uint8_t identLen) {
  const size_t len = IsoRecordLength(identLen);
  std::memset(rec, 0, len);
  rec[0] = static_cast<uint8_t>(len);
  PutBoth32(rec + 2, extent);
  PutBoth32(rec + 10, length);
  if (date.Time != nullptr && date.Time->Year >= 1900) {
    const plat::TSystemTime& t = *date.Time;
    rec[18] = static_cast<uint8_t>(std::min(t.Year - 1900, 255));
    rec[19] = static_cast<uint8_t>(t.Month);
    rec[20] = static_cast<uint8_t>(t.Day);
    rec[21] = static_cast<uint8_t>(t.Hour);
    rec[22] = static_cast<uint8_t>(t.Minute);
    rec[23] = static_cast<uint8_t>(t.Second);
    rec[24] = static_cast<uint8_t>(date.Offset);
  }
  rec[25] = flags;
  PutBoth16(rec + 28, 1);
  rec[32] = identLen;
  if (identLen > 0) std::memcpy(rec + 33, ident, identLen);
  return len;
}

// The fields the primary, ISO 9660:1999 and Joliet descriptors share.
void PutDescriptorHead(uint8_t* s, uint8_t type, uint8_t version) {
  s[0] = type;
  std::memcpy(s + 1, "CD001", 5);
  s[6] = version;
}

void PutVolumeDescriptorFields(const TImageBuilder& b, uint8_t* s, uint32_t pathTableSize,
                               uint32_t lTable, uint32_t mTable, uint32_t rootExtent,
                               uint32_t rootSize) {
  PutBoth32(s + 80, b.TotalSectors + b.VolumeSizeBase);
  PutBoth16(s + 120, 1);
  PutBoth16(s + 124, 1);
  PutBoth16(s + 128, static_cast<uint16_t>(kSectorSize));
  PutBoth32(s + 132, pathTableSize);
  PutLE32(s + 140, lTable + b.SessionStart);
  PutBE32(s + 148, mTable + b.SessionStart);
  const uint8_t rootId = 0;
  BuildDirectoryRecord(s + 156, rootExtent + b.SessionStart, rootSize, {}, 2, &rootId, 1);
}

namespace {

void WriteIsoVolumeDescriptor(TImageBuilder& b, uint8_t type, uint8_t version, bool escape) {
  uint8_t s[kSectorSize] = {};
  PutDescriptorHead(s, type, version);
  const std::string id = RecordedVolumeId(b);
  std::memcpy(s + 40, id.data(), id.size());
  PutVolumeDescriptorFields(b, s, b.PathTableSize, b.LPathTable, b.MPathTable, b.DirArea,
                            b.Root->IsoSize);
  if (escape) {
    s[88] = 0x25;
    s[89] = 0x2F;
    s[90] = 0x40;
  }
  s[881] = version;
  Append(b, s, sizeof s);
}

}  // namespace

void WritePrimaryDescriptor(TImageBuilder& b) {
  WriteIsoVolumeDescriptor(b, 1, 1, !b.ISO9660v1999FS);
}

void WriteIso1999Descriptor(TImageBuilder& b) { WriteIsoVolumeDescriptor(b, 2, 2, false); }

void WriteTerminator(TImageBuilder& b) {
  uint8_t s[kSectorSize] = {};
  PutDescriptorHead(s, 255, 1);
  Append(b, s, sizeof s);
}

void WritePathTableSet(TImageBuilder& b, uint32_t area, bool joliet) {
  uint8_t rec[8 + 256];
  for (int big = 0; big < 2; ++big) {
    const size_t start = b.MetadataPos;
    for (const TDirNode* d : b.PathDirs) {
      const bool root = d == b.Root;
      std::string iso;
      std::u16string_view jname;
      uint32_t len = 1;
      if (!root) {
        if (joliet) {
          jname = JolietIdentifier(d);
          len = static_cast<uint32_t>(jname.size() * 2);
        } else {
          iso = IsoIdentifier(b, d);
          len = static_cast<uint32_t>(iso.size());
        }
      }
      std::memset(rec, 0, sizeof rec);
      rec[0] = static_cast<uint8_t>(len);
      const uint32_t extent = area + (joliet ? d->JolietExtent : d->IsoExtent) + b.SessionStart;
      const uint16_t parent = root ? 1 : d->Parent->PathTableNumber;
      if (big) {
        PutBE32(rec + 2, extent);
        PutBE16(rec + 6, parent);
      } else {
        PutLE32(rec + 2, extent);
        PutLE16(rec + 6, parent);
      }
      if (!root) {
        if (joliet) {
          PutUcs2BE(rec + 8, jname);
        } else {
          std::memcpy(rec + 8, iso.data(), iso.size());
        }
      }
      Append(b, rec, 8 + len + (len & 1));
    }
    const size_t used = b.MetadataPos - start;
    AppendZeros(b, Sectors(used) * kSectorSize - used);
  }
}

void WritePathTables(TImageBuilder& b) { WritePathTableSet(b, b.DirArea, false); }

namespace {

// Appends records so that none crosses a sector, zero-filling the rest of a sector first.
class TRecordSink {
 public:
  explicit TRecordSink(TImageBuilder& b) : b_(b) {}
  void Put(const uint8_t* rec, size_t len) {
    if (len > free_) {
      AppendZeros(b_, free_);
      free_ = kSectorSize;
    }
    Append(b_, rec, len);
    free_ -= static_cast<uint32_t>(len);
  }
  void Finish() {
    if (free_ < kSectorSize) AppendZeros(b_, free_);
    free_ = kSectorSize;
  }

 private:
  TImageBuilder& b_;
  uint32_t free_ = kSectorSize;
};

uint8_t EntryFlags(const TFileNode* e) {
  uint8_t flags = e->SubDir != nullptr ? 2 : 0;
  if ((e->Attributes & ~plat::kAttrHidden) == 0) flags |= 1;
  return flags;
}

}  // namespace

void WriteDirectoryExtents(TImageBuilder& b, bool joliet) {
  const uint32_t area = joliet ? b.JolietDirArea : b.DirArea;
  uint8_t rec[256];
  uint8_t ident[256];
  for (const TDirNode* d : b.Dirs) {
    TRecordSink sink(b);
    const TDirNode* p = d->Parent;
    const uint8_t dot = 0, dotdot = 1;
    sink.Put(rec, BuildDirectoryRecord(
                      rec, area + (joliet ? d->JolietExtent : d->IsoExtent) + b.SessionStart,
                      joliet ? d->JolietSize : d->IsoSize, {}, 2, &dot, 1));
    sink.Put(rec, BuildDirectoryRecord(
                      rec, area + (joliet ? p->JolietExtent : p->IsoExtent) + b.SessionStart,
                      joliet ? p->JolietSize : p->IsoSize, {}, 2, &dotdot, 1));
    for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
      size_t identLen;
      if (joliet) {
        identLen = PutUcs2BE(ident, JolietIdentifier(e));
      } else {
        const std::string id = IsoIdentifier(b, e);
        identLen = id.size();
        std::memcpy(ident, id.data(), identLen);
      }
      const TRecordDate date{&e->ModTime, e->GmtOffset};
      const uint8_t flags = EntryFlags(e);
      if (e->SubDir != nullptr) {
        const TDirNode* s = e->SubDir;
        sink.Put(rec, BuildDirectoryRecord(
                          rec, area + (joliet ? s->JolietExtent : s->IsoExtent) + b.SessionStart,
                          joliet ? s->JolietSize : s->IsoSize, date, flags, ident,
                          static_cast<uint8_t>(identLen)));
        continue;
      }
      if (const TImportedData* im = ImportedOf(e); im != nullptr && im->ExtentCount > 0) {
        // Data already on the medium: its extents as they were recorded.
        for (uint32_t i = 0; i < im->ExtentCount; ++i) {
          const bool last = i + 1 == im->ExtentCount;
          sink.Put(rec, BuildDirectoryRecord(rec, im->Extents[i].Lba, im->Extents[i].Length, date,
                                             static_cast<uint8_t>(flags | (last ? 0 : 0x80)), ident,
                                             static_cast<uint8_t>(identLen)));
        }
        continue;
      }
      uint32_t extent = 0;
      if (e->Size > 0)
        extent = e->FixedExtent ? e->Extent : e->Extent + b.DataStart + b.SessionStart;
      // Files of 4 GiB and more: consecutive extents of at most 4 GiB - 2048 bytes, every
      // record but the last flagged as continued.
      uint64_t left = e->Size;
      const uint32_t count = ExtentCount(e);
      for (uint32_t i = 0; i < count; ++i) {
        const uint64_t piece = std::min(left, kMaxExtentBytes);
        const bool last = i + 1 == count;
        sink.Put(rec, BuildDirectoryRecord(rec, extent, static_cast<uint32_t>(piece), date,
                                           static_cast<uint8_t>(flags | (last ? 0 : 0x80)), ident,
                                           static_cast<uint8_t>(identLen)));
        extent += static_cast<uint32_t>(kMaxExtentBytes / kSectorSize);
        left -= piece;
      }
    }
    sink.Finish();
  }
}

void WriteDirectories(TImageBuilder& b) { WriteDirectoryExtents(b, false); }

}  // namespace img
