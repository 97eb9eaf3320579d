// The Joliet tree: long names in UCS-2 big-endian under a supplementary descriptor, with path
// tables and directory extents of its own over the same file data.
#include <cstring>
#include <string>
#include <unordered_set>

#include "image/qvpClassesW.h"
#include "image/qvpCommonLib.h"
#include "image/qvpISO9660.h"
#include "image/qvpUDFUnicode.h"
#include "platform/Text.h"

namespace img {

namespace {

struct TNoCaseHash {
  size_t operator()(std::u16string_view s) const { return plat::HashNoCase(s); }
};
struct TNoCaseEqual {
  bool operator()(std::u16string_view a, std::u16string_view b) const {
    return plat::EqualsNoCase(a, b);
  }
};

// A name cut to kMaxJolietName characters, keeping a short extension; attempt > 0 adds "~n"
// before the extension to make it unique.
std::u16string CutJolietName(std::u16string_view full, uint32_t attempt) {
  std::u16string_view ext;
  size_t dot = full.rfind(u'.');
  if (dot != std::u16string_view::npos && dot > 0 && full.size() - dot <= 16)
    ext = full.substr(dot);
  std::u16string_view stem = full.substr(0, full.size() - ext.size());
  std::u16string suffix;
  if (attempt > 0) {
    suffix = u"~";
    for (char c : std::to_string(attempt)) suffix += static_cast<char16_t>(c);
  }
  size_t room = kMaxJolietName - ext.size() - suffix.size();
  size_t keep = std::min(stem.size(), room);
  // Never split a surrogate pair.
  if (keep > 0 && keep < stem.size() && stem[keep - 1] >= 0xD800 && stem[keep - 1] < 0xDC00) --keep;
  std::u16string out(stem.substr(0, keep));
  out += suffix;
  out += ext;
  return out;
}

// An imported entry keeps the Joliet name it was recorded under.
const TImportedData* RecordedJoliet(const TFileNode* e) {
  const TImportedData* im = ImportedOf(e);
  return im != nullptr && im->JolietNameLen != 0 ? im : nullptr;
}

void AssignInDirectory(TImageBuilder& b, TDirNode* d) {
  bool any = false;
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    if (const TImportedData* im = RecordedJoliet(e)) {
      e->JolietName = const_cast<char16_t*>(im->JolietName);
      e->JolietNameLen = im->JolietNameLen;
    } else if (e->LongNameLen > kMaxJolietName) {
      any = true;
    } else {
      e->JolietNameLen = 0;
    }
  }
  if (!any) return;
  auto keeps = [](const TFileNode* e) {
    return e->LongNameLen <= kMaxJolietName || RecordedJoliet(e) != nullptr;
  };
  std::unordered_set<std::u16string_view, TNoCaseHash, TNoCaseEqual> taken;
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next)
    if (keeps(e)) taken.insert(JolietIdentifier(e));
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    if (keeps(e)) continue;
    // A recorded name's buffer (of an entry since replaced by a new file) is too short for a cut
    // name.
    if (e->Imported != nullptr && e->JolietName == e->Imported->JolietName) e->JolietName = nullptr;
    const std::u16string_view full(e->LongName, e->LongNameLen);
    for (uint32_t attempt = 0;; ++attempt) {
      const std::u16string cut = CutJolietName(full, attempt);
      if (taken.count(cut) != 0) continue;
      if (e->JolietName == nullptr) e->JolietName = b.Store->Arena.NewText(u"", kMaxJolietName + 1);
      std::memcpy(e->JolietName, cut.data(), cut.size() * sizeof(char16_t));
      e->JolietName[cut.size()] = 0;
      e->JolietNameLen = static_cast<uint8_t>(cut.size());
      taken.insert(std::u16string_view(e->JolietName, cut.size()));
      break;
    }
  }
}

}  // namespace

void AssignJolietNames(TImageBuilder& b) {
  for (TDirNode* d : b.Dirs) AssignInDirectory(b, d);
}

std::u16string_view JolietIdentifier(const TFileNode* e) {
  if (e->JolietNameLen != 0) return std::u16string_view(e->JolietName, e->JolietNameLen);
  return std::u16string_view(e->LongName, e->LongNameLen);
}

std::u16string_view JolietIdentifier(const TDirNode* d) {
  // The path table names a directory as its record in the parent does.
  if (d->Entry != nullptr) return JolietIdentifier(d->Entry);
  return std::u16string_view(d->LongName, d->LongNameLen);
}

void WriteJolietDescriptor(TImageBuilder& b) {
  uint8_t s[kSectorSize] = {};
  PutDescriptorHead(s, 2, 1);
  size_t n = 0;
  while (n < std::size(b.VolumeIdWide) && b.VolumeIdWide[n] != 0) ++n;
  // Sixteen units, but never the first half of a character outside the basic plane alone.
  const std::u16string_view label(b.VolumeIdWide, n);
  PutUcs2BE(s + 40, label.substr(0, UdfCutLength(label, 16)));
  PutVolumeDescriptorFields(b, s, b.JolietPathTableSize, b.JolietLPathTable, b.JolietMPathTable,
                            b.JolietDirArea, b.Root->JolietSize);
  s[88] = 0x25;
  s[89] = 0x2F;
  s[90] = 0x40;
  s[881] = 1;
  Append(b, s, sizeof s);
}

void WriteJolietPathTables(TImageBuilder& b) { WritePathTableSet(b, b.JolietDirArea, true); }

void WriteJolietDirectories(TImageBuilder& b) { WriteDirectoryExtents(b, true); }

}  // namespace img
