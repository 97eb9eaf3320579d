// Pictures of the wizard's two pages and of the disc-to-image window, saved under
// <build>/screenshots/; the checks make sure what should be on them is there.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>

#include "app/BurnOptionsPanel.h"
#include "app/CompilationList.h"
#include "app/FrmUlozitObraz.h"
#include "app/FrmVlozitMedium.h"
#include "app/FrmVytvorISO.h"
#include "app/VirtualRecorderMenu.h"
#include "tests/app/WizardFixture.h"

namespace {

QImage Save(QWidget* w, const char* name) {
  const QImage img = w->grab().toImage();
  const QString path = apptest::ScreenshotFolder() + QLatin1Char('/') + QLatin1String(name);
  EXPECT_TRUE(img.save(path, "PNG")) << path.toStdString();
  EXPECT_GT(QFileInfo(path).size(), 1000) << path.toStdString();
  return img;
}

bool HasPureRed(const QImage& img, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (img.pixelColor(x, y) == QColor(255, 0, 0)) return true;
  return false;
}

class WizardScreenshotTest : public wiztest::WizardFixture {};

TEST_F(WizardScreenshotTest, BothPagesAndTheCopyWindow) {
  apptest::TCzechLocale cs;
  Start("cd", wiztest::TMediumKind::CdR);
  const std::string src = testenv::MakeTempDir("fotky");
  std::filesystem::create_directories(src + "/Dovolená 2024");
  testenv::WriteFile(src + "/Dovolená 2024/moře.jpg", testenv::RandomBytes(300000, 1));
  testenv::WriteFile(src + "/seznam.txt", testenv::RandomBytes(4000, 2));
  testenv::WriteFile(src + "/dopis.odt", testenv::RandomBytes(25000, 3));
  OpenForDataDisc();
  DropFolder(src + "/Dovolená 2024");
  DropFiles(src, {"dopis.odt", "seznam.txt"});
  wizard->files->setCurrentRow(1);
  wizard->btnMoznosti->click();  // the options section open
  wizard->Moznosti->Flags[0]->setChecked(true);
  apptest::ProcessEventsFor(5);
  const QImage compilation = Save(wizard, "vypaldata-kompilace.png");
  EXPECT_EQ(compilation.size(), QSize(783, 530));
  // The header's dark left end, and the list's rows with icons whose red is transparent.
  EXPECT_LT(qGray(compilation.pixel(4, 20)), 90);
  const QRect rows(wizard->files->viewport()->mapTo(wizard, QPoint(0, 0)), QSize(17, 3 * 16));
  EXPECT_FALSE(HasPureRed(compilation, rows));
  EXPECT_EQ(wizard->lblCelkem->text(), QStringLiteral("Celkem: 322,00 KB"));
  // The options' check boxes show on the section's dark ground: a light box where unchecked.
  const QPoint box = wizard->Moznosti->Flags[1]->mapTo(wizard, QPoint(7, 11));
  EXPECT_GT(qGray(compilation.pixel(box)), 150);

  wizard->btnDalsiClick();
  BurnAndWait();
  apptest::ProcessEventsFor(5);
  // The disc came out: the tray's controls and the blank this burn would take.
  EXPECT_TRUE(wizard->btnVirtual->isVisible());
  EXPECT_EQ(wizard->btnVlozitPrazdne->text(), QStringLiteral("Vložit prázdné médium CD-R"));
  const QImage burn = Save(wizard, "vypaldata-vypalovani.png");
  EXPECT_EQ(burn.size(), QSize(783, 530));
  EXPECT_LT(qGray(burn.pixel(4, 20)), 90);
  wizard->close();

  // The virtual recorder's insert dialog and the window of a disc image being saved.
  TFrmVlozitMedium& insert = *main->VirtualMenu->FrmVlozitMedium;
  insert.cbTyp->addItems({QStringLiteral("CD-R"), QStringLiteral("DVD+R")});
  insert.show();
  apptest::ProcessEventsFor(3);
  EXPECT_EQ(Save(&insert, "vlozit-medium.png").size(), QSize(420, 132));
  insert.hide();
  TFrmUlozitObraz& saving = *main->VirtualMenu->FrmUlozitObraz;
  saving.Label1->setText(QStringLiteral("Ukládám obraz disku do souboru /home/jana/zaloha.iso"));
  saving.Progress->setValue(420);
  saving.show();
  apptest::ProcessEventsFor(3);
  EXPECT_EQ(Save(&saving, "ulozit-obraz.png").size(), QSize(460, 118));
  saving.hide();

  TFrmVytvorISO& copy = *main->FrmVytvorISO;
  copy.Progress->setRange(0, 1000);
  copy.Progress->setValue(420);
  copy.Label1->setText(QStringLiteral("Vytváří se ISO obraz disku... 410,16 KB"));
  const QImage image = copy.grab().toImage();
  const QString path = apptest::ScreenshotFolder() + QStringLiteral("/vytvoriso.png");
  EXPECT_TRUE(image.save(path, "PNG"));
  EXPECT_EQ(image.size(), QSize(783, 530));
  // The white label lies on the window's picture.
  const QPoint label = copy.Label1->geometry().topLeft() + QPoint(4, copy.Label1->height() / 2);
  bool white = false;
  for (int x = label.x(); x < label.x() + 200; ++x) white |= qGray(image.pixel(x, label.y())) > 235;
  EXPECT_TRUE(white);
}

}  // namespace
