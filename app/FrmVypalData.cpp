// The data-disc wizard: its two pages and the compilation page's work (drops, the size
// estimate, removing entries). The burn sequence is in FrmVypalDataBurn.cpp.
#include "app/FrmVypalData.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

#include "app/BurnOptionsPanel.h"
#include "app/CompilationList.h"
#include "app/Dialogs.h"
#include "app/FileListModel.h"
#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/VirtualRecorderMenu.h"
#include "app/WindowHelpers.h"
#include "frontend/Texts.h"

namespace {

constexpr int kClientWidth = 783;
constexpr int kClientHeight = 530;
constexpr int kInitialBarMaximum = 716800;
// The compilation columns, and the room they leave to the options section when it is open.
constexpr int kSplitterTop = 60;
constexpr int kSplitterHeight = 372;
constexpr int kOptionsHeight = 120;

QLabel* Header(QWidget* page, const QString& text) {
  auto* strip = new QLabel(QStringLiteral("   ") + text, page);
  strip->setGeometry(0, 0, kClientWidth, 52);
  strip->setStyleSheet(
      QStringLiteral("QLabel { color: white; font-weight: bold; font-size: 17px;"
                     " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #17365d, "
                     "stop:0.6 #2f6db5, stop:1 #9cc3ee); }"));
  return strip;
}

// Texts that lie on the window's dark picture.
const char kOnPicture[] =
    "QGroupBox { color: white; font-weight: bold; } QLabel { color: white; background: "
    "transparent; }";

QPushButton* Button(QWidget* page, const char* text, int x, int y) {
  auto* b = new QPushButton(QString::fromUtf8(text), page);
  b->setGeometry(x, y, 100, 28);
  return b;
}

}  // namespace

