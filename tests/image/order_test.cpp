// The fast ordering and layout give the same results as the plain rounds of insertion sorts they
// replace, on random trees: names with equal short names, Czech letters, nested folders created
// out of order, and layouts repeated after the tree grew.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "image/qvpCommonLib.h"
#include "tests/image/image_test_support.h"

using namespace img;

using namespace imgtest;

namespace {

// ---- The described algorithm, transcribed plainly ----

// The level-1 name an entry is sorted and recorded under: its short name, or the one the layout
// gave it to keep the folder's names unique.
std::string_view ShortOf(const TFileNode* e) {
  return e->IsoNameLen != 0 ? std::string_view(e->IsoName, e->IsoNameLen)
                            : std::string_view(e->ShortName, e->ShortNameLen);
}
uint32_t ShortLen(const TFileNode* e) { return static_cast<uint32_t>(ShortOf(e).size()); }
uint32_t ShortLen(const TDirNode* d) {
  return d->Entry != nullptr && d->Entry->IsoNameLen != 0 ? d->Entry->IsoNameLen : d->ShortNameLen;
}

int CompareShort(const TFileNode* a, const TFileNode* b) {
  return plat::CompareAsciiNoCase(ShortOf(a), ShortOf(b));
}

// Insertion sort: every node goes before the first node that is not smaller.
void InsertionSortEntries(TDirNode* d) {
  TFileNode* sorted = nullptr;
  TFileNode* e = d->FirstEntry;
  while (e != nullptr) {
    TFileNode* next = e->Next;
    TFileNode** link = &sorted;
    while (*link != nullptr && CompareShort(*link, e) < 0) link = &(*link)->Next;
    e->Next = *link;
    *link = e;
    e = next;
  }
  d->FirstEntry = sorted;
  // Keep the tree's tail pointer right for later insertions.
  d->LastEntry = nullptr;
  for (TFileNode* x = sorted; x != nullptr; x = x->Next) d->LastEntry = x;
}

uint32_t ReferenceOrder(TImageBuilder& b) {
  if (b.DirCount < 2) {
    // The one intended difference: a lone root is sorted as well (once).
    InsertionSortEntries(b.Root);
    b.Root->PathTableNumber = 1;
    return 1;
  }
  for (uint32_t round = 1; round <= 1000; ++round) {
    for (size_t i = 0; i < b.PathDirs.size(); ++i)
      b.PathDirs[i]->PathTableNumber = static_cast<uint16_t>(i + 1);
    std::vector<TDirNode*> rest(b.PathDirs.begin() + 1, b.PathDirs.end());
    // Plain insertion sort of the directories by parent number, then locale name order.
    std::vector<TDirNode*> sorted;
    for (TDirNode* d : rest) {
      auto pos = sorted.begin();
      while (pos != sorted.end()) {
        const TDirNode* s = *pos;
        const bool sSmaller =
            s->Parent->PathTableNumber < d->Parent->PathTableNumber ||
            (s->Parent->PathTableNumber == d->Parent->PathTableNumber &&
             plat::CompareLocale(std::u16string_view(s->LongName, s->LongNameLen),
                                 std::u16string_view(d->LongName, d->LongNameLen)) <= 0);
        if (!sSmaller) break;
        ++pos;
      }
      sorted.insert(pos, d);
    }
    std::copy(sorted.begin(), sorted.end(), b.PathDirs.begin() + 1);
    for (TDirNode* d : b.Dirs) InsertionSortEntries(d);
    bool stable = true;
    for (size_t i = 1; i < b.PathDirs.size(); ++i) {
      if (b.PathDirs[i]->Parent->PathTableNumber < b.PathDirs[i - 1]->Parent->PathTableNumber ||
          b.PathDirs[i]->PathTableNumber < b.PathDirs[i - 1]->PathTableNumber)
        stable = false;
    }
    if (stable) return round;
  }
  return 1000;
}

uint32_t ReferenceDirSize(const TDirNode* d, bool joliet) {
  uint32_t used = 68, freeBytes = 1980;
  for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    const uint32_t r =
        joliet ? 34 + 2 * e->LongNameLen : 33 + ShortLen(e) + (ShortLen(e) % 2 == 0 ? 1 : 0);
    if (r > freeBytes) {
      used += freeBytes;
      freeBytes = 2048 - r;
    } else {
      freeBytes -= r;
    }
    used += r;
  }
  return (used + freeBytes) / 2048 * 2048;
}

struct TRefLayout {
  uint32_t Rounds, DataStart, TotalSectors, PathTableSize;
};

