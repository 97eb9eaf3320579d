// The UDF area: the layout walk against the on-demand producer, checked by an independent parse
// of the produced sectors (every descriptor's tag, CRC and location, every identifier's name and
// target, every file entry's length and extents), for fixed and random trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "image/qvpTree.h"
#include "image/qvpUDFBridge.h"
#include "platform/Text.h"
#include "tests/image/udf_test_support.h"

using namespace img;

using namespace udftest;

namespace {

struct TArea {
  uint32_t Start = 0;
  std::vector<uint8_t> Bytes;
  const uint8_t* Sector(uint32_t x) const { return Bytes.data() + size_t{x - Start} * 2048; }
};

// Lays the area out at `first` with data from `dataStart` on, file extents as a running sum
// (what the ISO layout does), and produces it in chunks of the given sizes, cycled.
TArea LayOutAndProduce(TImageBuilder& b, uint32_t first, const std::vector<uint32_t>& chunks,
                       uint32_t udfBase = 0) {
  uint32_t extent = 0;
  for (uint32_t i = 0; i < b.EntryCount; ++i) {
    TFileNode* e = b.Entries[i];
    if (e->SubDir || e->FixedExtent) continue;
    e->Extent = e->Size ? extent : 0;
    extent += static_cast<uint32_t>((e->Size + 2047) / 2048);
  }
  UdfLayoutStart(b, 18);
  b.Udf.RecordingTime.Second = 7;  // one fixed time stamp, so runs compare byte for byte
  b.Udf.RecordingTime.Minute = 3;
  const uint32_t sectors = UdfLayoutArea(b, first);
  UdfLayoutFinish(b, first + sectors, first + sectors + extent + 40);
  b.Udf.UdfBase = udfBase;
  UdfStreamStart(b);
  TArea a;
  a.Start = first;
  a.Bytes.assign(size_t{sectors} * 2048, 0xEE);
  uint32_t done = 0;
  for (size_t i = 0; done < sectors; ++i) {
    const uint32_t n = std::min(chunks[i % chunks.size()], sectors - done);
    ProduceUdfArea(b, a.Bytes.data() + size_t{done} * 2048, n);
    done += n;
  }
  return a;
}

// Independent reading of the produced area. Returns the number of file entries found; fails
// the test on any mismatch with the tree.
class TAreaChecker {
 public:
  TAreaChecker(const TImageBuilder& b, const TArea& a) : b_(b), a_(a) {}

  void Check() {
    seen_.assign(a_.Bytes.size() / 2048, 0);
    CheckDirectory(b_.Root);
    for (size_t i = 0; i < seen_.size(); ++i) EXPECT_EQ(seen_[i], 1) << "area sector " << i;
    EXPECT_EQ(ids_.count(0), 1u);
    EXPECT_EQ(ids_.size(), 1 + b_.Udf.FileCount + b_.Udf.DirectoryCount - 1);
    EXPECT_LT(*ids_.rbegin(), 16 + uint64_t{b_.Udf.DirectoryCount} + b_.Udf.FileCount);
  }

 private:
  uint32_t Block(uint32_t x) const { return b_.Udf.UdfBase + x - 257; }
  void Mark(uint32_t x) {
    ASSERT_GE(x, a_.Start);
    ASSERT_LT(x - a_.Start, seen_.size());
    ++seen_[x - a_.Start];
  }

  void CheckFileEntry(uint32_t x, uint8_t type, uint64_t length, uint32_t position,
                      uint16_t links) {
    Mark(x);
    const uint8_t* s = a_.Sector(x);
    ExpectTag(s, 261, Block(x), 2032);
    EXPECT_EQ(s[27], type);
    EXPECT_EQ(Get16(s + 48), links);
    EXPECT_EQ(Get64(s + 56), length);
    EXPECT_EQ(Get64(s + 64), (length + 2047) / 2048);
    const uint64_t id = Get64(s + 160);
    EXPECT_TRUE(ids_.insert(id).second) << "unique ID " << id << " twice";
    EXPECT_EQ(Get32(s + 172), 1872u);
    // Extents: consecutive, all but the last a whole number of blocks, their sum the length.
    uint64_t sum = 0;
    uint32_t expect = position;
    for (int i = 0; i < 234; ++i) {
      const uint32_t len = Get32(s + 176 + 8 * i);
      if (len == 0) break;
      EXPECT_LE(len, 0x3FFFFFFFu);
      EXPECT_EQ(Get32(s + 180 + 8 * i), expect);
      if (sum + len < length) {
        EXPECT_EQ(len % 2048, 0u);
      }
      sum += len;
      expect += len / 2048;
    }
    EXPECT_EQ(sum, length);
    if (length == 0) {
      EXPECT_EQ(Get32(s + 180), position);
    }
  }

  uint32_t FilePosition(const TFileNode& e) const {
    if (e.Size == 0) return 0;
    if (e.FixedExtent) return e.Extent - 257;
    return Block(b_.Udf.DataStart + e.Extent);
  }

