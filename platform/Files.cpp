#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace plat {
namespace {

// Facts of one directory entry, enough to make a find record.
struct TEntryInfo {
  uint32_t attributes = 0;
  TFileTime creation, access, write;
  uint64_t size = 0;
  uint64_t volume = 0, id = 0;
};

TFileTime FromStatx(const statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

// Follows symbolic links. Only folders and regular files count: a FIFO, socket or device node
// would block or make no sense when its "contents" are streamed to a disc. What is refused is
// described in skip when given.
bool StatEntry(int dirFd, const char* path, std::string_view name, TEntryInfo& info,
               TSkippedEntry* skip = nullptr) {
  struct statx sx {};
  if (statx(dirFd, path, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    if (skip != nullptr) {
      skip->Reason = TSkippedEntry::Unreadable;
      skip->Detail = static_cast<uint32_t>(errno);
    }
    return false;
  }
  const bool isDir = S_ISDIR(sx.stx_mode);
  if (!isDir && !S_ISREG(sx.stx_mode)) {
    if (skip != nullptr) {
      skip->Reason = TSkippedEntry::SpecialFile;
      skip->Detail = sx.stx_mode & S_IFMT;
    }
    return false;
  }
  uint32_t a = isDir ? kAttrDirectory : kAttrArchive;
  if (!(sx.stx_mode & S_IWUSR)) a |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.') a |= kAttrHidden;
  info.attributes = a;
  info.write = FromStatx(sx.stx_mtime);
  info.access = FromStatx(sx.stx_atime);
  // Birth time where the file system keeps it; otherwise the oldest time that is known.
  if (sx.stx_mask & STATX_BTIME)
    info.creation = FromStatx(sx.stx_btime);
  else {
    const TFileTime changed = FromStatx(sx.stx_ctime);
    info.creation = changed.Value < info.write.Value ? changed : info.write;
  }
  info.size = isDir ? 0 : sx.stx_size;
  info.volume = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  info.id = sx.stx_ino;
  return true;
}

void CopyName(char16_t* dst, size_t cap, std::u16string_view src) {
  const size_t n = std::min(src.size(), cap - 1);
  std::copy_n(src.data(), n, dst);
  std::fill(dst + n, dst + cap, u'\0');
}

void FillFindData(TFindData& fd, const TEntryInfo& info, std::u16string_view name,
                  std::u16string_view alt) {
  fd = TFindData{};
  fd.FileAttributes = info.attributes;
  fd.CreationTime = info.creation;
  fd.LastAccessTime = info.access;
  fd.LastWriteTime = info.write;
  fd.FileSizeHigh = static_cast<uint32_t>(info.size >> 32);
  fd.FileSizeLow = static_cast<uint32_t>(info.size & 0xFFFFFFFFu);
  CopyName(fd.FileName, std::size(fd.FileName), name);
  CopyName(fd.AlternateFileName, std::size(fd.AlternateFileName), alt);
  fd.VolumeId = info.volume;
  fd.FileId = info.id;
}

// A name that does not survive the trip through UTF-16 could never be opened again by the
// name the program keeps, so such entries are not offered.
bool RoundTrips(const std::string& name, std::u16string& wide) {
  wide = Utf8ToUtf16(name);
  return wide.size() < 260 && Utf16ToUtf8(wide) == name;
}

std::string WithoutTrailingSlashes(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string EnvOr(const char* name, std::string_view fallback) {
  const char* v = getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}

std::string HomeFolder() {
  const char* h = getenv("HOME");
  if (h && *h) return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path, else the default under home.
std::string XdgFolder(const char* var, const char* homeRelative) {
  const char* v = getenv(var);
  if (v && v[0] == '/') return v;
  return HomeFolder() + "/" + homeRelative;
}

}  // namespace

struct TFindEnumerator::TImpl {
  struct TItem {
    std::u16string name, alt;
    TEntryInfo info;
  };
  std::vector<TItem> items;
  size_t pos = 0;
  std::vector<TSkippedEntry> skipped;
  uint32_t lastError = 0;
};

TFindEnumerator::TFindEnumerator() : impl_(new TImpl) {}
TFindEnumerator::~TFindEnumerator() { delete impl_; }

void TFindEnumerator::Close() {
  impl_->items.clear();
  impl_->items.shrink_to_fit();
  impl_->pos = 0;
  impl_->skipped.clear();
  impl_->lastError = 0;
}

const std::vector<TSkippedEntry>& TFindEnumerator::Skipped() const { return impl_->skipped; }
uint32_t TFindEnumerator::LastError() const { return impl_->lastError; }

bool TFindEnumerator::First(std::string_view pattern, TFindData& fd) {
  Close();
  const size_t slash = pattern.rfind('/');
  std::string folder;
  std::string_view maskUtf8;
  if (slash == std::string_view::npos) {
    folder = ".";
    maskUtf8 = pattern;
  } else {
    folder = slash == 0 ? std::string("/") : std::string(pattern.substr(0, slash));
    maskUtf8 = pattern.substr(slash + 1);
  }
  const std::u16string mask = maskUtf8.empty() ? std::u16string(u"*") : Utf8ToUtf16(maskUtf8);

  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) {
    impl_->lastError = static_cast<uint32_t>(errno);
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir.get())) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  // Byte order of UTF-8 is code point order: the same on every run, whatever the locale.
  std::sort(names.begin(), names.end());

  // Short names are made over the whole folder, whatever the mask, so a file keeps its short
  // name across enumerations with different masks. Real 8.3 names are taken first.
  std::vector<std::u16string> wide(names.size());
  std::vector<bool> usable(names.size());
  TShortNameGenerator gen;
  for (size_t i = 0; i < names.size(); ++i) {
    usable[i] = RoundTrips(names[i], wide[i]);
    if (usable[i]) gen.Reserve(wide[i]);
  }
  const int dfd = dirfd(dir.get());
  for (size_t i = 0; i < names.size(); ++i) {
    if (!usable[i]) {
      if (!MatchMask(wide[i], mask)) continue;
      TSkippedEntry skip;
      skip.Name = names[i];
      skip.Reason =
          Utf16ToUtf8(wide[i]) == names[i] ? TSkippedEntry::NameTooLong : TSkippedEntry::NotUtf8;
      struct stat st;
      skip.Folder = fstatat(dfd, names[i].c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
      impl_->skipped.push_back(std::move(skip));
      continue;
    }
    std::u16string alt = gen.Next(wide[i]);
    if (!MatchMask(wide[i], mask)) continue;
    TImpl::TItem item;
    TSkippedEntry skip;
    if (!StatEntry(dfd, names[i].c_str(), names[i], item.info, &skip)) {
      skip.Name = names[i];
      impl_->skipped.push_back(std::move(skip));
      continue;
    }
    item.name = std::move(wide[i]);
    item.alt = std::move(alt);
    impl_->items.push_back(std::move(item));
  }
  return Next(fd);
}

bool TFindEnumerator::Next(TFindData& fd) {
  if (impl_->pos >= impl_->items.size()) return false;
  const TImpl::TItem& it = impl_->items[impl_->pos++];
  FillFindData(fd, it.info, it.name, it.alt);
  return true;
}

bool TFindEnumerator::Rewind(TFindData& fd) {
  impl_->pos = 0;
  return Next(fd);
}

bool FindFile(std::string_view path, TFindData& fd) {
  const std::string p = WithoutTrailingSlashes(path);
  const std::string name = LastComponent(p);
  TEntryInfo info;
  if (p.empty() || !StatEntry(AT_FDCWD, p.c_str(), name, info)) return false;
  const std::u16string wide = Utf8ToUtf16(name);
  TShortNameGenerator gen;
  FillFindData(fd, info, wide, gen.Next(wide));
  return true;
}

bool FileExists(std::string_view path) {
  struct stat st {};
  return stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st {};
  return stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t GetFileAttributes(std::string_view path) {
  const std::string p = WithoutTrailingSlashes(path);
  TEntryInfo info;
  return !p.empty() && StatEntry(AT_FDCWD, p.c_str(), LastComponent(p), info) ? info.attributes
                                                                              : kInvalidAttributes;
}

int64_t GetFileSize(std::string_view path) {
  struct stat st {};
  if (stat(std::string(path).c_str(), &st) != 0) return -1;
  return S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
}

TFile::~TFile() { Close(); }

TFile::TFile(TFile&& o) noexcept : fd_(o.fd_), lastError_(o.lastError_) { o.fd_ = -1; }

TFile& TFile::operator=(TFile&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    lastError_ = o.lastError_;
    o.fd_ = -1;
  }
  return *this;
}

bool TFile::OpenRead(std::string_view path) {
  Close();
  fd_ = open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  lastError_ = fd_ < 0 ? static_cast<uint32_t>(errno) : 0;
  if (fd_ >= 0) {
    struct stat st {};
    // Folders open fine on this platform but cannot be read as files.
    if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      Close();
      lastError_ = EISDIR;
    }
  }
  return fd_ >= 0;
}

bool TFile::OpenRead(std::u16string_view path) { return OpenRead(Utf16ToUtf8(path)); }

bool TFile::Create(std::string_view path) {
  Close();
  fd_ = open(std::string(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  lastError_ = fd_ < 0 ? static_cast<uint32_t>(errno) : 0;
  return fd_ >= 0;
}

void TFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int64_t TFile::Read(void* buf, size_t n) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return -1;
  }
  auto* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t r = read(fd_, p + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      lastError_ = static_cast<uint32_t>(errno);
      return -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

bool TFile::Write(const void* buf, size_t n) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  const auto* p = static_cast<const char*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t r = write(fd_, p + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      lastError_ = static_cast<uint32_t>(errno);
      return false;
    }
    done += static_cast<size_t>(r);
  }
  return true;
}

bool TFile::Seek(int64_t pos) {
  if (fd_ < 0 || pos < 0) {
    lastError_ = fd_ < 0 ? EBADF : EINVAL;
    return false;
  }
  if (lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0) {
    lastError_ = static_cast<uint32_t>(errno);
    return false;
  }
  return true;
}

int64_t TFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string TempPath() {
  std::string p = EnvOr("TMPDIR", "/tmp/");
  if (p.back() != '/') p.push_back('/');
  return p;
}

std::string SettingsFolder() {
  const std::string p = XdgFolder("XDG_CONFIG_HOME", ".config") + "/ardovan";
  MakeFolders(p);
  return p;
}

std::string DataFolder() {
  const std::string p = XdgFolder("XDG_DATA_HOME", ".local/share") + "/ardovan";
  MakeFolders(p);
  return p;
}

std::string RuntimeFolder() {
  const char* v = getenv("XDG_RUNTIME_DIR");
  return v && v[0] == '/' ? std::string(v) : std::string("/tmp");
}

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

bool MakeFolders(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path p{std::string(path)};
  std::filesystem::create_directories(p, ec);
  return std::filesystem::is_directory(p, ec);
}

}  // namespace plat
