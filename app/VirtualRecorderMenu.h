#pragma once
// The menu "Virtuální vypalovačka": for users without a burner, the virtual recorder's tray is
// worked from here (insert a blank medium, eject, save what was burned as an image file). Its
// items act on the selected recorder when it is a virtual one and are disabled otherwise. The
// same items are offered on the wizard's burn page, and so is a blank of the kind a waiting job
// needs, in one click.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "vdrive/BlankChoice.h"

class QAction;
class QMenu;
class QWidget;
class TFrmHlavni;
class TFrmUlozitObraz;
class TFrmVlozitMedium;
namespace plat {
class TVirtualDrive;
}

namespace app {

class TVirtualRecorderMenu : public QObject {
  Q_OBJECT
 public:
  explicit TVirtualRecorderMenu(TFrmHlavni* main);

  QMenu* Menu() const { return menu_; }
  // Another menu with the same items, for a window of its own (a modal one keeps the main
  // window's menu out of reach).
  QMenu* NewMenu(QWidget* parent);
  // Re-reads which recorder is selected and enables the items accordingly.
  void Update();
  // Off while a job runs, whatever the selected recorder is.
  void SetAllowed(bool allowed);
  // The folder of the selected virtual recorder, empty when the selected one is not virtual.
  QString SelectedRecorderFolder() const;
  bool Virtual() const { return !SelectedRecorderFolder().isEmpty(); }

  // The blank to offer for a job that needs `need`: when the selected recorder is virtual and
  // its tray is empty, the kind it would get (the last kind chosen first when it fits).
  std::optional<vdrive::TMediumKind> OfferedBlank(const vdrive::TBlankNeed& need) const;
  // Inserts that blank; false (with a message) when it could not be.
  bool InsertOffered(const vdrive::TBlankNeed& need, QWidget* parent);
  // The kind inserted last through the dialog or the offer.
  std::optional<vdrive::TMediumKind> LastKind() const { return lastKind_; }

  QAction* Vlozit1;    // "Vložit prázdné médium..."
  QAction* Vysunout1;  // "Vysunout médium"
  QAction* Zasunout1;  // "Zasunout médium": the tray back in with the disc a job ejected
  QAction* Ulozit1;    // "Uložit obraz disku..."
  TFrmVlozitMedium* FrmVlozitMedium;
  TFrmUlozitObraz* FrmUlozitObraz;

 public slots:
  void Vlozit1Click();
  void Vysunout1Click();
  void Zasunout1Click();
  void Ulozit1Click();

 signals:
  // A medium went in or came out: what to tell the user.
  void TrayChanged(const QString& what);

 private:
  bool Insert(vdrive::TMediumKind kind, QWidget* parent);
  QWidget* DialogParent() const;

  TFrmHlavni* main_;
  QMenu* menu_;
  bool allowed_ = true;
  std::optional<vdrive::TMediumKind> lastKind_;
};

// The name a user knows a medium kind by ("DVD+R").
QString MediumKindName(vdrive::TMediumKind kind);

}  // namespace app