TFrmVypalData::TFrmVypalData(TFrmHlavni* main) : TFormDialog(main), main_(main) {
  setWindowTitle(QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (datový disk)"));
  setFixedSize(kClientWidth, kClientHeight);
  app::SetFixedFrame(this, false);
  fileIcon_ = app::RedTransparent(app::FileIcon());
  folderIcon_ = app::RedTransparent(app::FolderIcon());
  BuildCompilationPage();
  BuildAdding();
  BuildOptions();
  BuildBurnPage();

  tmrWrite = new QTimer(this);
  tmrWrite->setInterval(50);
  connect(tmrWrite, &QTimer::timeout, this, &TFrmVypalData::tmrWriteTimer);
  ShowCompilationPage();
}

TFrmVypalData::~TFrmVypalData() {
  // Fields that lose the focus while the window goes must not reach its members any more.
  JmenoCD->disconnect(this);
  Moznosti->disconnect(this);
}

void TFrmVypalData::BuildCompilationPage() {
  PageCompilation = new QWidget(this);
  PageCompilation->setGeometry(0, 0, kClientWidth, kClientHeight);
  app::AddBackground(PageCompilation, QStringLiteral("okno-pozadi.jpg"));
  Header(PageCompilation, QStringLiteral("Vyberte soubory nebo adresáře..."));
  auto* name = new QLabel(QStringLiteral("Název disku:"), PageCompilation);
  name->setGeometry(470, 14, 90, 24);
  name->setStyleSheet(
      QStringLiteral("QLabel { color: white; font-weight: bold; background: transparent; }"));
  JmenoCD = new QLineEdit(QStringLiteral("Disk"), PageCompilation);
  JmenoCD->setGeometry(564, 14, 207, 24);

  Splitter = new QSplitter(Qt::Horizontal, PageCompilation);
  Splitter->setGeometry(8, kSplitterTop, kClientWidth - 16, kSplitterHeight);
  Splitter->setChildrenCollapsible(false);

  // The folder tree: folders only, the whole file system from its root.
  dirModel_ = new QFileSystemModel(this);
  dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  dirModel_->setReadOnly(true);
  dirModel_->setRootPath(QStringLiteral("/"));
  lbDir = new QTreeView(Splitter);
  lbDir->setModel(dirModel_);
  for (int c = 1; c < dirModel_->columnCount(); ++c) lbDir->hideColumn(c);
  lbDir->header()->hide();
  lbDir->setSelectionMode(QAbstractItemView::SingleSelection);
  lbDir->setDragEnabled(true);
  lbDir->setDragDropMode(QAbstractItemView::DragOnly);
  lbDir->setDefaultDropAction(Qt::CopyAction);

  // The file list: the files of the selected folder, sorted, in columns, several at a time.
  fileModel_ = new app::TFileListModel(this);
  lbFiles = new QTreeView(Splitter);
  lbFiles->setModel(fileModel_);
  lbFiles->setRootIsDecorated(false);
  lbFiles->setItemsExpandable(false);
  lbFiles->setSortingEnabled(true);
  lbFiles->sortByColumn(0, Qt::AscendingOrder);
  lbFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbFiles->setDragEnabled(true);
  lbFiles->setDragDropMode(QAbstractItemView::DragOnly);
  lbFiles->setDefaultDropAction(Qt::CopyAction);

  files = new app::TFilesList(Splitter);
  files->OnDragOver = [this](QObject* s, const QMimeData* d) { return filesXDragOver(s, d); };
  files->OnDragDrop = [this](QObject* s, const QMimeData* d) { filesXDragDrop(s, d); };
  files->OnDrawItem = [this](QPainter* p, int row, const QRect& r, bool sel) {
    filesXDrawItem(p, row, r, sel);
  };
  files->OnKeyDown = [this](int key) { filesKeyDown(key); };
  connect(files->Smazat1(), &QAction::triggered, this, &TFrmVypalData::filesXDblClick);
  Splitter->setSizes({220, 270, 277});

  connect(lbDir->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            const QString folder = dirModel_->filePath(current);
            lbFiles->setRootIndex(fileModel_->ShowFolder(folder));
          });
  SelectFolder(QDir::homePath());

  GroupVelikost = new QGroupBox(QStringLiteral("Odhadovaná velikost..."), PageCompilation);
  GroupVelikost->setGeometry(8, 440, 330, 80);
  VelikostBar = new QProgressBar(GroupVelikost);
  VelikostBar->setGeometry(10, 24, 310, 22);
  VelikostBar->setTextVisible(false);
  VelikostBar->setRange(0, kInitialBarMaximum);
  VelikostBar->setValue(0);
  MbTXT = new QLabel(QStringLiteral("700MB"), GroupVelikost);
  MbTXT->setGeometry(10, 50, 310, 20);
  MbTXT->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblCelkem = new QLabel(GroupVelikost);
  lblCelkem->setGeometry(10, 50, 220, 20);
  lblCelkem->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  GroupVelikost->setStyleSheet(QLatin1String(kOnPicture));

  GroupMedium = new QGroupBox(QStringLiteral("Potřebné médium..."), PageCompilation);
  GroupMedium->setStyleSheet(QLatin1String(kOnPicture));
  GroupMedium->setGeometry(346, 440, 200, 80);
  MediumTXT = new QLabel(QStringLiteral("CD-ROM/RW"), GroupMedium);
  MediumTXT->setGeometry(10, 24, 180, 40);
  MediumTXT->setAlignment(Qt::AlignCenter);
  QFont bold = MediumTXT->font();
  bold.setBold(true);
  bold.setPixelSize(15);
  MediumTXT->setFont(bold);

  Button1 = Button(PageCompilation, "< Zpět", 562, 490);
  btnDalsi = Button(PageCompilation, "Další >", 671, 490);
  btnDalsi->setEnabled(false);
  connect(Button1, &QPushButton::clicked, this, &TFrmVypalData::Button1Click);
  connect(btnDalsi, &QPushButton::clicked, this, &TFrmVypalData::btnDalsiClick);
}

