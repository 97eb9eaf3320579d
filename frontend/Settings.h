#pragma once
// The kept settings: "ardovan.ini" in the settings folder, section "Setting", keys "IDVyp"
// (recorder index, -1 = search), "BurnProof" (any non-zero number is on), "TempDir" (folder for
// disc copies) and "Import" (session import, off by default). One rule set for reading and writing:
// section and key names compare without regard to case; a missing file, section or key, or a value
// that is not a number, gives the default; an empty temporary folder means the system's temporary
// folder, and the folder always ends with '/'.
#include <string>
#include <string_view>
#include <vector>

namespace fe {

inline constexpr const char* kIniName = "ardovan.ini";
inline constexpr const char* kIniSection = "Setting";

// A small INI text: "[Section]" headers and "key=value" lines. Lines the program does not know
// (comments, other sections and keys) are kept as they are when the text is written back.
class TIniFile {
 public:
  TIniFile() = default;
  // Reads the file when it exists; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string path);
  static TIniFile FromText(std::string_view text);

  const std::string& Path() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& def) const;
  // The value as a decimal integer (an optional sign, then digits); `def` when the key is absent
  // or its value is not such a number.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Any non-zero integer is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, const std::string& value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" / "0"

  std::string Text() const;
  // Writes the file (and its folder when missing) through a temporary file that replaces it, so a
  // failed write never leaves a half-written file. False when it could not be written.
  bool UpdateFile() const;

 private:
  void Parse(std::string_view text);
  // Index of the section's header line, or -1.
  long FindSection(std::string_view section) const;
  // Index of the key's line inside the section starting after `header`, or -1.
  long FindKey(long header, std::string_view key) const;

  std::string path_;
  std::vector<std::string> lines_;
};

struct TSettings {
  int BurnerIndex = -1;
  bool BurnProof = true;
  std::string TempDir;  // always ends with '/'
  // "Připojit k předchozím souborům na disku" (key "Import"): off until chosen, then kept by
  // WriteImportChoice.
  bool Import = false;
};
inline constexpr const char* kImportKey = "Import";

// The temporary folder as it is kept: the text without blanks around it and with one trailing
// '/'; the system's temporary folder when the text is empty.
std::string TempDirFromText(const std::string& text, const std::string& systemTemp);

// Settings from an INI text; systemTemp stands in for an absent or empty "TempDir".
TSettings SettingsFromIni(const TIniFile& ini, const std::string& systemTemp);
// <folder>/ardovan.ini, the system's temporary folder as the default TempDir.
std::string SettingsPath(const std::string& folder);
TSettings ReadSettings(const std::string& folder);
// Stores the three keys in <folder>/ardovan.ini, keeping every other line; false when the file
// cannot be written (then it is left as it was).
bool WriteSettings(const std::string& folder, const TSettings& s);
// Keeps the compilation page's choice of session import, touching no other line; false when the
// file cannot be written.
bool WriteImportChoice(const std::string& folder, bool import);

}  // namespace fe
