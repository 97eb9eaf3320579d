#include "app/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QRegularExpression>

namespace app {
namespace {

// What tests answer instead of the user; empty hooks leave the real dialogs in place.
struct THooks {
  TDialogHook Dialog;
  TPathHook OpenFile, SaveFile, Folder;
  TChoiceHook Choice;
};

THooks& Hooks() {
  static THooks hooks;
  return hooks;
}

QMessageBox::StandardButton Run(const TDialogRequest& r, QWidget* parent) {
  if (Hooks().Dialog) return Hooks().Dialog(r);
  QMessageBox box(r.Icon, r.Caption, r.Text, r.Buttons, parent);
  if (r.DefaultButton != QMessageBox::NoButton) box.setDefaultButton(r.DefaultButton);
  const int answer = box.exec();
  return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace

void SetDialogHook(TDialogHook hook) { Hooks().Dialog = std::move(hook); }
void SetOpenFileHook(TPathHook hook) { Hooks().OpenFile = std::move(hook); }
void SetFolderHook(TPathHook hook) { Hooks().Folder = std::move(hook); }
void SetSaveFileHook(TPathHook hook) { Hooks().SaveFile = std::move(hook); }
void SetChoiceHook(TChoiceHook hook) { Hooks().Choice = std::move(hook); }

int ChooseItem(const QString& caption, const QString& label, const QStringList& items, int current,
               QWidget* parent) {
  if (Hooks().Choice) return Hooks().Choice(label, items);
  bool ok = false;
  const QString chosen = QInputDialog::getItem(parent, caption, label, items, current, false, &ok);
  return ok ? static_cast<int>(items.indexOf(chosen)) : -1;
}

QString AskSaveFileName(const QString& caption, const QString& filter, QWidget* parent) {
  if (Hooks().SaveFile) return Hooks().SaveFile(filter);
  return QFileDialog::getSaveFileName(parent, caption, QString(),
                                      NameFiltersFromPipes(filter).join(";;"));
}

void ShowMessage(const QString& text, QWidget* parent) {
  Run({TDialogKind::Message, QString::fromUtf8(kAppTitle), text, QMessageBox::NoIcon,
       QMessageBox::Ok, QMessageBox::Ok},
      parent);
}

void ShowError(const QString& text, QWidget* parent) {
  Run({TDialogKind::Error, QStringLiteral("Pozor"), text, QMessageBox::Critical, QMessageBox::Ok,
       QMessageBox::Ok},
      parent);
}

QMessageBox::StandardButton Ask(const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton, QWidget* parent) {
  QMessageBox::StandardButton answer = Run({TDialogKind::Question, QStringLiteral("Dotaz"), text,
                                            QMessageBox::Question, buttons, defaultButton},
                                           parent);
  // A box closed from its frame or with Escape answers with its escape button.
  if (!(buttons & answer))
    answer = (buttons & QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
  return answer;
}

QStringList NameFiltersFromPipes(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QStringList patterns;
    // Patterns named in the description's own brackets are kept, then the mask's.
    static const QRegularExpression tail(QStringLiteral("\\s*\\(([^()]*)\\)$"));
    const QRegularExpressionMatch m = tail.match(description);
    QStringList sources = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (m.hasMatch()) {
      sources =
          m.captured(1).split(QRegularExpression(QStringLiteral("[ ;]+")), Qt::SkipEmptyParts) +
          sources;
      description.truncate(m.capturedStart());
    }
    for (const QString& s : sources) {
      const QString p = s.trimmed();
      for (const QString& variant : {p, p.toLower(), p.toUpper()})
        if (!patterns.contains(variant)) patterns << variant;
    }
    result << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return result;
}

bool TOpenDialog::Execute(QWidget* parent) {
  QString chosen;
  if (Hooks().OpenFile) {
    chosen = Hooks().OpenFile(Filter);
  } else {
    const QStringList filters = NameFiltersFromPipes(Filter);
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      chosen = dialog.selectedFiles().first();
  }
  if (chosen.isEmpty()) return false;
  FileName = chosen;
  return true;
}

QString BrowseForFolder(const QString& folder, QWidget* parent) {
  if (Hooks().Folder) return Hooks().Folder(folder);
  return QFileDialog::getExistingDirectory(parent, QString(), folder);
}

}  // namespace app
