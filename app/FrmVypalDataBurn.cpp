// The burn page of the data-disc wizard: "Vypálit" and "Storno" handed to the shared burn
// sequence (which the main window holds), the write timer, and what the main window and the
// sequence write into the page.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "app/FrmHlavni.h"
#include "app/FrmVypalData.h"

// ---- What the main window writes into the burn page ----

void TFrmVypalData::AppendLog(const QString& line) {
  Memo1->appendPlainText(line);
  Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TFrmVypalData::SetStatusLine(const QString& text) { lblSize->setText(text); }

QProgressBar* TFrmVypalData::Bar(TBar bar) const {
  switch (bar) {
    case TBar::SoftwareBuffer:
      return scs;
    case TBar::DriveBuffer:
      return dbs;
    case TBar::Main:
      break;
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

void TFrmVypalData::BurnStateChanged(fe::TBurnState state) {
  switch (state) {
    case fe::TBurnState::Checking:
      btnVypalit->setEnabled(false);
      btnZpet->setEnabled(false);
      break;
    case fe::TBurnState::Erasing:
      // The erase's end restores the buttons; until then the wizard (and so the program) stays.
      eraseRunning_ = true;
      break;
    case fe::TBurnState::NotStarted:
      btnZpet->setEnabled(!isoMode_);
      break;
    case fe::TBurnState::Writing:
      btnStorno->setEnabled(true);
      tmrWrite->start();
      break;
    default:
      break;
  }
}

void TFrmVypalData::tmrWriteTimer() {
  main_->UpdateProgress(main_->Qvx().GetStatus());
  main_->Burn().Poll();
}

void TFrmVypalData::btnStornoClick() { main_->Burn().Storno(); }

void TFrmVypalData::btnVypalitClick() {
  fe::TBurnRequest request;
  if (isoMode_) {
    request.Mode = fe::TBurnMode::Image;
    request.ImageFile = main_->od.FileName.toStdString();
  } else {
    request.Mode = fe::TBurnMode::Compilation;
    request.Compilation = &list_;
    request.VolumeId = JmenoCD->text().toStdString();
  }
  fe::TBurnSequence& burn = main_->Burn();
  burn.Press(request);
  if (isoMode_) totalSizeKB_ = static_cast<int64_t>(burn.RequiredKB());
}
