#include "app/FrmInfoDisku.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include "app/Formats.h"
#include "app/Texts.h"
#include "app/WindowHelpers.h"
#include "engine/qvpQuorvexPro.h"

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

void TFrmInfoDisku::SetReport(const QStringList& lines) { Memo1->setPlainText(lines.join(QLatin1Char('\n'))); }

QStringList TFrmInfoDisku::BuildReport(TQuorvexPro& qvx) {
  using app::YesNoText;
  auto mb = [](uint32_t blocks) { return app::FormatGrouped(static_cast<double>(blocks) / 512.0, 2) + " MB"; };
  auto speed = [](uint16_t kbs) { return app::SpeedText(kbs); };
  auto cap = [&qvx](uint8_t code) { return YesNoText(qvx.GetDeviceCapability(code)); };
  QStringList r;
  r << QStringLiteral(">>> Je zařízení připraveno? ") + YesNoText(qvx.IsUnitReady());
  r << QString();
  r << QStringLiteral(">>> Vložený disk do mechaniky: ") + app::MediumTypeName(qvx.GetMediumType());
  r << QStringLiteral(">>> Je médium PŘEPISOVATELNÉ? ") + YesNoText(qvx.IsErasable());
  r << QStringLiteral(">>> Je médium ZAPISOVATELNÉ? ") + YesNoText(qvx.IsDiscWritable());
  r << QStringLiteral(">>> Sessions na Disku: ") + QString::number(qvx.GetSessionCount());
  r << QStringLiteral(">>> Celková kapacita média: ") + mb(qvx.GetTotalBlocks());
  r << QStringLiteral(">>> Volné místo na médiu: ") + mb(qvx.GetFreeBlocks());
  r << QStringLiteral(">>> Maximální rychlost zápisu: ") + speed(qvx.GetMaxWriteSpeed());
  r << QStringLiteral(">>> Rychlost čtení: ") + speed(qvx.GetCurrentReadSpeed());
  r << QStringLiteral(">>> Rychlost záspisu: ") + speed(qvx.GetCurrentWriteSpeed());
  r << QString();
  r << QStringLiteral(">>> Maximální rychlost čtení zařízení: ") + speed(qvx.GetDefaultMaxReadSpeed());
  r << QStringLiteral(">>> Maximální rychlost zápisu zařízení: ") + speed(qvx.GetDefaultMaxWriteSpeed());
  r << QStringLiteral(">>> Umožňuje zařízení simulaci zápisu? ") + cap(41);
  r << QStringLiteral(">>> Podporuje zařízení ochranu přetečení? ") + cap(42);
  r << QString();
  struct TCapLine {
    const char* medium;
    uint8_t code;
  };
  static const TCapLine reads[] = {{"CDR", 1},         {"CDRW", 2},     {"DVDRAM", 3},     {"DVDR", 4},
                                   {"DVDRW", 5},       {"DVDPLUSR", 6}, {"DVDPLUSRDL", 8}, {"DVDPLUSRW", 7},
                                   {"HDDVDROM", 9},    {"HDDVDR", 10},  {"HDDVDRAM", 11},  {"BluRay - BDROM", 12},
                                   {"BluRay - BDR", 13}, {"BluRay - BDRE", 14}};
  static const TCapLine writes[] = {{"CDR", 21},       {"CDRW", 22},      {"DVDRAM", 23},        {"DVDR", 24},
                                    {"DVDRW", 25},     {"DVDPLUSR", 26},  {"DVDPLUSRDL", 28},    {"DVDPLUSRW", 27},
                                    {"HDDVDR", 29},    {"HDDVDRAM", 30},  {"BluRay - BDR", 31},  {"BluRay - BDRE", 32}};
  for (const TCapLine& c : reads)
    r << QStringLiteral(">>> Umožňuje zařízení čtení %1? ").arg(QLatin1String(c.medium)) + cap(c.code);
  r << QString();
  for (const TCapLine& c : writes)
    r << QStringLiteral(">>> Umožňuje zařízení zápis %1? ").arg(QLatin1String(c.medium)) + cap(c.code);
  return r;
}
