// Unique identifiers in the primary tree. Level-1 names are upper case (a.txt and A.TXT both
// become A.TXT) and ISO 9660:1999 names record every character outside ASCII as '_' (č.txt and
// ř.txt both become _.txt), while the compilation keeps such names apart. Two records of one
// name in a folder make readers show one file twice and lose the other, so the later entry of a
// clash gets "~n" before its extension. The Joliet and UDF trees record the names as they are,
// which the compilation already keeps unique.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "image/qvpClassesW.h"
#include "image/qvpISO9660.h"
#include "platform/Text.h"

namespace {

constexpr size_t kLevel1Stem = 8;
// Longest identifier ISO 9660:1999 allows.
constexpr size_t kIso1999Name = 207;

// The identifier with "~n" before its extension, cut to fit the kind of name.
std::string Variant(const std::string& id, uint32_t n, bool folder, bool level1) {
  const std::string suffix = "~" + std::to_string(n);
  const size_t dot = folder ? std::string::npos : id.rfind('.');
  std::string stem = dot == std::string::npos ? id : id.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : id.substr(dot);
  const size_t limit = level1 ? kLevel1Stem : std::max(id.size(), kIso1999Name) - ext.size();
  const size_t keep = limit > suffix.size() ? limit - suffix.size() : 0;
  if (stem.size() > keep) stem.resize(keep);
  return stem + suffix + ext;
}

// Identifiers are taken before any entry of the folder gets one of its own, so IsoIdentifier
// gives the plain ones here.
void AssignInFolder(TImageBuilder& b, TDirNode* d) {
  std::unordered_map<std::string, uint32_t> count;
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) ++count[IsoIdentifier(b, e)];
  if (count.size() == d->EntryListCount) return;
  std::unordered_set<std::string> used;
  // Entries of a session already on the disc keep the names readers know them by; of the
  // others the first entry of a name keeps it.
  std::vector<TFileNode*> order;
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next)
    if (ImportedOf(e) != nullptr) order.push_back(e);
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next)
    if (ImportedOf(e) == nullptr) order.push_back(e);
  for (TFileNode* e : order) {
    const std::string id = IsoIdentifier(b, e);
    if (used.insert(id).second) continue;
    for (uint32_t n = 1;; ++n) {
      const std::string v = Variant(id, n, e->SubDir != nullptr, b.ISO9660v1999FS == 0);
      if (count.count(v) != 0 || !used.insert(v).second) continue;
      e->IsoName = static_cast<char*>(b.Store->Arena.Allocate(v.size() + 1, 1));
      std::memcpy(e->IsoName, v.data(), v.size());
      e->IsoNameLen = static_cast<uint8_t>(v.size());
      break;
    }
  }
}

}  // namespace

void AssignIsoNames(TImageBuilder& b) {
  for (TFileNode* e : b.Entries) e->IsoNameLen = 0;
  for (TDirNode* d : b.Dirs) AssignInFolder(b, d);
}
