#include "app/FrmHlavni.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "app/BurnView.h"
#include "app/DriveStatusPanel.h"
#include "app/Formats.h"
#include "app/FrmInfoDisku.h"
#include "app/FrmMazani.h"
#include "app/FrmNastaveni.h"
#include "app/FrmOProgramu.h"
#include "app/FrmVypalData.h"
#include "app/FrmVytvorISO.h"
#include "app/MediumWait.h"
#include "app/Pictures.h"
#include "app/Tile.h"
#include "app/VirtualRecorderMenu.h"
#include "app/WindowHelpers.h"
#include "frontend/Compilation.h"
#include "frontend/CopySequence.h"
#include "frontend/Settings.h"
#include "frontend/Texts.h"
#include "platform/Files.h"
#include "vdrive/Tool.h"

namespace {

constexpr int kClientWidth = 783;
constexpr int kClientHeight = 510;

}  // namespace

using app::Q;

// The burn page's side of the burn sequence: its log, its question box, the eject, and the
// buttons, bars and flags each state asks for.
class TFrmHlavni::TBurnHost : public fe::TBurnHost {
 public:
  explicit TBurnHost(TFrmHlavni& w) : w_(w) {}
  void Log(const std::string& line) override { w_.LogLine(Q(line)); }
  bool AskEraseData() override {
    return app::Ask(Q(fe::text::kEraseQuestion), QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No, w_.FrmVypalData) == QMessageBox::Yes;
  }
  void Eject() override { w_.qvx_->EjectDisc(true); }
  // A virtual recorder's tray is ours to close: the erased disc goes straight back in.
  bool LoadBack() override { return w_.VirtualMenu->Virtual() && w_.qvx_->LoadDisc(true); }
  bool AllowIncomplete(const std::vector<fe::TSkippedEntry>&) override {
    return app::Ask(Q(fe::text::kIncompleteQuestion), QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No, w_.FrmVypalData) == QMessageBox::Yes;
  }
  fe::TNumberSeparators Numbers() const override { return app::Numbers(); }
  void StateChanged(fe::TBurnState state) override {
    TBurnView* view = w_.burnView_;
    if (state == fe::TBurnState::Erasing) w_.SetEraseForBurn(true);
    if (view == nullptr) return;
    using TBar = TBurnView::TBar;
    switch (state) {
      case fe::TBurnState::Ended:
        view->SetStatusLine(QString());
        view->SetBarPosition(TBar::SoftwareBuffer, 0);
        view->SetBarPosition(TBar::DriveBuffer, 0);
        // A write that ran to its end (without what the user agreed to leave out): the bar
        // says so, however often the timer looked.
        if (w_.burn_->Outcome() == fe::TBurnOutcome::Complete ||
            w_.burn_->Outcome() == fe::TBurnOutcome::Simulated ||
            w_.burn_->Outcome() == fe::TBurnOutcome::Incomplete)
          view->SetBarPosition(TBar::Main, INT32_MAX);
        view->RestoreButtons();
        break;
      case fe::TBurnState::Refused:
      case fe::TBurnState::EraseEnded:
        view->RestoreButtons();
        break;
      default:
        break;
    }
    view->BurnStateChanged(state);
  }

 private:
  TFrmHlavni& w_;
};

