#include "app/BurnOptionsPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "app/Dialogs.h"
#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/FrmNastaveni.h"
#include "app/SpeedList.h"

namespace app {
namespace {

constexpr int kAsSettings = -1;  // the write speed the settings window left in force

}  // namespace

TBurnOptionsPanel::TBurnOptionsPanel(TFrmHlavni* main, QWidget* parent)
    : QWidget(parent), main_(main) {
  int i = 0;
  for (const fe::TBurnOptionFlag& f : fe::kBurnOptionFlags) {
    auto* box = new QCheckBox(QString::fromUtf8(f.Label), this);
    box->setGeometry(10 + (i % 2) * 380, 6 + (i / 2) * 24, 370, 22);
    connect(box, &QCheckBox::toggled, this, &TBurnOptionsPanel::Changed);
    Flags.push_back(box);
    ++i;
  }
  const int y = 6 + ((i + 1) / 2) * 24 + 4;
  auto* boot = new QLabel(QStringLiteral("Zaváděcí obraz:"), this);
  boot->setGeometry(10, y, 110, 24);
  BootImage = new QLineEdit(this);
  BootImage->setGeometry(120, y, 214, 24);
  BootImage->setPlaceholderText(QStringLiteral("žádný"));
  connect(BootImage, &QLineEdit::editingFinished, this, &TBurnOptionsPanel::Changed);
  btnBoot = new QToolButton(this);
  btnBoot->setText(QStringLiteral("..."));
  btnBoot->setGeometry(338, y, 26, 24);
  connect(btnBoot, &QToolButton::clicked, this, &TBurnOptionsPanel::btnBootClick);
  auto* speed = new QLabel(QStringLiteral("Rychlost zápisu:"), this);
  speed->setGeometry(390, y, 120, 24);
  cbSpeed = new TDropDownComboBox(this);
  cbSpeed->setGeometry(510, y, 237, 24);
  connect(cbSpeed, &TDropDownComboBox::dropDown, this, &TBurnOptionsPanel::cbSpeedDropDown);
  connect(cbSpeed, &QComboBox::activated, this, &TBurnOptionsPanel::Changed);
  ResetSpeeds(kAsSettings);
}

void TBurnOptionsPanel::ResetSpeeds(int kbps) {
  cbSpeed->clear();
  cbSpeed->addItem(QStringLiteral("Podle nastavení vypalovačky"), kAsSettings);
  cbSpeed->addItem(QStringLiteral("Max"), 0);
  if (kbps > 0) cbSpeed->addItem(FormatGrouped(kbps, 0) + QStringLiteral(" KB/s"), kbps);
  cbSpeed->setCurrentIndex(cbSpeed->findData(kbps));
}

void TBurnOptionsPanel::Load(const fe::TBurnOptions& o) {
  const QSignalBlocker quiet(this);
  for (size_t i = 0; i < Flags.size(); ++i) {
    const QSignalBlocker box(Flags[i]);
    Flags[i]->setChecked(o.*fe::kBurnOptionFlags[i].Field);
  }
  BootImage->setText(Q(o.BootImage));
  ResetSpeeds(o.WriteSpeed);
}

fe::TBurnOptions TBurnOptionsPanel::Options() const {
  fe::TBurnOptions o;
  for (size_t i = 0; i < Flags.size(); ++i)
    o.*fe::kBurnOptionFlags[i].Field = Flags[i]->isChecked();
  o.BootImage = BootImage->text().trimmed().toStdString();
  o.WriteSpeed = cbSpeed->currentData().toInt();
  return o;
}

void TBurnOptionsPanel::btnBootClick() {
  TOpenDialog dialog;
  dialog.Filter =
      QStringLiteral("Zaváděcí obraz (*.img;*.ima;*.bin)|*.img;*.ima;*.bin|Vše (*.*)|*.*");
  dialog.FileName = BootImage->text();
  if (!dialog.Execute(this)) return;
  BootImage->setText(dialog.FileName);
  emit Changed();
}

void TBurnOptionsPanel::cbSpeedDropDown() {
  const int chosen = cbSpeed->currentData().toInt();
  main_->WaitForMedium();
  cbSpeed->clear();
  cbSpeed->addItem(QStringLiteral("Podle nastavení vypalovačky"), kAsSettings);
  for (const TSpeedEntry& e : ProbeWriteSpeeds(main_->Qvx())) cbSpeed->addItem(e.Text, e.KBps);
  // The choice stays when the medium offers it; otherwise the list says what applies.
  const int at = cbSpeed->findData(chosen);
  cbSpeed->setCurrentIndex(at >= 0 ? at : 0);
  if (at < 0) emit Changed();
}

}  // namespace app
