// Reading a session's trees into one tree of imported entries: the primary ISO 9660 tree gives
// the shape, and every further tree (Joliet, UDF, a separate ISO 9660:1999 tree) is walked beside
// it, folder by folder, pairing its entries with those already known to add its names.
#include "image/qvpSessionReader.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "image/qvpSessionReadParts.h"

namespace sessionread {

namespace {

bool IsDigits(std::u16string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The name without a version suffix (";1").
std::u16string_view StripVersion(std::u16string_view name) {
  const size_t semi = name.rfind(u';');
  if (semi != std::u16string_view::npos && semi > 0 && IsDigits(name.substr(semi + 1)))
    return name.substr(0, semi);
  return name;
}

}  // namespace

std::u16string PairingKey(std::u16string_view name) {
  name = StripVersion(name);
  if (name.size() > 1 && name.back() == u'.') name.remove_suffix(1);
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return key;
}

TImportResult PairEntries(const std::vector<TImportedNode>& a, std::vector<TEntry>& b,
                          const std::function<TImportResult(TEntry&)>& resolve,
                          std::vector<int32_t>& partner) {
  partner.assign(b.size(), -1);
  std::vector<bool> taken(a.size(), false);
  auto pair = [&](int32_t i, int32_t j) {
    partner[static_cast<size_t>(j)] = i;
    taken[static_cast<size_t>(i)] = true;
  };
  // Index on each side, or -2 when the key is not unique there.
  auto note = [](int32_t& slot, int32_t index) { slot = slot == -1 ? index : -2; };

  // Names unique on both sides, folders and files apart.
  std::unordered_map<std::u16string, std::pair<int32_t, int32_t>> names;
  auto nameKey = [](bool directory, std::u16string_view name) {
    return (directory ? u"d" : u"f") + PairingKey(name);
  };
  for (size_t i = 0; i < a.size(); ++i)
    note(names.try_emplace(nameKey(a[i].Directory, a[i].LongName), -1, -1).first->second.first,
         int32_t(i));
  for (size_t j = 0; j < b.size(); ++j)
    note(names.try_emplace(nameKey(b[j].Directory, b[j].Name), -1, -1).first->second.second,
         int32_t(j));
  for (const auto& [key, at] : names)
    if (at.first >= 0 && at.second >= 0) pair(at.first, at.second);

  // Files by their data: where it starts and how long it is.
  std::map<std::pair<uint32_t, uint64_t>, std::pair<int32_t, int32_t>> data;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!taken[i] && !a[i].Directory && a[i].Size > 0 && !a[i].Extents.empty())
      note(data.try_emplace({a[i].Extents[0].Lba, a[i].Size}, -1, -1).first->second.first,
           int32_t(i));
  }
  for (size_t j = 0; j < b.size(); ++j) {
    if (partner[j] >= 0 || b[j].Directory) continue;
    if (const TImportResult r = resolve(b[j]); r != TImportResult::Imported) return r;
    if (b[j].Size > 0 && !b[j].Extents.empty())
      note(data.try_emplace({b[j].Extents[0].Lba, b[j].Size}, -1, -1).first->second.second,
           int32_t(j));
  }
  for (const auto& [key, at] : data)
    if (at.first >= 0 && at.second >= 0) pair(at.first, at.second);

  // What is left, in recorded order, when both sides have as many of a kind.
  for (const bool directory : {true, false}) {
    std::vector<int32_t> left, right;
    for (size_t i = 0; i < a.size(); ++i)
      if (!taken[i] && a[i].Directory == directory) left.push_back(int32_t(i));
    for (size_t j = 0; j < b.size(); ++j)
      if (partner[j] < 0 && b[j].Directory == directory) right.push_back(int32_t(j));
    if (left.size() == right.size())
      for (size_t k = 0; k < left.size(); ++k) pair(left[k], right[k]);
  }
  return TImportResult::Imported;
}

namespace {

enum class TTree { Primary, PrimaryLong, Joliet, Iso1999, Udf };
constexpr size_t kTreeCount = 5;

// Walks the trees of one session into its imported entries.
class TWalker {
 public:
  TWalker(TMedium& m, TImportedSession& s) : m_(m), s_(s) {}
  TUdfVolume Udf;

  // node's entries from one tree alone.
  TImportResult Build(TImportedNode& node, TTree tree, const TEntry& dir, uint32_t depth) {
    std::vector<TEntry> entries;
    if (const TImportResult r = List(tree, dir, depth, entries); r != TImportResult::Imported)
      return r;
    node.Children.reserve(entries.size());
    for (TEntry& e : entries) {
      if (const TImportResult r = Add(tree, e, depth, node.Children); r != TImportResult::Imported)
        return r;
    }
    return TImportResult::Imported;
  }

