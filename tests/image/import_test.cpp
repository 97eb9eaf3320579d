// Session import: a session this program laid out is read back through the block callback, its
// entries merged into a new compilation, and the new session's records checked byte by byte
// where they point at the old extents; damaged sessions are refused without a read outside the
// medium.
#include <map>
#include <random>
#include <set>

#include "image/qvpImageStream.h"
#include "image/qvpImport.h"
#include "image/qvpSessionReadParts.h"
#include "tests/image/image_test_support.h"

using namespace imgtest;

namespace {

constexpr uint32_t kFirst = 1000;  // where the first session starts

// A medium held in memory: only the sectors a session's metadata fills (the reader never reads
// file data); every read past the medium's end fails the test.
class TMemoryDisc {
 public:
  uint32_t Blocks = 0;
  // Renders a laid-out compilation for a session at start, as the write job would.
  void Write(TImageBuilder& b, uint32_t start) {
    b.SessionStart = start;
    b.VolumeSizeBase = 0;
    b.Udf.UdfBase = start;
    ASSERT_TRUE(RenderMetadata(b));
    TImageStream stream(b);
    std::vector<uint8_t> buf(size_t{b.DataStart} * 2048);
    ASSERT_EQ(stream.Read(buf.data(), b.DataStart), b.DataStart);
    for (uint32_t i = 0; i < b.DataStart; ++i)
      sectors_[start + i].assign(&buf[size_t{i} * 2048], &buf[size_t{i + 1} * 2048]);
    Blocks = std::max(Blocks, start + b.TotalSectors);
  }
  uint8_t* At(uint32_t lba) {
    auto& s = sectors_[lba];
    s.resize(2048);
    return s.data();
  }
  TBlockReader Reader() {
    return [this](uint32_t lba, uint32_t count, uint8_t* dest) {
      EXPECT_LE(uint64_t{lba} + count, Blocks) << "read outside the medium";
      for (uint32_t i = 0; i < count; ++i, dest += 2048) {
        const auto it = sectors_.find(lba + i);
        if (it == sectors_.end())
          std::fill(dest, dest + 2048, 0);
        else
          std::copy(it->second.begin(), it->second.end(), dest);
      }
      return true;
    };
  }
  TImportResult Read(uint32_t start, TImportTrees want, TImportedSession& s) {
    return ReadSession(Reader(), start, Blocks, want, s);
  }

 private:
  std::map<uint32_t, std::vector<uint8_t>> sectors_;
};

const std::u16string kLong(120, u'ž');  // cut in Joliet (110), whole in UDF

// The first session: 8.3 and generated names, a name without extension, one longer than Joliet
// holds, an empty file, nested folders and a file of 5 GiB in two extents.
void FirstCompilation(TImageBuilder& b) {
  ClearCompilation(b);
  b.JolietFileSystem = 1;
  b.UDFBridge = 1;
  AddFile(b, b.Root, u"readme.txt", 10);
  AddFile(b, b.Root, u"README", 20);
  AddFile(b, b.Root, u"Dlouhé jméno souboru.txt", 3000, u"DLOUHE~1.TXT");
  AddFile(b, b.Root, kLong + u".txt", 5, u"ZZZZZZ~1.TXT");
  AddFile(b, b.Root, u"prázdný", 0, u"PRAZDN~1");
  AddFile(b, b.Root, u"velký.bin", 5ull << 30, u"VELK~1.BIN");
  TDirNode* photos = AddDir(b, b.Root, u"Fotky");
  AddFile(b, photos, u"obr.jpg", 70000);
  AddFile(b, AddDir(b, photos, u"2024"), u"a.bin", 1);
  PrepareImage(b);
}

const TImportedNode* Child(const TImportedNode& n, std::u16string_view name) {
  for (const TImportedNode& c : n.Children)
    if (c.LongName == name) return &c;
  return nullptr;
}

// Every entry of the compilation came back with its recorded names, size, date and extents.
void ExpectSameTree(const TImageBuilder& b, const TDirNode* d, const TImportedNode& n,
                    uint32_t start) {
  size_t count = 0;
  for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next, ++count) {
    const std::u16string_view name(e->LongName, e->LongNameLen);
    const TImportedNode* c = Child(n, name);
    ASSERT_NE(c, nullptr) << plat::Utf16ToUtf8(name);
    EXPECT_EQ(c->IsoName, IsoIdentifier(b, e));
    EXPECT_EQ(c->JolietName, JolietIdentifier(e));
    EXPECT_EQ(c->Date[0], e->ModTime.Year - 1900);
    EXPECT_EQ(static_cast<int8_t>(c->Date[6]), e->GmtOffset);
    EXPECT_EQ(c->Directory, e->SubDir != nullptr);
    if (e->SubDir != nullptr) {
      ExpectSameTree(b, e->SubDir, *c, start);
      continue;
    }
    EXPECT_EQ(c->Size, e->Size);
    const TImportedData* im = ImportedOf(e);
    uint32_t lba = im != nullptr ? e->Extent : start + b.DataStart + e->Extent;
    uint64_t left = e->Size;
    ASSERT_EQ(c->Extents.size(), e->Size == 0 ? 0 : ExtentCount(e));
    for (const TImportedExtent& x : c->Extents) {
      EXPECT_EQ(x.Lba, lba);
      EXPECT_EQ(x.Length, std::min(left, kMaxExtentBytes));
      lba += static_cast<uint32_t>(kMaxExtentBytes / 2048);
      left -= x.Length;
    }
  }
  EXPECT_EQ(n.Children.size(), count);
}

