// Pictures: our JPEG wrapper decodes every embedded picture and refuses what is not a JPEG.
#include "app/Pictures.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "app/Dialogs.h"
#include "app/JpegImage.h"
#include "tests/app/AppTestEnv.h"

namespace {

TEST(JpegImageTest, EveryEmbeddedPictureDecodesAtItsSize) {
  app::InitPictures();
  struct TExpected {
    const char* name;
    int w, h;
  };
  const TExpected pictures[] = {
      {"hlavni-pozadi.jpg", 783, 510},      {"hlavni-banner.jpg", 783, 96},
      {"okno-pozadi.jpg", 783, 530},        {"ikona-data.jpg", 36, 36},
      {"ikona-kopie.jpg", 36, 36},          {"ikona-iso.jpg", 36, 36},
      {"ikona-mazani.jpg", 36, 36},         {"ikona-nastaveni.jpg", 36, 36},
      {"dlazdice-zvyrazneni.jpg", 389, 45}, {"nastaveni-zvyrazneni.jpg", 259, 45},
      {"oprogramu-logo.jpg", 128, 128}};
  for (const TExpected& p : pictures) {
    const QImage img = app::LoadJpeg(QStringLiteral(":/pictures/") + QLatin1String(p.name));
    ASSERT_FALSE(img.isNull()) << p.name;
    EXPECT_EQ(img.size(), QSize(p.w, p.h)) << p.name;
    EXPECT_EQ(app::Picture(QLatin1String(p.name)).size(), QSize(p.w, p.h)) << p.name;
  }
  // Tile icons sit on the white tile panel: their corners are white.
  const QImage icon = app::LoadJpeg(QStringLiteral(":/pictures/ikona-data.jpg"));
  EXPECT_GT(qGray(icon.pixel(0, 0)), 245);
}

TEST(JpegImageTest, EncodeDecodeKeepsColoursCloseAndGreyWorks) {
  QImage src(64, 32, QImage::Format_RGB32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) src.setPixel(x, y, qRgb(x * 4, y * 8, 128));
  const QByteArray jpeg = app::EncodeJpeg(src, 95);
  ASSERT_GT(jpeg.size(), 100);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
  const QImage back = app::DecodeJpeg(jpeg);
  ASSERT_EQ(back.size(), src.size());
  for (QPoint p : {QPoint(0, 0), QPoint(40, 20), QPoint(63, 31)}) {
    EXPECT_NEAR(qRed(back.pixel(p)), qRed(src.pixel(p)), 12);
    EXPECT_NEAR(qGreen(back.pixel(p)), qGreen(src.pixel(p)), 12);
    EXPECT_NEAR(qBlue(back.pixel(p)), qBlue(src.pixel(p)), 12);
  }
  QImage grey(16, 16, QImage::Format_Grayscale8);
  grey.fill(200);
  const QImage g = app::DecodeJpeg(app::EncodeJpeg(grey));
  ASSERT_FALSE(g.isNull());
  EXPECT_NEAR(qRed(g.pixel(8, 8)), 200, 3);
}

TEST(JpegImageTest, RefusesDataThatIsNoJpeg) {
  app::InitPictures();
  EXPECT_TRUE(app::DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(app::DecodeJpeg(QByteArray("not a picture at all, just text")).isNull());
  QByteArray header("\xFF\xD8\xFF\xE0", 4);
  EXPECT_TRUE(app::DecodeJpeg(header).isNull());  // a start marker and nothing else
  QFile png(QStringLiteral(":/pictures/ardovan.png"));
  ASSERT_TRUE(png.open(QIODevice::ReadOnly));
  EXPECT_TRUE(app::DecodeJpeg(png.readAll()).isNull());
  EXPECT_TRUE(app::LoadJpeg(QStringLiteral(":/pictures/missing.jpg")).isNull());
}

TEST(DialogsTest, OpenFilterMatchesBothCasesAndKeepsItsNames) {
  const QStringList f =
      app::NameFiltersFromPipes(QStringLiteral("ISO9660 soubor (*.iso)|*.ISO|Vše (*.*)|*.*"));
  ASSERT_EQ(f.size(), 2);
  EXPECT_EQ(f[0], QStringLiteral("ISO9660 soubor (*.iso *.ISO)"));
  EXPECT_EQ(f[1], QStringLiteral("Vše (*.*)"));
  EXPECT_EQ(app::NameFiltersFromPipes(QStringLiteral("Obrazy|*.img;*.bin"))[0],
            QStringLiteral("Obrazy (*.img *.IMG *.bin *.BIN)"));
}

TEST(DialogsTest, BoxesCarryCaptionsIconsAndClosedQuestionsCancel) {
  apptest::TDialogRecorder rec;
  app::ShowError(QStringLiteral("x"));
  app::ShowMessage(QStringLiteral("y"));
  rec.Answer(QMessageBox::NoButton);  // the box was closed from its frame
  EXPECT_EQ(app::Ask(QStringLiteral("q"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     QMessageBox::Yes),
            QMessageBox::Cancel);
  rec.Answer(QMessageBox::NoButton);
  EXPECT_EQ(app::Ask(QStringLiteral("q"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
            QMessageBox::No);
  ASSERT_EQ(rec.Shown().size(), 4u);
  EXPECT_EQ(rec.Shown()[0].Caption, QStringLiteral("Pozor"));
  EXPECT_EQ(rec.Shown()[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(rec.Shown()[1].Caption, QStringLiteral("Ardovan"));
  EXPECT_EQ(rec.Shown()[2].Caption, QStringLiteral("Dotaz"));
  EXPECT_EQ(rec.Shown()[2].Icon, QMessageBox::Question);
}

TEST(DialogsTest, StandardButtonsSpeakCzech) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Dotaz"), QStringLiteral("?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Ano"));
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Ne"));
  const QString cancel = box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&'));
  EXPECT_TRUE(cancel == QStringLiteral("Zrušit") || cancel == QStringLiteral("Storno"))
      << cancel.toStdString();
}

}  // namespace
