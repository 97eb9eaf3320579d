#include "app/VirtualRecorderMenu.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>

#include "app/Dialogs.h"
#include "app/FrmHlavni.h"
#include "app/FrmUlozitObraz.h"
#include "app/FrmVlozitMedium.h"
#include "frontend/Settings.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "vdrive/Media.h"
#include "vdrive/Model.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"

namespace app {

QString MediumKindName(vdrive::TMediumKind kind) {
  return QString::fromLatin1(vdrive::Traits(kind).name).toUpper();
}

namespace {

// The blank chosen last, kept in the settings file so the next start offers it again.
constexpr const char* kLastBlankKey = "VirtualBlank";

std::optional<vdrive::TMediumKind> ReadLastBlank() {
  const fe::TIniFile ini(fe::SettingsPath(plat::SettingsFolder()));
  return vdrive::ParseMediumKind(ini.ReadString(fe::kIniSection, kLastBlankKey, std::string()));
}

void KeepLastBlank(vdrive::TMediumKind kind) {
  fe::TIniFile ini(fe::SettingsPath(plat::SettingsFolder()));
  ini.WriteString(fe::kIniSection, kLastBlankKey, vdrive::MediumName(kind));
  ini.UpdateFile();  // a settings file that cannot be written only loses the suggestion
}

}  // namespace

TVirtualRecorderMenu::TVirtualRecorderMenu(TFrmHlavni* main)
    : QObject(main), main_(main), lastKind_(ReadLastBlank()) {
  menu_ = new QMenu(QStringLiteral("Virtuální vypalovačka"), main);
  Vlozit1 = menu_->addAction(QStringLiteral("Vložit prázdné médium..."));
  Vysunout1 = menu_->addAction(QStringLiteral("Vysunout médium"));
  Zasunout1 = menu_->addAction(QStringLiteral("Zasunout médium"));
  menu_->addSeparator();
  Ulozit1 = menu_->addAction(QStringLiteral("Uložit obraz disku..."));
  connect(Vlozit1, &QAction::triggered, this, &TVirtualRecorderMenu::Vlozit1Click);
  connect(Vysunout1, &QAction::triggered, this, &TVirtualRecorderMenu::Vysunout1Click);
  connect(Zasunout1, &QAction::triggered, this, &TVirtualRecorderMenu::Zasunout1Click);
  connect(Ulozit1, &QAction::triggered, this, &TVirtualRecorderMenu::Ulozit1Click);
  // The selection may change behind the menu's back (the settings window): look again each time.
  connect(menu_, &QMenu::aboutToShow, this, &TVirtualRecorderMenu::Update);
  FrmVlozitMedium = new TFrmVlozitMedium(main);
  FrmUlozitObraz = new TFrmUlozitObraz(main);
  Update();
}

QMenu* TVirtualRecorderMenu::NewMenu(QWidget* parent) {
  auto* menu = new QMenu(menu_->title(), parent);
  menu->addActions({Vlozit1, Vysunout1, Zasunout1});
  menu->addSeparator();
  menu->addAction(Ulozit1);
  connect(menu, &QMenu::aboutToShow, this, &TVirtualRecorderMenu::Update);
  return menu;
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
  const bool on = allowed_ && Virtual();
  for (QAction* a : {Vlozit1, Vysunout1, Ulozit1}) a->setEnabled(on);
  // Only an open tray with a disc on it can be pushed back in.
  vdrive::TLoadState state;
  std::string error;
  Zasunout1->setEnabled(
      on && vdrive::ReadLoadState(SelectedRecorderFolder().toStdString(), state, error) &&
      state.trayOpen && state.disc.has_value());
}

QWidget* TVirtualRecorderMenu::DialogParent() const {
  // Over the window the user works in: the wizard, when the items come from there.
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr ? modal : main_;
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

bool TVirtualRecorderMenu::Insert(vdrive::TMediumKind kind, QWidget* parent) {
  const std::string folder = SelectedRecorderFolder().toStdString();
  std::string error;
  if (!vdrive::InsertBlank(folder, kind, std::nullopt, false, error)) {
    ShowError(QStringLiteral("Médium se nepodařilo vložit: ") + QString::fromStdString(error),
              parent);
    return false;
  }
  lastKind_ = kind;
  KeepLastBlank(kind);
  emit TrayChanged(QStringLiteral("Do virtuální vypalovačky bylo vloženo prázdné médium ") +
                   MediumKindName(kind) + QLatin1Char('.'));
  return true;
}

void TVirtualRecorderMenu::Vlozit1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  const std::vector<vdrive::TMediumKind> kinds = WritableKinds(folder);
  QStringList names;
  int current = 0;
  for (vdrive::TMediumKind k : kinds) {
    if (lastKind_ == k) current = static_cast<int>(names.size());
    names << MediumKindName(k);
  }
  vdrive::TLoadState state;
  std::string error;
  const bool paced = vdrive::ReadLoadState(folder, state, error) && state.pace;
  if (!FrmVlozitMedium->Ask(names, current, paced)) return;
  const int chosen = FrmVlozitMedium->Chosen();
  if (chosen < 0 || chosen >= static_cast<int>(kinds.size())) return;
  QWidget* parent = DialogParent();
  if (FrmVlozitMedium->Pace() != paced && !vdrive::SetPace(folder, FrmVlozitMedium->Pace(), error))
    ShowError(QStringLiteral("Rychlost vypalovačky se nepodařilo nastavit: ") +
                  QString::fromStdString(error),
              parent);
  Insert(kinds[static_cast<size_t>(chosen)], parent);
}

std::optional<vdrive::TMediumKind> TVirtualRecorderMenu::OfferedBlank(
    const vdrive::TBlankNeed& need) const {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return std::nullopt;
  vdrive::TLoadState state;
  std::string error;
  if (!vdrive::ReadLoadState(folder, state, error) || (state.disc && !state.trayOpen))
    return std::nullopt;
  return vdrive::ChooseBlankFor(folder, need, lastKind_, error);
}

bool TVirtualRecorderMenu::InsertOffered(const vdrive::TBlankNeed& need, QWidget* parent) {
  const std::optional<vdrive::TMediumKind> kind = OfferedBlank(need);
  return kind && Insert(*kind, parent);
}

void TVirtualRecorderMenu::Vysunout1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  std::string error;
  if (!vdrive::EjectMedium(folder, error)) {
    ShowError(QStringLiteral("Médium se nepodařilo vysunout: ") + QString::fromStdString(error),
              DialogParent());
    return;
  }
  emit TrayChanged(QStringLiteral("Médium bylo vysunuto z virtuální vypalovačky."));
}

