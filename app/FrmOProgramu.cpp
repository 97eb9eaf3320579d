#include "app/FrmOProgramu.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "app/Pictures.h"
#include "app/WindowHelpers.h"

TFrmOProgramu::TFrmOProgramu(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("O programu - Ardovan"));
  setFixedSize(460, 250);
  app::SetFixedFrame(this, false);
  setStyleSheet(QStringLiteral("TFrmOProgramu { background: white; }"));

  auto* logo = new QLabel(this);
  logo->setPixmap(app::Picture(QStringLiteral("oprogramu-logo.jpg")));
  logo->setGeometry(20, 20, 128, 128);

  auto* name = new QLabel(QStringLiteral("Ardovan"), this);
  QFont big = name->font();
  big.setPixelSize(24);
  big.setBold(true);
  name->setFont(big);
  name->setGeometry(170, 20, 270, 32);

  lblVerze = new QLabel(QStringLiteral("Verze 1.1"), this);
  lblVerze->setGeometry(170, 54, 270, 20);

  lblPopis = new QLabel(
      QStringLiteral(
          "Program pro vypalování datových disků CD, DVD, Blu-ray a HD DVD. Soubory a adresáře "
          "zapisuje jako souborový systém ISO 9660 s názvy Joliet, volitelně s UDF a zaváděcím "
          "záznamem El Torito, přímo na disk bez mezilehlého obrazu. Umí také vypálit ISO obraz, "
          "zkopírovat disk a smazat přepisovatelné médium."),
      this);
  lblPopis->setWordWrap(true);
  lblPopis->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblPopis->setGeometry(170, 82, 270, 116);

  btnZavrit = new QPushButton(QStringLiteral("Zavřít"), this);
  btnZavrit->setGeometry(355, 210, 85, 27);
  btnZavrit->setDefault(true);
  connect(btnZavrit, &QPushButton::clicked, this, &QDialog::accept);
}

void TFrmOProgramu::showEvent(QShowEvent* e) {
  app::CentreOnScreen(this);
  QDialog::showEvent(e);
}
