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
#include <QToolButton>
#include <algorithm>

#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/FrmVypalData.h"
#include "app/VirtualRecorderMenu.h"
#include "platform/Files.h"

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
  UpdateTrayControls();
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

void TFrmVypalData::btnStornoClick() {
  // Before the job: the wait for the medium ends, and with it this press of "Vypálit".
  if (main_->MediumWaitRunning()) {
    main_->CancelMediumWait();
    return;
  }
  main_->Burn().Storno();
}

void TFrmVypalData::btnVypalitClick() {
  if (main_->MediumWaitRunning()) return;
  fe::TBurnRequest request;
  fe::TCompilationOptions compilation;
  if (isoMode_) {
    request.Mode = fe::TBurnMode::Image;
    request.ImageFile = main_->od.FileName.toStdString();
    // The options belong to the compilation; an image goes on the disc as a plain burn does,
    // read back afterwards when the user asked for verification.
    request.Finalize = false;
    request.TestWrite = false;
    request.Verify = CurrentOptions().Verify;
  } else {
    request.Mode = fe::TBurnMode::Compilation;
    request.Compilation = &list_;
    fe::ApplyBurnOptions(CurrentOptions(), request, compilation);
  }
  // A medium just inserted takes its time: wait with the window alive, "Storno" ending it.
  btnVypalit->setEnabled(false);
  btnZpet->setEnabled(false);
  const bool storno = btnStorno->isEnabled();
  btnStorno->setEnabled(true);
  btnVlozitPrazdne->hide();
  main_->WaitForMedium([this](const QString& text) { SetStatusLine(text); });
  btnStorno->setEnabled(storno);
  if (!isoMode_ && !fe::ApplyCompilationOptions(main_->Qvx(), compilation)) {
    AppendLog(app::Q(fe::LogLine(" >>> Zaváděcí obraz " + compilation.Boot +
                                 " nelze použít (musí mít velikost 2 KB, 1,2 MB, 1,44 MB nebo "
                                 "2,88 MB)... ")));
    RestoreButtons();
    UpdateTrayControls();
    return;
  }
  fe::TBurnSequence& burn = main_->Burn();
  burn.Press(request);
  if (isoMode_) totalSizeKB_ = static_cast<int64_t>(burn.RequiredKB());
  UpdateTrayControls();
}

vdrive::TBlankNeed TFrmVypalData::BlankNeed() const {
  if (isoMode_) {
    if (main_->CopyNeed()) return *main_->CopyNeed();
    const int64_t bytes = plat::GetFileSize(main_->od.FileName.toStdString());
    return {std::nullopt, static_cast<uint64_t>(std::max<int64_t>(bytes, 0) + 2047) / 2048};
  }
  // The estimate counts file contents; the file system's own areas want room besides.
  const auto kb = static_cast<uint64_t>(std::max<int64_t>(totalSizeKB_, 0));
  return {std::nullopt, kb / 2 + kb / 100 + 1024};
}

void TFrmVypalData::UpdateTrayControls() {
  app::TVirtualRecorderMenu& tray = *main_->VirtualMenu;
  const bool virtualRecorder = tray.Virtual();
  const fe::TBurnState s = main_->Burn().State();
  // While the drive works on a job (or is waited for) its tray stays shut.
  const bool busy = tmrWrite->isActive() || eraseRunning_ || main_->MediumWaitRunning() ||
                    s == fe::TBurnState::Checking || s == fe::TBurnState::Writing ||
                    s == fe::TBurnState::Erasing;
  if (isVisible()) tray.SetAllowed(!busy);
  btnVirtual->setVisible(virtualRecorder);
  std::optional<vdrive::TMediumKind> offer;
  if (virtualRecorder && !busy && PageBurn->isVisible()) offer = tray.OfferedBlank(BlankNeed());
  if (offer)
    btnVlozitPrazdne->setText(QStringLiteral("Vložit prázdné médium ") +
                              app::MediumKindName(*offer));
  btnVlozitPrazdne->setVisible(offer.has_value());
}

void TFrmVypalData::btnVlozitPrazdneClick() {
  main_->VirtualMenu->InsertOffered(BlankNeed(), this);
  UpdateTrayControls();
}