TRefLayout ReferenceLayout(TImageBuilder& b) {
  TRefLayout r{};
  AssignIsoNames(b);
  r.Rounds = ReferenceOrder(b);
  uint32_t cursor = 16 + 1 + 1 + 1;  // primary, Joliet, terminator
  r.PathTableSize = 10;
  uint32_t jsize = 10;
  for (size_t i = 1; i < b.PathDirs.size(); ++i) {
    r.PathTableSize += 8 + ShortLen(b.PathDirs[i]) + ShortLen(b.PathDirs[i]) % 2;
    jsize += 8 + 2 * b.PathDirs[i]->LongNameLen;
  }
  cursor += 2 * Sectors(r.PathTableSize) + 2 * Sectors(jsize);
  uint32_t sum = 0;
  for (TDirNode* d : b.Dirs) {
    d->IsoExtent = sum;
    d->IsoSize = ReferenceDirSize(d, false);
    sum += d->IsoSize / 2048;
  }
  cursor += sum;
  sum = 0;
  for (TDirNode* d : b.Dirs) {
    d->JolietExtent = sum;
    d->JolietSize = ReferenceDirSize(d, true);
    sum += d->JolietSize / 2048;
  }
  cursor += sum;
  if (cursor < 150) cursor = 150;
  uint32_t data = 0;
  for (TFileNode* e : b.Entries) {
    if ((e->Attributes & 0x10) != 0) continue;
    if (e->Size == 0) {
      e->Extent = 0;
      continue;
    }
    e->Extent = data;
    data += Sectors(e->Size);
  }
  r.DataStart = cursor;
  r.TotalSectors = (cursor + data + 31) / 32 * 32;
  return r;
}

// ---- Random trees ----

class TRandomTree {
 public:
  explicit TRandomTree(uint32_t seed) : rng_(seed) {}

  std::u16string Name() {
    static const std::u16string parts[] = {u"data",  u"Data", u"čeština", u"Řeka",   u"žlutý kůň",
                                           u"a",     u"B",    u"zz",      u"report", u"Report",
                                           u"01",    u"_x",   u"úterý",   u"Ďábel",  u"photo",
                                           u"PHOTO", u"é",    u"x.y"};
    std::u16string n;
    const int k = 1 + static_cast<int>(rng_() % 3);
    for (int i = 0; i < k; ++i) {
      if (i > 0) n += (rng_() % 2) ? u" " : u"";
      n += parts[rng_() % std::size(parts)];
    }
    if (rng_() % 3 == 0) n += u".txt";
    return n;
  }
  std::u16string Alt() {
    static const std::u16string alts[] = {u"",           u"",       u"",       u"NAME~1.TXT",
                                          u"NAME~1.TXT", u"DATA~1", u"data~1", u"ZZ"};
    return alts[rng_() % std::size(alts)];
  }

  // Applies the same random steps to every builder.
  void Grow(std::vector<TImageBuilder*> bs, int steps) {
    for (int s = 0; s < steps; ++s) {
      const uint32_t pick = rng_() % 10;
      const std::u16string name =
          Name() +
          (rng_() % 4 == 0 ? u"" : std::u16string(1, static_cast<char16_t>(u'a' + rng_() % 26)));
      const std::u16string alt = Alt();
      const size_t parent = rng_() % bs[0]->Dirs.size();
      if (pick < 3 && bs[0]->DirCount < 200) {
        for (TImageBuilder* b : bs) AddDir(*b, b->Dirs[parent], name, alt);
      } else {
        const uint64_t size = (rng_() % 5 == 0) ? 0 : rng_() % 10000;
        for (TImageBuilder* b : bs) AddFile(*b, b->Dirs[parent], name, size, alt);
      }
    }
  }
  uint32_t Next() { return rng_(); }

 private:
  std::mt19937 rng_;
};

std::map<const void*, size_t> EntryIndex(const TImageBuilder& b) {
  std::map<const void*, size_t> m;
  for (size_t i = 0; i < b.Entries.size(); ++i) m[b.Entries[i]] = i;
  return m;
}