void TFrmVypalData::BuildAdding() {
  // Double-click, Enter and the context item add what is selected, as a drop would.
  lbDir->setExpandsOnDoubleClick(false);
  PridatDoKompilace1 = new QAction(QStringLiteral("Přidat do kompilace"), this);
  PridatDoKompilace2 = new QAction(QStringLiteral("Přidat do kompilace"), this);
  connect(PridatDoKompilace1, &QAction::triggered, this, &TFrmVypalData::AddFromTree);
  connect(PridatDoKompilace2, &QAction::triggered, this, &TFrmVypalData::AddFromFiles);
  connect(lbDir, &QTreeView::doubleClicked, this, &TFrmVypalData::AddFromTree);
  connect(lbFiles, &QTreeView::doubleClicked, this, &TFrmVypalData::AddFromFiles);
  for (QTreeView* view : {lbDir, lbFiles}) {
    view->installEventFilter(this);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QAction* add = view == lbDir ? PridatDoKompilace1 : PridatDoKompilace2;
    connect(view, &QWidget::customContextMenuRequested, this, [view, add](const QPoint& at) {
      if (!view->indexAt(at).isValid()) return;
      QMenu menu(view);
      menu.addAction(add);
      menu.exec(view->viewport()->mapToGlobal(at));
    });
  }
}

bool TFrmVypalData::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == lbDir || watched == lbFiles)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == lbDir)
        AddFromTree();
      else
        AddFromFiles();
      return true;  // not the default button's Enter
    }
  }
  return TFormDialog::eventFilter(watched, event);
}

void TFrmVypalData::AddFromTree() {
  if (lbDir->currentIndex().isValid()) filesXDragDrop(lbDir, nullptr);
}

void TFrmVypalData::AddFromFiles() {
  if (lbFiles->selectionModel()->hasSelection()) filesXDragDrop(lbFiles, nullptr);
}

void TFrmVypalData::BuildOptions() {
  btnMoznosti = new QToolButton(PageCompilation);
  btnMoznosti->setGeometry(562, 448, 209, 28);
  btnMoznosti->setCheckable(true);
  btnMoznosti->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnMoznosti->setArrowType(Qt::RightArrow);
  btnMoznosti->setText(QStringLiteral("Možnosti vypalování"));
  connect(btnMoznosti, &QToolButton::clicked, this, &TFrmVypalData::btnMoznostiClick);
  Moznosti = new app::TBurnOptionsPanel(main_, PageCompilation);
  Moznosti->setGeometry(8, kSplitterTop + kSplitterHeight - kOptionsHeight + 6, kClientWidth - 16,
                        kOptionsHeight - 6);
  Moznosti->setObjectName(QStringLiteral("Moznosti"));
  Moznosti->setAttribute(Qt::WA_StyledBackground);
  Moznosti->setStyleSheet(
      QStringLiteral("#Moznosti { background: rgba(10, 30, 60, 150); border: 1px solid #7f93ad; }"
                     " QLabel { color: white; background: transparent; }"));
  // The check boxes keep the style's own boxes; only their texts turn white on the picture.
  for (QCheckBox* box : Moznosti->Flags) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    box->setPalette(pal);
  }
  Moznosti->hide();
  connect(Moznosti, &app::TBurnOptionsPanel::Changed, this, &TFrmVypalData::SaveOptions);
  connect(JmenoCD, &QLineEdit::editingFinished, this, &TFrmVypalData::SaveOptions);
}

bool TFrmVypalData::OptionsShown() const { return btnMoznosti->isChecked(); }

void TFrmVypalData::btnMoznostiClick() {
  const bool open = btnMoznosti->isChecked();
  btnMoznosti->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  Splitter->setGeometry(8, kSplitterTop, kClientWidth - 16,
                        kSplitterHeight - (open ? kOptionsHeight : 0));
  Moznosti->setVisible(open);
}

fe::TBurnOptions TFrmVypalData::CurrentOptions() const {
  fe::TBurnOptions o = Moznosti->Options();
  o.VolumeLabel = JmenoCD->text().toStdString();
  return o;
}

