#pragma once
// The one way the windows ask the user something: message boxes, questions, the open-file
// dialog and the folder picker. Tests install hooks that answer instead of the user.
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace app {

// The application title: caption of plain messages.
inline const char kAppTitle[] = "Ardovan";

enum class TDialogKind { Message, Error, Question };

struct TDialogRequest {
  TDialogKind Kind = TDialogKind::Message;
  QString Caption;
  QString Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
  QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
};

// Answers a box instead of the user; the answer must be one of the request's buttons.
using TDialogHook = std::function<QMessageBox::StandardButton(const TDialogRequest&)>;
void SetDialogHook(TDialogHook hook);

// Plain message with the application title and an OK button.
void ShowMessage(const QString& text, QWidget* parent = nullptr);
// Error box: caption "Pozor", error icon, OK button.
void ShowError(const QString& text, QWidget* parent = nullptr);
// Question box: caption "Dotaz", question icon. Closing the box counts as Cancel when Cancel is
// offered (as No when only Yes and No are).
QMessageBox::StandardButton Ask(const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                QWidget* parent = nullptr);

// File and folder pickers. A hook gets the filter or start folder and returns the chosen path,
// or an empty string for Cancel.
using TPathHook = std::function<QString(const QString& filterOrFolder)>;
void SetOpenFileHook(TPathHook hook);
void SetSaveFileHook(TPathHook hook);
void SetFolderHook(TPathHook hook);

// A choice from a list: the hook gets the entries and returns the chosen index, -1 for Cancel.
using TChoiceHook = std::function<int(const QString& label, const QStringList& items)>;
void SetChoiceHook(TChoiceHook hook);
// Asks for one entry of `items` (starting at `current`); its index, or -1 for Cancel.
int ChooseItem(const QString& caption, const QString& label, const QStringList& items, int current,
               QWidget* parent = nullptr);
// Asks for the name of a file to write, offering `filter` ("Description|mask|..."); empty for
// Cancel.
QString AskSaveFileName(const QString& caption, const QString& filter, QWidget* parent = nullptr);

// Filter of the original form "Description|mask|Description|mask" as Qt name filters. Masks
// match either case, as file names did on the system the filters were written for.
QStringList NameFiltersFromPipes(const QString& filter);

// The open-file dialog of a window: the filter it offers and the file the user chose last.
class TOpenDialog {
 public:
  QString Filter;
  QString FileName;
  // Asks for a file; true and FileName set when one was chosen.
  bool Execute(QWidget* parent = nullptr);
};

// Folder picker starting in `folder`; the chosen folder, or empty for Cancel.
QString BrowseForFolder(const QString& folder, QWidget* parent = nullptr);

}  // namespace app