void TVirtualRecorderMenu::Zasunout1Click() {
  if (!Virtual()) return;
  if (!main_->Qvx().LoadDisc(true)) {
    ShowError(QStringLiteral("Médium se nepodařilo zasunout."), DialogParent());
    return;
  }
  emit TrayChanged(QStringLiteral("Médium bylo zasunuto do virtuální vypalovačky."));
}

void TVirtualRecorderMenu::Ulozit1Click() {
  const std::string folder = SelectedRecorderFolder().toStdString();
  if (folder.empty()) return;
  QWidget* parent = DialogParent();
  QString target = AskSaveFileName(QStringLiteral("Uložit obraz disku"), main_->od.Filter, parent);
  if (target.isEmpty()) return;
  // A name typed without an extension is an image all the same.
  if (QFileInfo(target).suffix().isEmpty()) {
    target += QStringLiteral(".iso");
    if (QFileInfo::exists(target) &&
        Ask(QStringLiteral("Soubor ") + target + QStringLiteral(" již existuje. Přepsat?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No, parent) != QMessageBox::Yes)
      return;
  }
  if (FrmUlozitObraz->Run(folder, target))
    ShowMessage(QStringLiteral("Obraz disku byl uložen do souboru ") + target, parent);
  else if (!FrmUlozitObraz->Stopped())
    ShowError(QStringLiteral("Obraz disku se nepodařilo uložit: ") + FrmUlozitObraz->Error(),
              parent);
}

}  // namespace app
