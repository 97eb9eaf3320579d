#include "app/VirtualRecorderMenu.h"

#include <QAction>
#include <QMenu>

#include "app/Dialogs.h"
#include "app/FrmHlavni.h"
#include "platform/Drives.h"
#include "vdrive/Model.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"

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
  if (index < 0 || index >= main_->Qvx().GetDeviceCount()) return {};
  const std::shared_ptr<plat::TVirtualDrive> drive =
      plat::VirtualDriveAt(main_->Qvx().GetDeviceLetter(static_cast<uint8_t>(index)));
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

namespace {

// Blank media the recorder's model can write ("CD-R", "DVD+RW", ...), in the usual order.
std::vector<vdrive::TMediumKind> WritableKinds(const std::string& folder) {
  vdrive::TDriveModel model;
  std::string text, error;
  const bool known = vdrive::ReadTextFile(vdrive::JoinPath(folder, vdrive::kDriveFile), text) &&
                     vdrive::ModelFromJson(text, model, error);
  std::vector<vdrive::TMediumKind> kinds;
  for (int i = 0; i < vdrive::kMediumKindCount; ++i) {
    const auto kind = static_cast<vdrive::TMediumKind>(i);
    if (vdrive::Traits(kind).access == vdrive::TAccess::Rom) continue;
    if (!known || model.Writes(kind)) kinds.push_back(kind);
  }
  return kinds;
}

}  // namespace

void TVirtualRecorderMenu::Vlozit1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  const std::vector<vdrive::TMediumKind> kinds = WritableKinds(folder);
  QStringList names;
  for (vdrive::TMediumKind k : kinds)
    names << QString::fromLatin1(vdrive::Traits(k).name).toUpper();
  const int chosen = ChooseItem(QStringLiteral("Vložit prázdné médium"),
                                QStringLiteral("Typ média:"), names, 0, main_);
  if (chosen < 0 || chosen >= static_cast<int>(kinds.size())) return;
  std::string error;
  if (!vdrive::InsertBlank(folder, kinds[static_cast<size_t>(chosen)], std::nullopt, false, error))
    ShowError(QStringLiteral("Médium se nepodařilo vložit: ") + QString::fromStdString(error),
              main_);
}

void TVirtualRecorderMenu::Vysunout1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  std::string error;
  if (!vdrive::EjectMedium(folder, error))
    ShowError(QStringLiteral("Médium se nepodařilo vysunout: ") + QString::fromStdString(error),
              main_);
}

void TVirtualRecorderMenu::Ulozit1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  const QString target =
      AskSaveFileName(QStringLiteral("Uložit obraz disku"), main_->od.Filter, main_);
  if (target.isEmpty()) return;
  std::string error;
  if (vdrive::ExportMedium(folder, target.toStdString(), std::nullopt, error))
    ShowMessage(QStringLiteral("Obraz disku byl uložen do souboru ") + target, main_);
  else
    ShowError(QStringLiteral("Obraz disku se nepodařilo uložit: ") + QString::fromStdString(error),
              main_);
}

}  // namespace app