  void CheckDirectory(const TDirNode* dir) {
    CheckFileEntry(dir->UdfFileEntrySector, 4, dir->UdfInfoLength, Block(dir->UdfIdentSector),
                   dir->UdfLinkCount);
    const uint32_t sectors = static_cast<uint32_t>((dir->UdfInfoLength + 2047) / 2048);
    std::vector<uint8_t> stream;
    for (uint32_t k = 0; k < sectors; ++k) {
      Mark(dir->UdfIdentSector + k);
      const uint8_t* s = a_.Sector(dir->UdfIdentSector + k);
      stream.insert(stream.end(), s, s + 2048);
    }
    size_t off = 0;
    auto next = [&](uint8_t chars, std::u16string_view name, uint32_t icbSector) {
      ASSERT_LE(off + 40, dir->UdfInfoLength);
      const uint8_t* f = stream.data() + off;
      ExpectTag(f, 257, Block(dir->UdfIdentSector + static_cast<uint32_t>(off / 2048)),
                static_cast<uint16_t>(IdentifierSize(f) - 16));
      EXPECT_EQ(Get16(f + 16), 1);
      EXPECT_EQ(f[18], chars);
      EXPECT_EQ(Get32(f + 20), 2048u);
      EXPECT_EQ(Get32(f + 24), Block(icbSector));
      EXPECT_EQ(Get16(f + 36), 0);
      EXPECT_EQ(DecodeCs0(f + 38, f[19]), std::u16string(name));
      off += IdentifierSize(f);
    };
    next(10, u"", dir->Parent->UdfFileEntrySector);
    std::set<std::u16string> names;
    for (const TFileNode* e = dir->FirstEntry; e; e = e->Next) {
      const std::u16string full(e->LongName, e->LongNameLen);
      std::u16string recorded = full;
      if (full.size() > 127) {
        const uint8_t* f = stream.data() + off;
        recorded = DecodeCs0(f + 38, f[19]);
        EXPECT_LE(recorded.size(), 127u);
        EXPECT_GE(recorded.size(), 126u);
        EXPECT_EQ(recorded.substr(0, 100), full.substr(0, 100));
      }
      EXPECT_TRUE(names.insert(plat::ToUpper(recorded)).second)
          << "name recorded twice in a folder";
      next(e->SubDir ? 2 : 0, recorded,
           e->SubDir ? e->SubDir->UdfFileEntrySector : e->UdfFileEntrySector);
      if (!e->SubDir) CheckFileEntry(e->UdfFileEntrySector, 5, e->Size, FilePosition(*e), 1);
    }
    EXPECT_EQ(off, dir->UdfInfoLength);
    for (size_t i = off; i < stream.size(); ++i) ASSERT_EQ(stream[i], 0) << "stream padding " << i;
    for (const TFileNode* e = dir->FirstEntry; e; e = e->Next)
      if (e->SubDir) CheckDirectory(e->SubDir);
  }

  const TImageBuilder& b_;
  const TArea& a_;
  std::vector<int> seen_;
  std::set<uint64_t> ids_;
};

class UdfArea : public ::testing::Test {
 protected:
  void SetUp() override { ClearCompilation(b); }
  TImageBuilder b;
};

}  // namespace