class SessionImport : public ::testing::Test {
 protected:
  TImageBuilder first, second;
  TMemoryDisc disc;
  uint32_t kSecond = 0;  // where the second session starts: behind the first, as on a disc
  const TImportTrees all{true, false, true};
  void SetUp() override {
    FirstCompilation(first);
    disc.Write(first, kFirst);
    kSecond = disc.Blocks + 6900;
  }
  // The second session: a file that replaces one, a folder that merges, a new file; then the
  // first session merged under it and the whole laid out behind the first.
  void Append() {
    ClearCompilation(second);
    second.JolietFileSystem = 1;
    second.UDFBridge = 1;
    AddFile(second, second.Root, u"README.TXT", 2049);
    AddFile(second, AddDir(second, second.Root, u"fotky"), u"nový.jpg", 4096);
    AddFile(second, second.Root, u"nový.txt", 1);
    TImportedSession s;
    ASSERT_EQ(disc.Read(kFirst, all, s), TImportResult::Imported);
    ASSERT_EQ(MergeImportedSession(second, s), TImportResult::Imported);
    PrepareImage(second);
    disc.Write(second, kSecond);
  }
  TFileNode* Find(TDirNode* d, std::u16string_view name) {
    for (TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next)
      if (std::u16string_view(e->LongName, e->LongNameLen) == name) return e;
    return nullptr;
  }
};

TEST_F(SessionImport, EveryEntryComesBackAsRecorded) {
  TImportedSession s;
  ASSERT_EQ(disc.Read(kFirst, all, s), TImportResult::Imported);
  EXPECT_TRUE(s.HasJoliet && s.HasUdf && !s.HasIso1999);
  EXPECT_EQ(s.Files, 8u);
  EXPECT_EQ(s.Directories, 2u);
  ExpectSameTree(first, first.Root, s.Root, kFirst);
  // The name Joliet had to cut comes whole from the UDF tree.
  const TImportedNode* longName = Child(s.Root, kLong + u".txt");
  ASSERT_NE(longName, nullptr);
  EXPECT_EQ(longName->JolietName.size(), kMaxJolietName);
}