  // A further tree's folder beside node: its names for the entries it shares with node, and the
  // entries only it has.
  TImportResult Attach(TImportedNode& node, TTree tree, const TEntry& dir, uint32_t depth) {
    std::vector<TEntry> entries;
    if (const TImportResult r = List(tree, dir, depth, entries); r != TImportResult::Imported)
      return r;
    std::vector<int32_t> partner;
    const auto resolve = [&](TEntry& e) {
      return tree == TTree::Udf ? ResolveUdfFile(m_, Udf, e) : TImportResult::Imported;
    };
    if (const TImportResult r = PairEntries(node.Children, entries, resolve, partner);
        r != TImportResult::Imported)
      return r;
    std::vector<TImportedNode> only;
    for (size_t j = 0; j < entries.size(); ++j) {
      if (partner[j] < 0) {
        if (const TImportResult r = Add(tree, entries[j], depth, only);
            r != TImportResult::Imported)
          return r;
        continue;
      }
      TImportedNode& n = node.Children[static_cast<size_t>(partner[j])];
      Name(tree, entries[j], n);
      if (n.Directory) {
        if (const TImportResult r = Attach(n, tree, entries[j], depth + 1);
            r != TImportResult::Imported)
          return r;
      }
    }
    for (TImportedNode& n : only) node.Children.push_back(std::move(n));
    return TImportResult::Imported;
  }

 private:
  TImportResult List(TTree tree, const TEntry& dir, uint32_t depth, std::vector<TEntry>& out) {
    if (depth > kImportMaxDepth) return TImportResult::Unsupported;
    // A folder met twice in one tree would make the walk endless.
    if (!visited_[static_cast<size_t>(tree)].insert(dir.Ref).second) return TImportResult::Damaged;
    if (tree == TTree::Udf) return ListUdfDirectory(m_, Udf, dir.Ref, out);
    return ListIsoDirectory(m_, dir.Ref, dir.RefLength, tree == TTree::Joliet, out);
  }

  // A new entry from one tree, with its whole subtree when it is a folder.
  TImportResult Add(TTree tree, TEntry& e, uint32_t depth, std::vector<TImportedNode>& into) {
    if (tree == TTree::Udf && !e.Directory) {
      if (const TImportResult r = ResolveUdfFile(m_, Udf, e); r != TImportResult::Imported)
        return r;
      // Data kept inside the file entry has no extent a directory record could point at.
      if (e.Size > 0 && e.Extents.empty()) return TImportResult::Unsupported;
    }
    ++(e.Directory ? s_.Directories : s_.Files);
    // The root is a directory of the tree too.
    if (s_.Directories >= kMaxDirs || s_.Files + s_.Directories > kMaxEntries)
      return TImportResult::TooLarge;
    TImportedNode n;
    n.Directory = e.Directory;
    n.Hidden = e.Hidden;
    std::copy(std::begin(e.Date), std::end(e.Date), n.Date);
    n.Size = e.Size;
    n.Extents = std::move(e.Extents);
    Name(tree, e, n);
    if (n.Directory) {
      if (const TImportResult r = Build(n, tree, e, depth + 1); r != TImportResult::Imported)
        return r;
    }
    into.push_back(std::move(n));
    return TImportResult::Imported;
  }

  // The names one tree gives an entry. Later trees give better long names: Joliet, then UDF,
  // then a separate ISO 9660:1999 tree.
  static void Name(TTree tree, const TEntry& e, TImportedNode& n) {
    switch (tree) {
      case TTree::Primary:
        n.IsoName = e.Raw;
        if (n.LongName.empty()) {
          std::u16string_view name = StripVersion(e.Name);
          // A file without extension is recorded "README.".
          if (!e.Directory && name.size() > 1 && name.back() == u'.') name.remove_suffix(1);
          n.LongName.assign(name);
        }
        break;
      case TTree::PrimaryLong:
      case TTree::Iso1999:
        n.LongName.assign(StripVersion(e.Name));
        break;
      case TTree::Joliet:
        n.JolietName = e.Name;
        n.LongName.assign(StripVersion(e.Name));
        break;
      case TTree::Udf:
        n.LongName = e.Name;
        break;
    }
  }

