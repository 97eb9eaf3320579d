// Path-table order of the directories and short-name order of the entries.
//
// The order is defined by rounds: number the directories in their current order, sort them
// (all but the root) by parent number and then name, sort every entry list with an insertion
// sort that puts a node before the first one not smaller (so equal short names come out reversed
// each round), until a round leaves the directory order unchanged. Running those rounds costs
// O(depth x n log n) and more for deep trees; the same results are computed here directly:
//  - the settled directory order is breadth first, the children of a directory by name with
//    ties in their previous order;
//  - after round k the directories of depth <= k are settled and the deeper ones are ordered by
//    the previous position of their ancestor k levels up, then by the names below it; so the
//    round count is 1 + the first k whose ancestor positions already follow the settled order,
//    found by binary search (the condition only becomes true for larger k);
//  - the entries are merge-sorted once and runs of equal names reversed when that count is odd.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "image/qvpISO9660.h"
#include "platform/Text.h"

namespace img {

namespace {

constexpr uint32_t kMaxRounds = 1000;

// Collation key of a name: comparing keys with wcscmp gives the sign of the locale comparison;
// the code units decide between names the collation calls equal.
std::wstring CollationKey(std::u16string_view s) {
  std::wstring w;
  w.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    w.push_back(static_cast<wchar_t>(c));
  }
  std::wstring key;
  size_t n = std::wcsxfrm(nullptr, w.c_str(), 0);
  key.resize(n + 1);
  std::wcsxfrm(key.data(), w.c_str(), n + 1);
  key.resize(n);
  return key;
}

void SortEntries(TDirNode* d, bool reverseEqual, std::vector<TFileNode*>& buf) {
  buf.clear();
  for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) buf.push_back(e);
  if (buf.size() < 2) return;
  // An entry renamed to keep its identifier unique sorts under that identifier.
  auto key = [](const TFileNode* e) {
    return e->IsoNameLen != 0 ? std::string_view(e->IsoName, e->IsoNameLen)
                              : std::string_view(e->ShortName, e->ShortNameLen);
  };
  auto less = [&](const TFileNode* a, const TFileNode* b) {
    return plat::CompareAsciiNoCase(key(a), key(b)) < 0;
  };
  std::stable_sort(buf.begin(), buf.end(), less);
  if (reverseEqual) {
    for (size_t i = 0; i < buf.size();) {
      size_t j = i + 1;
      while (j < buf.size() && !less(buf[i], buf[j])) ++j;
      std::reverse(buf.begin() + static_cast<ptrdiff_t>(i),
                   buf.begin() + static_cast<ptrdiff_t>(j));
      i = j;
    }
  }
  d->FirstEntry = buf.front();
  for (size_t i = 0; i + 1 < buf.size(); ++i) buf[i]->Next = buf[i + 1];
  buf.back()->Next = nullptr;
  d->LastEntry = buf.back();
}

}  // namespace

