#include "app/FrmNastaveni.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>

#include "app/Dialogs.h"
#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/SpeedList.h"
#include "app/WindowHelpers.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Settings.h"
#include "frontend/Texts.h"
#include "platform/Files.h"

void TDropDownComboBox::showPopup() {
  emit dropDown();
  QComboBox::showPopup();
}

TFrmNastaveni::TFrmNastaveni(TFrmHlavni* main) : QDialog(main), main_(main) {
  setWindowTitle(QStringLiteral("Nastavení vypalovačky"));
  setFixedSize(636, 168);
  app::SetFixedFrame(this, false);

  auto label = [this](const char* text, int y) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setGeometry(8, y, 132, 24);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  label("Vypalovačka : ", 12);
  cbDrives = new QComboBox(this);
  cbDrives->setGeometry(144, 12, 480, 24);
  connect(cbDrives, &QComboBox::activated, this, &TFrmNastaveni::cbDrivesChange);

  label("Rychlost :", 42);
  cbSpeed = new TDropDownComboBox(this);
  cbSpeed->setGeometry(144, 42, 200, 24);
  connect(cbSpeed, &TDropDownComboBox::dropDown, this, &TFrmNastaveni::cbSpeedDropDown);

  label("Odkládací adresář:", 72);
  DirectoryEdit1 = new QLineEdit(this);
  DirectoryEdit1->setGeometry(144, 72, 450, 24);
  btnBrowse = new QToolButton(this);
  btnBrowse->setText(QStringLiteral("..."));
  btnBrowse->setGeometry(598, 72, 26, 24);
  connect(btnBrowse, &QToolButton::clicked, this, &TFrmNastaveni::btnBrowseClick);

  BrnPrf = new QCheckBox(QStringLiteral("Používat ochranu přetečení zásobníku Burn Proof"), this);
  BrnPrf->setGeometry(144, 102, 480, 22);
  BrnPrf->setChecked(true);

  btnUloz = new QPushButton(QStringLiteral("Uložit"), this);
  btnUloz->setGeometry(440, 132, 90, 27);
  btnUloz->setDefault(true);
  connect(btnUloz, &QPushButton::clicked, this, &TFrmNastaveni::btnUlozClick);
  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  Button1->setGeometry(534, 132, 90, 27);
  connect(Button1, &QPushButton::clicked, this, &TFrmNastaveni::Button1Click);
}

void TFrmNastaveni::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) {
    app::CentreOnScreen(this);
    FormShow();
  }
  QDialog::showEvent(e);
}

void TFrmNastaveni::FormShow() {
  TQuorvexPro& qvx = main_->Qvx();
  cbDrives->clear();
  cbSpeed->clear();
  cbSpeed->addItem(QStringLiteral("Max"), 0);
  // The speed in force, not "Max" while a lower one applies.
  const app::TSpeedEntry inForce = app::SpeedInForce(qvx);
  if (inForce.KBps != 0) cbSpeed->addItem(inForce.Text, inForce.KBps);
  cbSpeed->setCurrentIndex(cbSpeed->count() - 1);
  speedProbed_ = false;
  const uint16_t count = qvx.GetDeviceCount();
  for (uint16_t i = 0; i < count; ++i)
    cbDrives->addItem(QString::fromStdString(qvx.GetDeviceName(static_cast<uint8_t>(i))));
  const int burner = main_->GetBurnerIndex();
  cbDrives->setCurrentIndex(burner >= 0 && burner < cbDrives->count() ? burner : -1);
  DirectoryEdit1->setText(main_->GetTempDir());
}

void TFrmNastaveni::cbDrivesChange(int index) {
  if (index < 0 || index > 255) return;
  TQuorvexPro& qvx = main_->Qvx();
  qvx.SelectDevice(static_cast<uint8_t>(index));
  if (!qvx.IsWriter())
    app::ShowMessage(QStringLiteral("Vybrané zařízení není pravděpodobně vypalovačka!"), this);
}

void TFrmNastaveni::cbSpeedDropDown() {
  TQuorvexPro& qvx = main_->Qvx();
  const int remembered = cbSpeed->currentIndex();
  // A medium just inserted is waited for, or the list would hold "Max" alone.
  main_->WaitForMedium();
  cbSpeed->clear();
  for (const app::TSpeedEntry& e : app::ProbeWriteSpeeds(qvx)) cbSpeed->addItem(e.Text, e.KBps);
  int select = remembered >= 0 && remembered < cbSpeed->count() ? remembered : 0;
  if (!speedProbed_) {
    // Until the user chose in this list, it shows the speed in force.
    const int inForce = cbSpeed->findData(app::SpeedInForce(qvx).KBps);
    select = inForce >= 0 ? inForce : 0;
  }
  speedProbed_ = true;
  cbSpeed->setCurrentIndex(select);
}

void TFrmNastaveni::btnBrowseClick() {
  const QString folder = app::BrowseForFolder(DirectoryEdit1->text(), this);
  if (!folder.isEmpty()) DirectoryEdit1->setText(folder);
}

void TFrmNastaveni::btnUlozClick() {
  fe::TSettings kept;
  kept.BurnerIndex = cbDrives->currentIndex();
  kept.BurnProof = BrnPrf->isChecked();
  kept.TempDir = fe::TempDirFromText(DirectoryEdit1->text().toStdString(), plat::TempPath());
  // Disc copies put their image there: a folder that is missing or closed to us would fail
  // only then, with the disc read already.
  const QFileInfo folder(app::Q(kept.TempDir));
  if (!folder.isDir() || !folder.isWritable()) {
    app::ShowError(QStringLiteral("Odkládací adresář ") + app::Q(kept.TempDir) +
                       QStringLiteral(" neexistuje nebo do něj nelze zapisovat. Zvolte jiný."),
                   this);
    return;
  }
  if (!fe::WriteSettings(main_->GetIniDir().toStdString(), kept)) {
    app::ShowError(QStringLiteral("Nastavení nelze uložit do souboru ") +
                       app::Q(fe::SettingsPath(main_->GetIniDir().toStdString())),
                   this);
    return;
  }
  const QString temp = app::Q(kept.TempDir);
  const int drive = kept.BurnerIndex;

  TQuorvexPro& qvx = main_->Qvx();
  qvx.SetBurnProof(BrnPrf->isChecked());
  main_->SetBurnerIndex(drive);
  main_->SetTempDir(temp);
  // The chosen speed is used for the next jobs ("Max" asks for the recorder's maximum). Without
  // a probe since the window opened, the list holds only "Max" and says nothing new.
  if (speedProbed_) {
    qvx.SetSpeed(0, static_cast<uint16_t>(cbSpeed->currentData().toUInt()));
  }
  accept();
}

void TFrmNastaveni::Button1Click() { reject(); }