// The stand-alone erase: messages over the main window, the question without an owner window,
// the erase window while the job runs.
class TFrmHlavni::TEraseHost : public fe::TEraseHost {
 public:
  explicit TEraseHost(TFrmHlavni& w) : w_(w) {}
  void Message(const std::string& text) override { app::ShowMessage(Q(text), &w_); }
  std::optional<bool> AskQuick() override {
    const QMessageBox::StandardButton answer = app::Ask(
        QStringLiteral("Provést rychlé mazání?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, nullptr);
    if (answer == QMessageBox::Cancel) return std::nullopt;
    return answer == QMessageBox::Yes;
  }
  void Eject() override { w_.qvx_->EjectDisc(true); }
  void Started() override {
    w_.mainCanClose_ = false;
    w_.SetJobControlsEnabled(false);
    w_.FrmMazani->Start();
  }
  void Ended(bool) override {
    w_.FrmMazani->Finish();
    w_.SetJobControlsEnabled(true);
  }

 private:
  TFrmHlavni& w_;
};

TFrmHlavni::TFrmHlavni(QWidget* parent)
    : QMainWindow(parent), qvx_(std::make_unique<TQuorvexPro>(true)) {
  setWindowTitle(QStringLiteral("Ardovan CD / DVD / Blu-Ray / HD-DVD 1.1"));
  setWindowIcon(app::Picture(QStringLiteral("ardovan.png")));
  app::SetFixedFrame(this, true);

  // The component as the main window carries it: volume "Data", a 32 MiB buffer, no UDF bridge,
  // and its three completion events bound to this window's handlers.
  qvx_->SetVolumeID("Data");
  qvx_->SetCacheSize(32);
  qvx_->SetUDFBridge(false);
  qvx_->OnWriteDone = [this](TQuorvexPro* s, uint8_t id, bool failed) {
    QvxWriteDone(s, id, failed);
  };
  qvx_->OnEraseDone = [this](TQuorvexPro* s, uint8_t id, bool failed) {
    QvxEraseDone(s, id, failed);
  };
  qvx_->OnGenerateSmartReferencesDone = [this](TQuorvexPro* s, bool failed, int32_t bytes) {
    QvxGenerateSmartReferencesDone(s, failed, bytes);
  };
  // Job threads post their completions to the component's queue; the queue wakes this window's
  // thread, which dispatches them. No job thread ever touches a widget.
  if (plat::TNotifyQueue* queue = qvx_->NotifyQueue()) {
    queue->SetWakeHook([this, queue] {
      QMetaObject::invokeMethod(
          this, [queue] { queue->DispatchPending(); }, Qt::QueuedConnection);
    });
  }

  od.Filter = QStringLiteral("ISO9660 soubor (*.iso)|*.ISO|Vše (*.*)|*.*");

  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);
  app::AddBackground(client, QStringLiteral("hlavni-pozadi.jpg"));
  auto* banner = new QLabel(client);
  banner->setPixmap(app::Picture(QStringLiteral("hlavni-banner.jpg")));
  banner->setGeometry(0, 0, kClientWidth, 96);
  BuildTiles(client);
  DriveStatus = new app::TDriveStatusPanel(client);
  DriveStatus->setGeometry(24, 440, 466, 47);
  BuildMenu();
  connect(VirtualMenu, &app::TVirtualRecorderMenu::TrayChanged, this, &TFrmHlavni::TrayChanged);
  DriveWatch = new QTimer(this);
  connect(DriveWatch, &QTimer::timeout, this, &TFrmHlavni::DriveWatchTick);
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

  FrmNastaveni = new TFrmNastaveni(this);
  FrmVypalData = new TFrmVypalData(this);
  FrmMazani = new TFrmMazani(this);
  FrmInfoDisku = new TFrmInfoDisku(this);
  FrmOProgramu = new TFrmOProgramu(this);
  FrmVytvorISO = new TFrmVytvorISO(this);
  SetBurnView(FrmVypalData);
  burnHost_ = std::make_unique<TBurnHost>(*this);
  burn_ = std::make_unique<fe::TBurnSequence>(*qvx_, *burnHost_);
  eraseHost_ = std::make_unique<TEraseHost>(*this);
  erase_ = std::make_unique<fe::TEraseSequence>(*qvx_, *eraseHost_);

  FormCreate();
}

TFrmHlavni::~TFrmHlavni() {
  // The windows use this one's values to the end (the wizard keeps its options as a field
  // loses focus while it goes): they go first.
  delete FrmVypalData;
  FrmVypalData = nullptr;
  burnView_ = nullptr;
  // The component ends a running job before the window's widgets and handlers go away.
  if (plat::TNotifyQueue* queue = qvx_->NotifyQueue()) queue->SetWakeHook(nullptr);
  qvx_.reset();
}

void TFrmHlavni::BuildTiles(QWidget* client) {
  struct TTileText {
    const char* title;
    const char* subtitle;
    const char* icon;
  };
  static const TTileText texts[5] = {
      {"Vypálit CD / DVD / Blu-ray (datový disk)",
       "Vypalování souborů a adresářů (obrázky, dokumenty...)", "ikona-data.jpg"},
      {"Kopírovat CD / DVD / Blu-ray", "Vytvořit kopii disku (kopíruje originální disk na záložní)",
       "ikona-kopie.jpg"},
      {"Vypálit ISO 9660 obraz", "Vypálí uložený soubor na vašem pevném disku", "ikona-iso.jpg"},
      {"Vymazat přepisovatelné CD / DVD / Blu-ray", "Vymaže přepisovatelný RW disk...",
       "ikona-mazani.jpg"},
      {"Nastavení vypalovačky", "Zvolit vypalovačku...", "ikona-nastaveni.jpg"},
  };
  auto panel = [client](int x, int y, int w, int h) {
    auto* p = new QFrame(client);
    p->setGeometry(x, y, w, h);
    p->setFrameShape(QFrame::Box);
    p->setStyleSheet(QStringLiteral("QFrame { background: white; border: 1px solid #7f93ad; }"));
    return p;
  };
  // Four task tiles stacked in one panel, thin lines between them.
  QFrame* tasks = panel(24, 116, 391, 4 * 45 + 3 + 2);
  for (int i = 0; i < 4; ++i) {
    Tiles[i] =
        new app::TTile(QString::fromUtf8(texts[i].title), QString::fromUtf8(texts[i].subtitle),
                       app::Picture(QString::fromLatin1(texts[i].icon)),
                       app::Picture(QStringLiteral("dlazdice-zvyrazneni.jpg")), tasks);
    Tiles[i]->move(1, 1 + i * 46);
    if (i < 3) {
      auto* line = new QFrame(tasks);
      line->setGeometry(1, 46 + i * 46, 389, 1);
      line->setStyleSheet(QStringLiteral("background: #c8d2de; border: none;"));
    }
  }
  QFrame* settings = panel(500, 440, 261, 47);
  Tiles[4] = new app::TTile(QString::fromUtf8(texts[4].title), QString::fromUtf8(texts[4].subtitle),
                            app::Picture(QString::fromLatin1(texts[4].icon)),
                            app::Picture(QStringLiteral("nastaveni-zvyrazneni.jpg")), settings);
  Tiles[4]->move(1, 1);
  for (app::TTile* t : Tiles)
    t->setStyleSheet(QStringLiteral("QLabel { background: transparent; border: none; }"));

  using Slot = void (TFrmHlavni::*)();
  const Slot clicks[5] = {&TFrmHlavni::RxSpeedButton1Click, &TFrmHlavni::Label5Click,
                          &TFrmHlavni::Label8Click, &TFrmHlavni::RxSpeedButton5Click,
                          &TFrmHlavni::RxSpeedButton6Click};
  const Slot enters[5] = {&TFrmHlavni::Btn1MouseEnter, &TFrmHlavni::Label5MouseEnter,
                          &TFrmHlavni::Label8MouseEnter, &TFrmHlavni::Label11MouseEnter,
                          &TFrmHlavni::Label14MouseEnter};
  const Slot leaves[5] = {&TFrmHlavni::Btn1MouseLeave, &TFrmHlavni::Label5MouseLeave,
                          &TFrmHlavni::Label8MouseLeave, &TFrmHlavni::Label11MouseLeave,
                          &TFrmHlavni::Label14MouseLeave};
  for (int i = 0; i < 5; ++i) {
    connect(Tiles[i]->ClickArea(), &app::TClickArea::clicked, this, clicks[i]);
    connect(Tiles[i]->ClickArea(), &app::TClickArea::mouseEntered, this, enters[i]);
    connect(Tiles[i]->ClickArea(), &app::TClickArea::mouseLeft, this, leaves[i]);
  }
}

void TFrmHlavni::BuildMenu() {
  QMenu* soubor = menuBar()->addMenu(QStringLiteral("Soubor"));
  Zobrazitinformaceovloenmmdiu1 =
      soubor->addAction(QStringLiteral("Zobrazit informace o médiu a mechanice..."));
  soubor->addSeparator();
  Vypalit1 = soubor->addAction(QStringLiteral("Vypálit CD / DVD / Blu-ray (datový disk)"));
  Kopirovat1 = soubor->addAction(QStringLiteral("Kopírovat CD / DVD / Blu-ray disk"));
  VypalitISO1 = soubor->addAction(QStringLiteral("Vypálit ISO 9660 obraz"));
  Vymazat1 = soubor->addAction(QStringLiteral("Vymazat CD / DVD / Blu-ray"));
  soubor->addSeparator();
  Konec1 = soubor->addAction(QStringLiteral("Konec"));
  QMenu* nastaveni = menuBar()->addMenu(QStringLiteral("Nastavení"));
  Nastaveni1 = nastaveni->addAction(QStringLiteral("Nastavení vypalovačky"));
  VirtualMenu = new app::TVirtualRecorderMenu(this);
  menuBar()->addMenu(VirtualMenu->Menu());
  QMenu* napoveda = menuBar()->addMenu(QStringLiteral("Nápověda"));
  Oprogramu1 = napoveda->addAction(QStringLiteral("O programu"));

  connect(Zobrazitinformaceovloenmmdiu1, &QAction::triggered, this,
          &TFrmHlavni::Zobrazitinformaceovloenmmdiu1Click);
  connect(Vypalit1, &QAction::triggered, this, &TFrmHlavni::RxSpeedButton1Click);
  connect(Kopirovat1, &QAction::triggered, this, &TFrmHlavni::Label5Click);
  connect(VypalitISO1, &QAction::triggered, this, &TFrmHlavni::Label8Click);
  connect(Vymazat1, &QAction::triggered, this, &TFrmHlavni::RxSpeedButton5Click);
  connect(Konec1, &QAction::triggered, this, &TFrmHlavni::Konec1Click);
  connect(Nastaveni1, &QAction::triggered, this, &TFrmHlavni::RxSpeedButton6Click);
  connect(Oprogramu1, &QAction::triggered, this, &TFrmHlavni::Oprogramu1Click);
}

void TFrmHlavni::FormCreate() {
  qvx_->InitializeDevices(0, std::string(), std::string());
  iniDir_ = QString::fromStdString(plat::SettingsFolder());
  mainCanClose_ = true;
}

void TFrmHlavni::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) {
    app::CentreOnScreen(this);
    FormShow();
  }
  QMainWindow::showEvent(e);
}

