#include "frontend/Settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "frontend/Formats.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace fe {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  return plat::CompareAsciiNoCase(a, b) == 0;
}

bool IsHeader(std::string_view line, std::string_view* name = nullptr) {
  const std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  if (name) *name = Trim(t.substr(1, t.size() - 2));
  return true;
}

bool KeyOf(std::string_view line, std::string_view* key, std::string_view* value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0 || Trim(line).front() == ';') return false;
  *key = Trim(line.substr(0, eq));
  if (value) *value = Trim(line.substr(eq + 1));
  return true;
}

// A decimal integer with an optional sign; nothing else.
std::optional<int> ParseInteger(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  v = negative ? -v : v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int>(v);
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  Parse(text.str());
}

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile ini;
  ini.Parse(text);
  return ini;
}

void TIniFile::Parse(std::string_view text) {
  lines_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    pos = end + 1;
  }
}

long TIniFile::FindSection(std::string_view section) const {
  std::string_view name;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (IsHeader(lines_[i], &name) && SameName(name, section)) return static_cast<long>(i);
  return -1;
}

long TIniFile::FindKey(long header, std::string_view key) const {
  std::string_view k;
  for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i)
    if (KeyOf(lines_[i], &k, nullptr) && SameName(k, key)) return static_cast<long>(i);
  return -1;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& def) const {
  const long header = FindSection(section);
  if (header < 0) return def;
  const long at = FindKey(header, key);
  if (at < 0) return def;
  std::string_view k, v;
  KeyOf(lines_[static_cast<size_t>(at)], &k, &v);
  return std::string(v);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  return ParseInteger(ReadString(section, key, std::string())).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           const std::string& value) {
  const std::string line = std::string(key) + "=" + value;
  const long header = FindSection(section);
  if (header < 0) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(line);
    return;
  }
  const long at = FindKey(header, key);
  if (at >= 0) {
    lines_[static_cast<size_t>(at)] = line;
    return;
  }
  // After the section's last key line, before blank lines that separate it from the next one.
  size_t insert = static_cast<size_t>(header) + 1;
  for (size_t i = insert; i < lines_.size() && !IsHeader(lines_[i]); ++i)
    if (!Trim(lines_[i]).empty()) insert = i + 1;
  lines_.insert(lines_.begin() + static_cast<long>(insert), line);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string TIniFile::Text() const {
  std::string text;
  for (const std::string& l : lines_) text += l + "\n";
  return text;
}

bool TIniFile::UpdateFile() const {
  const size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0) plat::MakeFolders(path_.substr(0, slash));
  const std::string temp = path_ + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = Text();
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = done == text.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::string TempDirFromText(const std::string& text, const std::string& systemTemp) {
  const std::string_view t = Trim(text);
  return t.empty() ? EnsureTrailingSlash(systemTemp) : EnsureTrailingSlash(std::string(t));
}

TSettings SettingsFromIni(const TIniFile& ini, const std::string& systemTemp) {
  TSettings s;
  s.BurnerIndex = ini.ReadInteger(kIniSection, "IDVyp", -1);
  s.BurnProof = ini.ReadBool(kIniSection, "BurnProof", true);
  s.TempDir = TempDirFromText(ini.ReadString(kIniSection, "TempDir", std::string()), systemTemp);
  s.Import = ini.ReadBool(kIniSection, kImportKey, false);
  return s;
}

std::string SettingsPath(const std::string& folder) { return folder + "/" + kIniName; }

TSettings ReadSettings(const std::string& folder) {
  return SettingsFromIni(TIniFile(SettingsPath(folder)), plat::TempPath());
}

bool WriteSettings(const std::string& folder, const TSettings& s) {
  TIniFile ini(SettingsPath(folder));
  ini.WriteInteger(kIniSection, "IDVyp", s.BurnerIndex);
  ini.WriteBool(kIniSection, "BurnProof", s.BurnProof);
  ini.WriteString(kIniSection, "TempDir", TempDirFromText(s.TempDir, plat::TempPath()));
  return ini.UpdateFile();
}

bool WriteImportChoice(const std::string& folder, bool import) {
  TIniFile ini(SettingsPath(folder));
  ini.WriteBool(kIniSection, kImportKey, import);
  return ini.UpdateFile();
}

}  // namespace fe
