// Compilation names: any bytes as the names of files and folders and as the volume label, laid
// out in every tree. Each name a tree records must stay within that tree's limits, be unique in
// its folder, and, where the tree records UTF-16, be valid UTF-16 when the name was: a cut never
// splits a surrogate pair.
//
// Input: an options byte (bit 0 Joliet, bit 1 ISO 9660:1999, bit 2 UDF bridge, bit 3 names as
// UTF-16 units instead of bytes), the label (length byte, UTF-8), then entries: a byte whose
// bit 7 makes the entry a folder and whose other bits choose its folder among those made so
// far, and the name (length byte, then that many bytes, or units of two bytes).
//
// Names given as bytes become files and folders on disk, added the way the program adds a
// folder (enumeration, 8.3 names, the tree); names given as UTF-16 units, which no file system
// here holds, go straight into the tree, without 8.3 names (so level-1 names may repeat).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "image/qvpISO9660.h"
#include "image/qvpTree.h"
#include "image/qvpUDFArea.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace img;

namespace {

constexpr size_t kMaxInputEntries = 96;

bool High(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool Low(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool ValidUtf16(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (Low(s[i])) return false;
    if (High(s[i]) && (++i == s.size() || !Low(s[i]))) return false;
  }
  return true;
}

std::string Show(std::u16string_view s) { return plat::Utf16ToUtf8(s); }

struct TEntry {
  size_t folder;  // index into the folders made so far (0 is the root)
  bool isFolder;
  std::string bytes;    // the name on disk
  std::u16string wide;  // the name given as units
};

// Names unique in their folder: without regard to case in the primary tree (its names are
// upper case); exactly in the Joliet and UDF trees, where two names that differ only in case are
// two files, as the disk holds them.
class TNamesOfFolder {
 public:
  TNamesOfFolder(std::string tree, bool ignoreCase)
      : tree_(std::move(tree)), ignoreCase_(ignoreCase) {}
  void Add(std::u16string_view name) {
    for (const std::u16string& n : names_)
      fuzz::Check(ignoreCase_ ? !plat::EqualsNoCase(n, name) : n != name,
                  [&] { return tree_ + " records " + Show(name) + " twice in a folder"; });
    names_.emplace_back(name);
  }

 private:
  std::string tree_;
  bool ignoreCase_;
  std::vector<std::u16string> names_;
};

void CheckFolder(const TImageBuilder& b, const TDirNode* d, bool shortNamesMade) {
  TNamesOfFolder primary("the primary tree", true), joliet("the Joliet tree", false),
      udf("the UDF tree", false);
  for (const TFileNode* e = d->FirstEntry; e != nullptr; e = e->Next) {
    const std::u16string_view longName(e->LongName, e->LongNameLen);
    const bool valid = ValidUtf16(longName);

    const std::string iso = IsoIdentifier(b, e);
    fuzz::Check(IsoRecordLength(static_cast<uint32_t>(iso.size())) <= 255,
                "a primary record is over 255 bytes");
    if (b.ISO9660v1999FS) {
      // One byte per character, unless two names of the folder came out alike and the later
      // one was made unique with "~n".
      fuzz::Check(iso.size() == longName.size() || iso.find('~') != std::string::npos, [&] {
        return "an ISO 9660:1999 name is not one byte per character: " +
               std::to_string(iso.size()) + " bytes for " + std::to_string(longName.size()) +
               " characters, " + iso;
      });
    } else {
      // Level 1: the 8.3 name, with the dot a name without extension gets.
      fuzz::Check(iso.size() <= 13, [&] { return "a level-1 name is too long: " + iso; });
      if (shortNamesMade) primary.Add(plat::AnsiToWide(iso));
    }

    if (b.JolietFileSystem) {
      const std::u16string_view j = JolietIdentifier(e);
      fuzz::Check(j.size() <= kMaxJolietName && 34 + 2 * j.size() <= 255,
                  "a Joliet name is too long");
      fuzz::Check(!valid || ValidUtf16(j),
                  [&] { return "a Joliet name splits a surrogate pair: " + Show(j); });
      fuzz::Check(j == longName || e->LongNameLen > kMaxJolietName,
                  "a Joliet name that fits was changed");
      joliet.Add(j);
    }
    if (b.UDFBridge) {
      const std::u16string_view u = UdfEntryName(*e);
      fuzz::Check(u.size() <= kUdfMaxNameLength, "a UDF name is too long");
      fuzz::Check(!valid || ValidUtf16(u),
                  [&] { return "a UDF name splits a surrogate pair: " + Show(u); });
      udf.Add(u);
    }
  }
}

// The label as the Joliet descriptor records it (16 UCS-2 units, zeros after the text).
std::u16string JolietLabel(const TImageBuilder& b) {
  for (size_t at = 16 * kSectorSize; at + kSectorSize <= b.MetadataBuffer.size();
       at += kSectorSize) {
    const uint8_t* s = b.MetadataBuffer.data() + at;
    if (s[0] == 255) break;
    if (s[0] != 2 || s[88] != 0x25 || s[89] != 0x2F || s[90] != 0x40) continue;
    std::u16string label;
    for (size_t i = 0; i < 16; ++i)
      label.push_back(static_cast<char16_t>(s[40 + 2 * i] << 8 | s[41 + 2 * i]));
    while (!label.empty() && label.back() == 0) label.pop_back();
    return label;
  }
  return {};
}

std::u16string ReadUnits(fuzz::TInput& in) {
  const size_t n = in.Byte();
  std::u16string name;
  for (size_t i = 0; i < n && in.Remaining() >= 2; ++i)
    name.push_back(static_cast<char16_t>(in.U16()));
  // A name holds no NUL and no separator, and is never "." or "..".
  std::erase_if(name, [](char16_t c) { return c == 0 || c == u'/' || c == u'\\'; });
  if (name == u"." || name == u"..") name.clear();
  return name;
}

std::string ReadBytes(fuzz::TInput& in) {
  std::string name(in.Text(in.Byte()));
  // The UTF-8 conversion itself: valid UTF-16 out, stable on the way back and forth.
  const std::u16string wide = plat::Utf8ToUtf16(name);
  fuzz::Check(ValidUtf16(wide), "UTF-8 converts to broken UTF-16");
  fuzz::Check(plat::Utf8ToUtf16(plat::Utf16ToUtf8(wide)) == wide,
              "UTF-16 changes on the way to UTF-8 and back");
  std::erase_if(name, [](char c) { return c == 0 || c == '/'; });
  if (name == "." || name == "..") name.clear();
  return name;
}

// Makes the entries as files and folders below dir; a folder that cannot be made (a file of
// the name is there) leaves its content in its parent, so the folder count stays right.
void MakeOnDisk(const std::string& dir, const std::vector<TEntry>& entries) {
  std::vector<std::string> made{dir};
  for (const TEntry& e : entries) {
    const std::string path = made[e.folder] + "/" + e.bytes;
    if (e.isFolder) {
      made.push_back(
          mkdir(path.c_str(), 0755) == 0 || plat::DirectoryExists(path) ? path : made[e.folder]);
    } else {
      const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0) close(fd);
    }
  }
}

// The same straight into the tree.
void AddToTree(TImageBuilder& b, const std::vector<TEntry>& entries) {
  std::vector<TDirNode*> made{b.Root};
  for (const TEntry& e : entries) {
    plat::TFindData fd;
    fd.FileAttributes = e.isFolder ? plat::kAttrDirectory : plat::kAttrArchive;
    std::copy(e.wide.begin(), e.wide.end(), fd.FileName);
    TDirNode* parent = made[e.folder];
    if (e.isFolder) {
      TDirNode* d = AddSubdirectory(b, parent, fd);
      made.push_back(d != nullptr ? d : parent);
    } else {
      AddEntry(b, parent, fd, false, 0, u"/dev/null");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  const uint8_t options = in.Byte();
  const bool wide = (options & 8) != 0;
  const std::string label(in.Text(in.Byte()));
  std::vector<TEntry> entries;
  size_t folders = 1;
  while (!in.Empty() && entries.size() < kMaxInputEntries) {
    const uint8_t h = in.Byte();
    TEntry e{(h & 0x7F) % folders, (h & 0x80) != 0, {}, {}};
    if (wide) {
      e.wide = ReadUnits(in);
      if (e.wide.empty() || e.wide.size() > 259) continue;
    } else {
      e.bytes = ReadBytes(in);
      if (e.bytes.empty()) continue;
    }
    if (e.isFolder) ++folders;
    entries.push_back(std::move(e));
  }

  TImageBuilder b;
  ClearCompilation(b);
  b.JolietFileSystem = options & 1;
  b.ISO9660v1999FS = (options & 2) >> 1;
  b.UDFBridge = (options & 4) >> 2;
  SetVolumeID(b, label);
  if (wide) {
    AddToTree(b, entries);
  } else {
    const std::string dir = fuzz::FreshDir("names");
    MakeOnDisk(dir, entries);
    // A folder name the tree refuses (over 217 characters) fails the insertion; what was added
    // before it stays and is laid out.
    InsertDir(b, "\\", dir, false, true, "*.*");
  }

  fuzz::Check(PrepareImage(b) > 0, "the layout is empty");
  fuzz::Check(RenderMetadata(b), "the metadata does not render");
  for (const TDirNode* d : b.Dirs) CheckFolder(b, d, !wide);
  if (b.JolietFileSystem) {
    const std::u16string jl = JolietLabel(b);
    fuzz::Check(ValidUtf16(jl),
                [&] { return "the Joliet volume label splits a surrogate pair: " + Show(jl); });
  }
  return 0;
}