TEST_F(SessionImport, NewSessionPointsAtTheOldExtentsAndMergesByName) {
  Append();
  // Only the new files' data is laid out.
  EXPECT_EQ(second.DataSectors, 2u + 2u + 1u);
  // The new README.TXT stands in place of readme.txt; fotky took in Fotky's entries.
  TFileNode* readme = Find(second.Root, u"README.TXT");
  ASSERT_NE(readme, nullptr);
  EXPECT_EQ(ImportedOf(readme), nullptr);
  EXPECT_EQ(Find(second.Root, u"readme.txt"), nullptr);
  TFileNode* photos = Find(second.Root, u"fotky");
  ASSERT_NE(photos, nullptr);
  ASSERT_NE(photos->SubDir, nullptr);
  EXPECT_NE(Find(photos->SubDir, u"obr.jpg"), nullptr);
  EXPECT_NE(Find(photos->SubDir, u"2024"), nullptr);
  EXPECT_NE(Find(photos->SubDir, u"nový.jpg"), nullptr);

  // The root's ISO 9660 records, read without the writer's help.
  const uint8_t* root = Sector(second, second.DirArea);
  std::map<std::string, std::vector<TRecord>> records;
  for (const TRecord& r : ReadRecords(root, second.Root->IsoSize)) records[r.Id].push_back(r);
  const TFileNode* oldLong = Find(first.Root, u"Dlouhé jméno souboru.txt");
  ASSERT_EQ(records["DLOUHE~1.TXT"].size(), 1u);
  const TRecord& r = records["DLOUHE~1.TXT"][0];
  EXPECT_EQ(r.Extent, kFirst + first.DataStart + oldLong->Extent);
  EXPECT_EQ(r.DataLength, 3000u);
  EXPECT_EQ(r.Flags, 0);
  EXPECT_EQ(r.Raw[18], oldLong->ModTime.Year - 1900);
  // Four gibibytes and more: both extents as they were recorded, the first one continued.
  const auto& big = records["VELK~1.BIN"];
  ASSERT_EQ(big.size(), 2u);
  const TFileNode* oldBig = Find(first.Root, u"velký.bin");
  EXPECT_EQ(big[0].Extent, kFirst + first.DataStart + oldBig->Extent);
  EXPECT_EQ(big[0].Flags, 0x80);
  EXPECT_EQ(big[1].Extent, big[0].Extent + kMaxExtentBytes / 2048);
  EXPECT_EQ(uint64_t{big[0].DataLength} + big[1].DataLength, 5ull << 30);
  ASSERT_EQ(records["README."].size(), 1u);  // recorded with its dot, not regenerated
  // The new file's record points into the new session.
  ASSERT_EQ(records["README.TXT"].size(), 1u);
  EXPECT_EQ(records["README.TXT"][0].Extent, kSecond + second.DataStart + readme->Extent);

  // Read back, the second session shows the first one's entries under the names they had.
  TImportedSession s;
  ASSERT_EQ(disc.Read(kSecond, all, s), TImportResult::Imported);
  const TImportedNode* again = Child(s.Root, kLong + u".txt");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->JolietName, JolietIdentifier(Find(first.Root, kLong + u".txt")));
  EXPECT_EQ(again->IsoName, "ZZZZZZ~1.TXT");
  // The UDF file entry of the imported big file points at the same data inside the partition.
  const TBlockReader read = disc.Reader();
  sessionread::TMedium m(read, disc.Blocks);
  sessionread::TUdfVolume v;
  ASSERT_EQ(sessionread::OpenUdfVolume(m, kSecond, v), TImportResult::Imported);
  EXPECT_EQ(v.PartitionStart, 257u);
  std::vector<sessionread::TEntry> entries;
  ASSERT_EQ(sessionread::ListUdfDirectory(m, v, v.RootIcb, entries), TImportResult::Imported);
  auto e = std::find_if(entries.begin(), entries.end(),
                        [](const auto& x) { return x.Name == u"velký.bin"; });
  ASSERT_NE(e, entries.end());
  ASSERT_EQ(sessionread::ResolveUdfFile(m, v, *e), TImportResult::Imported);
  EXPECT_EQ(e->Size, 5ull << 30);
  ASSERT_EQ(e->Extents.size(), 7u);  // at most 1 GiB each, the second extent from the 6th on
  EXPECT_EQ(e->Extents[0].Lba, big[0].Extent);
  EXPECT_EQ(e->Extents[5].Lba, big[1].Extent);
}

// A session written with ISO 9660:1999 records long names in its primary tree: they come back as
// long names (Joliet's where the recording had to replace letters), and a new session without
// ISO 9660:1999 gives them 8.3 names of its own.
TEST_F(SessionImport, LongNamePrimaryTreeGetsGeneratedShortNames) {
  TImageBuilder b;
  ClearCompilation(b);
  b.JolietFileSystem = 1;
  b.ISO9660v1999FS = 1;
  AddFile(b, b.Root, u"Dlouhé jméno souboru.txt", 3000, u"DLOUHE~1.TXT");
  AddFile(b, b.Root, u"README", 20);
  AddFile(b, AddDir(b, b.Root, u"Fotky z léta"), u"obr.jpg", 70000);
  PrepareImage(b);
  disc.Write(b, kSecond);
  TImportedSession s;
  ASSERT_EQ(disc.Read(kSecond, {true, true, false}, s), TImportResult::Imported);
  const TImportedNode* name = Child(s.Root, u"Dlouhé jméno souboru.txt");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->IsoName, "");
  ASSERT_NE(Child(s.Root, u"Fotky z léta"), nullptr);
  for (const bool iso1999 : {false, true}) {
    TImageBuilder next;
    ClearCompilation(next);
    next.JolietFileSystem = 1;
    next.ISO9660v1999FS = iso1999;
    ASSERT_EQ(MergeImportedSession(next, s), TImportResult::Imported);
    Render(next);
    std::set<std::string> ids;
    for (const TRecord& r : ReadRecords(Sector(next, next.DirArea), next.Root->IsoSize))
      if (r.Id.size() > 1) ids.insert(r.Id);
    const std::set<std::string> want =
        iso1999 ? std::set<std::string>{"Dlouh_ jm_no souboru.txt", "Fotky z l_ta", "README"}
                : std::set<std::string>{"DLOUH_~1.TXT", "FOTKYZ~1", "README."};
    EXPECT_EQ(ids, want);
  }
}

