// The settings file: any text as ardovan.ini is read by both front ends through one reader;
// saving the settings writes the three keys into it and keeps every other line as it was; what
// was written reads back.
//
// Input: a 4-byte recorder index, a byte (bit 0: buffer-underrun protection), a byte n and n
// bytes of temporary folder, then the file's text. The folder stands for what the folder picker
// returns: text without line breaks (a line break cannot be kept in a one-line value).
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "frontend/Settings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char* const kDefaultTemp = "/tmp/default/";

std::string Slashed(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// The file's lines without their line ends: LF, CR LF, and the carriage returns before them
// (a last line's CR becomes a CR LF once a line is added after it).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    lines.push_back(text.substr(pos, end - pos));
    while (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    pos = end + 1;
  }
  return lines;
}

std::string Trimmed(std::string t) {
  // Blanks as the settings file knows them: the C locale's white space.
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!t.empty() && blank(t.back())) t.pop_back();
  size_t i = 0;
  while (i < t.size() && blank(t[i])) ++i;
  return t.substr(i);
}

// The folder as saving stores it: the field's text (one line) without blanks around it and
// ending with '/'.
std::string Saved(std::string_view field) {
  std::string t(field);
  t.erase(std::remove_if(t.begin(), t.end(), [](char c) { return c == '\n' || c == '\r'; }),
          t.end());
  t = Trimmed(t);
  if (t.empty()) return kDefaultTemp;
  return Slashed(t);
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t i = 0;
  for (const std::string& line : whole)
    if (i < part.size() && part[i] == line) ++i;
  return i == part.size();
}

bool SameWithoutCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// True when the line is one the writer replaces: one of the three keys of the section.
bool IsSettingKey(const std::string& line) {
  const std::string t = Trimmed(line);
  const size_t eq = t.find('=');
  if (eq == std::string::npos || eq == 0 || t[0] == ';') return false;
  const std::string key = Trimmed(t.substr(0, eq));
  for (const char* k : {"IDVyp", "BurnProof", "TempDir"})
    if (SameWithoutCase(key, k)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  const int index = static_cast<int>(in.U32());
  const bool burnProof = (in.Byte() & 1) != 0;
  const std::string folder = Saved(in.Text(in.Byte()));
  const std::string text(in.Text(in.Remaining()));

  const fe::TSettings read = fe::SettingsFromIni(fe::TIniFile::FromText(text), kDefaultTemp);
  fuzz::Check(!read.TempDir.empty() && read.TempDir.back() == '/',
              "the temporary folder does not end with '/'");
  const std::string path = fuzz::ScratchDir() + "/ardovan.ini";
  fuzz::WriteFile(path, text);

  // Writing: the three keys change, every other line stays.
  fe::TIniFile ini(path);
  ini.WriteInteger(fe::kIniSection, "IDVyp", index);
  ini.WriteBool(fe::kIniSection, "BurnProof", burnProof);
  ini.WriteString(fe::kIniSection, "TempDir", folder);
  fuzz::Check(ini.UpdateFile(), "the settings file cannot be written");
  const std::vector<uint8_t> written = fuzz::ReadFile(path);
  const std::string after(written.begin(), written.end());
  std::vector<std::string> kept;
  for (const std::string& line : Lines(text))
    if (!IsSettingKey(line)) kept.push_back(line);
  fuzz::Check(IsSubsequence(kept, Lines(after)),
              "writing the settings changed or lost other lines");

  const fe::TSettings reread = fe::SettingsFromIni(fe::TIniFile(path), kDefaultTemp);
  fuzz::Check(reread.BurnerIndex == index, "the recorder index does not read back");
  fuzz::Check(reread.BurnProof == burnProof, "buffer-underrun protection does not read back");
  fuzz::Check(reread.TempDir == folder, "the temporary folder does not read back");
  return 0;
}