void TFrmVypalData::SaveOptions() {
  // Remembered as soon as chosen; a settings file that cannot be written keeps the old ones.
  const fe::TBurnOptions chosen = CurrentOptions();
  if (chosen == keptOptions_) return;
  if (fe::WriteBurnOptions(main_->GetIniDir().toStdString(), chosen)) keptOptions_ = chosen;
}

void TFrmVypalData::BuildBurnPage() {
  PageBurn = new QWidget(this);
  PageBurn->setGeometry(0, 0, kClientWidth, kClientHeight);
  app::AddBackground(PageBurn, QStringLiteral("okno-pozadi.jpg"));
  Header(PageBurn, QStringLiteral("Vypalování..."));

  Memo1 = new QPlainTextEdit(PageBurn);
  Memo1->setGeometry(8, 60, kClientWidth - 16, 318);
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);

  PageBurn->setStyleSheet(QLatin1String(kOnPicture));
  lblSize = new QLabel(PageBurn);
  lblSize->setGeometry(8, 384, kClientWidth - 16, 20);
  lblSize->setAlignment(Qt::AlignCenter);
  auto bufferBar = [this](const char* text, int x) {
    auto* l = new QLabel(QString::fromUtf8(text), PageBurn);
    l->setGeometry(x, 410, 120, 20);
    auto* bar = new QProgressBar(PageBurn);
    bar->setGeometry(x + 120, 410, 252, 20);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
  };
  scs = bufferBar(" Software Buffer: ", 8);
  dbs = bufferBar(" Hardware Buffer: ", 403);
  pb = new QProgressBar(PageBurn);
  pb->setGeometry(8, 440, kClientWidth - 16, 26);
  pb->setRange(0, 100);
  pb->setValue(0);

  btnZpet = Button(PageBurn, "< Zpět", 453, 490);
  btnStorno = Button(PageBurn, "Storno", 562, 490);
  btnVypalit = Button(PageBurn, "Vypálit", 671, 490);
  btnStorno->setEnabled(false);
  connect(btnZpet, &QPushButton::clicked, this, &TFrmVypalData::btnZpetClick);
  connect(btnStorno, &QPushButton::clicked, this, &TFrmVypalData::btnStornoClick);
  connect(btnVypalit, &QPushButton::clicked, this, &TFrmVypalData::btnVypalitClick);

  // The virtual recorder's tray, within reach while the wizard holds the program.
  btnVirtual = new QToolButton(PageBurn);
  btnVirtual->setText(QStringLiteral("Virtuální vypalovačka"));
  btnVirtual->setGeometry(8, 490, 160, 28);
  btnVirtual->setPopupMode(QToolButton::InstantPopup);
  btnVirtual->setMenu(main_->VirtualMenu->NewMenu(this));
  btnVlozitPrazdne = new QPushButton(PageBurn);
  btnVlozitPrazdne->setGeometry(174, 490, 270, 28);
  btnVlozitPrazdne->hide();
  connect(btnVlozitPrazdne, &QPushButton::clicked, this, &TFrmVypalData::btnVlozitPrazdneClick);
}

// ---- Pages ----

void TFrmVypalData::ShowCompilationPage() {
  PageCompilation->show();
  PageBurn->hide();
  btnDalsi->setDefault(true);
}

void TFrmVypalData::ShowBurnPage() {
  PageCompilation->hide();
  PageBurn->move(0, 0);
  PageBurn->show();
  btnVypalit->setDefault(true);
  UpdateTrayControls();
}

void TFrmVypalData::ResetBurnPage() {
  Memo1->clear();
  lblSize->clear();
  for (QProgressBar* b : {scs, dbs, pb}) b->setValue(0);
}