void TFrmHlavni::FormShow() {
  eraseForBurn_ = false;
  const fe::TSettings settings = fe::ReadSettings(iniDir_.toStdString());
  burnerIndex_ = settings.BurnerIndex;
  tempDir_ = Q(settings.TempDir);
  qvx_->SetBurnProof(settings.BurnProof);
  FrmNastaveni->BrnPrf->setChecked(settings.BurnProof);

  if (burnerIndex_ == -1) {
    // The last recorder of the list wins; the index found is not written back.
    const uint16_t count = qvx_->GetDeviceCount();
    for (uint16_t i = 0; i < count; ++i) {
      qvx_->SelectDevice(static_cast<uint8_t>(i));
      qvx_->TestUnitReady();
      if (qvx_->IsWriter()) burnerIndex_ = i;
    }
  }
  if (burnerIndex_ == -1) app::ShowMessage(Q(fe::text::kNoRecorder), this);
  // With no recorder this asks for index 255, outside the list: nothing is selected.
  qvx_->SelectDevice(static_cast<uint8_t>(burnerIndex_ & 0xFF));
  qvx_->TestUnitReady();
  VirtualMenu->Update();
  RefreshDriveStatus();
  if (app::DriveWatchIntervalMs() > 0) DriveWatch->start(app::DriveWatchIntervalMs());
}