  TMedium& m_;
  TImportedSession& s_;
  std::unordered_set<uint32_t> visited_[kTreeCount];
};

TEntry RootOf(const TIsoTree& t) {
  TEntry e;
  e.Directory = true;
  e.Ref = t.RootLba;
  e.RefLength = t.RootLength;
  return e;
}

// Where to look for the next session: a volume records its size counted from LBA 0 when its
// folders reach into earlier sessions, else from its own start; the smaller reading is taken.
uint32_t VolumeEnd(uint32_t start, uint32_t volumeSpace) {
  return std::max(volumeSpace, start + 1);
}

}  // namespace
}  // namespace sessionread

using namespace sessionread;

TImportResult ReadSession(const TBlockReader& read, uint32_t start, uint32_t mediumBlocks,
                          TImportTrees want, TImportedSession& out) {
  out = TImportedSession{};
  out.Start = start;
  out.Root.Directory = true;
  TMedium m(read, mediumBlocks);
  TDescriptors d;
  if (const TImportResult r = ReadDescriptors(m, start, d); r != TImportResult::Imported) return r;
  out.HasJoliet = d.Joliet.Found;
  out.HasIso1999 = d.Iso1999.Found;
  if (want.Joliet && !out.HasJoliet) return TImportResult::NoJoliet;
  if (want.Iso1999 && !out.HasIso1999) return TImportResult::NoIso1999;
  TWalker w(m, out);
  if (want.Udf) {
    if (!d.UdfRecognized) return TImportResult::NoUdf;
    if (const TImportResult r = OpenUdfVolume(m, start, w.Udf); r != TImportResult::Imported)
      return r;
    out.HasUdf = true;
  }
  // A session written with ISO 9660:1999 records long names in its primary tree itself.
  const bool longPrimary = d.Iso1999.Found && d.Iso1999.RootLba == d.Primary.RootLba;
  TImportResult r =
      w.Build(out.Root, longPrimary ? TTree::PrimaryLong : TTree::Primary, RootOf(d.Primary), 0);
  if (r == TImportResult::Imported && want.Joliet)
    r = w.Attach(out.Root, TTree::Joliet, RootOf(d.Joliet), 0);
  if (r == TImportResult::Imported && want.Udf) {
    TEntry root;
    root.Directory = true;
    root.Ref = w.Udf.RootIcb;
    r = w.Attach(out.Root, TTree::Udf, root, 0);
  }
  if (r == TImportResult::Imported && want.Iso1999 && !longPrimary)
    r = w.Attach(out.Root, TTree::Iso1999, RootOf(d.Iso1999), 0);
  return r;
}

bool FindLastSession(const TBlockReader& read, uint32_t mediumBlocks, uint32_t before,
                     uint32_t& start) {
  // The search may pass over whole sessions; each volume it meets is read within its budget.
  TMedium m(read, mediumBlocks, UINT32_MAX);
  const uint32_t limit = std::min(before, mediumBlocks);
  // A volume laid out for LBA s: its root lies behind s and before the limit. A file that holds
  // an image of its own has its root near that image's start, so it is never taken for one.
  auto volumeAt = [&](uint32_t s, uint32_t& end) {
    TMedium volume(read, mediumBlocks);
    TDescriptors d;
    if (ReadDescriptors(volume, s, d) != TImportResult::Imported) return false;
    if (d.Primary.RootLba < s || d.Primary.RootLba >= limit) return false;
    end = VolumeEnd(s, d.VolumeSpace);
    return true;
  };
  uint32_t end = 0;
  if (!volumeAt(0, end)) return false;
  start = 0;
  constexpr uint32_t kChunk = 64;
  std::vector<uint8_t> chunk;
  for (uint32_t x = std::max(end, 1u); x < limit && uint64_t{x} + 17 <= mediumBlocks;) {
    const uint32_t n =
        static_cast<uint32_t>(std::min<uint64_t>({kChunk, limit - x, mediumBlocks - x - 16}));
    if (m.Read(x + 16, n, chunk) != TImportResult::Imported) break;
    bool found = false;
    for (uint32_t k = 0; k < n && !found; ++k) {
      const uint8_t* s = chunk.data() + size_t{k} * 2048;
      if (s[0] != 1 || s[6] != 1 ||
          std::string_view(reinterpret_cast<const char*>(s + 1), 5) != "CD001")
        continue;
      uint32_t next = 0;
      if (volumeAt(x + k, next)) {
        start = x + k;
        x = std::max(next, start + 1);
        found = true;
      }
    }
    if (!found) x += n;
  }
  return true;
}
