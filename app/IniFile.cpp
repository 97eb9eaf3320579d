#include "app/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace app {
namespace {

bool IsHeader(const QByteArray& line, QString* name = nullptr) {
  const QString t = QString::fromUtf8(line).trimmed();
  if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) return false;
  if (name) *name = t.mid(1, t.size() - 2).trimmed();
  return true;
}

bool KeyOf(const QByteArray& bytes, QString* key, QString* value) {
  const QString line = QString::fromUtf8(bytes);
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  if (eq <= 0 || line.trimmed().startsWith(QLatin1Char(';'))) return false;
  *key = line.left(eq).trimmed();
  if (value) *value = line.mid(eq + 1).trimmed();
  return true;
}

}  // namespace

TIniFile::TIniFile(QString path) : path_(std::move(path)) {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return;
  QByteArray text = f.readAll();
  text.replace("\r\n", "\n");
  lines_ = text.split('\n');
  if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
}

qsizetype TIniFile::FindSection(const QString& section) const {
  QString name;
  for (qsizetype i = 0; i < lines_.size(); ++i)
    if (IsHeader(lines_[i], &name) && name.compare(section, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

qsizetype TIniFile::FindKey(qsizetype header, const QString& key) const {
  QString k;
  for (qsizetype i = header + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i)
    if (KeyOf(lines_[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
  const qsizetype header = FindSection(section);
  if (header < 0) return def;
  const qsizetype at = FindKey(header, key);
  if (at < 0) return def;
  QString k, v;
  KeyOf(lines_[at], &k, &v);
  return v;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
  bool ok = false;
  const int v = ReadString(section, key, QString()).toInt(&ok, 10);
  return ok ? v : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  const QByteArray line = (key + QLatin1Char('=') + value).toUtf8();
  qsizetype header = FindSection(section);
  if (header < 0) {
    lines_ << (QLatin1Char('[') + section + QLatin1Char(']')).toUtf8() << line;
    return;
  }
  const qsizetype at = FindKey(header, key);
  if (at >= 0) {
    lines_[at] = line;
    return;
  }
  // After the section's last key line, before blank lines that separate it from the next one.
  qsizetype insert = header + 1;
  for (qsizetype i = header + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i)
    if (!lines_[i].trimmed().isEmpty()) insert = i + 1;
  lines_.insert(insert, line);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::UpdateFile() const {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray text = lines_.join('\n') + '\n';
  if (f.write(text) != text.size()) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

}  // namespace app
