// Pictures of every window, saved under <build>/screenshots/ so they can be looked at; the
// checks make sure the pictures really are on the windows.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include "app/DriveStatusPanel.h"
#include "app/FrmHlavni.h"
#include "app/FrmInfoDisku.h"
#include "app/FrmMazani.h"
#include "app/FrmNastaveni.h"
#include "app/FrmOProgramu.h"
#include "app/Tile.h"
#include "platform/Drives.h"
#include "tests/app/AppTestEnv.h"
#include "tests/support/TestEnv.h"

namespace {

QImage Save(QWidget* w, const char* name) {
  apptest::ProcessEventsFor(3);
  const QImage img = w->grab().toImage();
  const QString path = apptest::ScreenshotFolder() + QLatin1Char('/') + QLatin1String(name);
  EXPECT_TRUE(img.save(path, "PNG")) << path.toStdString();
  EXPECT_GT(QFileInfo(path).size(), 1000) << path.toStdString();
  return img;
}

TEST(ScreenshotTest, EveryWindowIsGrabbed) {
  testenv::SetEnv("ARDOVAN_VDRIVES", "");
  plat::RescanDrives();
  apptest::TCzechLocale cs;
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  w.Btn1MouseEnter();  // one highlighted tile, as under the mouse
  const QImage main = Save(&w, "hlavni.png");
  EXPECT_EQ(main.size(), w.size());
  // The banner's dark left end, the light highlight bar and the white tile panel are all there.
  const QPoint client = w.centralWidget()->pos();
  EXPECT_LT(qGray(main.pixel(client + QPoint(5, 48))), 90);
  const QPoint tile = w.Tiles[0]->mapTo(&w, QPoint(380, 40));
  EXPECT_GT(qBlue(main.pixel(tile)), qRed(main.pixel(tile)));
  const QPoint settings = w.Tiles[4]->mapTo(&w, QPoint(250, 10));
  EXPECT_GT(qGray(main.pixel(settings)), 240);
  w.Btn1MouseLeave();
  // The recorder and its medium in the face, on a white panel.
  EXPECT_EQ(w.DriveStatus->Recorder->text(), QStringLiteral("Vypalovačka: žádná"));
  const QPoint panel = w.DriveStatus->mapTo(&w, QPoint(w.DriveStatus->width() - 5, 5));
  EXPECT_GT(qGray(main.pixel(panel)), 240);

  w.FrmNastaveni->show();
  EXPECT_EQ(Save(w.FrmNastaveni, "nastaveni.png").size(), QSize(636, 168));
  w.FrmNastaveni->hide();

  w.FrmMazani->Start();
  for (int i = 0; i < 40; ++i) w.FrmMazani->Timer1Timer();
  const QImage erase = Save(w.FrmMazani, "mazani.png");
  EXPECT_EQ(erase.size(), QSize(397, 72));
  EXPECT_GT(qRed(erase.pixel(3, 3)), 200);
  EXPECT_LT(qGreen(erase.pixel(3, 3)), 60);
  w.FrmMazani->Finish();

  w.FrmInfoDisku->SetReport(TFrmInfoDisku::BuildReport(w.Qvx()));
  w.FrmInfoDisku->show();
  EXPECT_EQ(Save(w.FrmInfoDisku, "info.png").size(), QSize(783, 530));
  w.FrmInfoDisku->hide();

  w.FrmOProgramu->show();
  Save(w.FrmOProgramu, "oprogramu.png");
  w.FrmOProgramu->hide();
  w.hide();
}

}  // namespace
