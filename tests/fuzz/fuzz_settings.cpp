// The settings file: any text as ardovan.ini is read by the command line and by the windows
// alike; the windows' "Uložit" writes the three keys into it and keeps every other line as it
// was; both read back what was written.
//
// Input: a 4-byte recorder index, a byte (bit 0: buffer-underrun protection), a byte n and n
// bytes of temporary folder, then the file's text. The folder stands for what the folder picker
// returns: text without line breaks (a line break cannot be kept in a one-line value).
//
// The settings code is today in cli/Settings (reading, the command line) and app/IniFile
// (reading and writing, the windows); this harness follows it where it goes.
#include <QString>
#include <algorithm>
#include <string>
#include <vector>

#include "app/IniFile.h"
#include "cli/Settings.h"
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

// The folder as "Uložit" stores it: the field's text (never a line break: it is one line, and
// bytes that are not UTF-8 cannot be in it) without blanks around it and ending with '/'.
std::string Saved(std::string_view field) {
  QString t = QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
  t.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
  t = t.trimmed();
  if (t.isEmpty()) return kDefaultTemp;
  return Slashed(t.toStdString());
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t i = 0;
  for (const std::string& line : whole)
    if (i < part.size() && part[i] == line) ++i;
  return i == part.size();
}

// True when the line is one the windows' writer replaces: one of the three keys of the section.
bool IsSettingKey(const std::string& line) {
  const std::string t = QString::fromStdString(line).trimmed().toStdString();
  const size_t eq = t.find('=');
  if (eq == std::string::npos || eq == 0 || t[0] == ';') return false;
  const QString key = QString::fromStdString(t.substr(0, eq)).trimmed();
  for (const char* k : {"IDVyp", "BurnProof", "TempDir"})
    if (key.compare(QLatin1String(k), Qt::CaseInsensitive) == 0) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TInput in(data, size);
  const int index = static_cast<int>(in.U32());
  const bool burnProof = (in.Byte() & 1) != 0;
  const std::string folder = Saved(in.Text(in.Byte()));
  const std::string text(in.Text(in.Remaining()));

  // Reading. (The two readers differ on files the windows never write: keys in a second
  // "[Setting]" section, an empty folder, text that is not UTF-8. They become one reader.)
  const cli::TSettings cli = cli::ParseSettings(text, kDefaultTemp);
  fuzz::Check(!cli.TempDir.empty() && cli.TempDir.back() == '/',
              "the temporary folder does not end with '/'");
  const std::string path = fuzz::ScratchDir() + "/ardovan.ini";
  fuzz::WriteFile(path, text);
  const QString section = QStringLiteral("Setting");

  // Writing: the three keys change, every other line stays.
  app::TIniFile ini(QString::fromStdString(path));
  ini.WriteInteger(section, QStringLiteral("IDVyp"), index);
  ini.WriteBool(section, QStringLiteral("BurnProof"), burnProof);
  ini.WriteString(section, QStringLiteral("TempDir"), QString::fromStdString(folder));
  fuzz::Check(ini.UpdateFile(), "the settings file cannot be written");
  const std::vector<uint8_t> written = fuzz::ReadFile(path);
  const std::string after(written.begin(), written.end());
  std::vector<std::string> kept;
  for (const std::string& line : Lines(text))
    if (!IsSettingKey(line)) kept.push_back(line);
  fuzz::Check(IsSubsequence(kept, Lines(after)),
              "writing the settings changed or lost other lines");

  const app::TIniFile again(QString::fromStdString(path));
  const cli::TSettings reread = cli::ParseSettings(after, kDefaultTemp);
  fuzz::Check(again.ReadInteger(section, QStringLiteral("IDVyp"), -1) == index &&
                  reread.BurnerIndex == index,
              "the recorder index does not read back");
  fuzz::Check(again.ReadBool(section, QStringLiteral("BurnProof"), !burnProof) == burnProof &&
                  reread.BurnProof == burnProof,
              "buffer-underrun protection does not read back");
  fuzz::Check(
      again.ReadString(section, QStringLiteral("TempDir"), QString()).toStdString() == folder,
      "the windows do not read back the temporary folder");
  fuzz::Check(reread.TempDir == folder, "the command line does not read back the temporary folder");
  return 0;
}