void TFrmVypalData::FormShow() {
  // The compilation does not outlive a closing of the wizard.
  totalSizeKB_ = 0;
  files->clear();
  list_.Clear();
  VelikostBar->setRange(0, kInitialBarMaximum);
  VelikostBar->setValue(0);
  MediumTXT->setText(QStringLiteral("CD-ROM/RW"));
  MbTXT->setText(QStringLiteral("700MB"));
  lblCelkem->setText(QStringLiteral("Celkem: ") + app::FormatSize(0));
  btnDalsi->setEnabled(false);
  // The options as they were chosen last time (the defaults at first).
  const fe::TBurnOptions options = fe::ReadBurnOptions(main_->GetIniDir().toStdString());
  keptOptions_ = options;
  Moznosti->Load(options);
  JmenoCD->setText(app::Q(options.VolumeLabel));
  UpdateTrayControls();
}

bool TFrmVypalData::FormCloseQuery() const {
  if (main_->MediumWaitRunning()) {
    main_->CancelMediumWait();  // the wait ends first; the window may close afterwards
    return false;
  }
  return !tmrWrite->isActive() && !eraseRunning_;
}

void TFrmVypalData::Button1Click() { close(); }

void TFrmVypalData::btnDalsiClick() {
  ResetBurnPage();
  ShowBurnPage();
}

void TFrmVypalData::btnZpetClick() { ShowCompilationPage(); }

// ---- The folder tree and the file list ----

QString TFrmVypalData::SelectedFolder() const { return dirModel_->filePath(lbDir->currentIndex()); }

void TFrmVypalData::SelectFolder(const QString& path) {
  const QModelIndex index = dirModel_->index(path);
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) lbDir->expand(up);
  lbDir->expand(index);
  lbDir->setCurrentIndex(index);
  lbDir->scrollTo(index);
}