TEST_F(UdfArea, EmptyCompilationIsTwoSectorsRootEntryAndParentIdentifier) {
  const TArea a = LayOutAndProduce(b, 259, {1});
  ASSERT_EQ(a.Bytes.size(), 2u * 2048);
  EXPECT_EQ(b.Root->UdfFileEntrySector, 259u);
  EXPECT_EQ(b.Root->UdfIdentSector, 260u);
  EXPECT_EQ(b.Udf.DirectoryCount, 1u);
  EXPECT_EQ(b.Udf.FileCount, 0u);
  const uint8_t* fe = a.Sector(259);
  ExpectTag(fe, 261, 2, 2032);
  EXPECT_EQ(fe[27], 4);            // directory
  EXPECT_EQ(Get16(fe + 48), 1);    // link count
  EXPECT_EQ(Get64(fe + 56), 40u);  // information length
  EXPECT_EQ(Get64(fe + 64), 1u);
  EXPECT_EQ(Get64(fe + 160), 0u);  // the root's unique ID
  const std::vector<uint8_t> ad = {40, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(fe + 176, fe + 184), ad);
  const std::vector<uint8_t> parent = {0x01, 0x01, 0x02, 0x00, 0xC9, 0x00, 0x01, 0x00, 0x47, 0x62,
                                       0x18, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00,
                                       0x00, 0x08, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  const uint8_t* ids = a.Sector(260);
  EXPECT_EQ(std::vector<uint8_t>(ids, ids + 40), parent);
  EXPECT_TRUE(std::all_of(ids + 40, ids + 2048, [](uint8_t c) { return c == 0; }));

  // Past the end of the area the producer writes zero sectors.
  std::vector<uint8_t> extra(2048, 0xEE);
  ProduceUdfArea(b, extra.data(), 1);
  EXPECT_TRUE(std::all_of(extra.begin(), extra.end(), [](uint8_t c) { return c == 0; }));
}

TEST_F(UdfArea, IdentifiersFillingExactlyOneSectorAndOneMore) {
  // Parent 40 + six 127-character names (296 each) + one of 95 (232) = 2048 bytes.
  for (char c = 'a'; c < 'g'; ++c) AddFile(b, b.Root, std::u16string(127, char16_t(c)), 10);
  AddFile(b, b.Root, std::u16string(95, u'g'), 10);
  {
    const TArea a = LayOutAndProduce(b, 259, {3});
    EXPECT_EQ(b.Root->UdfInfoLength, 2048u);
    EXPECT_EQ(a.Bytes.size(), (1 + 1 + 7) * 2048u);
    const uint8_t* s = a.Sector(260);
    EXPECT_EQ(Get16(s + 2048 - 232), 257);  // the last identifier ends the sector
    TAreaChecker(b, a).Check();
  }
  // One more entry: its identifier opens the second sector, tagged with that sector's block.
  AddFile(b, b.Root, u"h", 10);
  const TArea a = LayOutAndProduce(b, 259, {1});
  EXPECT_EQ(b.Root->UdfInfoLength, 2048u + 44);
  EXPECT_EQ(a.Bytes.size(), (1 + 2 + 8) * 2048u);
  const uint8_t* second = a.Sector(261);
  ExpectTag(second, 257, 261 - 257, 28);
  EXPECT_EQ(DecodeCs0(second + 38, second[19]), u"h");
  TAreaChecker(b, a).Check();
}

TEST_F(UdfArea, NestedTreeInWalkOrderWithSplitIdentifiers) {
  // root: f1, d1 (g1, e1 (empty), g2), f2, d2 (nothing); names long enough to straddle sectors.
  AddFile(b, b.Root, std::u16string(100, u'1'), 5000);
  TDirNode* d1 = AddDir(b, b.Root, u"d1");
  AddFile(b, b.Root, u"f2", 0);
  TDirNode* d2 = AddDir(b, b.Root, u"d2");
  for (int i = 0; i < 20; ++i) AddFile(b, d1, std::u16string(90, char16_t(u'A' + i)), 1u << i);
  TDirNode* e1 = AddDir(b, d1, u"e1");
  AddFile(b, d1, u"g2", 3ull << 30);
  const TArea a = LayOutAndProduce(b, 300, {1, 2, 5});
  // Root first, its files up to d1, then d1's whole subtree, then the rest of the root.
  EXPECT_EQ(b.Root->UdfFileEntrySector, 300u);
  EXPECT_EQ(b.Root->FirstEntry->UdfFileEntrySector, 302u);
  EXPECT_EQ(d1->UdfFileEntrySector, 303u);
  EXPECT_EQ(d1->UdfLinkCount, 2);
  EXPECT_EQ(b.Root->UdfLinkCount, 3);
  EXPECT_LT(e1->UdfFileEntrySector, d2->UdfFileEntrySector);
  EXPECT_EQ(b.Udf.DirectoryCount, 4u);
  EXPECT_EQ(b.Udf.FileCount, 23u);
  TAreaChecker(b, a).Check();
}

TEST_F(UdfArea, RandomTreesGiveTheSameSectorsWhateverTheRequestSizes) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 12; ++round) {
    ClearCompilation(b);
    BuildRandomTree(b, rng, 40 + round * 25);
    const TArea whole = LayOutAndProduce(b, 259 + round, {1u << 20}, round % 3 == 0 ? 0 : 5000);
    TAreaChecker(b, whole).Check();
    for (uint32_t chunk = 1; chunk <= 9; ++chunk) {
      const TArea a =
          LayOutAndProduce(b, 259 + round, {chunk, chunk + 3, 1}, round % 3 == 0 ? 0 : 5000);
      ASSERT_EQ(a.Bytes, whole.Bytes) << "round " << round << " chunk " << chunk;
    }
  }
}

TEST_F(UdfArea, LongNamesAreCutUniquelyAndTheSameWayEveryLayout) {
  const std::u16string stem(150, u'x');
  AddFile(b, b.Root, stem + u"1.txt", 1);
  AddFile(b, b.Root, stem + u"2.txt", 1);
  AddFile(b, b.Root, stem + u"3.TXT", 1);
  // A name that fits and equals (ignoring case) the plain cut of the others.
  AddFile(b, b.Root, std::u16string(123, u'X') + u".txt", 1);
  AddDir(b, b.Root, std::u16string(217, u'd'));
  const TArea first = LayOutAndProduce(b, 259, {4});
  TAreaChecker(b, first).Check();
  const TArea again = LayOutAndProduce(b, 259, {4});
  EXPECT_EQ(first.Bytes, again.Bytes);
  // The full long names are untouched for the other trees.
  EXPECT_EQ(std::u16string(b.Root->FirstEntry->LongName, b.Root->FirstEntry->LongNameLen),
            stem + u"1.txt");
}