void OrderTree(TImageBuilder& b) {
  const size_t n = b.PathDirs.size();
  std::vector<TFileNode*> buf;
  if (n < 2) {
    // A lone root is sorted too: readers expect records ordered by identifier.
    b.OrderRounds = 1;
    if (n == 1) {
      b.Root->PathTableNumber = 1;
      SortEntries(b.Root, true, buf);
    }
    return;
  }

  // Previous positions (0 = root); PathTableNumber serves as the position map meanwhile.
  for (size_t i = 0; i < n; ++i) b.PathDirs[i]->PathTableNumber = static_cast<uint16_t>(i);
  std::vector<uint32_t> parentPos(n);
  std::vector<std::wstring> keys(n);
  for (size_t i = 1; i < n; ++i) {
    const TDirNode* d = b.PathDirs[i];
    parentPos[i] = d->Parent->PathTableNumber;
    keys[i] = CollationKey(std::u16string_view(d->LongName, d->LongNameLen));
  }

  // Children grouped by parent, by name, ties by previous position.
  std::vector<uint32_t> sorted(n - 1);
  for (size_t i = 1; i < n; ++i) sorted[i - 1] = static_cast<uint32_t>(i);
  std::sort(sorted.begin(), sorted.end(), [&](uint32_t x, uint32_t y) {
    if (parentPos[x] != parentPos[y]) return parentPos[x] < parentPos[y];
    const int c = keys[x].compare(keys[y]);
    if (c != 0) return c < 0;
    const TDirNode* dx = b.PathDirs[x];
    const TDirNode* dy = b.PathDirs[y];
    const int o = std::u16string_view(dx->LongName, dx->LongNameLen)
                      .compare(std::u16string_view(dy->LongName, dy->LongNameLen));
    if (o != 0) return o < 0;
    return x < y;
  });
  keys.clear();
  keys.shrink_to_fit();
  std::vector<uint32_t> childBegin(n + 1, 0);
  for (uint32_t x : sorted) ++childBegin[parentPos[x] + 1];
  for (size_t i = 0; i < n; ++i) childBegin[i + 1] += childBegin[i];

  // Settled order: breadth first.
  std::vector<uint32_t> order;
  order.reserve(n);
  std::vector<uint32_t> depth(n, 0);
  order.push_back(0);
  for (size_t i = 0; i < order.size(); ++i) {
    const uint32_t p = order[i];
    for (uint32_t c = childBegin[p]; c < childBegin[p + 1]; ++c) {
      depth[sorted[c]] = depth[p] + 1;
      order.push_back(sorted[c]);
    }
  }
  uint32_t maxDepth = 0;
  for (uint32_t d : depth) maxDepth = std::max(maxDepth, d);

  // Does the order after round k equal the settled order?
  std::vector<uint32_t> ancestorPos(n);
  std::vector<uint32_t> path;
  std::vector<std::pair<uint32_t, uint32_t>> stack;  // (position, next child index)
  auto settledAfter = [&](uint32_t k) {
    if (k == 0) {
      for (size_t i = 0; i < n; ++i)
        if (order[i] != i) return false;
      return true;
    }
    // Depth-first walk keeping the path, to find each directory's ancestor k levels up.
    path.clear();
    stack.clear();
    stack.push_back({0, childBegin[0]});
    path.push_back(0);
    while (!stack.empty()) {
      auto& [pos, next] = stack.back();
      if (next < childBegin[pos + 1]) {
        const uint32_t c = sorted[next++];
        path.push_back(c);
        if (depth[c] > k) ancestorPos[c] = path[depth[c] - k];
        stack.push_back({c, childBegin[c]});
      } else {
        stack.pop_back();
        path.pop_back();
      }
    }
    uint32_t last = 0;
    for (uint32_t x : order) {
      if (depth[x] <= k) continue;
      if (ancestorPos[x] < last) return false;
      last = ancestorPos[x];
    }
    return true;
  };
  uint32_t kmin = 0;
  if (!settledAfter(0)) {
    uint32_t lo = 1, hi = maxDepth;  // settledAfter(maxDepth) always holds
    while (lo < hi) {
      const uint32_t mid = lo + (hi - lo) / 2;
      if (settledAfter(mid)) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    kmin = lo;
  }
  // The rounds stop at the first round that changes nothing. Beyond the round limit the settled
  // order is still used (a parent listed after its child would make the path table invalid);
  // the entries then have been sorted as often as the limit allows.
  b.OrderRounds = std::min(kmin + 1, kMaxRounds);

  std::vector<TDirNode*> result(n);
  for (size_t i = 0; i < n; ++i) result[i] = b.PathDirs[order[i]];
  b.PathDirs.swap(result);
  for (size_t i = 0; i < n; ++i) b.PathDirs[i]->PathTableNumber = static_cast<uint16_t>(i + 1);

  const bool reverseEqual = (b.OrderRounds & 1) != 0;
  for (TDirNode* d : b.Dirs) SortEntries(d, reverseEqual, buf);
}

}  // namespace img
