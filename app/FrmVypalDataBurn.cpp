// The burn page of the data-disc wizard: the burn sequence behind "Vypálit", "Storno", the write
// timer, and what the main window writes into the page.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

#include "app/Dialogs.h"
#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/FrmVypalData.h"
#include "app/SizeEstimate.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpQuorvexPro.h"

// ---- What the main window writes into the burn page ----

void TFrmVypalData::AppendLog(const QString& line) {
  Memo1->appendPlainText(line);
  Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TFrmVypalData::SetStatusLine(const QString& text) { lblSize->setText(text); }

QProgressBar* TFrmVypalData::Bar(TBar bar) const {
  switch (bar) {
    case TBar::SoftwareBuffer: return scs;
    case TBar::DriveBuffer: return dbs;
    case TBar::Main: break;
  }
  return pb;
}

void TFrmVypalData::SetBar(TBar bar, int maximum, int position) {
  QProgressBar* b = Bar(bar);
  // A bar without a maximum shows empty (an empty range would make it a busy indicator).
  b->setRange(0, std::max(maximum, 1));
  SetBarPosition(bar, maximum > 0 ? position : 0);
}

void TFrmVypalData::SetBarPosition(TBar bar, int position) {
  QProgressBar* b = Bar(bar);
  // The bar holds its position within its range, as a value outside it would be dropped.
  b->setValue(std::clamp(position, b->minimum(), b->maximum()));
}

void TFrmVypalData::StopWriteTimer() { tmrWrite->stop(); }

void TFrmVypalData::RestoreButtons() {
  eraseRunning_ = false;
  btnVypalit->setEnabled(true);
  btnZpet->setEnabled(!isoMode_);
  btnStorno->setEnabled(false);
}

void TFrmVypalData::tmrWriteTimer() { main_->UpdateProgress(main_->Qvx().GetStatus()); }

void TFrmVypalData::btnStornoClick() {
  Log(QStringLiteral(" >>> Stisknuto Storno, čekám na ukončení operace a stornuji... "));
  main_->Qvx().Abort();
}

// ---- The burn sequence ----

void TFrmVypalData::Log(const QString& text) { AppendLog(app::LogTime(plat::UtcNow()) + text); }

void TFrmVypalData::Refuse() {
  main_->Qvx().EjectDisc(true);
  RestoreButtons();
}

void TFrmVypalData::btnVypalitClick() {
  Log(QStringLiteral(" >>> Zahajuji proces vypalování... "));
  if (!CheckMediumPresent()) return;
  btnVypalit->setEnabled(false);
  btnZpet->setEnabled(false);
  if (!CheckWritable() || !CheckRewritable()) return;
  if (isoMode_) totalSizeKB_ = app::GetFileSizeKB(main_->od.FileName);
  uint32_t freeBlocks = 0;
  if (!CheckFreeSpace(freeBlocks)) return;
  main_->Qvx().ClearCompilation();
  if (isoMode_) BurnImageFile();
  else BurnCompilation(freeBlocks);
}

bool TFrmVypalData::CheckMediumPresent() {
  if (main_->Qvx().IsUnitReady()) return true;
  Log(QStringLiteral(" >>> Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a klikněte na "
                     "Vypálit... "));
  RestoreButtons();
  return false;
}

bool TFrmVypalData::CheckWritable() {
  if (main_->Qvx().IsDiscWritable()) {
    Log(QStringLiteral(" >>> Médium umožňuje zápis... "));
    return true;
  }
  Log(QStringLiteral(" >>> Médium neumožňuje zápis, vypalování se neprovede... "));
  Refuse();
  return false;
}

bool TFrmVypalData::CheckRewritable() {
  TQuorvexPro& qvx = main_->Qvx();
  Log(QStringLiteral(" >>> Zjišťuji typ média (R/RW/RE)... "));
  if (!qvx.IsErasable()) return true;
  Log(QStringLiteral(" >>> Médium je přepisovatelné (RW/RE)... "));
  Log(QStringLiteral(" >>> Kontrola přepisovatelného média... "));
  // Less free space than capacity: something is recorded on it.
  if (qvx.GetTotalBlocks() <= qvx.GetFreeBlocks()) return true;
  Log(QStringLiteral(" >>> Přepisovatelné médium obsahuje data... "));
  const QMessageBox::StandardButton answer =
      app::Ask(QStringLiteral("Přejete si smazat data a pak pokračovat ve vypalování?"),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No, this);
  if (answer != QMessageBox::Yes) {
    Log(QStringLiteral(" >>> Médium obsahuje data, vypalování přerušeno uživatelem... "));
    Refuse();
    return false;
  }
  Log(QStringLiteral(" >>> Provádním mazání... "));
  main_->SetEraseForBurn(true);
  // The erase's end (QvxEraseDone) logs, ejects and restores the buttons; the user presses
  // "Vypálit" again with the medium back in.
  eraseRunning_ = qvx.EraseDisc(true);
  if (!eraseRunning_) {
    Log(QStringLiteral(" >>> Při mazání média se vyskytla chyba... "));
    RestoreButtons();
  }
  return false;
}

bool TFrmVypalData::CheckFreeSpace(uint32_t& freeBlocks) {
  TQuorvexPro& qvx = main_->Qvx();
  Log(QStringLiteral(" >>> Ověřování volného místa na médiu... "));
  const uint32_t totalBlocks = qvx.GetTotalBlocks();
  freeBlocks = qvx.GetFreeBlocks();
  const QString capacity = QStringLiteral(" >>> Kapacita média je ") +
                           app::FormatGrouped(static_cast<double>(totalBlocks) / 512.0, 2) + QStringLiteral(" MB...");
  Log(capacity);
  // What decides is the free space (2 KB a block): a disc that already holds sessions has less
  // room than its capacity, and a write that runs out of it spoils the disc.
  if (static_cast<uint64_t>(std::max<int64_t>(totalSizeKB_, 0)) <= uint64_t{freeBlocks} * 2) return true;
  Log(QStringLiteral(" >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno ") +
      app::FormatSize(static_cast<uint64_t>(std::max<int64_t>(totalSizeKB_, 0))) + QLatin1Char(')'));
  Refuse();
  return false;
}

void TFrmVypalData::BurnCompilation(uint32_t freeBlocks) {
  TQuorvexPro& qvx = main_->Qvx();
  qvx.SetVolumeID(JmenoCD->text().toStdString());
  Log(QStringLiteral(" >>> Příprava souborů... "));
  main_->FillCompilation();
  Log(QStringLiteral(" >>> Inicializace vypalování... "));
  const int32_t prepared = qvx.PrepareImage();
  // The estimate counts file contents only; the laid-out image, with its directories and
  // descriptors, has to fit too, up to the end of its last 64 KiB block, which the write fills.
  const uint64_t sectors =
      prepared > 0 ? std::max<uint64_t>(static_cast<uint64_t>(prepared), BuilderTotalSectors(qvx.Builder())) : 0;
  if (sectors > freeBlocks) {
    Log(QStringLiteral(" >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno ") +
        app::FormatSize(sectors * 2) + QLatin1Char(')'));
    Refuse();
    return;
  }
  if (qvx.BurnData()) {
    btnStorno->setEnabled(true);
    tmrWrite->start();
    Log(QStringLiteral(" >>> Probíhá vypalování... "));
  } else {
    Log(QStringLiteral(" >>> Zápis se nezdařil. Chyba: ") + QString::fromStdString(qvx.GetLastErrorText()));
    btnZpet->setEnabled(true);
  }
}

void TFrmVypalData::BurnImageFile() {
  TQuorvexPro& qvx = main_->Qvx();
  if (qvx.BurnImage(main_->od.FileName.toStdString())) {
    btnStorno->setEnabled(true);
    tmrWrite->start();
    Log(QStringLiteral(" >>> Zapisuji ISO obraz na disk... "));
  } else {
    Log(QStringLiteral(" >>> Při zápisu souboru ISO vznikla chyba. Chyba: ") +
        QString::fromStdString(qvx.GetLastErrorText()));
    btnZpet->setEnabled(false);
  }
}
