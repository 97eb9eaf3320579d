#include "app/DriveStatusPanel.h"

#include <QLabel>

#include "app/Formats.h"
#include "device/qvpConsts.h"
#include "engine/qvpQuorvexPro.h"

namespace app {
namespace {

int gWatchIntervalMs = 1000;

bool Pressed(uint8_t type) {
  return type == qvp::mtCDROM || type == qvp::mtDVDROM || type == qvp::mtBDROM ||
         type == qvp::mtHDDVDROM || type == qvp::mtDDCDROM;
}

}  // namespace

void SetDriveWatchIntervalMs(int ms) { gWatchIntervalMs = ms; }
int DriveWatchIntervalMs() { return gWatchIntervalMs; }

QString MediumKindText(uint8_t mediumType) {
  static const char* const kNames[] = {
      "neznámé", "CD-ROM",     "CD-R",     "CD-RW",      "DVD-ROM",  "DVD-R",  "DVD-RAM", "DVD-RW",
      "DVD-RW",  "DVD-RW",     "DVD+RW",   "DVD+R",      "DVD+R DL", "BD-ROM", "BD-R",    "BD-R",
      "BD-RE",   "HD DVD-ROM", "HD DVD-R", "HD DVD-RAM", "DDCD-ROM", "DDCD-R", "DDCD-RW"};
  return QString::fromUtf8(mediumType < std::size(kNames) ? kNames[mediumType] : kNames[0]);
}

QString MediumSummary(TQuorvexPro& qvx, qvp::TMediumReadiness readiness) {
  const QString prefix = QStringLiteral("Médium: ");
  switch (readiness) {
    case qvp::TMediumReadiness::Ready:
      break;
    case qvp::TMediumReadiness::NoMedium:
      return prefix + QStringLiteral("žádné");
    case qvp::TMediumReadiness::TimedOut:
    case qvp::TMediumReadiness::Aborted:
      return prefix + QStringLiteral("připravuje se...");
    case qvp::TMediumReadiness::Unusable:
      return prefix + QStringLiteral("nelze použít");
    case qvp::TMediumReadiness::NotAnswering:
      return prefix + QStringLiteral("mechanika neodpovídá");
  }
  const uint8_t type = qvx.GetMediumType();
  const uint32_t total = qvx.GetTotalBlocks(), free = qvx.GetFreeBlocks();
  QString state;
  if (Pressed(type))
    state = QStringLiteral("lisovaný disk");
  else if (free > 0 && free >= total && qvx.GetSessionCount() == 0)
    state = QStringLiteral("prázdné");
  else if (qvx.IsDiscWritable() && free > 0)
    state = QStringLiteral("lze dopisovat");
  else
    state = QStringLiteral("uzavřené");
  QString text = prefix + MediumKindText(type) + QStringLiteral(", ") + state;
  if (!Pressed(type))
    text += QStringLiteral(", volné místo ") + FormatSize(uint64_t{free} * 2);
  else
    text += QStringLiteral(", ") + FormatSize(uint64_t{total} * 2);
  return text;
}

TDriveStatusPanel::TDriveStatusPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("DriveStatus"));
  setStyleSheet(
      QStringLiteral("#DriveStatus { background: white; border: 1px solid #7f93ad; }"
                     " QLabel { background: transparent; border: none; color: #1d2b3c; }"));
  Recorder = new QLabel(this);
  Medium = new QLabel(this);
  QFont bold = Recorder->font();
  bold.setBold(true);
  Recorder->setFont(bold);
}

void TDriveStatusPanel::resizeEvent(QResizeEvent* e) {
  QFrame::resizeEvent(e);
  Recorder->setGeometry(10, 4, width() - 20, 19);
  Medium->setGeometry(10, 23, width() - 20, 19);
}

}  // namespace app
