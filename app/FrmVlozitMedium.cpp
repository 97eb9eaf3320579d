#include "app/FrmVlozitMedium.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/WindowHelpers.h"

TFrmVlozitMedium::TFrmVlozitMedium(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Vložit prázdné médium"));
  setFixedSize(420, 132);
  app::SetFixedFrame(this, false);
  auto* label = new QLabel(QStringLiteral("Typ média:"), this);
  label->setGeometry(12, 14, 90, 24);
  cbTyp = new QComboBox(this);
  cbTyp->setGeometry(104, 14, 304, 24);
  chkTempo = new QCheckBox(QStringLiteral("Zapisovat a číst rychlostí skutečné vypalovačky"), this);
  chkTempo->setGeometry(12, 50, 396, 22);
  chkTempo->setToolTip(
      QStringLiteral("Vypalování pak trvá tak dlouho jako ve skutečné mechanice a je vidět "
                     "průběh, zásobníky i rychlost."));
  btnVlozit = new QPushButton(QStringLiteral("Vložit"), this);
  btnVlozit->setGeometry(214, 94, 94, 28);
  btnVlozit->setDefault(true);
  btnStorno = new QPushButton(QStringLiteral("Storno"), this);
  btnStorno->setGeometry(314, 94, 94, 28);
  connect(btnVlozit, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnStorno, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFrmVlozitMedium::Ask(const QStringList& kinds, int current, bool pace) {
  cbTyp->clear();
  cbTyp->addItems(kinds);
  cbTyp->setCurrentIndex(current >= 0 && current < kinds.size() ? current : 0);
  chkTempo->setChecked(pace);
  app::CentreOnScreen(this);
  return exec() == QDialog::Accepted && cbTyp->currentIndex() >= 0;
}

int TFrmVlozitMedium::Chosen() const { return cbTyp->currentIndex(); }

bool TFrmVlozitMedium::Pace() const { return chkTempo->isChecked(); }
