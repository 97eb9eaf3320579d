// The ISO 9660 side of the session reader: the volume descriptor set and directory extents of
// the primary, Joliet and ISO 9660:1999 trees.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "image/qvpCommonLib.h"
#include "image/qvpSessionReadParts.h"

namespace sessionread {

bool TMedium::Contains(uint32_t lba, uint64_t bytes) const {
  return lba < blocks_ && uint64_t{lba} + (bytes + 2047) / 2048 <= blocks_;
}

TImportResult TMedium::Read(uint32_t lba, uint32_t sectors, std::vector<uint8_t>& out) {
  if (sectors == 0 || !Contains(lba, uint64_t{sectors} * 2048)) return TImportResult::Damaged;
  // Folders that overlap one another could make a small medium read without end.
  if (sectors > budget_ - sectorsRead_) return TImportResult::Damaged;
  sectorsRead_ += sectors;
  out.resize(size_t{sectors} * 2048);
  // Requests stay small: a drive reads them in one command each.
  constexpr uint32_t kChunk = 32;
  for (uint32_t done = 0; done < sectors;) {
    const uint32_t n = std::min(kChunk, sectors - done);
    if (!read_(lba + done, n, out.data() + size_t{done} * 2048)) return TImportResult::ReadError;
    done += n;
  }
  return TImportResult::Imported;
}

bool SoundName(std::u16string_view name) {
  return !name.empty() && name != u"." && name != u".." &&
         name.find(u'\0') == std::u16string_view::npos;
}

namespace {

constexpr uint32_t kMaxDescriptors = 64;

// A directory record of a volume descriptor's root: a folder extent inside the medium.
TImportResult TakeRoot(const TMedium& m, const uint8_t* rec, TIsoTree& t) {
  const uint32_t lba = GetLE32(rec + 2);
  const uint32_t length = GetLE32(rec + 10);
  if (rec[0] < 34 || (rec[25] & 0x02) == 0 || length == 0 || length > kImportMaxDirectoryBytes ||
      !m.Contains(lba, length))
    return TImportResult::Damaged;
  t.Found = true;
  t.RootLba = lba;
  t.RootLength = length;
  return TImportResult::Imported;
}

// The extended area that follows the terminator names the UDF volume of this session: without
// it an anchor found at 256 belongs to some earlier volume (a growing medium keeps it).
bool FollowingRecognition(TMedium& m, uint32_t lba) {
  std::vector<uint8_t> s;
  for (uint32_t i = 0; i < 8 && m.Contains(lba + i, 2048); ++i) {
    if (m.Read(lba + i, 1, s) != TImportResult::Imported || s[0] != 0) return false;
    const std::string_view id(reinterpret_cast<const char*>(s.data() + 1), 5);
    if (id == "NSR02" || id == "NSR03") return true;
    if (id != "BEA01" && id != "BOOT2") return false;
  }
  return false;
}

bool IsJolietEscape(const uint8_t* s) {
  return s[88] == 0x25 && s[89] == 0x2F && (s[90] == 0x40 || s[90] == 0x43 || s[90] == 0x45);
}

}  // namespace

TImportResult ReadDescriptors(TMedium& m, uint32_t start, TDescriptors& d) {
  d = TDescriptors{};
  std::vector<uint8_t> s;
  for (uint32_t i = 0; i < kMaxDescriptors; ++i) {
    const uint32_t lba = start + 16 + i;
    if (lba < start || !m.Contains(lba, 2048))
      return i == 0 ? TImportResult::NoVolume : TImportResult::Damaged;
    if (const TImportResult r = m.Read(lba, 1, s); r != TImportResult::Imported) return r;
    if (std::memcmp(s.data() + 1, "CD001", 5) != 0) {
      return i == 0 ? TImportResult::NoVolume : TImportResult::Damaged;
    }
    const uint8_t type = s[0], version = s[6];
    if (type == 255) {
      d.UdfRecognized = FollowingRecognition(m, lba + 1);
      break;
    }
    TIsoTree* tree = nullptr;
    if (type == 1 && !d.Primary.Found) {
      tree = &d.Primary;
      d.VolumeSpace = GetLE32(s.data() + 80);
    } else if (type == 2 && version == 1 && IsJolietEscape(s.data()) && !d.Joliet.Found) {
      tree = &d.Joliet;
    } else if (type == 2 && version == 2 && !d.Iso1999.Found) {
      tree = &d.Iso1999;
    }
    if (tree == nullptr) continue;  // boot records, partitions and other descriptors
    if (GetLE16(s.data() + 128) != 2048) return TImportResult::Unsupported;
    if (const TImportResult r = TakeRoot(m, s.data() + 156, *tree); r != TImportResult::Imported)
      return r;
  }
  if (!d.Primary.Found) return TImportResult::NoVolume;
  return TImportResult::Imported;
}

namespace {

constexpr uint8_t kFlagHidden = 0x01;
constexpr uint8_t kFlagDirectory = 0x02;
constexpr uint8_t kFlagAssociated = 0x04;
constexpr uint8_t kFlagMultiExtent = 0x80;

std::u16string DecodeName(const uint8_t* id, uint8_t len, bool joliet) {
  std::u16string name;
  if (joliet) {
    for (uint8_t i = 0; i + 1 < len; i += 2)
      name.push_back(static_cast<char16_t>(id[i] << 8 | id[i + 1]));
  } else {
    for (uint8_t i = 0; i < len; ++i) name.push_back(static_cast<char16_t>(id[i]));
  }
  return name;
}

}  // namespace

TImportResult ListIsoDirectory(TMedium& m, uint32_t lba, uint32_t length, bool joliet,
                               std::vector<TEntry>& out) {
  out.clear();
  if (length == 0 || length > kImportMaxDirectoryBytes) return TImportResult::Damaged;
  std::vector<uint8_t> data;
  if (const TImportResult r = m.Read(lba, (length + 2047) / 2048, data);
      r != TImportResult::Imported)
    return r;
  bool continued = false;  // the last entry's extents go on in the next record
  uint32_t pos = 0;
  while (pos < length) {
    const uint8_t* rec = data.data() + pos;
    const uint32_t len = rec[0];
    if (len == 0) {
      pos = (pos / 2048 + 1) * 2048;  // the rest of the sector is padding
      continue;
    }
    const uint8_t idLen = rec[32];
    if (len < 34 || pos % 2048 + len > 2048 || pos + len > length || 33u + idLen > len ||
        idLen == 0)
      return TImportResult::Damaged;
    pos += len;
    const uint8_t flags = rec[25];
    const uint8_t* id = rec + 33;
    if (idLen == 1 && (id[0] == 0 || id[0] == 1)) {
      if (continued) return TImportResult::Damaged;
      continue;  // "." and ".."
    }
    if ((flags & kFlagAssociated) != 0) continue;
    if (rec[26] != 0 || rec[27] != 0) return TImportResult::Unsupported;  // interleaved
    const bool directory = (flags & kFlagDirectory) != 0;
    const uint32_t extent = GetLE32(rec + 2) + rec[1];  // data follows the extended attributes
    const uint32_t dataLength = GetLE32(rec + 10);
    if (extent < rec[1]) return TImportResult::Damaged;
    const std::string raw(reinterpret_cast<const char*>(id), idLen);
    if (continued) {
      // Every further extent of a file repeats its identifier.
      TEntry& e = out.back();
      if (directory || raw != e.Raw) return TImportResult::Damaged;
    } else {
      TEntry e;
      e.Raw = raw;
      e.Name = DecodeName(id, idLen, joliet);
      if (!SoundName(e.Name)) return TImportResult::Damaged;
      e.Directory = directory;
      e.Hidden = (flags & kFlagHidden) != 0;
      std::memcpy(e.Date, rec + 18, 7);
      out.push_back(std::move(e));
    }
    TEntry& e = out.back();
    if (directory) {
      if ((flags & kFlagMultiExtent) != 0 || dataLength == 0 ||
          dataLength > kImportMaxDirectoryBytes || !m.Contains(extent, dataLength))
        return TImportResult::Damaged;
      e.Ref = extent;
      e.RefLength = dataLength;
    } else {
      if (dataLength > 0) {
        if (!m.Contains(extent, dataLength)) return TImportResult::Damaged;
        e.Extents.push_back({extent, dataLength});
      }
      e.Size += dataLength;
    }
    continued = (flags & kFlagMultiExtent) != 0;
  }
  return continued ? TImportResult::Damaged : TImportResult::Imported;
}

}  // namespace sessionread