void TFrmHlavni::closeEvent(QCloseEvent* e) {
  // A wait for the medium runs inside one of this window's handlers: it ends first.
  if (waiting_) {
    cancelWait_ = true;
    e->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  QMainWindow::closeEvent(e);
}

// ---- Tiles and menu ----

void TFrmHlavni::RxSpeedButton1Click() {
  TFrmVypalData& w = *FrmVypalData;
  w.setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (datový disk)"));
  w.btnVypalit->setEnabled(true);
  w.btnZpet->setEnabled(true);
  w.btnStorno->setEnabled(false);
  w.ResetBurnPage();
  w.ShowCompilationPage();
  w.SetIsoMode(false);
  copyNeed_.reset();
  w.exec();
  RefreshDriveStatus();
}

void TFrmHlavni::Label5Click() {
  FrmVypalData->SetIsoMode(true);
  // The reading library's stack does not wait for a medium just inserted: wait here.
  WaitForMedium();
  if (const std::optional<std::string> refusal = fe::CopyRefusal(*qvx_)) {
    app::ShowMessage(Q(*refusal), this);
    RefreshDriveStatus();
    return;
  }
  // The reading library lists the drives in the burner's order; without a drive there at the
  // same index there is nothing to read with.
  if (FrmVytvorISO->ReaderAt(burnerIndex_) == nullptr) {
    app::ShowMessage(QStringLiteral("Mechaniku pro čtení se nepodařilo najít."), this);
    return;
  }
  FrmVytvorISO->exec();
  if (FrmVytvorISO->Cancelled()) {  // the user stopped it; the partial image is gone
    RefreshDriveStatus();
    return;
  }
  // A copy of a disc that could not be read whole would be burned with holes in it; the image
  // stays in the temporary folder for whoever wants to look at it.
  if (!FrmVytvorISO->ReadComplete()) {
    app::ShowError(Q(fe::text::kCopyIncomplete), this);
    return;
  }
  FrmVypalData->setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (ISO obraz)"));
  FrmVypalData->SetIsoMode(true);
  // The blank a virtual recorder is offered: of the source's family, with room for its data.
  copyNeed_.reset();
  if (VirtualMenu->Virtual()) {
    vdrive::TLoadState source;
    std::string error;
    if (vdrive::ReadLoadState(VirtualMenu->SelectedRecorderFolder().toStdString(), source, error) &&
        source.disc)
      copyNeed_ = vdrive::NeedOf(*source.disc);
  }
  qvx_->EjectDisc(true);  // the source disc comes out
  od.FileName = FrmVytvorISO->ImagePath();
  StartImageBurn();
}

void TFrmHlavni::Label8Click() {
  FrmVypalData->setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (ISO obraz)"));
  FrmVypalData->SetIsoMode(true);
  if (!od.Execute(this)) return;
  copyNeed_.reset();
  StartImageBurn();
}

void TFrmHlavni::StartImageBurn() {
  TFrmVypalData& w = *FrmVypalData;
  w.btnVypalit->setEnabled(false);
  w.btnZpet->setEnabled(false);
  w.btnStorno->setEnabled(true);
  w.ResetBurnPage();
  w.ShowBurnPage();
  w.btnVypalitClick();
  w.exec();
  RefreshDriveStatus();
}

void TFrmHlavni::RxSpeedButton5Click() {
  SetEraseForBurn(false);
  WaitForMedium();
  if (!erase_->Start()) RefreshDriveStatus();
}

void TFrmHlavni::RxSpeedButton6Click() {
  FrmNastaveni->exec();
  VirtualMenu->Update();
  RefreshDriveStatus();
}

void TFrmHlavni::Zobrazitinformaceovloenmmdiu1Click() {
  WaitForMedium();
  FrmInfoDisku->SetReport(TFrmInfoDisku::BuildReport(*qvx_));
  FrmInfoDisku->exec();
  RefreshDriveStatus();
}

void TFrmHlavni::Oprogramu1Click() { FrmOProgramu->exec(); }

void TFrmHlavni::Konec1Click() { close(); }

void TFrmHlavni::Btn1MouseEnter() { Tiles[0]->Highlight()->setVisible(Tiles[0]->isEnabled()); }
void TFrmHlavni::Btn1MouseLeave() { Tiles[0]->Highlight()->hide(); }
void TFrmHlavni::Label5MouseEnter() { Tiles[1]->Highlight()->setVisible(Tiles[1]->isEnabled()); }
void TFrmHlavni::Label5MouseLeave() { Tiles[1]->Highlight()->hide(); }
void TFrmHlavni::Label8MouseEnter() { Tiles[2]->Highlight()->setVisible(Tiles[2]->isEnabled()); }
void TFrmHlavni::Label8MouseLeave() { Tiles[2]->Highlight()->hide(); }
void TFrmHlavni::Label11MouseEnter() { Tiles[3]->Highlight()->setVisible(Tiles[3]->isEnabled()); }
void TFrmHlavni::Label11MouseLeave() { Tiles[3]->Highlight()->hide(); }
void TFrmHlavni::Label14MouseEnter() { Tiles[4]->Highlight()->setVisible(Tiles[4]->isEnabled()); }
void TFrmHlavni::Label14MouseLeave() { Tiles[4]->Highlight()->hide(); }

void TFrmHlavni::SetJobControlsEnabled(bool enabled) {
  // The component runs one job at a time and its device record serves one thread at a time, so
  // while the erase runs nothing else may start a job or send the recorder commands.
  for (app::TTile* t : Tiles) t->setEnabled(enabled);
  for (QAction* a :
       {Zobrazitinformaceovloenmmdiu1, Vypalit1, Kopirovat1, VypalitISO1, Vymazat1, Nastaveni1})
    a->setEnabled(enabled);
  VirtualMenu->SetAllowed(enabled);
}

// ---- The medium's readiness and the drive watcher ----

qvp::TMediumReadiness TFrmHlavni::WaitForMedium(const std::function<void(const QString&)>& status) {
  if (waiting_) return qvp::TMediumReadiness::Aborted;
  waiting_ = true;
  cancelWait_ = false;
  const bool controls = Tiles[0]->isEnabled();
  const QString shown = DriveStatus->Medium->text();
  SetJobControlsEnabled(false);  // no second flow starts from inside this one's wait
  const qvp::TMediumReadiness r = app::WaitForMedium(
      *qvx_,
      [this, &status](const QString& text) {
        if (!text.isEmpty()) DriveStatus->Medium->setText(text);
        if (status) status(text);
      },
      [this] { return cancelWait_; });
  SetJobControlsEnabled(controls);
  DriveStatus->Medium->setText(shown);  // until the watcher looks again after the flow
  waiting_ = false;
  forceMediumLook_ = true;
  return r;
}

bool TFrmHlavni::DriveBusy() const {
  const fe::TBurnState s = burn_->State();
  return waiting_ || !mainCanClose_ || s == fe::TBurnState::Checking ||
         s == fe::TBurnState::Writing || s == fe::TBurnState::Erasing ||
         QApplication::activeModalWidget() != nullptr || FrmMazani->Running();
}

void TFrmHlavni::DriveWatchTick() {
  if (DriveBusy()) return;
  const bool selected = burnerIndex_ >= 0 && burnerIndex_ < qvx_->GetDeviceCount();
  DriveStatus->Recorder->setText(QStringLiteral("Vypalovačka: ") +
                                 (selected
                                      ? Q(qvx_->GetDeviceName(static_cast<uint8_t>(burnerIndex_)))
                                      : QStringLiteral("žádná")));
  if (!selected) {
    DriveStatus->Medium->setText(QStringLiteral("Médium: –"));
    return;
  }
  // Asked once: a medium becoming ready is told as such and looked at again on the next tick.
  const qvp::TMediumReadiness r = qvx_->WaitUntilMediumReady(nullptr, 0);
  if (!forceMediumLook_ && lastReadiness_ == r) return;
  // A tray change just told stays readable a while, unless the new medium is ready before.
  if (trayTold_.isValid() && trayTold_.elapsed() < 3000 && r != qvp::TMediumReadiness::Ready)
    return;
  trayTold_.invalidate();
  DriveStatus->Medium->setText(app::MediumSummary(*qvx_, r));
  lastReadiness_ = r;
  forceMediumLook_ = false;
}

void TFrmHlavni::RefreshDriveStatus() {
  forceMediumLook_ = true;
  trayTold_.invalidate();  // a flow wants the medium as it is now
  DriveWatchTick();
}

void TFrmHlavni::TrayChanged(const QString& what) {
  // Told at once; the watcher's next look shows the medium as the drive then reports it.
  DriveStatus->Medium->setText(what);
  forceMediumLook_ = true;
  trayTold_.start();
  if (FrmVypalData->isVisible()) {
    LogLine(Q(fe::LogLine(" >>> " + what.toStdString())));
    FrmVypalData->UpdateTrayControls();
  }
}

// ---- Progress and completions ----

void TFrmHlavni::LogLine(const QString& text) {
  if (burnView_) burnView_->AppendLog(text);
}

void TFrmHlavni::UpdateProgress(uint16_t Status) {
  using TBar = TBurnView::TBar;
  const fe::TProgressReading r =
      fe::ReadProgress(*qvx_, Status, statusLog_, plat::UtcNow(), app::Numbers());
  if (r.Counted && burnView_) {
    burnView_->SetBar(TBar::Main, static_cast<int>(r.Total), static_cast<int>(r.Done));
    burnView_->SetStatusLine(Q(r.Line));
  }
  if (r.Logged) LogLine(Q(*r.Logged));
  if (r.Buffers && burnView_) {
    burnView_->SetBar(TBar::SoftwareBuffer, static_cast<int>(r.CacheSize),
                      static_cast<int>(r.CacheUsed));
    burnView_->SetBar(TBar::DriveBuffer, static_cast<int>(r.DriveSize),
                      static_cast<int>(r.DriveUsed));
  }
}

void TFrmHlavni::QvxWriteDone(TQuorvexPro*, uint8_t, bool WriteFailed) {
  if (burnView_) burnView_->StopWriteTimer();
  burn_->WriteDone(WriteFailed);
}

void TFrmHlavni::QvxEraseDone(TQuorvexPro*, uint8_t, bool EraseFailed) {
  mainCanClose_ = true;
  if (eraseForBurn_) {
    burn_->EraseDone(EraseFailed);
  } else {
    erase_->Done(EraseFailed);
    RefreshDriveStatus();
  }
}

void TFrmHlavni::QvxGenerateSmartReferencesDone(TQuorvexPro*, bool Failed, int32_t CanSaveBytes) {
  if (Failed) {
    LogLine(QStringLiteral(" >>> SMART REFERENCE GENERATION FAILED, ABORTING"));
    return;
  }
  UpdateProgress(qvx_->GetStatus());
  LogLine(Q(fe::ShortLogTime(plat::UtcNow())) +
          QStringLiteral(" >>> SMART REFERENCE GENERATION DONE, SAVES ") +
          QString::number(CanSaveBytes / 1024 / 1024) + QStringLiteral(" MB"));
  if (burnView_) burnView_->StopWriteTimer();
}

void TFrmHlavni::FillCompilation() {
  if (!burnView_) return;
  std::vector<std::string> paths;
  for (const QString& path : burnView_->CompilationPaths()) paths.push_back(path.toStdString());
  fe::FillCompilation(*qvx_, paths, [this](const std::string& line) { LogLine(Q(line)); });
}