void ExpectSameLayout(TImageBuilder& fast, TImageBuilder& ref, const TRefLayout& r, uint32_t seed) {
  SCOPED_TRACE("seed " + std::to_string(seed));
  ASSERT_EQ(fast.DirCount, ref.DirCount);
  ASSERT_EQ(fast.EntryCount, ref.EntryCount);
  EXPECT_EQ(fast.OrderRounds, r.Rounds);
  EXPECT_EQ(fast.DataStart, r.DataStart);
  EXPECT_EQ(fast.TotalSectors, r.TotalSectors);
  EXPECT_EQ(fast.PathTableSize, r.PathTableSize);
  std::unordered_map<const TDirNode*, size_t> fastDir, refDir;
  for (size_t i = 0; i < fast.Dirs.size(); ++i) {
    fastDir[fast.Dirs[i]] = i;
    refDir[ref.Dirs[i]] = i;
  }
  for (size_t i = 0; i < fast.PathDirs.size(); ++i) {
    ASSERT_EQ(fastDir[fast.PathDirs[i]], refDir[ref.PathDirs[i]]) << "path table position " << i;
    EXPECT_EQ(fast.PathDirs[i]->PathTableNumber, ref.PathDirs[i]->PathTableNumber);
  }
  const auto fi = EntryIndex(fast), ri = EntryIndex(ref);
  for (size_t d = 0; d < fast.Dirs.size(); ++d) {
    EXPECT_EQ(fast.Dirs[d]->IsoExtent, ref.Dirs[d]->IsoExtent);
    EXPECT_EQ(fast.Dirs[d]->IsoSize, ref.Dirs[d]->IsoSize);
    EXPECT_EQ(fast.Dirs[d]->JolietExtent, ref.Dirs[d]->JolietExtent);
    EXPECT_EQ(fast.Dirs[d]->JolietSize, ref.Dirs[d]->JolietSize);
    const TFileNode* a = fast.Dirs[d]->FirstEntry;
    const TFileNode* c = ref.Dirs[d]->FirstEntry;
    for (; a != nullptr && c != nullptr; a = a->Next, c = c->Next)
      ASSERT_EQ(fi.at(a), ri.at(c)) << "entry order in directory " << d;
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(c, nullptr);
  }
  for (size_t i = 0; i < fast.Entries.size(); ++i)
    EXPECT_EQ(fast.Entries[i]->Extent, ref.Entries[i]->Extent);
}

TEST(OrderTest, FastLayoutEqualsTheRoundsOnRandomTrees) {
  std::map<uint32_t, int> roundsSeen;
  for (uint32_t seed = 1; seed <= 1000; ++seed) {
    TImageBuilder fast, ref;
    ClearCompilation(fast);
    ClearCompilation(ref);
    fast.JolietFileSystem = ref.JolietFileSystem = 1;
    TRandomTree gen(seed);
    gen.Grow({&fast, &ref}, 5 + static_cast<int>(gen.Next() % 120));
    // Some trees are laid out, grown and laid out again: the previous order is the start.
    const int layouts = 1 + static_cast<int>(gen.Next() % 3);
    for (int l = 0; l < layouts; ++l) {
      if (l > 0) gen.Grow({&fast, &ref}, 1 + static_cast<int>(gen.Next() % 40));
      PrepareImage(fast);
      const TRefLayout r = ReferenceLayout(ref);
      ExpectSameLayout(fast, ref, r, seed);
      if (HasFatalFailure() || HasFailure()) return;
      ++roundsSeen[r.Rounds];
    }
  }
  // The trees must exercise both parities of the round count and deep reorderings.
  EXPECT_GT(roundsSeen[1], 0);
  EXPECT_GT(roundsSeen[2], 0);
  int deep = 0;
  for (auto& [rounds, count] : roundsSeen)
    if (rounds >= 4) deep += count;
  EXPECT_GT(deep, 0);
}

TEST(OrderTest, DeepChainsCreatedBottomUpNeedManyRounds) {
  // Folders created depth first in long chains: every round settles only one more level.
  TImageBuilder fast, ref;
  ClearCompilation(fast);
  ClearCompilation(ref);
  for (TImageBuilder* b : {&fast, &ref}) {
    std::vector<TDirNode*> tips(4, b->Root);
    for (int c = 0; c < 4; ++c)
      for (int level = 0; level < 60; ++level)
        tips[c] = AddDir(*b, tips[c],
                         u"c" + plat::AnsiToWide(std::to_string(c) + "L" + std::to_string(level)));
    AddFile(*b, tips[0], u"same", 1, u"X.TXT");
    AddFile(*b, tips[0], u"Same2", 1, u"X.TXT");
  }
  fast.JolietFileSystem = ref.JolietFileSystem = 1;
  PrepareImage(fast);
  const TRefLayout r = ReferenceLayout(ref);
  EXPECT_EQ(r.Rounds, 60u);
  ExpectSameLayout(fast, ref, r, 0);
}

}  // namespace
