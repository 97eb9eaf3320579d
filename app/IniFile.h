#pragma once
// A small INI file: "[Section]" headers and "key=value" lines. Section and key names compare
// without regard to case; lines the program does not know (comments, other sections and keys)
// are kept as they are when the file is written back.
#include <QByteArrayList>
#include <QString>

namespace app {

class TIniFile {
 public:
  // Reads the file when it exists; a missing or unreadable file reads as empty.
  explicit TIniFile(QString path);

  const QString& Path() const { return path_; }

  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // The value as a decimal integer (an optional sign, then digits, blanks around allowed);
  // `def` when the key is absent or its value is not such a number.
  int ReadInteger(const QString& section, const QString& key, int def) const;
  // Any non-zero integer is true.
  bool ReadBool(const QString& section, const QString& key, bool def) const;

  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteBool(const QString& section, const QString& key, bool value);  // "1" / "0"

  // Writes the file (and its folder when missing) through a temporary file that replaces it,
  // so a failed write never leaves a half-written file. False when it could not be written.
  bool UpdateFile() const;

 private:
  // Index of the section's header line, or -1.
  qsizetype FindSection(const QString& section) const;
  // Index of the key's line inside the section starting after `header`, or -1.
  qsizetype FindKey(qsizetype header, const QString& key) const;

  QString path_;
  // The lines as bytes: a line the program does not touch is written back byte for byte, even
  // when it is not UTF-8 (a comment in another code page).
  QByteArrayList lines_;
};

}  // namespace app
