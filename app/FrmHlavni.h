#pragma once
// The main window: owner of the burner component for the whole run, the four task tiles, the
// settings tile and the menu; it receives the component's completion events and holds the
// values every window shares (settings folder, temporary folder, recorder, run flags).
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/Dialogs.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/BurnSequence.h"
#include "frontend/EraseSequence.h"
#include "frontend/Progress.h"
#include "vdrive/BlankChoice.h"

class QAction;
class QMenu;
class QTimer;
class TBurnView;
class TFrmInfoDisku;
class TFrmMazani;
class TFrmNastaveni;
class TFrmOProgramu;
class TFrmVypalData;
class TFrmVytvorISO;
namespace app {
class TDriveStatusPanel;
class TTile;
class TVirtualRecorderMenu;
}  // namespace app

class TFrmHlavni : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFrmHlavni(QWidget* parent = nullptr);
  ~TFrmHlavni() override;

  // The burner component; every window reaches it through here.
  TQuorvexPro& Qvx() { return *qvx_; }

  // The open dialog: its FileName hands the image to burn to the wizard.
  app::TOpenDialog od;

  // ---- Shared values ----
  QString GetIniDir() const { return iniDir_; }
  QString GetTempDir() const { return tempDir_; }
  void SetTempDir(const QString& dir) { tempDir_ = dir; }
  int32_t GetBurnerIndex() const { return burnerIndex_; }
  void SetBurnerIndex(int32_t index) { burnerIndex_ = index; }
  void SetEraseForBurn(bool v) { eraseForBurn_ = v; }
  bool GetEraseForBurn() const { return eraseForBurn_; }
  bool GetMainCanClose() const { return mainCanClose_; }
  QString GetLastStatusText() const { return QString::fromStdString(statusLog_.Last()); }

  // ---- Hooks of the data-disc wizard ----
  // The burn page that progress and completions are written to (null: none yet).
  void SetBurnView(TBurnView* view) { burnView_ = view; }
  TBurnView* BurnView() const { return burnView_; }
  // Refreshes the burn page's status line, bars and log for a GetStatus value.
  void UpdateProgress(uint16_t Status);
  // Hands the wizard's compilation list to the component: each folder becomes a top-level
  // folder of the disc with its contents, each file a file in the root.
  void FillCompilation();
  // The burn sequence of the burn page; its completions arrive through QvxWriteDone and
  // QvxEraseDone.
  fe::TBurnSequence& Burn() { return *burn_; }

  // ---- The medium's readiness and the drive watcher ----
  // The wait for a medium just inserted, before the first query of a flow: busy cursor, the
  // waiting text on this window's status panel and through `status` (the window the user looks
  // at), events flowing. A second wait while one runs answers Aborted at once.
  qvp::TMediumReadiness WaitForMedium(const std::function<void(const QString&)>& status = {});
  bool MediumWaitRunning() const { return waiting_; }
  // Ends a running wait (its answer is Aborted).
  void CancelMediumWait() { cancelWait_ = true; }
  // One look of the drive watcher: the recorder and, when its answer changed, the medium on the
  // status panel. It never waits: a medium becoming ready shows as such until a later tick.
  // Nothing is asked while a job, a wait or a dialog has the drive.
  void DriveWatchTick();
  // The same, asking about the medium whatever the last answer was and at once (after a flow
  // the medium may be another one); the watcher's ticks leave a tray change readable a while.
  void RefreshDriveStatus();
  // The blank a copy needs: the source's family and size, read before the source came out.
  const std::optional<vdrive::TBlankNeed>& CopyNeed() const { return copyNeed_; }

  // ---- The windows created with the main window ----
  TFrmNastaveni* FrmNastaveni = nullptr;
  TFrmVypalData* FrmVypalData = nullptr;
  TFrmMazani* FrmMazani = nullptr;
  TFrmInfoDisku* FrmInfoDisku = nullptr;
  TFrmOProgramu* FrmOProgramu = nullptr;
  TFrmVytvorISO* FrmVytvorISO = nullptr;

  // ---- Tiles and menu items (tiles 1 to 4, then settings) ----
  app::TTile* Tiles[5] = {};
  QAction* Zobrazitinformaceovloenmmdiu1 = nullptr;
  QAction* Vypalit1 = nullptr;
  QAction* Kopirovat1 = nullptr;
  QAction* VypalitISO1 = nullptr;
  QAction* Vymazat1 = nullptr;
  QAction* Konec1 = nullptr;
  QAction* Nastaveni1 = nullptr;
  QAction* Oprogramu1 = nullptr;
  app::TVirtualRecorderMenu* VirtualMenu = nullptr;
  app::TDriveStatusPanel* DriveStatus = nullptr;
  QTimer* DriveWatch = nullptr;

 public slots:
  void FormShow();
  void RxSpeedButton1Click();  // data disc: opens the data-disc wizard
  void Label5Click();          // disc copy
  void Label8Click();          // image burning

  // Caption, buttons and burn page of the wizard for an image burn, then the burn sequence at
  // once and the wizard shown (the end of a disc copy, and image burning).
  void StartImageBurn();
  void RxSpeedButton5Click();  // stand-alone erase
  void RxSpeedButton6Click();  // settings
  void Zobrazitinformaceovloenmmdiu1Click();
  void Oprogramu1Click();
  void Konec1Click();

  void Btn1MouseEnter();
  void Btn1MouseLeave();
  void Label5MouseEnter();
  void Label5MouseLeave();
  void Label8MouseEnter();
  void Label8MouseLeave();
  void Label11MouseEnter();
  void Label11MouseLeave();
  void Label14MouseEnter();
  void Label14MouseLeave();

  void QvxWriteDone(TQuorvexPro* Sender, uint8_t DeviceId, bool WriteFailed);
  void QvxEraseDone(TQuorvexPro* Sender, uint8_t DeviceId, bool EraseFailed);
  void QvxGenerateSmartReferencesDone(TQuorvexPro* Sender, bool Failed, int32_t CanSaveBytes);

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;  // FormCloseQuery

 public:
  bool FormCloseQuery() const { return mainCanClose_; }

 private:
  void FormCreate();
  void BuildTiles(QWidget* client);
  void BuildMenu();
  // Tiles and menu items that start a job or talk to the recorder, off while an erase runs.
  void SetJobControlsEnabled(bool enabled);
  void LogLine(const QString& text);  // burn page log, when there is one
  // Something else has the drive: a job, a wait, a modal window (its flow asks itself).
  bool DriveBusy() const;
  void TrayChanged(const QString& what);

  class TBurnHost;
  class TEraseHost;

  std::unique_ptr<TQuorvexPro> qvx_;
  std::unique_ptr<TBurnHost> burnHost_;
  std::unique_ptr<fe::TBurnSequence> burn_;
  std::unique_ptr<TEraseHost> eraseHost_;
  std::unique_ptr<fe::TEraseSequence> erase_;
  TBurnView* burnView_ = nullptr;
  QString iniDir_;
  QString tempDir_;
  int32_t burnerIndex_ = -1;
  bool mainCanClose_ = true;
  bool eraseForBurn_ = false;
  fe::TStatusLog statusLog_;
  bool waiting_ = false;
  bool cancelWait_ = false;
  bool forceMediumLook_ = true;
  std::optional<qvp::TMediumReadiness> lastReadiness_;
  std::optional<vdrive::TBlankNeed> copyNeed_;
  QElapsedTimer trayTold_;  // since a tray change was told on the status panel
};
