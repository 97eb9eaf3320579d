// The main window without a recorder: its face, its start-up, its shared values, the progress
// routine and the completion handlers.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QEnterEvent>
#include <QFile>
#include <QMenuBar>
#include <QRegularExpression>
#include <QThread>
#include <thread>

#include "app/FrmHlavni.h"
#include "app/FrmMazani.h"
#include "app/FrmNastaveni.h"
#include "app/Startup.h"
#include "app/Tile.h"
#include "app/VirtualRecorderMenu.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "tests/app/AppTestEnv.h"
#include "tests/support/TestEnv.h"

namespace {

const QRegularExpression kTimeStamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"));

QString IniPath() {
  return QString::fromStdString(plat::SettingsFolder()) + QStringLiteral("/ardovan.ini");
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
    QFile::remove(IniPath());
  }
};

TEST_F(MainWindowTest, StartsWithoutRecorderAndSaysSo) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  EXPECT_EQ(rec.Texts(), QStringList{QStringLiteral("Nebyla nalezena žádná vypalovačka!")});
  EXPECT_EQ(w.GetBurnerIndex(), -1);
  EXPECT_EQ(w.GetIniDir(), QString::fromStdString(plat::SettingsFolder()));
  EXPECT_EQ(w.GetTempDir(), QString::fromStdString(plat::TempPath()));
  EXPECT_TRUE(w.GetTempDir().endsWith(QLatin1Char('/')));
  EXPECT_TRUE(w.Qvx().GetBurnProof());
  EXPECT_TRUE(w.FrmNastaveni->BrnPrf->isChecked());
  EXPECT_TRUE(w.GetMainCanClose());
  EXPECT_FALSE(w.GetEraseForBurn());
  // The component as the window sets it up.
  EXPECT_EQ(w.Qvx().GetVolumeID(), "Data");
  EXPECT_EQ(w.Qvx().GetCacheSize(), 32u);
  EXPECT_FALSE(w.Qvx().GetUDFBridge());
  // The virtual recorder's items have no recorder to act on.
  EXPECT_FALSE(w.VirtualMenu->Vlozit1->isEnabled());
  w.hide();
}

TEST_F(MainWindowTest, FaceCaptionMenuAndTiles) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Ardovan CD / DVD / Blu-Ray / HD-DVD 1.1"));
  EXPECT_EQ(w.centralWidget()->size(), QSize(783, 510));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

  QStringList menus;
  for (QAction* a : w.menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"Soubor", "Nastavení", "Virtuální vypalovačka", "Nápověda"}));
  QStringList soubor;
  for (QAction* a : w.menuBar()->actions()[0]->menu()->actions())
    soubor << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(soubor, (QStringList{"Zobrazit informace o médiu a mechanice...", "-",
                                 "Vypálit CD / DVD / Blu-ray (datový disk)",
                                 "Kopírovat CD / DVD / Blu-ray disk", "Vypálit ISO 9660 obraz",
                                 "Vymazat CD / DVD / Blu-ray", "-", "Konec"}));
  EXPECT_EQ(w.menuBar()->actions()[1]->menu()->actions()[0]->text(),
            QStringLiteral("Nastavení vypalovačky"));
  EXPECT_EQ(w.menuBar()->actions()[3]->menu()->actions()[0]->text(), QStringLiteral("O programu"));

  const char* titles[5] = {"Vypálit CD / DVD / Blu-ray (datový disk)",
                           "Kopírovat CD / DVD / Blu-ray", "Vypálit ISO 9660 obraz",
                           "Vymazat přepisovatelné CD / DVD / Blu-ray", "Nastavení vypalovačky"};
  const char* subtitles[5] = {"Vypalování souborů a adresářů (obrázky, dokumenty...)",
                              "Vytvořit kopii disku (kopíruje originální disk na záložní)",
                              "Vypálí uložený soubor na vašem pevném disku",
                              "Vymaže přepisovatelný RW disk...", "Zvolit vypalovačku..."};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(w.Tiles[i]->Title()->text(), QString::fromUtf8(titles[i]));
    EXPECT_TRUE(w.Tiles[i]->Title()->font().bold());
    EXPECT_EQ(w.Tiles[i]->Subtitle()->text(), QString::fromUtf8(subtitles[i]));
  }
  EXPECT_EQ(w.Tiles[0]->size(), QSize(389, 45));
  // Tiles lie one below the other, a line apart.
  EXPECT_EQ(w.Tiles[1]->y() - w.Tiles[0]->y(), 46);
  EXPECT_EQ(w.od.Filter, QStringLiteral("ISO9660 soubor (*.iso)|*.ISO|Vše (*.*)|*.*"));
  w.hide();
}

