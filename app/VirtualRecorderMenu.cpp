#include "app/VirtualRecorderMenu.h"

#include <QAction>
#include <QMenu>

#include "app/FrmHlavni.h"
#include "device/qvpDeviceTypes.h"
#include "platform/Drives.h"

namespace app {

TVirtualRecorderMenu::TVirtualRecorderMenu(TFrmHlavni* main) : QObject(main), main_(main) {
  menu_ = new QMenu(QStringLiteral("Virtuální vypalovačka"), main);
  Vlozit1 = menu_->addAction(QStringLiteral("Vložit prázdné médium..."));
  Vysunout1 = menu_->addAction(QStringLiteral("Vysunout médium"));
  menu_->addSeparator();
  Ulozit1 = menu_->addAction(QStringLiteral("Uložit obraz disku..."));
  connect(Vlozit1, &QAction::triggered, this, &TVirtualRecorderMenu::Vlozit1Click);
  connect(Vysunout1, &QAction::triggered, this, &TVirtualRecorderMenu::Vysunout1Click);
  connect(Ulozit1, &QAction::triggered, this, &TVirtualRecorderMenu::Ulozit1Click);
  // The selection may change behind the menu's back (the settings window): look again each time.
  connect(menu_, &QMenu::aboutToShow, this, &TVirtualRecorderMenu::Update);
  Update();
}

QString TVirtualRecorderMenu::SelectedRecorderFolder() const {
  const int32_t index = main_->GetBurnerIndex();
  const qvp::TSCSIDevice& dev = main_->Qvx().Device();
  if (index < 0 || index >= dev.DriveCount) return {};
  const std::shared_ptr<plat::TVirtualDrive> drive = plat::VirtualDriveAt(dev.Drives[index].Letter);
  return drive ? QString::fromStdString(drive->Path()) : QString();
}

void TVirtualRecorderMenu::SetAllowed(bool allowed) {
  allowed_ = allowed;
  Update();
}

void TVirtualRecorderMenu::Update() {
  const bool on = allowed_ && !SelectedRecorderFolder().isEmpty();
  for (QAction* a : {Vlozit1, Vysunout1, Ulozit1}) a->setEnabled(on);
}

void TVirtualRecorderMenu::Vlozit1Click() {}
void TVirtualRecorderMenu::Vysunout1Click() {}
void TVirtualRecorderMenu::Ulozit1Click() {}

}  // namespace app
