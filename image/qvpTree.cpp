#include "image/qvpTree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "image/qvpClassesW.h"
#include "image/qvpSysUtilsW.h"
#include "platform/FileCheck.h"
#include "platform/Text.h"

namespace img {

TImageBuilder::TImageBuilder() = default;
TImageBuilder::~TImageBuilder() = default;

TFileNode* SkipMark() {
  static TFileNode mark{};
  return &mark;
}

namespace {

enum class TAddResult { Failed, Skipped, TooLong, TableFull, Created, Replaced, Existing };

constexpr size_t kMaxShortName = 12;

// Floor division for the 15-minute units of the recorded offset.
int8_t OffsetUnits(int32_t minutes) {
  int32_t q = minutes / 15;
  if (minutes % 15 != 0 && minutes < 0) --q;
  return static_cast<int8_t>(std::clamp(q, -48, 52));
}

// Up to 12 characters of the short name, one byte per character.
size_t MakeShortName(const plat::TFindData& fd, size_t longLen, char* out) {
  std::u16string_view alt = WStr(fd.AlternateFileName);
  std::u16string_view src =
      alt.empty() ? std::u16string_view(fd.FileName, std::min(longLen, kMaxShortName)) : alt;
  std::string rec = plat::WideToRecording(src);
  if (rec.size() > kMaxShortName) rec.resize(kMaxShortName);
  std::memcpy(out, rec.data(), rec.size());
  out[rec.size()] = 0;
  return rec.size();
}

TAddResult AddEntryImpl(TImageBuilder& b, TDirNode* dir, plat::TFindData& fd, bool wideOpen,
                        uint32_t fixedExtent, const char16_t* sourcePath, bool forDirectory,
                        TFileNode*& result) {
  result = nullptr;
  if (b.OnAddFile) {
    bool skip = false;
    b.OnAddFile(nullptr, sourcePath, fd, skip);
    if (skip) {
      result = SkipMark();
      return TAddResult::Skipped;
    }
  }
  fd.FileName[259] = 0;
  fd.AlternateFileName[13] = 0;
  const size_t len = WStrLen(fd.FileName);
  if (len > kMaxLongName) {
    result = SkipMark();
    return TAddResult::TooLong;
  }
  if (len == 0) return TAddResult::Failed;
  const std::u16string_view name(fd.FileName, len);
  const uint32_t hash = TNameIndex::Hash(name);
  TTreeStore& store = *b.Store;
  // Only the very same name clashes: a.txt and A.TXT are two files here, and both go onto the
  // disc (the layout keeps every recorded name unique).
  TFileNode* node = b.MergingSession ? store.Index.Find(b.Entries, dir, name, hash)
                                     : store.Index.FindExact(b.Entries, dir, name, hash);
  TAddResult outcome = TAddResult::Replaced;
  if (node != nullptr) {
    result = node;
    if (!b.ReplaceFile) return TAddResult::Existing;
    // A folder is never overwritten by a file: its content would be left without a parent.
    if (node->SubDir != nullptr && !forDirectory) return TAddResult::Existing;
  } else {
    if (b.EntryCount >= kMaxEntries) return TAddResult::TableFull;
    node = static_cast<TFileNode*>(store.Arena.Allocate(sizeof(TFileNode), alignof(TFileNode)));
    node->Owner = dir;
    node->NameHash = hash;
    if (dir->LastEntry == nullptr) {
      dir->FirstEntry = node;
    } else {
      dir->LastEntry->Next = node;
    }
    dir->LastEntry = node;
    ++dir->EntryListCount;
    b.Entries.push_back(node);
    ++b.EntryCount;
    outcome = TAddResult::Created;
  }
  b.LaidOut = 0;

  node->LongNameLen = static_cast<uint8_t>(len);
  node->ShortNameLen = static_cast<uint8_t>(MakeShortName(fd, len, node->ShortName));

  int32_t offsetMinutes = 0;
  plat::TSystemTime local;
  if (plat::FileTimeToLocal(fd.LastWriteTime, local, &offsetMinutes)) {
    node->ModTime = local;
    node->GmtOffset = OffsetUnits(offsetMinutes);
  } else {
    node->ModTime = plat::TSystemTime{};
    node->GmtOffset = 0;
  }
  node->Size = (static_cast<uint64_t>(fd.FileSizeHigh) << 32) | fd.FileSizeLow;

  // Names equal without case have equal lengths, so a replaced entry refills its buffers.
  if (node->LongName == nullptr || WStrLen(node->LongName) != len) {
    node->LongName = store.Arena.NewText(name, len + 5);
    node->LongName2 = store.Arena.NewText(name, len + 1);
  } else {
    std::memcpy(node->LongName, name.data(), len * sizeof(char16_t));
    std::memcpy(node->LongName2, name.data(), len * sizeof(char16_t));
  }
  if (outcome == TAddResult::Created) store.Index.Insert(b.Entries, b.EntryCount - 1);

  const bool isDirectory = forDirectory || (fd.FileAttributes & plat::kAttrDirectory) != 0;
  if (!isDirectory && std::memchr(node->ShortName, '.', node->ShortNameLen) == nullptr) {
    node->ShortName[node->ShortNameLen++] = '.';
    node->ShortName[node->ShortNameLen] = 0;
  }

  if (sourcePath == nullptr) {
    node->SourcePath = nullptr;
  } else if (sourcePath[0] != 0) {
    node->SourcePath = store.Arena.NewText(WStr(sourcePath), 0);
  }
  node->WideOpen = wideOpen ? 1 : 0;
  node->Extent = fixedExtent;
  node->FixedExtent = fixedExtent != 0 ? 1 : 0;
  node->Attributes = fd.FileAttributes;
  node->SourceVolume = fd.VolumeId;
  node->SourceId = fd.FileId;
  node->SourceWriteTime = fd.LastWriteTime.Value;
  result = node;
  return outcome;
}

// The compilation path of an entry named name in dir, for the list of what was left out.
std::string CompilationPathOf(const TDirNode* dir, std::u16string_view name) {
  return plat::WideToAnsi(DirectoryPath(dir)) + plat::WideToAnsi(name);
}

// Names what an insertion left out. path is where the item came from (a disk path, or the
// compilation path for items made in the compilation).
void NoteRefusal(TImageBuilder& b, TAddResult r, const TFileNode* existing, bool forDirectory,
                 const char16_t* sourcePath, std::string_view path) {
  switch (r) {
    case TAddResult::TooLong:
      RecordOmission(b, path, TOmitReason::NameTooLong);
      break;
    case TAddResult::TableFull:
      RecordOmission(b, path, TOmitReason::TooManyEntries);
      break;
    case TAddResult::Existing:
      if (existing == nullptr || forDirectory) break;
      if (existing->SubDir != nullptr) {
        RecordOmission(b, path, TOmitReason::FolderInTheWay);
      } else if (sourcePath == nullptr || existing->SourcePath == nullptr ||
                 WStr(existing->SourcePath) != WStr(sourcePath)) {
        // The same file given twice loses nothing; another file of that name would be lost.
        RecordOmission(b, path, TOmitReason::SameName);
      }
      break;
    default:
      break;
  }
}

TFileNode* AddEntryNoted(TImageBuilder& b, TDirNode* dir, plat::TFindData& fd, bool wideOpen,
                         uint32_t fixedExtent, const char16_t* sourcePath, std::string_view path) {
  TFileNode* result = nullptr;
  const bool forDirectory = (fd.FileAttributes & plat::kAttrDirectory) != 0;
  const TAddResult r =
      AddEntryImpl(b, dir, fd, wideOpen, fixedExtent, sourcePath, forDirectory, result);
  NoteRefusal(b, r, result, forDirectory, sourcePath, path);
  return result;
}

// AddSubdirectory, naming what it refuses under path.
TDirNode* AddSubdirectoryNoted(TImageBuilder& b, TDirNode* parent, plat::TFindData& fd,
                               std::string_view path);

void CopyName(char16_t* dest, size_t capacity, std::u16string_view text) {
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(dest, text.data(), n * sizeof(char16_t));
  dest[n] = 0;
}

}  // namespace

void ClearCompilation(TImageBuilder& b) {
  b.TimeZone = plat::GetTimeZoneInfo();
  // The offset in effect now (daylight saving only while it applies).
  int32_t nowOffset = 0;
  plat::TSystemTime local;
  if (plat::FileTimeToLocal(plat::FileTimeNow(), local, &nowOffset)) {
    b.GmtOffset = OffsetUnits(nowOffset);
  } else {
    b.GmtOffset = OffsetUnits(-b.TimeZone.Bias);
  }

  if (!b.Store) b.Store = std::make_unique<TTreeStore>();
  b.Store->Index.Clear();
  b.Store->Arena.Clear();
  b.Entries.clear();
  b.Entries.shrink_to_fit();
  b.Dirs.clear();
  b.Dirs.shrink_to_fit();
  b.PathDirs.clear();
  b.PathDirs.shrink_to_fit();
  b.EntryCount = 0;
  b.DirCount = 0;
  b.MetadataBuffer.clear();
  b.MetadataBuffer.shrink_to_fit();
  b.MetadataPos = 0;

  auto* root = static_cast<TDirNode*>(b.Store->Arena.Allocate(sizeof(TDirNode), alignof(TDirNode)));
  root->Parent = root;
  std::strcpy(root->ShortName, "ROOT_DIR");
  root->ShortNameLen = 8;
  b.Root = root;
  b.Dirs.push_back(root);
  b.PathDirs.push_back(root);
  b.DirCount = 1;
  b.BootImage.clear();
  b.BootImageSize = 0;
  b.LaidOut = 0;
  b.Omitted.clear();
  b.Omitted.shrink_to_fit();
  b.OmittedBeyondList = 0;
}

TDirNode* FindDirectory(TImageBuilder& b, std::u16string_view path) {
  if (b.Root == nullptr) return nullptr;
  TDirNode* dir = b.Root;
  for (std::u16string_view part : SplitCompilationPath(path)) {
    // The folder of exactly that name, else one whose name differs only in case.
    const uint32_t hash = TNameIndex::Hash(part);
    TFileNode* e = b.Store->Index.FindExact(b.Entries, dir, part, hash);
    if (e == nullptr || e->SubDir == nullptr) e = b.Store->Index.Find(b.Entries, dir, part, hash);
    if (e == nullptr || e->SubDir == nullptr) return nullptr;
    dir = e->SubDir;
  }
  return dir;
}

TFileNode* AddEntry(TImageBuilder& b, TDirNode* dir, plat::TFindData& fd, bool wideOpen,
                    uint32_t fixedExtent, const char16_t* sourcePath) {
  if (b.Root == nullptr || dir == nullptr) return nullptr;
  fd.FileName[259] = 0;
  const std::string path = sourcePath != nullptr && sourcePath[0] != 0
                               ? plat::WideToAnsi(WStr(sourcePath))
                               : CompilationPathOf(dir, WStr(fd.FileName));
  return AddEntryNoted(b, dir, fd, wideOpen, fixedExtent, sourcePath, path);
}

TDirNode* AddSubdirectory(TImageBuilder& b, TDirNode* parent, plat::TFindData& fd) {
  if (b.Root == nullptr || parent == nullptr) return nullptr;
  fd.FileName[259] = 0;
  return AddSubdirectoryNoted(b, parent, fd, CompilationPathOf(parent, WStr(fd.FileName)));
}

namespace {

TDirNode* AddSubdirectoryNoted(TImageBuilder& b, TDirNode* parent, plat::TFindData& fd,
                               std::string_view path) {
  fd.FileName[259] = 0;
  const std::u16string_view name = WStr(fd.FileName);
  const uint32_t hash = TNameIndex::Hash(name);
  TFileNode* existing = b.MergingSession ? b.Store->Index.Find(b.Entries, parent, name, hash)
                                         : b.Store->Index.FindExact(b.Entries, parent, name, hash);
  if (existing != nullptr && existing->SubDir != nullptr) return existing->SubDir;
  // A file of that name is in the way; only the replace rule may turn it into the folder.
  if (existing != nullptr && !b.ReplaceFile) {
    RecordOmission(b, path, TOmitReason::FileInTheWay);
    return nullptr;
  }
  // Both tables must have room before anything changes.
  if (b.DirCount >= kMaxDirs) {
    RecordOmission(b, path, TOmitReason::TooManyFolders);
    return nullptr;
  }
  if (existing == nullptr && b.EntryCount >= kMaxEntries) {
    RecordOmission(b, path, TOmitReason::TooManyEntries);
    return nullptr;
  }

  TFileNode* entry = nullptr;
  TAddResult r = AddEntryImpl(b, parent, fd, true, 0, nullptr, true, entry);
  if (r == TAddResult::TooLong) RecordOmission(b, path, TOmitReason::NameTooLong);
  if (r == TAddResult::Failed || r == TAddResult::Skipped || r == TAddResult::TooLong)
    return nullptr;
  // The handler may have renamed the record onto a name already present.
  if (entry->SubDir != nullptr) return entry->SubDir;
  if (r == TAddResult::Existing) return nullptr;

  TTreeStore& store = *b.Store;
  auto* dir = static_cast<TDirNode*>(store.Arena.Allocate(sizeof(TDirNode), alignof(TDirNode)));
  const std::u16string_view longName(entry->LongName, entry->LongNameLen);
  dir->Parent = parent;
  dir->LongName = store.Arena.NewText(longName, longName.size() + 5);
  dir->LongNameLen = entry->LongNameLen;
  std::u16string_view alt = WStr(fd.AlternateFileName);
  std::u16string_view src =
      alt.empty() ? longName.substr(0, std::min<size_t>(longName.size(), 12)) : alt;
  std::string rec = plat::WideToRecording(src);
  if (rec.empty()) rec = "________.___";
  if (rec.size() > 12) rec.resize(12);
  for (char& c : rec) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::memcpy(dir->ShortName, rec.data(), rec.size());
  dir->ShortNameLen = static_cast<uint8_t>(rec.size());
  dir->Entry = entry;
  entry->SubDir = dir;
  b.Dirs.push_back(dir);
  b.PathDirs.push_back(dir);
  ++b.DirCount;
  b.LaidOut = 0;
  return dir;
}

// The find record CreateDir makes for a new, empty folder.
plat::TFindData FolderRecord(std::string_view name) {
  plat::TFindData fd;
  fd.FileAttributes = plat::kAttrDirectory;
  fd.LastWriteTime = plat::FileTimeNow();
  const std::u16string wide = plat::AnsiToWide(name);
  CopyName(fd.FileName, 260, wide);
  CopyName(fd.AlternateFileName, 14,
           std::u16string_view(wide).substr(0, std::min<size_t>(wide.size(), 11)));
  return fd;
}

}  // namespace

TDirNode* CreateDir(TImageBuilder& b, std::string_view destPath, std::string_view name) {
  TDirNode* dest = FindDirectory(b, plat::AnsiToWide(destPath));
  if (dest == nullptr) return nullptr;
  plat::TFindData fd = FolderRecord(name);
  return AddSubdirectory(b, dest, fd);
}

namespace {

bool IsUtf8(std::string_view s) { return plat::Utf16ToUtf8(plat::Utf8ToUtf16(s)) == s; }

// A file that cannot be opened by the path the tree keeps, or not read, is named at once: found
// only while it streams, it would spend the disc.
bool UsableSource(TImageBuilder& b, const std::string& path) {
  if (path.size() > plat::kMaxPathBytes) {
    RecordOmission(b, path, TOmitReason::PathTooLong);
    return false;
  }
  const size_t slash = path.rfind('/');
  if (!IsUtf8(slash == std::string::npos ? path : path.substr(slash + 1))) {
    RecordOmission(b, path, TOmitReason::NameNotUtf8);
    return false;
  }
  uint32_t error = 0;
  if (!plat::CanAccessForReading(path, error)) {
    RecordOmission(b, path, TOmitReason::FileUnreadable, plat::SystemErrorText(error));
    return false;
  }
  return true;
}

}  // namespace

TFileNode* InsertFile(TImageBuilder& b, std::string_view destPath, std::string_view fileName) {
  plat::TFindData fd;
  if (!plat::FindFile(fileName, fd)) return nullptr;
  if ((fd.FileAttributes & plat::kAttrDirectory) != 0) return nullptr;
  TDirNode* dest = FindDirectory(b, plat::AnsiToWide(destPath));
  if (dest == nullptr) return nullptr;
  const std::string path(fileName);
  if (!UsableSource(b, path)) return SkipMark();
  const std::u16string source = plat::AnsiToWide(fileName);
  return AddEntryNoted(b, dest, fd, false, 0, source.c_str(), path);
}

namespace {

// Folders on the path being walked, by identity: a link back to one of them would be walked
// without end.
using TWalkPath = std::vector<std::pair<uint64_t, uint64_t>>;

void NoteSkipped(TImageBuilder& b, const std::string& folder, const plat::TSkippedEntry& s) {
  const std::string path = folder + "/" + s.Name;
  switch (s.Reason) {
    case plat::TSkippedEntry::NotUtf8:
      RecordOmission(b, path, TOmitReason::NameNotUtf8);
      break;
    case plat::TSkippedEntry::NameTooLong:
      RecordOmission(b, path, TOmitReason::NameTooLong);
      break;
    case plat::TSkippedEntry::SpecialFile:
      RecordOmission(b, path, TOmitReason::SpecialFile,
                     plat::FileKindName(plat::FileKindOfMode(s.Detail)));
      break;
    case plat::TSkippedEntry::Unreadable:
      RecordOmission(b, path, TOmitReason::FileUnreadable, plat::SystemErrorText(s.Detail));
      break;
  }
}

bool FillFolder(TImageBuilder& b, TDirNode* dest, const std::string& folder, bool recursive,
                std::string_view mask, TWalkPath& walk) {
  plat::TFindData fd;
  plat::TFindEnumerator en;
  // With the usual mask the subfolders' enumeration lists the files as well: it is kept across
  // the recursion and gone through again, rather than reading and stat-ing the folder twice.
  const bool sameList = recursive && mask == "*.*";
  auto unreadable = [&] {
    const uint32_t error = en.LastError();
    if (error == 0) return false;
    RecordOmission(b, folder,
                   error == ENAMETOOLONG ? TOmitReason::PathTooLong : TOmitReason::FolderUnreadable,
                   error == ENAMETOOLONG ? std::string() : plat::SystemErrorText(error));
    return true;
  };
  if (recursive) {
    std::vector<plat::TFindData> subs;
    bool ok = en.First(folder + "/*.*", fd);
    if (!ok && unreadable()) return true;
    for (; ok; ok = en.Next(fd)) {
      if ((fd.FileAttributes & plat::kAttrDirectory) != 0) subs.push_back(fd);
    }
    for (const plat::TSkippedEntry& s : en.Skipped())
      if (s.Folder || sameList) NoteSkipped(b, folder, s);
    if (!sameList) en.Close();
    for (plat::TFindData& sub : subs) {
      const std::string path = folder + "/" + plat::WideToAnsi(WStr(sub.FileName));
      if (path.size() > plat::kMaxPathBytes) {
        RecordOmission(b, path, TOmitReason::PathTooLong);
        continue;
      }
      const plat::TFileIdentity id = plat::IdentityOf(path);
      const auto here = std::make_pair(id.Volume, id.Id);
      if (std::find(walk.begin(), walk.end(), here) != walk.end()) {
        RecordOmission(b, path, TOmitReason::LinkLoop);
        continue;
      }
      TDirNode* d = AddSubdirectoryNoted(b, dest, sub, path);
      if (d == nullptr) continue;  // named in the list, or left out by the handler
      walk.push_back(here);
      FillFolder(b, d, path, true, mask, walk);
      walk.pop_back();
    }
  }
  std::string pattern = folder + "/";
  pattern += mask;
  bool ok = sameList ? en.Rewind(fd) : en.First(pattern, fd);
  if (!sameList) {
    if (!ok && !recursive && unreadable()) return true;
    for (const plat::TSkippedEntry& s : en.Skipped())
      if (!s.Folder) NoteSkipped(b, folder, s);
  }
  for (; ok; ok = en.Next(fd)) {
    if ((fd.FileAttributes & plat::kAttrDirectory) != 0) continue;
    const std::string path = folder + "/" + plat::WideToAnsi(WStr(fd.FileName));
    if (!UsableSource(b, path)) continue;
    const std::u16string source = plat::AnsiToWide(path);
    AddEntryNoted(b, dest, fd, false, 0, source.c_str(), path);
  }
  return true;
}

}  // namespace

TDirNode* InsertDir(TImageBuilder& b, std::string_view destPath, std::string_view sourceDir,
                    bool keepPath, bool recursive, std::string_view fileMask) {
  TDirNode* dest = FindDirectory(b, plat::AnsiToWide(destPath));
  if (dest == nullptr) return nullptr;
  std::string source(sourceDir);
  if (!source.empty() && source.back() == '/') source.pop_back();
  if (!plat::DirectoryExists(source.empty() ? std::string_view("/") : std::string_view(source)))
    return nullptr;
  if (keepPath) {
    const std::vector<std::string_view> parts = DiskPathComponents(source);
    if (parts.empty()) dest = b.Root;
    for (std::string_view part : parts) {
      plat::TFindData fd = FolderRecord(part);
      dest = AddSubdirectory(b, dest, fd);
      if (dest == nullptr) return nullptr;
    }
  }
  const std::string top = source.empty() ? std::string("/") : source;
  const plat::TFileIdentity id = plat::IdentityOf(top);
  TWalkPath walk{{id.Volume, id.Id}};
  FillFolder(b, dest, source, recursive, fileMask.empty() ? std::string_view("*.*") : fileMask,
             walk);
  return dest;
}

bool BootImageKind(uint32_t size, uint8_t& mediaType, uint16_t& sectorCount) {
  switch (size) {
    case 2048:
      mediaType = 0;
      sectorCount = 4;
      return true;
    case 1228800:
      mediaType = 1;
      sectorCount = 1;
      return true;
    case 1474560:
      mediaType = 2;
      sectorCount = 1;
      return true;
    case 2949120:
      mediaType = 3;
      sectorCount = 1;
      return true;
    default:
      return false;
  }
}

bool SetBootImage(TImageBuilder& b, std::string_view path) {
  b.BootImage.clear();
  b.BootImageSize = 0;
  b.LaidOut = 0;
  if (path.empty()) return true;
  plat::TFile f;
  if (!f.OpenRead(path)) return false;
  const int64_t size = f.Size();
  uint8_t type = 0;
  uint16_t count = 0;
  if (size < 0 || size > 0xFFFFFFFF || !BootImageKind(static_cast<uint32_t>(size), type, count))
    return false;
  b.BootImage.assign(path);
  b.BootImageSize = static_cast<uint32_t>(size);
  return true;
}

const std::string& GetBootImage(const TImageBuilder& b) { return b.BootImage; }

void SetVolumeID(TImageBuilder& b, std::string_view text) {
  std::memset(b.VolumeId, 0, sizeof b.VolumeId);
  std::memset(b.VolumeIdWide, 0, sizeof b.VolumeIdWide);
  // Cut on a character boundary of the system code page.
  size_t n = std::min(text.size(), sizeof b.VolumeId - 1);
  while (n > 0 && n < text.size() && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(b.VolumeId, text.data(), n);
  const std::u16string wide = plat::AnsiToWide(text);
  size_t w = std::min<size_t>(wide.size(), 31);
  // Never keep half of a surrogate pair.
  if (w > 0 && w < wide.size() && wide[w - 1] >= 0xD800 && wide[w - 1] < 0xDC00) --w;
  std::memcpy(b.VolumeIdWide, wide.data(), w * sizeof(char16_t));
  // The label changes no sector of the layout; the render reads it as it stands.
}

std::string RecordedVolumeId(const TImageBuilder& b) {
  std::string rec = plat::WideToRecording(plat::AnsiToWide(b.VolumeId));
  if (rec.size() > 32) rec.resize(32);
  for (char& c : rec) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return rec;
}

}  // namespace img
