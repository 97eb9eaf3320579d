// The UDF side of the session reader: the anchor of the session, its volume descriptor sequence,
// the partition and file set, file entries and the folders' identifier streams. Every descriptor
// is taken only with a sound tag (identifier, checksum, CRC and, where it is known, location).
#include <algorithm>
#include <cstring>

#include "image/qvpECMA_167.h"
#include "image/qvpSessionReadParts.h"
#include "image/qvpUDFUtils.h"
#include "image/qvpUDF_CRC.h"

namespace sessionread {
namespace {

constexpr uint16_t kTagExtendedFileEntry = 266;
constexpr uint32_t kMaxSequenceSectors = 64;
constexpr uint32_t kNoLocation = 0xFFFFFFFF;

// A descriptor's tag over the `available` bytes from d. kNoLocation skips the location check.
bool TagOk(const uint8_t* d, size_t available, uint16_t ident, uint32_t location) {
  if (available < kTagSize || UdfGet16(d) != ident || EcmaTagChecksum(d) != d[4]) return false;
  const uint16_t crcLength = UdfGet16(d + 10);
  if (kTagSize + crcLength > available || UdfCrc16(d + kTagSize, crcLength) != UdfGet16(d + 8))
    return false;
  return location == kNoLocation || UdfGet32(d + 12) == location;
}

// An ECMA-167 timestamp as the seven date bytes of an ISO 9660 record.
void TakeDate(const uint8_t* t, uint8_t* date) {
  int32_t offset = UdfGet16(t) & 0x0FFF;
  if (offset >= 0x800) offset -= 0x1000;
  if (offset == -2047) offset = 0;  // not specified
  const int32_t year = static_cast<int16_t>(UdfGet16(t + 2));
  date[0] = static_cast<uint8_t>(std::clamp(year - 1900, 0, 255));
  std::memcpy(date + 1, t + 4, 5);
  date[6] = static_cast<uint8_t>(static_cast<int8_t>(std::clamp(offset / 15, -48, 52)));
}

std::u16string DecodeCs0(const uint8_t* p, size_t n) {
  std::u16string s;
  if (n < 2) return s;
  if (p[0] == 8) {
    for (size_t i = 1; i < n; ++i) s.push_back(p[i]);
  } else if (p[0] == 16) {
    for (size_t i = 1; i + 1 < n; i += 2) s.push_back(static_cast<char16_t>(p[i] << 8 | p[i + 1]));
  }
  return s;
}

// The descriptor sequence of `length` bytes at `location`: partition, logical volume, file set.
TImportResult ReadSequence(TMedium& m, uint32_t location, uint32_t length, TUdfVolume& v) {
  const uint32_t sectors = std::min(length / 2048, kMaxSequenceSectors);
  std::vector<uint8_t> seq;
  if (const TImportResult r = m.Read(location, sectors, seq); r != TImportResult::Imported)
    return r;
  bool partition = false, logical = false;
  uint16_t partitionNumber = 0, mappedPartition = 0;
  uint32_t fileSet = 0;
  for (uint32_t k = 0; k < sectors; ++k) {
    const uint8_t* d = seq.data() + size_t{k} * 2048;
    const uint16_t ident = UdfGet16(d);
    if (!TagOk(d, 2048, ident, location + k)) return TImportResult::Damaged;
    if (ident == kTagTerminating) break;
    if (ident == kTagPartition && !partition) {
      partition = true;
      partitionNumber = UdfGet16(d + 22);
      v.PartitionStart = UdfGet32(d + 188);
      v.PartitionLength = UdfGet32(d + 192);
    } else if (ident == kTagLogicalVolume && !logical) {
      logical = true;
      if (UdfGet32(d + 212) != 2048) return TImportResult::Unsupported;
      // One type 1 map: the data lies in a plain partition that the file set is in.
      if (UdfGet32(d + 268) != 1 || d[440] != 1 || d[441] != 6 || UdfGet16(d + 256) != 0)
        return TImportResult::Unsupported;
      mappedPartition = UdfGet16(d + 444);
      fileSet = UdfGet32(d + 252);
    }
  }
  if (!partition || !logical || mappedPartition != partitionNumber) return TImportResult::Damaged;
  if (v.PartitionStart >= m.Blocks()) return TImportResult::Damaged;
  v.PartitionLength = std::min(v.PartitionLength, m.Blocks() - v.PartitionStart);
  if (fileSet >= v.PartitionLength) return TImportResult::Damaged;
  std::vector<uint8_t> fsd;
  if (const TImportResult r = m.Read(v.PartitionStart + fileSet, 1, fsd);
      r != TImportResult::Imported)
    return r;
  if (!TagOk(fsd.data(), 2048, kTagFileSet, fileSet) || UdfGet16(fsd.data() + 408) != 0)
    return TImportResult::Damaged;
  v.RootIcb = UdfGet32(fsd.data() + 404);
  return v.RootIcb < v.PartitionLength ? TImportResult::Imported : TImportResult::Damaged;
}

struct TFileEntry {
  uint8_t FileType = 0;
  uint64_t Length = 0;
  std::vector<TImportedExtent> Extents;
  std::vector<uint8_t> Embedded;  // data recorded inside the entry
  bool IsEmbedded = false;
  uint8_t Date[7] = {};
};

TImportResult Add(TMedium& m, const TUdfVolume& v, uint32_t length, uint32_t block, TFileEntry& f) {
  const uint32_t type = length >> 30;
  length &= 0x3FFFFFFF;
  if (length == 0) return TImportResult::Imported;
  if (type != 0) return TImportResult::Unsupported;  // unrecorded extents or a continuation
  if (block >= v.PartitionLength || !m.Contains(v.PartitionStart + block, length))
    return TImportResult::Damaged;
  f.Extents.push_back({v.PartitionStart + block, length});
  return TImportResult::Imported;
}

TImportResult ReadFileEntry(TMedium& m, const TUdfVolume& v, uint32_t block, TFileEntry& f) {
  if (block >= v.PartitionLength) return TImportResult::Damaged;
  std::vector<uint8_t> s;
  if (const TImportResult r = m.Read(v.PartitionStart + block, 1, s); r != TImportResult::Imported)
    return r;
  const uint8_t* d = s.data();
  const uint16_t ident = UdfGet16(d);
  const bool extended = ident == kTagExtendedFileEntry;
  if ((ident != kTagFileEntry && !extended) || !TagOk(d, 2048, ident, block))
    return TImportResult::Damaged;
  f.FileType = d[27];
  f.Length = UdfGet64(d + 56);
  TakeDate(d + (extended ? 92 : 84), f.Date);
  const size_t head = extended ? 216 : 176;
  const uint64_t eaLength = UdfGet32(d + head - 8);
  const uint64_t adLength = UdfGet32(d + head - 4);
  if (head + eaLength + adLength > 2048) return TImportResult::Damaged;
  const uint8_t* ad = d + head + eaLength;
  switch (UdfGet16(d + 34) & 7) {
    case 0:
      for (size_t i = 0; i + 8 <= adLength; i += 8) {
        if (const TImportResult r = Add(m, v, UdfGet32(ad + i), UdfGet32(ad + i + 4), f);
            r != TImportResult::Imported)
          return r;
      }
      break;
    case 1:
      for (size_t i = 0; i + 16 <= adLength; i += 16) {
        if (UdfGet16(ad + i + 8) != 0) return TImportResult::Unsupported;
        if (const TImportResult r = Add(m, v, UdfGet32(ad + i), UdfGet32(ad + i + 4), f);
            r != TImportResult::Imported)
          return r;
      }
      break;
    case 3:
      if (f.Length > adLength) return TImportResult::Damaged;
      f.IsEmbedded = true;
      f.Embedded.assign(ad, ad + f.Length);
      return TImportResult::Imported;
    default:
      return TImportResult::Unsupported;
  }
  // The extents must hold the data; the last one may reach past its end.
  uint64_t left = f.Length;
  size_t used = 0;
  while (left > 0 && used < f.Extents.size()) {
    TImportedExtent& x = f.Extents[used++];
    if (x.Length > left) x.Length = static_cast<uint32_t>(left);
    left -= x.Length;
  }
  if (left > 0) return TImportResult::Damaged;
  f.Extents.resize(used);
  return TImportResult::Imported;
}

}  // namespace

TImportResult OpenUdfVolume(TMedium& m, uint32_t start, TUdfVolume& v) {
  const uint32_t at = start + 256;
  if (at < start || !m.Contains(at, 2048)) return TImportResult::NoUdf;
  std::vector<uint8_t> anchor;
  if (const TImportResult r = m.Read(at, 1, anchor); r != TImportResult::Imported) return r;
  if (UdfGet16(anchor.data()) != kTagAnchor) return TImportResult::NoUdf;
  if (!TagOk(anchor.data(), 2048, kTagAnchor, at)) return TImportResult::Damaged;
  // The main sequence, or the reserve copy when the main one is unusable.
  TImportResult r = ReadSequence(m, UdfGet32(anchor.data() + 20), UdfGet32(anchor.data() + 16), v);
  if (r == TImportResult::Damaged || r == TImportResult::ReadError)
    r = ReadSequence(m, UdfGet32(anchor.data() + 28), UdfGet32(anchor.data() + 24), v);
  return r;
}

TImportResult ListUdfDirectory(TMedium& m, const TUdfVolume& v, uint32_t icb,
                               std::vector<TEntry>& out) {
  out.clear();
  TFileEntry f;
  if (const TImportResult r = ReadFileEntry(m, v, icb, f); r != TImportResult::Imported) return r;
  if (f.FileType != kFileTypeDirectory || f.Length > kImportMaxDirectoryBytes)
    return TImportResult::Damaged;
  std::vector<uint8_t> stream = std::move(f.Embedded);
  if (!f.IsEmbedded) {
    std::vector<uint8_t> part;
    for (const TImportedExtent& x : f.Extents) {
      if (const TImportResult r = m.Read(x.Lba, (x.Length + 2047) / 2048, part);
          r != TImportResult::Imported)
        return r;
      stream.insert(stream.end(), part.begin(), part.begin() + x.Length);
    }
  }
  size_t pos = 0;
  while (pos + 38 <= stream.size()) {
    const uint8_t* d = stream.data() + pos;
    const size_t left = stream.size() - pos;
    const uint8_t nameLength = d[19];
    const size_t body = 38 + size_t{UdfGet16(d + 36)} + nameLength;
    if (body > left || !TagOk(d, left, kTagFileIdentifier, kNoLocation))
      return TImportResult::Damaged;
    pos += (body + 3) & ~size_t{3};
    const uint8_t characteristics = d[18];
    if ((characteristics & (kFidParent | 4)) != 0) continue;  // the parent, deleted entries
    if (UdfGet16(d + 28) != 0) return TImportResult::Unsupported;
    TEntry e;
    e.Name = DecodeCs0(d + body - nameLength, nameLength);
    if (!SoundName(e.Name)) return TImportResult::Damaged;
    e.Directory = (characteristics & kFidDirectory) != 0;
    e.Hidden = (characteristics & 1) != 0;
    e.Ref = UdfGet32(d + 24);
    e.Resolved = false;
    out.push_back(std::move(e));
  }
  return TImportResult::Imported;
}

TImportResult ResolveUdfFile(TMedium& m, const TUdfVolume& v, TEntry& e) {
  if (e.Resolved) return TImportResult::Imported;
  TFileEntry f;
  if (const TImportResult r = ReadFileEntry(m, v, e.Ref, f); r != TImportResult::Imported) return r;
  e.Size = f.Length;
  e.Extents = std::move(f.Extents);
  std::memcpy(e.Date, f.Date, sizeof e.Date);
  e.Resolved = true;
  return TImportResult::Imported;
}

}  // namespace sessionread
