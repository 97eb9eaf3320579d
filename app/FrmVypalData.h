#pragma once
// The data-disc wizard. Its compilation page is where the user drags files and folders from a
// folder tree and a file list into the compilation and sees the size estimate and the medium
// class it needs; its burn page runs the burn sequence (medium checks, the erase of a rewritable
// medium that holds data, the capacity check, the hand-over to the burner component, the write)
// with a time-stamped log, the progress bars and "Storno". Image burning and disc copying use the
// burn page alone, in image mode. Files and folders are also added by double-click, Enter or the
// context item "Přidat do kompilace"; the options of the disc wait in a section of their own,
// collapsed until asked for. The burn page reaches a virtual recorder's tray.
#include <QPixmap>
#include <QString>
#include <cstdint>

#include "app/BurnView.h"
#include "app/FormDialog.h"
#include "frontend/BurnOptions.h"
#include "frontend/Compilation.h"
#include "frontend/SizeEstimate.h"
#include "vdrive/BlankChoice.h"

class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPainter;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeView;
class TFrmHlavni;
namespace app {
class TBurnOptionsPanel;
class TFileListModel;
class TFilesList;
}  // namespace app

class TFrmVypalData : public app::TFormDialog, public TBurnView {
  Q_OBJECT
 public:
  explicit TFrmVypalData(TFrmHlavni* main);
  ~TFrmVypalData() override;

  // ---- Compilation page ----
  QWidget* PageCompilation;
  QLineEdit* JmenoCD;
  QSplitter* Splitter;
  QTreeView* lbDir;    // folders only, from the file-system root
  QTreeView* lbFiles;  // the files of the folder selected in lbDir
  app::TFilesList* files;
  QGroupBox* GroupVelikost;
  QProgressBar* VelikostBar;
  QLabel* MbTXT;
  QLabel* lblCelkem;  // "Celkem: 4,32 MB"
  QGroupBox* GroupMedium;
  QLabel* MediumTXT;
  QPushButton* Button1;  // "< Zpět": closes the wizard
  QPushButton* btnDalsi;
  QAction* PridatDoKompilace1;  // context item of the folder tree
  QAction* PridatDoKompilace2;  // context item of the file list
  QToolButton* btnMoznosti;     // opens and closes the options section
  app::TBurnOptionsPanel* Moznosti;

  // ---- Burn page ----
  QWidget* PageBurn;
  QPlainTextEdit* Memo1;
  QLabel* lblSize;
  QProgressBar* scs;
  QProgressBar* dbs;
  QProgressBar* pb;
  QPushButton* btnZpet;
  QPushButton* btnStorno;
  QPushButton* btnVypalit;
  QTimer* tmrWrite;
  QToolButton* btnVirtual;        // the virtual recorder's menu
  QPushButton* btnVlozitPrazdne;  // "Vložit prázdné DVD+R": the blank a waiting job needs

  void SetIsoMode(bool v) { isoMode_ = v; }
  bool GetIsoMode() const { return isoMode_; }
  int64_t TotalSizeKB() const { return totalSizeKB_; }

  // The pages as the main window sets them up before a showing.
  void ShowCompilationPage();
  void ShowBurnPage();  // at the window's top-left corner
  // Log cleared, status line emptied, the three bars at 0.
  void ResetBurnPage();

  // The folder selected in the tree (as the file system names it), and a way to select one.
  QString SelectedFolder() const;
  void SelectFolder(const QString& path);

  bool IsInCompilation(const QString& path) const;
  // Sum of the folder's file sizes in KB, with the busy cursor while it is counted.
  int64_t GetFolderSizeKB(const QString& path);
  const fe::TCompilationList& Compilation() const { return list_; }
  void UpdateSizeEstimate();

  // The options as the page shows them (the volume label from "Název disku:").
  fe::TBurnOptions CurrentOptions() const;
  bool OptionsShown() const;
  // What a blank for this burn must hold: a copy's source family and size, an image's size, or
  // the compilation's estimate with room for its file system.
  vdrive::TBlankNeed BlankNeed() const;
  // The virtual recorder's controls as the recorder, its tray and the burn's state allow.
  void UpdateTrayControls();

  // ---- What the main window writes into the burn page ----
  void AppendLog(const QString& line) override;
  void SetStatusLine(const QString& text) override;
  void SetBar(TBar bar, int maximum, int position) override;
  void SetBarPosition(TBar bar, int position) override;
  void StopWriteTimer() override;
  void RestoreButtons() override;
  QStringList CompilationPaths() const override;
  void BurnStateChanged(fe::TBurnState state) override;

  bool FormCloseQuery() const override;

 public slots:
  void FormShow() override;
  bool filesXDragOver(QObject* source, const QMimeData* data) const;
  void filesXDragDrop(QObject* source, const QMimeData* data);
  void filesXDrawItem(QPainter* painter, int row, const QRect& rect, bool selected);
  void filesXDblClick();  // "Smazat" of the pop-up menu
  void filesKeyDown(int key);
  void Button1Click();
  void btnDalsiClick();
  void btnZpetClick();
  void btnVypalitClick();
  void btnStornoClick();
  void tmrWriteTimer();
  void AddFromTree();   // the folder selected in the tree
  void AddFromFiles();  // the files selected in the list
  void btnMoznostiClick();
  void btnVlozitPrazdneClick();
  void SaveOptions();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildCompilationPage();
  void BuildBurnPage();
  void BuildAdding();
  void BuildOptions();
  QProgressBar* Bar(TBar bar) const;
  // The tree's folder without its trailing '/' (the root gives an empty text).
  QString TreePath() const;
  // A folder or a file offered to the compilation, with the checks and messages of a drop.
  void DropFolder(const QString& path);
  void DropFile(const QString& path, const QString& name);
  void RemoveSelected();
  // The folder's size with the busy cursor; looping folder links are told.
  fe::TFolderSize MeasureFolder(const QString& path);

  TFrmHlavni* main_;
  QFileSystemModel* dirModel_;
  app::TFileListModel* fileModel_;
  QPixmap fileIcon_;
  QPixmap folderIcon_;
  bool isoMode_ = false;
  // The compilation, row for row as `files` shows it.
  fe::TCompilationList list_;
  int64_t totalSizeKB_ = 0;
  fe::TBurnOptions keptOptions_;  // as the settings file holds them
  // An erase started by the burn sequence runs: the wizard (and so the program) stays open
  // until its end arrives.
  bool eraseRunning_ = false;
};