QString TFrmVypalData::TreePath() const {
  QString path = SelectedFolder();
  if (path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path;
}

// ---- The compilation list ----

bool TFrmVypalData::IsInCompilation(const QString& path) const {
  return list_.Contains(path.toStdString());
}

QStringList TFrmVypalData::CompilationPaths() const {
  QStringList paths;
  for (int i = 0; i < files->count(); ++i) paths << files->item(i)->text();
  return paths;
}

fe::TFolderSize TFrmVypalData::MeasureFolder(const QString& path) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QCoreApplication::processEvents();
  // A large folder takes a while: the window keeps repainting, the user's input waits.
  const fe::TFolderSize size = fe::FolderSize(path.toStdString(), [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  QApplication::restoreOverrideCursor();
  return size;
}

int64_t TFrmVypalData::GetFolderSizeKB(const QString& path) {
  return static_cast<int64_t>(MeasureFolder(path).KB);
}

bool TFrmVypalData::filesXDragOver(QObject* source, const QMimeData* data) const {
  if (source == lbDir || source == lbFiles) return true;
  // Files and folders dragged in from another program (a file manager).
  if (source != nullptr || data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

void TFrmVypalData::filesXDragDrop(QObject* source, const QMimeData* data) {
  if (!filesXDragOver(source, data)) return;
  if (source == lbDir) {
    const QString path = TreePath();
    DropFolder(path.isEmpty() ? QStringLiteral("/") : path);
  } else if (source == lbFiles) {
    // The selected files in the order the list shows them.
    QModelIndexList rows = lbFiles->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const QString folder = TreePath();
    for (const QModelIndex& row : rows) {
      const QString name = fileModel_->FileName(row);
      DropFile(folder + QLatin1Char('/') + name, name);
    }
  } else {
    for (const QUrl& url : data->urls()) {
      if (!url.isLocalFile()) continue;
      const QString path = QDir::cleanPath(url.toLocalFile());
      const QFileInfo info(path);
      if (info.isDir())
        DropFolder(path);
      else if (info.isFile())
        DropFile(path, info.fileName());
    }
  }
  UpdateSizeEstimate();
}

void TFrmVypalData::DropFolder(const QString& path) {
  const std::string source = path.toStdString();
  const std::string refusal = list_.Refusal(source, QFileInfo(path).fileName().toStdString(), true);
  if (!refusal.empty()) {
    app::ShowMessage(app::Q(refusal), this);
    return;
  }
  const fe::TFolderSize size = MeasureFolder(path);
  if (!size.LoopingLinks.empty()) {
    QStringList lines;
    for (const std::string& link : size.LoopingLinks)
      lines << app::Q(fe::text::kLoopingLinkPrefix + link + fe::text::kLoopingLinkSuffix);
    app::ShowMessage(lines.join(QLatin1Char('\n')), this);
  }
  const auto kb = static_cast<int64_t>(size.KB);
  auto* item = new QListWidgetItem(path);
  item->setToolTip(path);  // two entries of one name differ in where they come from
  app::TFilesList::SetData(item, {QStringLiteral("2"), kb});
  files->insertItem(0, item);  // folders go to the top
  list_.Insert(fe::TCompilationEntry{source, true, size.KB}, true);
  totalSizeKB_ += kb;
}

void TFrmVypalData::DropFile(const QString& path, const QString& name) {
  const std::string source = path.toStdString();
  const std::string refusal = list_.Refusal(source, name.toStdString(), false);
  if (!refusal.empty()) {
    app::ShowMessage(app::Q(refusal), this);
    return;
  }
  const uint64_t kb = fe::FileSizeKB(source);
  auto* item = new QListWidgetItem(path);
  item->setToolTip(path);
  app::TFilesList::SetData(item, {QStringLiteral("1"), static_cast<int64_t>(kb)});
  files->addItem(item);  // files go to the bottom
  list_.Insert(fe::TCompilationEntry{source, false, kb}, false);
  totalSizeKB_ += static_cast<int64_t>(kb);
}

void TFrmVypalData::UpdateSizeEstimate() {
  auto place = [this] {
    VelikostBar->setValue(
        static_cast<int>(std::clamp<int64_t>(totalSizeKB_, 0, VelikostBar->maximum())));
  };
  place();
  btnDalsi->setEnabled(VelikostBar->value() > 0);
  const fe::TMediumClass& c = fe::MediumClassFor(totalSizeKB_);
  VelikostBar->setMaximum(c.BarMaximum);
  place();
  MediumTXT->setText(QString::fromUtf8(c.Medium));
  MbTXT->setText(QString::fromUtf8(c.Capacity));
  lblCelkem->setText(QStringLiteral("Celkem: ") +
                     app::FormatSize(static_cast<uint64_t>(std::max<int64_t>(totalSizeKB_, 0))));
}

void TFrmVypalData::filesXDrawItem(QPainter* painter, int row, const QRect& rect, bool selected) {
  const QListWidgetItem* item = files->item(row);
  if (item == nullptr) return;
  const QPalette& pal = files->palette();
  painter->fillRect(rect, selected ? pal.highlight() : pal.base());
  painter->setPen(selected ? pal.highlightedText().color() : pal.text().color());
  const app::TData d = app::TFilesList::Data(item);
  const QString text = QFileInfo(item->text()).fileName() + QStringLiteral(" (") +
                       app::FormatSize(static_cast<uint64_t>(d.SizeKB)) + QLatin1Char(')');
  painter->drawText(rect.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
  painter->drawPixmap(rect.topLeft(), d.Kind == QStringLiteral("2") ? folderIcon_ : fileIcon_);
}

void TFrmVypalData::RemoveSelected() {
  QListWidgetItem* item = files->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  totalSizeKB_ -= app::TFilesList::Data(item).SizeKB;
  UpdateSizeEstimate();
  list_.RemoveAt(static_cast<size_t>(files->row(item)));
  delete files->takeItem(files->row(item));
}

void TFrmVypalData::filesXDblClick() { RemoveSelected(); }

void TFrmVypalData::filesKeyDown(int key) {
  if (key == Qt::Key_Delete) RemoveSelected();
}