TEST_F(MainWindowTest, HoverShowsAndHidesTheHighlight) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  for (app::TTile* t : w.Tiles) {
    EXPECT_FALSE(t->Highlight()->isVisible());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(t->ClickArea(), &enter);
    EXPECT_TRUE(t->Highlight()->isVisible());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(t->ClickArea(), &leave);
    EXPECT_FALSE(t->Highlight()->isVisible());
  }
  w.hide();
}

TEST_F(MainWindowTest, SettingsFileDecidesIndexTempFolderAndBurnProof) {
  testenv::WriteFile(IniPath().toStdString(),
                     "[Setting]\nIDVyp=3\nBurnProof=0\nTempDir=/srv/kopie/\n");
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  // A stored index is taken as it is: no search and no "no recorder" message.
  EXPECT_TRUE(rec.Shown().empty());
  EXPECT_EQ(w.GetBurnerIndex(), 3);
  EXPECT_EQ(w.GetTempDir(), QStringLiteral("/srv/kopie/"));
  EXPECT_FALSE(w.Qvx().GetBurnProof());
  EXPECT_FALSE(w.FrmNastaveni->BrnPrf->isChecked());
  w.hide();
}

TEST_F(MainWindowTest, ClosingIsRefusedWhileTheStandAloneEraseRuns) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  EXPECT_TRUE(w.close());
  w.show();
  // What an accepted erase leaves behind, then its end arriving.
  w.FrmMazani->Start();
  w.SetEraseForBurn(false);
  QMetaObject::invokeMethod(
      &w, [&w] { w.QvxEraseDone(&w.Qvx(), 0, false); }, Qt::QueuedConnection);
  apptest::ProcessEventsFor(3);
  EXPECT_FALSE(w.FrmMazani->isVisible());
  EXPECT_TRUE(w.GetMainCanClose());
  EXPECT_TRUE(w.close());
}

TEST_F(MainWindowTest, CompletionsPostedByAJobThreadRunOnTheWindowThread) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  apptest::TRecordingBurnView view;
  w.SetBurnView(&view);
  w.SetEraseForBurn(true);
  QThread* windowThread = QThread::currentThread();
  QThread* ranOn = nullptr;
  w.Qvx().OnEraseDone = [&](TQuorvexPro* s, uint8_t id, bool failed) {
    ranOn = QThread::currentThread();
    w.QvxEraseDone(s, id, failed);
  };
  std::thread job([&w] { w.Qvx().NotifyQueue()->Post(1125, 0, 1); });
  job.join();
  ASSERT_TRUE(apptest::ProcessUntil([&] { return ranOn != nullptr; }));
  EXPECT_EQ(ranOn, windowThread);
  ASSERT_EQ(view.Log.size(), 1);
  EXPECT_TRUE(view.Log[0].endsWith(QStringLiteral(" >>> Při mazání média se vyskytla chyba... ")));
  w.hide();
}

TEST_F(MainWindowTest, EraseDoneInsideTheBurnSequenceLogsAndRestores) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  apptest::TRecordingBurnView view;
  w.SetBurnView(&view);
  w.SetEraseForBurn(true);
  w.QvxEraseDone(&w.Qvx(), 0, false);
  ASSERT_EQ(view.Log.size(), 2);
  EXPECT_TRUE(kTimeStamp.match(view.Log[0]).hasMatch()) << view.Log[0].toStdString();
  EXPECT_EQ(view.Log[0].mid(12), QStringLiteral(" >>> Mazání média dokončeno... "));
  // What to do next, as the medium came out of a recorder the program cannot load.
  EXPECT_EQ(view.Log[1].mid(12),
            QStringLiteral(" >>> Vložte médium znovu do mechaniky a klikněte na Vypálit... "));
  EXPECT_EQ(view.Restores, 1);
  w.QvxEraseDone(&w.Qvx(), 0, true);
  ASSERT_EQ(view.Log.size(), 3);
  EXPECT_EQ(view.Log[2].mid(12), QStringLiteral(" >>> Při mazání média se vyskytla chyba... "));
  EXPECT_EQ(view.Restores, 2);
  EXPECT_TRUE(w.GetMainCanClose());
  w.hide();
}

TEST_F(MainWindowTest, WriteDoneLogsEvenAFailureAndResetsThePage) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  apptest::TRecordingBurnView view;
  view.Bars[1] = {100, 50};
  view.Bars[2] = {100, 70};
  w.SetBurnView(&view);
  w.QvxWriteDone(&w.Qvx(), 0, true);
  ASSERT_EQ(view.Log.size(), 2);
  EXPECT_EQ(view.Log[0].mid(12), QStringLiteral(" >>> Vypalování dokončeno..."));
  EXPECT_EQ(view.Log[1], QString());
  EXPECT_EQ(view.TimerStops, 1);
  EXPECT_EQ(view.StatusLine, QString());
  EXPECT_EQ(view.Bars[1].Position, 0);
  EXPECT_EQ(view.Bars[2].Position, 0);
  EXPECT_EQ(view.Restores, 1);
  w.hide();
}

