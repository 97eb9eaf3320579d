#pragma once
// The menu "Virtuální vypalovačka": for users without a burner, the virtual recorder's tray is
// worked from here (insert a blank medium, eject, save what was burned as an image file). Its
// items act on the selected recorder when it is a virtual one and are disabled otherwise.
#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class TFrmHlavni;
namespace plat {
class TVirtualDrive;
}

namespace app {

class TVirtualRecorderMenu : public QObject {
  Q_OBJECT
 public:
  explicit TVirtualRecorderMenu(TFrmHlavni* main);

  QMenu* Menu() const { return menu_; }
  // Re-reads which recorder is selected and enables the items accordingly.
  void Update();
  // Off while a job runs, whatever the selected recorder is.
  void SetAllowed(bool allowed);
  // The folder of the selected virtual recorder, empty when the selected one is not virtual.
  QString SelectedRecorderFolder() const;

  QAction* Vlozit1;    // "Vložit prázdné médium..."
  QAction* Vysunout1;  // "Vysunout médium"
  QAction* Ulozit1;    // "Uložit obraz disku..."

 public slots:
  void Vlozit1Click();
  void Vysunout1Click();
  void Ulozit1Click();

 private:
  TFrmHlavni* main_;
  QMenu* menu_;
  bool allowed_ = true;
};

}  // namespace app