TEST_F(SessionImport, MissingTreesAreRefused) {
  TImportedSession s;
  EXPECT_EQ(disc.Read(kFirst, {true, true, false}, s), TImportResult::NoIso1999);
  // A volume without UDF grown over one with it: the old anchor at 256 is still there, but it
  // is not this volume's.
  TImageBuilder plain;
  ClearCompilation(plain);
  AddFile(plain, plain.Root, u"a.txt", 5);
  PrepareImage(plain);
  disc.Write(plain, kFirst);
  EXPECT_EQ(disc.Read(kFirst, {true, false, false}, s), TImportResult::NoJoliet);
  EXPECT_EQ(disc.Read(kFirst, {false, false, true}, s), TImportResult::NoUdf);
  EXPECT_EQ(disc.Read(kFirst, {}, s), TImportResult::Imported);
  EXPECT_EQ(disc.Read(kSecond, {}, s), TImportResult::NoVolume);
}

TEST_F(SessionImport, DamagedTreesAreRefused) {
  const uint32_t root = kFirst + first.DirArea;
  const auto records = ReadRecords(disc.At(root), 2048);
  const uint8_t* photos = nullptr;
  for (const TRecord& r : records)
    if (r.Id == "FOTKY") photos = r.Raw;
  ASSERT_NE(photos, nullptr);
  const size_t photosAt = photos - disc.At(root);
  const uint32_t rootFileEntry = kFirst + first.Root->UdfFileEntrySector;
  struct TCase {
    const char* what;
    uint32_t lba;
    size_t offset;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"root beyond the medium", kFirst + 16, 158, {0xFF, 0xFF, 0xFF, 0x7F}},
      {"folder that holds its parent",
       root,
       photosAt + 2,
       {uint8_t(root), uint8_t(root >> 8), 0, 0}},
      {"record shorter than its head", root, 68, {20}},
      {"identifier longer than its record", root, 68 + 32, {255}},
      {"file beyond the medium", root, records.back().Offset + 2, {0xF0, 0xFF, 0xFF, 0x0F}},
      {"name holding a NUL", root, records.back().Offset + 34, {0}},
      {"no terminator", kFirst + 18, 1, {'X'}},
      {"UDF anchor", kFirst + 256, 40, {0x55}},
      {"UDF root file entry", rootFileEntry, 60, {0x55}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryDisc damaged = disc;
    std::copy(c.bytes.begin(), c.bytes.end(), damaged.At(c.lba) + c.offset);
    TImportedSession s;
    EXPECT_EQ(damaged.Read(kFirst, all, s), TImportResult::Damaged);
  }
}

TEST_F(SessionImport, RandomDamageNeverLeadsOutsideTheMedium) {
  std::mt19937 random(7);
  const uint32_t metadata = first.DataStart;
  for (int round = 0; round < 400; ++round) {
    TMemoryDisc damaged = disc;
    for (int k = 0; k < 1 + round % 4; ++k)
      damaged.At(kFirst + 16 + random() % (metadata - 16))[random() % 2048] =
          static_cast<uint8_t>(random());
    TImportedSession s;
    if (damaged.Read(kFirst, all, s) != TImportResult::Imported) continue;
    std::vector<const TImportedNode*> todo{&s.Root};
    while (!todo.empty()) {
      const TImportedNode* n = todo.back();
      todo.pop_back();
      for (const TImportedExtent& x : n->Extents)
        ASSERT_LE(x.Lba + (uint64_t{x.Length} + 2047) / 2048, disc.Blocks);
      for (const TImportedNode& c : n->Children) todo.push_back(&c);
    }
  }
}

}  // namespace