TEST_F(MainWindowTest, SmartReferenceEndsReportMegabytesTruncated) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  apptest::TRecordingBurnView view;
  w.SetBurnView(&view);
  w.QvxGenerateSmartReferencesDone(&w.Qvx(), true, 0);
  EXPECT_EQ(view.Log,
            QStringList{QStringLiteral(" >>> SMART REFERENCE GENERATION FAILED, ABORTING")});
  EXPECT_EQ(view.TimerStops, 0);
  view.Log.clear();
  w.QvxGenerateSmartReferencesDone(&w.Qvx(), false, 3145727);
  // The progress routine ran once (logging the idle state), then the result with mm:ss.zzz.
  ASSERT_EQ(view.Log.size(), 2);
  EXPECT_EQ(view.Log[0].mid(12), QStringLiteral(" >>> Dosavadní nečinnost..."));
  EXPECT_TRUE(QRegularExpression(
                  QStringLiteral(
                      "^\\d\\d:\\d\\d:\\d\\d\\d >>> SMART REFERENCE GENERATION DONE, SAVES 2 MB$"))
                  .match(view.Log[1])
                  .hasMatch())
      << view.Log[1].toStdString();
  EXPECT_EQ(view.TimerStops, 1);
  w.hide();
}

TEST_F(MainWindowTest, ProgressLogsStatusChangesInUtcAndAbortIsLogged) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  apptest::TRecordingBurnView view;
  w.SetBurnView(&view);
  w.UpdateProgress(w.Qvx().GetStatus());
  ASSERT_EQ(view.Log.size(), 1);
  EXPECT_EQ(view.Log[0].mid(12), QStringLiteral(" >>> Dosavadní nečinnost..."));
  // Outside statuses 1, 4, 10 and 11 the status line and bars stay as they were.
  EXPECT_EQ(view.StatusLine, QStringLiteral("untouched"));
  const plat::TSystemTime utc = plat::UtcNow();
  const int hour = view.Log[0].left(2).toInt();
  EXPECT_TRUE(hour == utc.Hour || hour == (utc.Hour + 23) % 24);  // the hour may just have turned
  w.UpdateProgress(w.Qvx().GetStatus());
  EXPECT_EQ(view.Log.size(), 1);
  // Abort between jobs leaves status 7 behind, which the next reading logs.
  w.Qvx().Abort();
  w.UpdateProgress(w.Qvx().GetStatus());
  ASSERT_EQ(view.Log.size(), 2);
  EXPECT_EQ(view.Log[1].mid(12), QStringLiteral(" >>> Probíhá storno..."));
  EXPECT_EQ(w.GetLastStatusText(), QStringLiteral("Probíhá storno..."));
  w.hide();
}

TEST_F(MainWindowTest, FillCompilationHandsFoldersAndFilesToTheComponent) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  const std::string dir = testenv::MakeTempDir("fotky");
  testenv::WriteFile(dir + "/a.jpg", "aaaa");
  const std::string file = testenv::MakeTempDir("doc") + "/zprava.txt";
  testenv::WriteFile(file, std::string(5000, 'x'));
  apptest::TRecordingBurnView view;
  view.Paths = {QString::fromStdString(dir), QString::fromStdString(file),
                QStringLiteral("/does/not/exist")};
  w.SetBurnView(&view);
  w.Qvx().ClearCompilation();
  w.FillCompilation();
  EXPECT_TRUE(view.Log.isEmpty()) << view.Log.join('\n').toStdString();
  EXPECT_GT(w.Qvx().PrepareImage(), 0);
  w.hide();
}

TEST_F(MainWindowTest, SecondInstanceIsTurnedAway) {
  plat::TInstanceLock first;
  ASSERT_TRUE(app::AcquireSingleInstance(first));
  apptest::TDialogRecorder rec;
  plat::TInstanceLock second;
  EXPECT_FALSE(app::AcquireSingleInstance(second));
  ASSERT_EQ(rec.Shown().size(), 1u);
  EXPECT_EQ(rec.Shown()[0].Text, QStringLiteral("Program je již spuštěn! Nelze spustit podruhé."));
  EXPECT_EQ(rec.Shown()[0].Caption, QStringLiteral("Pozor"));
  EXPECT_EQ(rec.Shown()[0].Icon, QMessageBox::Critical);
  first.Release();
  plat::TInstanceLock third;
  EXPECT_TRUE(app::AcquireSingleInstance(third));
}

}  // namespace
