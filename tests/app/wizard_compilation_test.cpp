// The wizard's compilation page: sizes and their texts, the medium class, drops from the folder
// tree, the file list and other programs, their refusals, removing entries, the pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QUrl>
#include <filesystem>

#include "app/CompilationList.h"
#include "tests/app/WizardFixture.h"

namespace {

namespace fs = std::filesystem;
using wiztest::MakeSparse;

class CompilationPageTest : public wiztest::WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    Start("cd", std::nullopt);
    OpenForDataDisc();
    src = testenv::MakeTempDir("zdroj");
  }
  QStringList Paths() const { return wizard->CompilationPaths(); }
  std::string src;
};

TEST_F(CompilationPageTest, EstimateFollowsTheSizeAcrossClassesAndBackAfterRemoval) {
  TFrmVypalData& z = *wizard;
  EXPECT_FALSE(z.btnDalsi->isEnabled());
  EXPECT_EQ(z.VelikostBar->maximum(), 716800);
  EXPECT_EQ(z.MediumTXT->text(), QStringLiteral("CD-ROM/RW"));
  EXPECT_EQ(z.MbTXT->text(), QStringLiteral("700MB"));

  MakeSparse(src + "/cd.img", uint64_t{718847} * 1024);
  MakeSparse(src + "/jeden.bin", 1024);
  MakeSparse(src + "/bd.img", uint64_t{24438784 - 718848} * 1024);
  auto expectClass = [&z](int64_t total, const char* medium, const char* capacity, int maximum) {
    EXPECT_EQ(z.TotalSizeKB(), total);
    EXPECT_EQ(z.MediumTXT->text(), QString::fromUtf8(medium));
    EXPECT_EQ(z.MbTXT->text(), QString::fromUtf8(capacity));
    EXPECT_EQ(z.VelikostBar->maximum(), maximum);
    EXPECT_EQ(z.VelikostBar->value(), std::min<int64_t>(total, maximum));
    EXPECT_EQ(z.btnDalsi->isEnabled(), total > 0);
  };
  DropFiles(src, {"cd.img"});
  expectClass(718847, "CD-ROM/RW", "700MB", 718848);
  DropFiles(src, {"jeden.bin"});
  expectClass(718848, "DVD R/RW", "4,7GB", 4595712);
  DropFiles(src, {"bd.img"});
  expectClass(24438784, "Blu-ray R/RE DL", "50GB", 48877568);

  // Removing entries: the pop-up menu's "Smazat" and the Delete key act on the selected one.
  z.files->setCurrentRow(2);
  z.files->Smazat1()->trigger();
  expectClass(718848, "DVD R/RW", "4,7GB", 4595712);
  z.files->setCurrentRow(0);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(z.files, &del);
  expectClass(1, "CD-ROM/RW", "700MB", 718848);
  QKeyEvent other(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QCoreApplication::sendEvent(z.files, &other);
  EXPECT_EQ(z.files->count(), 1);
  // The last one: nothing to burn, "Další >" off again.
  z.files->setCurrentRow(0);
  z.files->Smazat1()->trigger();
  EXPECT_EQ(z.files->count(), 0);
  expectClass(0, "CD-ROM/RW", "700MB", 718848);
  // Nothing selected: nothing removed.
  DropFiles(src, {"jeden.bin"});
  z.files->clearSelection();
  z.files->Smazat1()->trigger();
  EXPECT_EQ(z.files->count(), 1);
}

TEST_F(CompilationPageTest, FoldersGoToTheTopFilesToTheBottomWithTheirSizes) {
  fs::create_directories(src + "/Fotky/.náhledy");
  fs::create_directories(src + "/Hudba");
  testenv::WriteFile(src + "/Fotky/a.jpg", std::string(4096, 'a'));
  testenv::WriteFile(src + "/Fotky/.skryty.jpg", std::string(8192, 'a'));
  testenv::WriteFile(src + "/Fotky/.náhledy/b.jpg", std::string(8192, 'b'));
  testenv::WriteFile(src + "/Hudba/c.ogg", std::string(2048, 'c'));
  testenv::WriteFile(src + "/dopis.txt", std::string(5000, 'd'));
  testenv::WriteFile(src + "/b.txt", "b");
  testenv::WriteFile(src + "/a.txt", std::string(1024, 'a'));

  DropFiles(src, {"dopis.txt"});
  DropFolder(src + "/Fotky");
  // Several files at once come in the list's order.
  DropFiles(src, {"b.txt", "a.txt"});
  DropFolder(src + "/Hudba");
  EXPECT_EQ(wiztest::Join(Paths()),
            wiztest::Join(QStringList{
                QString::fromStdString(src + "/Hudba"), QString::fromStdString(src + "/Fotky"),
                QString::fromStdString(src + "/dopis.txt"), QString::fromStdString(src + "/a.txt"),
                QString::fromStdString(src + "/b.txt")}));
  std::vector<std::pair<std::string, int64_t>> data;
  for (int i = 0; i < wizard->files->count(); ++i) {
    const app::TData d = app::TFilesList::Data(wizard->files->item(i));
    data.emplace_back(d.Kind.toStdString(), d.SizeKB);
  }
  // Dot-names do not count in a folder's size; a file counts its size rounded up to whole KB, so
  // a one-byte file is not nothing.
  EXPECT_EQ(data, (std::vector<std::pair<std::string, int64_t>>{
                      {"2", 2}, {"2", 4}, {"1", 5}, {"1", 1}, {"1", 1}}));
  EXPECT_EQ(wizard->TotalSizeKB(), 13);
  EXPECT_TRUE(dialogs.Shown().empty());
  EXPECT_EQ(wizard->files->sizeHintForRow(0), 16);

  // A row: the icon's red is transparent, the name and size follow 20 pixels in.
  apptest::TCzechLocale cs;
  QImage row(300, 16, QImage::Format_ARGB32);
  row.fill(Qt::white);
  {
    QPainter p(&row);
    wizard->filesXDrawItem(&p, 2, QRect(0, 0, 300, 16), false);
  }
  bool red = false, ink = false;
  for (int x = 0; x < 17; ++x)
    for (int y = 0; y < 16; ++y) red |= row.pixelColor(x, y) == QColor(255, 0, 0);
  for (int x = 20; x < 120; ++x)
    for (int y = 0; y < 16; ++y) ink |= qGray(row.pixel(x, y)) < 128;
  EXPECT_FALSE(red);
  EXPECT_TRUE(ink);
}

TEST_F(CompilationPageTest, AddingWithoutDraggingAndTheTotalInNumbers) {
  apptest::TCzechLocale cs;
  TFrmVypalData& z = *wizard;
  fs::create_directories(src + "/sto");
  for (int i = 0; i < 100; ++i) testenv::WriteFile(src + "/sto/" + std::to_string(i), "x");
  fs::create_directories(src + "/a");
  fs::create_directories(src + "/b");
  testenv::WriteFile(src + "/a/dopis.txt", std::string(1024, 'a'));
  testenv::WriteFile(src + "/b/dopis.txt", std::string(2048, 'b'));

  // Enter in the folder tree adds the folder: a hundred tiny files are something to burn.
  z.SelectFolder(QString::fromStdString(src + "/sto"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(z.lbDir, &enter);
  EXPECT_EQ(z.TotalSizeKB(), 100);
  EXPECT_TRUE(z.btnDalsi->isEnabled());
  EXPECT_EQ(z.lblCelkem->text(), QStringLiteral("Celkem: 100,00 KB"));

  // A double-click in the file list adds that file, the context item the selection.
  const auto selectFirst = [&](const std::string& folder) {
    z.SelectFolder(QString::fromStdString(folder));
    EXPECT_EQ(wiztest::Join(ListedFiles()), "dopis.txt");
    const QModelIndex first = z.lbFiles->model()->index(0, 0, z.lbFiles->rootIndex());
    z.lbFiles->selectionModel()->select(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return first;
  };
  emit z.lbFiles->doubleClicked(selectFirst(src + "/a"));
  selectFirst(src + "/b");
  z.PridatDoKompilace2->trigger();
  // Enter again on the same file: refused as a drop would be.
  QCoreApplication::sendEvent(z.lbFiles, &enter);
  EXPECT_EQ(dialogs.Texts(),
            QStringList{QString::fromStdString("Soubor: " + src +
                                               "/b/dopis.txt již je přidán, nezle přidat "
                                               "podruhé.")});
  EXPECT_EQ(z.TotalSizeKB(), 103);
  EXPECT_EQ(z.lblCelkem->text(), QStringLiteral("Celkem: 103,00 KB"));
  // Two rows of one name tell where they come from.
  ASSERT_EQ(z.files->count(), 3);
  EXPECT_EQ(z.files->item(1)->toolTip().toStdString(), src + "/a/dopis.txt");
  EXPECT_EQ(z.files->item(2)->toolTip().toStdString(), src + "/b/dopis.txt");
}

TEST_F(CompilationPageTest, DuplicatesAndLongNamesAreRefusedWithTheirMessages) {
  fs::create_directories(src + "/Fotky");
  testenv::WriteFile(src + "/zprava.txt", "x");
  testenv::WriteFile(src + "/Zprava.txt", "y");
  const std::string name130 = std::string(126, 'n') + ".txt";
  const std::string name131 = std::string(127, 'n') + ".txt";
  testenv::WriteFile(src + "/" + name130, "z");
  testenv::WriteFile(src + "/" + name131, "z");

  DropFiles(src, {"zprava.txt"});
  DropFolder(src + "/Fotky");
  DropFiles(src, {"zprava.txt"});
  DropFolder(src + "/Fotky");
  // Another case is another file.
  DropFiles(src, {"Zprava.txt"});
  DropFiles(src, {name130});
  DropFiles(src, {name131});
  const QString path = QString::fromStdString(src + "/zprava.txt");
  EXPECT_EQ(wiztest::Join(dialogs.Texts()),
            wiztest::Join(QStringList{
                QStringLiteral("Soubor: ") + path +
                    QStringLiteral(" již je přidán, nezle přidat podruhé."),
                QStringLiteral("Složka již je přidána, nelze přidat podruhé."),
                QStringLiteral("Soubor ") + QString::fromStdString(name131) +
                    QStringLiteral(
                        " má příliž dlouhý název, nelze přidat do kompilace, soubor přejmenujte "
                        "na kratší název.")}));
  EXPECT_EQ(Paths().size(), 4);
  EXPECT_TRUE(Paths().contains(QString::fromStdString(src + "/" + name130)));
  EXPECT_TRUE(wizard->IsInCompilation(QString::fromStdString(src + "/Zprava.txt")));
  // A file inside a listed folder is not told apart.
  EXPECT_FALSE(wizard->IsInCompilation(QString::fromStdString(src + "/Fotky/x.jpg")));
}

TEST_F(CompilationPageTest, DropsFromAFileManagerAreCopiesWithTheSameRules) {
  fs::create_directories(src + "/Dokumenty");
  testenv::WriteFile(src + "/Dokumenty/smlouva.pdf", std::string(3072, 's'));
  testenv::WriteFile(src + "/obrázek.png", std::string(2048, 'o'));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(src + "/obrázek.png")),
                QUrl::fromLocalFile(QString::fromStdString(src + "/Dokumenty/")),
                QUrl(QStringLiteral("https://example.org/soubor.txt")),
                QUrl::fromLocalFile(QStringLiteral("/nikde/není.txt"))});
  // The file manager offers a move; the list takes a copy, so the source keeps its files.
  QDragEnterEvent enter(QPoint(10, 10), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton,
                        Qt::NoModifier);
  enter.setDropAction(Qt::MoveAction);
  QCoreApplication::sendEvent(wizard->files->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(10, 10), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton,
                  Qt::NoModifier);
  drop.setDropAction(Qt::MoveAction);
  QCoreApplication::sendEvent(wizard->files->viewport(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  EXPECT_EQ(wiztest::Join(Paths()),
            wiztest::Join(QStringList{QString::fromStdString(src + "/Dokumenty"),
                                      QString::fromStdString(src + "/obrázek.png")}));
  EXPECT_EQ(wizard->TotalSizeKB(), 5);
  EXPECT_TRUE(wizard->btnDalsi->isEnabled());

  // The same again: the messages of the tree and the list.
  QDragEnterEvent enterAgain(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(wizard->files->viewport(), &enterAgain);
  QDropEvent again(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(wizard->files->viewport(), &again);
  EXPECT_EQ(dialogs.Texts().size(), 2);
  EXPECT_EQ(Paths().size(), 2);

  // Text and remote addresses are not taken; only the tree and the list are sources inside.
  QMimeData plain;
  plain.setText(QStringLiteral("/etc/passwd"));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(wizard->files->viewport(), &refused);
  EXPECT_FALSE(refused.isAccepted());
  QMimeData remote;
  remote.setUrls({QUrl(QStringLiteral("https://example.org/a.iso"))});
  EXPECT_FALSE(wizard->filesXDragOver(nullptr, &remote));
  EXPECT_FALSE(wizard->filesXDragOver(wizard->files, &mime));
  EXPECT_TRUE(wizard->filesXDragOver(wizard->lbDir, nullptr));
  EXPECT_TRUE(wizard->filesXDragOver(wizard->lbFiles, nullptr));
}

TEST_F(CompilationPageTest, PagesAndAFreshCompilationAtEveryShowing) {
  TFrmVypalData& z = *wizard;
  EXPECT_EQ(z.JmenoCD->text(), QStringLiteral("Disk"));
  EXPECT_EQ(z.size(), QSize(783, 530));
  EXPECT_EQ(z.tmrWrite->interval(), 50);
  // The tree starts in the user's home folder, the list shows its files.
  EXPECT_EQ(z.SelectedFolder(), QDir::homePath());
  testenv::WriteFile(src + "/a.txt", "a");
  DropFiles(src, {"a.txt"});
  z.SelectFolder(QString::fromStdString(src));
  EXPECT_EQ(wiztest::Join(ListedFiles()), "a.txt");

  z.Memo1->setPlainText(QStringLiteral("stará zpráva"));
  z.btnDalsiClick();
  EXPECT_TRUE(z.PageBurn->isVisible());
  EXPECT_FALSE(z.PageCompilation->isVisible());
  EXPECT_EQ(z.PageBurn->pos(), QPoint(0, 0));
  EXPECT_TRUE(z.Memo1->toPlainText().isEmpty());
  EXPECT_EQ(z.pb->value(), 0);
  z.btnZpetClick();
  EXPECT_TRUE(z.PageCompilation->isVisible());
  EXPECT_FALSE(z.PageBurn->isVisible());

  // "< Zpět" on the compilation page closes; the next showing starts empty.
  z.Button1Click();
  EXPECT_FALSE(z.isVisible());
  z.show();
  EXPECT_EQ(z.files->count(), 0);
  EXPECT_EQ(z.TotalSizeKB(), 0);
  EXPECT_FALSE(z.btnDalsi->isEnabled());
  z.hide();
}

TEST_F(CompilationPageTest, TheTileOpensTheWizardForADataDisc) {
  TFrmVypalData& z = *wizard;
  z.hide();
  z.setWindowTitle(QStringLiteral("jiný"));
  z.SetIsoMode(true);
  z.btnVypalit->setEnabled(false);
  z.btnStorno->setEnabled(true);
  z.ShowBurnPage();
  z.Memo1->setPlainText(QStringLiteral("stará zpráva"));
  z.SetBar(TBurnView::TBar::Main, 10, 7);
  bool seen = false;
  wiztest::WhenShown(&z, [&] {
    EXPECT_EQ(z.windowTitle(), QStringLiteral("Vypálit CD / DVD / Blu-Ray / HD-DVD (datový disk)"));
    EXPECT_FALSE(z.GetIsoMode());
    EXPECT_TRUE(z.isModal());
    EXPECT_TRUE(z.PageCompilation->isVisible());
    EXPECT_FALSE(z.PageBurn->isVisible());
    EXPECT_EQ(wiztest::Buttons(z), (std::vector<bool>{true, true, false}));
    EXPECT_TRUE(z.Memo1->toPlainText().isEmpty());
    EXPECT_EQ(z.pb->value(), 0);
    seen = true;
    z.Button1Click();
  });
  main->RxSpeedButton1Click();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(z.isVisible());
}

TEST_F(CompilationPageTest, BarsHoldTheirPositionWithinTheirRange) {
  using TBar = TBurnView::TBar;
  TFrmVypalData& z = *wizard;
  z.SetBar(TBar::SoftwareBuffer, 100, 150);
  EXPECT_EQ(z.scs->value(), 100);
  z.SetBarPosition(TBar::DriveBuffer, -3);
  EXPECT_EQ(z.dbs->value(), 0);
  // No total yet: an empty bar, not a busy indicator.
  z.SetBar(TBar::Main, 0, 5);
  EXPECT_GT(z.pb->maximum(), z.pb->minimum());
  EXPECT_EQ(z.pb->value(), 0);
  z.SetBar(TBar::Main, 332800, 83200);
  EXPECT_EQ(z.pb->maximum(), 332800);
  EXPECT_EQ(z.pb->value(), 83200);
  z.SetStatusLine(QStringLiteral("0,00/650,00 MB"));
  EXPECT_EQ(z.lblSize->text(), QStringLiteral("0,00/650,00 MB"));
  // Counting a folder leaves no busy cursor behind.
  fs::create_directories(src + "/a");
  DropFolder(src + "/a");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
