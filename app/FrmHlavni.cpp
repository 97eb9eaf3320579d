#include "app/FrmHlavni.h"

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

#include "app/BurnView.h"
#include "app/Formats.h"
#include "app/FrmInfoDisku.h"
#include "app/FrmMazani.h"
#include "app/FrmNastaveni.h"
#include "app/FrmOProgramu.h"
#include "app/FrmVypalData.h"
#include "app/FrmVytvorISO.h"
#include "app/IniFile.h"
#include "app/Pictures.h"
#include "app/Texts.h"
#include "app/Tile.h"
#include "app/VirtualRecorderMenu.h"
#include "app/WindowHelpers.h"
#include "platform/Files.h"

namespace {

constexpr int kClientWidth = 783;
constexpr int kClientHeight = 510;

QString LogTimeNow() { return app::LogTime(plat::UtcNow()); }

}  // namespace

TFrmHlavni::TFrmHlavni(QWidget* parent) : QMainWindow(parent), qvx_(std::make_unique<TQuorvexPro>(true)) {
  setWindowTitle(QStringLiteral("Ardovan CD / DVD / Blu-Ray / HD-DVD 1.1"));
  setWindowIcon(app::Picture(QStringLiteral("ardovan.png")));
  app::SetFixedFrame(this, true);

  // The component as the main window carries it: volume "Data", a 32 MiB buffer, no UDF bridge,
  // and its three completion events bound to this window's handlers.
  qvx_->SetVolumeID("Data");
  qvx_->SetCacheSize(32);
  qvx_->SetUDFBridge(false);
  qvx_->OnWriteDone = [this](TQuorvexPro* s, uint8_t id, bool failed) { QvxWriteDone(s, id, failed); };
  qvx_->OnEraseDone = [this](TQuorvexPro* s, uint8_t id, bool failed) { QvxEraseDone(s, id, failed); };
  qvx_->OnGenerateSmartReferencesDone = [this](TQuorvexPro* s, bool failed, int32_t bytes) {
    QvxGenerateSmartReferencesDone(s, failed, bytes);
  };
  // Job threads post their completions to the component's queue; the queue wakes this window's
  // thread, which dispatches them. No job thread ever touches a widget.
  if (plat::TNotifyQueue* queue = qvx_->NotifyQueue()) {
    queue->SetWakeHook([this, queue] {
      QMetaObject::invokeMethod(this, [queue] { queue->DispatchPending(); }, Qt::QueuedConnection);
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
  BuildMenu();
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

  FrmNastaveni = new TFrmNastaveni(this);
  FrmVypalData = new TFrmVypalData(this);
  FrmMazani = new TFrmMazani(this);
  FrmInfoDisku = new TFrmInfoDisku(this);
  FrmOProgramu = new TFrmOProgramu(this);
  FrmVytvorISO = new TFrmVytvorISO(this);
  SetBurnView(FrmVypalData);

  FormCreate();
}

TFrmHlavni::~TFrmHlavni() {
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
      {"Vypálit CD / DVD / Blu-ray (datový disk)", "Vypalování souborů a adresářů (obrázky, dokumenty...)",
       "ikona-data.jpg"},
      {"Kopírovat CD / DVD / Blu-ray", "Vytvořit kopii disku (kopíruje originální disk na záložní)",
       "ikona-kopie.jpg"},
      {"Vypálit ISO 9660 obraz", "Vypálí uložený soubor na vašem pevném disku", "ikona-iso.jpg"},
      {"Vymazat přepisovatelné CD / DVD / Blu-ray", "Vymaže přepisovatelný RW disk...", "ikona-mazani.jpg"},
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
    Tiles[i] = new app::TTile(QString::fromUtf8(texts[i].title), QString::fromUtf8(texts[i].subtitle),
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
  for (app::TTile* t : Tiles) t->setStyleSheet(QStringLiteral("QLabel { background: transparent; border: none; }"));

  using Slot = void (TFrmHlavni::*)();
  const Slot clicks[5] = {&TFrmHlavni::RxSpeedButton1Click, &TFrmHlavni::Label5Click, &TFrmHlavni::Label8Click,
                          &TFrmHlavni::RxSpeedButton5Click, &TFrmHlavni::RxSpeedButton6Click};
  const Slot enters[5] = {&TFrmHlavni::Btn1MouseEnter, &TFrmHlavni::Label5MouseEnter, &TFrmHlavni::Label8MouseEnter,
                          &TFrmHlavni::Label11MouseEnter, &TFrmHlavni::Label14MouseEnter};
  const Slot leaves[5] = {&TFrmHlavni::Btn1MouseLeave, &TFrmHlavni::Label5MouseLeave, &TFrmHlavni::Label8MouseLeave,
                          &TFrmHlavni::Label11MouseLeave, &TFrmHlavni::Label14MouseLeave};
  for (int i = 0; i < 5; ++i) {
    connect(Tiles[i]->ClickArea(), &app::TClickArea::clicked, this, clicks[i]);
    connect(Tiles[i]->ClickArea(), &app::TClickArea::mouseEntered, this, enters[i]);
    connect(Tiles[i]->ClickArea(), &app::TClickArea::mouseLeft, this, leaves[i]);
  }
}

void TFrmHlavni::BuildMenu() {
  QMenu* soubor = menuBar()->addMenu(QStringLiteral("Soubor"));
  Zobrazitinformaceovloenmmdiu1 = soubor->addAction(QStringLiteral("Zobrazit informace o médiu a mechanice..."));
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

  connect(Zobrazitinformaceovloenmmdiu1, &QAction::triggered, this, &TFrmHlavni::Zobrazitinformaceovloenmmdiu1Click);
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
  const QString section = QLatin1String(TFrmNastaveni::kSection);
  app::TIniFile ini(iniDir_ + QLatin1Char('/') + QLatin1String(TFrmNastaveni::kIniName));
  burnerIndex_ = ini.ReadInteger(section, QStringLiteral("IDVyp"), -1);
  tempDir_ = ini.ReadString(section, QStringLiteral("TempDir"), QString::fromStdString(plat::TempPath()));
  const bool burnProof = ini.ReadBool(section, QStringLiteral("BurnProof"), true);
  qvx_->SetBurnProof(burnProof);
  FrmNastaveni->BrnPrf->setChecked(burnProof);

  if (burnerIndex_ == -1) {
    // The last recorder of the list wins; the index found is not written back.
    const uint16_t count = qvx_->GetDeviceCount();
    for (uint16_t i = 0; i < count; ++i) {
      qvx_->SelectDevice(static_cast<uint8_t>(i));
      qvx_->TestUnitReady();
      if (qvx_->IsWriter()) burnerIndex_ = i;
    }
  }
  if (burnerIndex_ == -1) app::ShowMessage(QStringLiteral("Nebyla nalezena žádná vypalovačka!"), this);
  // With no recorder this asks for index 255, outside the list: nothing is selected.
  qvx_->SelectDevice(static_cast<uint8_t>(burnerIndex_ & 0xFF));
  qvx_->TestUnitReady();
  VirtualMenu->Update();
}

void TFrmHlavni::closeEvent(QCloseEvent* e) {
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
  w.exec();
}

void TFrmHlavni::Label5Click() {
  FrmVypalData->SetIsoMode(true);
  if (!qvx_->IsUnitReady()) {
    app::ShowMessage(
        QStringLiteral("Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a akci opakujte... "),
        this);
    return;
  }
  if (qvx_->GetTotalBlocks() == qvx_->GetFreeBlocks()) {
    app::ShowMessage(QStringLiteral("Médium neobsahuje žádná data... "), this);
    return;
  }
  // The reading library lists the drives in the burner's order; without a drive there at the
  // same index there is nothing to read with.
  if (FrmVytvorISO->ReaderAt(burnerIndex_) == nullptr) {
    app::ShowMessage(QStringLiteral("Mechaniku pro čtení se nepodařilo najít."), this);
    return;
  }
  FrmVytvorISO->exec();
  // A copy of a disc that could not be read whole would be burned with holes in it; the image
  // stays in the temporary folder for whoever wants to look at it.
  if (!FrmVytvorISO->ReadComplete()) {
    app::ShowError(QStringLiteral("Disk se nepodařilo přečíst celý. Kopie se neprovede."), this);
    return;
  }
  FrmVypalData->setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (ISO obraz)"));
  FrmVypalData->SetIsoMode(true);
  qvx_->EjectDisc(true);  // the source disc comes out
  od.FileName = FrmVytvorISO->ImagePath();
  StartImageBurn();
}

void TFrmHlavni::Label8Click() {
  FrmVypalData->setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (ISO obraz)"));
  FrmVypalData->SetIsoMode(true);
  if (!od.Execute(this)) return;
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
}

void TFrmHlavni::RxSpeedButton5Click() {
  SetEraseForBurn(false);
  if (!qvx_->IsUnitReady()) {
    app::ShowMessage(QStringLiteral("Zařízení není připraveno"), this);
    return;
  }
  if (!qvx_->IsErasable()) {
    app::ShowMessage(QStringLiteral("Disk není přepisovatelný"), this);
    return;
  }
  const QMessageBox::StandardButton answer =
      app::Ask(QStringLiteral("Provést rychlé mazání?"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
               QMessageBox::Yes, nullptr);
  if (answer == QMessageBox::Cancel) return;
  // A refused erase starts no job and so sends no completion: nothing to wait for.
  if (!qvx_->EraseDisc(answer == QMessageBox::Yes)) {
    app::ShowMessage(QStringLiteral("Při mazání média se vyskytla chyba!"), this);
    return;
  }
  mainCanClose_ = false;
  SetJobControlsEnabled(false);
  FrmMazani->Start();
}

void TFrmHlavni::RxSpeedButton6Click() {
  FrmNastaveni->exec();
  VirtualMenu->Update();
}

void TFrmHlavni::Zobrazitinformaceovloenmmdiu1Click() {
  FrmInfoDisku->SetReport(TFrmInfoDisku::BuildReport(*qvx_));
  FrmInfoDisku->exec();
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
  for (QAction* a : {Zobrazitinformaceovloenmmdiu1, Vypalit1, Kopirovat1, VypalitISO1, Vymazat1, Nastaveni1})
    a->setEnabled(enabled);
  VirtualMenu->SetAllowed(enabled);
}

// ---- Progress and completions ----

void TFrmHlavni::LogLine(const QString& text) {
  if (burnView_) burnView_->AppendLog(text);
}

void TFrmHlavni::UpdateProgress(uint16_t Status) {
  const plat::TSystemTime now = plat::UtcNow();
  using TBar = TBurnView::TBar;
  bool hasPair = true;
  int64_t total = 0, done = 0;
  double speed = 0;
  if (Status == 11) {
    total = qvx_->GetSmartRefsTotal();
    done = qvx_->GetSmartRefsDone();
  } else if (qvx_->GetStatus() == 10) {
    total = qvx_->GetVerifyTotalSectors();
    done = qvx_->GetVerifiedSectors();
    speed = qvx_->GetVerifySpeed();
  } else if (const uint16_t s = qvx_->GetStatus(); s == 1 || s == 4) {
    total = qvx_->GetTotalSectors();
    done = qvx_->GetWrittenSectors();
    speed = qvx_->GetWriteSpeed();
  } else {
    hasPair = false;
  }
  if (hasPair && burnView_) {
    burnView_->SetBar(TBar::Main, static_cast<int>(total), static_cast<int>(done));
    burnView_->SetStatusLine(app::ProgressLine(Status, total, done, speed));
  }

  const app::TStatusLog::TResult logged = statusLog_.Update(qvx_->GetStatus(), now);
  if (logged.Line) LogLine(*logged.Line);
  if (logged.Abort) qvx_->Abort();

  if (hasPair && burnView_ && (Status == 1 || Status == 4)) {
    burnView_->SetBar(TBar::SoftwareBuffer, static_cast<int>(qvx_->GetCacheSize() * 1048576u), qvx_->GetCacheUsed());
    burnView_->SetBar(TBar::DriveBuffer, qvx_->GetDriveBufferSize(), qvx_->GetDriveBufferUsed());
  }
}

void TFrmHlavni::QvxWriteDone(TQuorvexPro*, uint8_t, bool) {
  // Logged whatever the outcome: a failure shows in the log through its status line.
  if (burnView_) burnView_->StopWriteTimer();
  LogLine(LogTimeNow() + QStringLiteral(" >>> Vypalování dokončeno..."));
  LogLine(QString());
  qvx_->FlushDriveCache();
  qvx_->EjectDisc(true);
  if (burnView_) {
    burnView_->SetStatusLine(QString());
    burnView_->SetBarPosition(TBurnView::TBar::SoftwareBuffer, 0);
    burnView_->SetBarPosition(TBurnView::TBar::DriveBuffer, 0);
    burnView_->RestoreButtons();
  }
}

void TFrmHlavni::QvxEraseDone(TQuorvexPro*, uint8_t, bool EraseFailed) {
  mainCanClose_ = true;
  if (!eraseForBurn_) {
    FrmMazani->Finish();
    SetJobControlsEnabled(true);
    if (EraseFailed) app::ShowMessage(QStringLiteral("Při mazání média se vyskytla chyba!"), this);
    qvx_->FlushDriveCache();
    qvx_->EjectDisc(true);
    return;
  }
  if (EraseFailed) {
    LogLine(LogTimeNow() + QStringLiteral(" >>> Při mazání média se vyskytla chyba... "));
  } else {
    LogLine(LogTimeNow() + QStringLiteral(" >>> Mazání média dokončeno... "));
    qvx_->FlushDriveCache();
    qvx_->EjectDisc(true);
  }
  if (burnView_) burnView_->RestoreButtons();
}

void TFrmHlavni::QvxGenerateSmartReferencesDone(TQuorvexPro*, bool Failed, int32_t CanSaveBytes) {
  if (Failed) {
    LogLine(QStringLiteral(" >>> SMART REFERENCE GENERATION FAILED, ABORTING"));
    return;
  }
  UpdateProgress(qvx_->GetStatus());
  LogLine(app::ShortLogTime(plat::UtcNow()) + QStringLiteral(" >>> SMART REFERENCE GENERATION DONE, SAVES ") +
          QString::number(CanSaveBytes / 1024 / 1024) + QStringLiteral(" MB"));
  if (burnView_) burnView_->StopWriteTimer();
}

void TFrmHlavni::FillCompilation() {
  if (!burnView_) return;
  const QString root = QStringLiteral("\\");
  for (const QString& path : burnView_->CompilationPaths()) {
    const QFileInfo info(path);
    const std::string source = path.toStdString();
    if (info.isDir()) {
      const QString name = QDir(path).dirName();
      if (!qvx_->CreateDir(root.toStdString(), name.toStdString()))
        LogLine(QStringLiteral("Chyba vytvoření adresáře... ") + path);
      if (!qvx_->InsertDir((root + name).toStdString(), source, false, true, "*.*"))
        LogLine(QStringLiteral("Chyba vložení adresáře... ") + path);
    } else if (info.isFile()) {
      qvx_->InsertFile(root.toStdString(), source);
    }
  }
}
