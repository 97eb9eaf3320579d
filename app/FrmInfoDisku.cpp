#include "app/FrmInfoDisku.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include "app/Formats.h"
#include "app/WindowHelpers.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Report.h"

TFrmInfoDisku::TFrmInfoDisku(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Informace o vloženém médiu..."));
  setFixedSize(783, 530);
  app::SetFixedFrame(this, false);
  app::AddBackground(this, QStringLiteral("okno-pozadi.jpg"));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(27, 24, 728, 443);
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont sans(QStringLiteral("DejaVu Sans"));
  sans.setStyleHint(QFont::SansSerif);
  sans.setPixelSize(13);
  Memo1->setFont(sans);

  Button1 = new QPushButton(QStringLiteral("Zavřít"), this);
  Button1->setGeometry(655, 484, 100, 28);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TFrmInfoDisku::Button1Click);
}

void TFrmInfoDisku::Button1Click() { accept(); }

void TFrmInfoDisku::showEvent(QShowEvent* e) {
  app::CentreOnScreen(this);
  FormShow();
  QDialog::showEvent(e);
}

void TFrmInfoDisku::SetReport(const QStringList& lines) {
  Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

QStringList TFrmInfoDisku::BuildReport(TQuorvexPro& qvx) {
  QStringList report;
  for (const std::string& line : fe::ReportLines(fe::CollectMediumFacts(qvx), app::Numbers()))
    report << app::Q(line);
  return report;
}
