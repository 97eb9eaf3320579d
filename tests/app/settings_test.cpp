// The settings window and the settings file: what "Uložit" writes, what the next start reads,
// what "Storno" leaves alone.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "app/FrmHlavni.h"
#include "app/FrmNastaveni.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/app/AppTestEnv.h"
#include "tests/support/TestEnv.h"

namespace {

std::string IniPath() { return plat::SettingsFolder() + "/ardovan.ini"; }

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
    QFile::remove(QString::fromStdString(IniPath()));
  }
};

TEST_F(SettingsTest, SaveWritesTheFileAndHandsTheValuesOver) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  TFrmNastaveni& s = *w.FrmNastaveni;
  s.show();
  EXPECT_EQ(s.windowTitle(), QStringLiteral("Nastavení vypalovačky"));
  EXPECT_EQ(s.size(), QSize(636, 168));
  EXPECT_EQ(s.cbSpeed->count(), 1);
  EXPECT_EQ(s.cbSpeed->currentText(), QStringLiteral("Max"));
  EXPECT_EQ(s.DirectoryEdit1->text(), w.GetTempDir());
  EXPECT_EQ(s.cbDrives->currentIndex(), -1);

  // A folder that does not exist, or is a file, is refused: nothing is written or handed over.
  const std::string kopie = testenv::MakeTempDir("kopie");
  testenv::WriteFile(kopie + "/soubor", std::string("x"));
  for (const std::string& wrong : {kopie + "/chybi", kopie + "/soubor"}) {
    s.DirectoryEdit1->setText(QString::fromStdString(wrong));
    s.btnUlozClick();
    EXPECT_TRUE(s.isVisible());
  }
  EXPECT_EQ(rec.Texts().mid(1),
            (QStringList{QString::fromStdString("Odkládací adresář " + kopie +
                                                "/chybi/ neexistuje nebo do něj nelze zapisovat. "
                                                "Zvolte jiný."),
                         QString::fromStdString("Odkládací adresář " + kopie +
                                                "/soubor/ neexistuje nebo do něj nelze zapisovat. "
                                                "Zvolte jiný.")}));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(IniPath())));
  EXPECT_NE(w.GetTempDir().toStdString(), kopie + "/chybi/");

  s.DirectoryEdit1->setText(QString::fromStdString(kopie));
  s.BrnPrf->setChecked(false);
  s.btnUlozClick();
  EXPECT_FALSE(s.isVisible());
  EXPECT_EQ(testenv::ReadText(IniPath()),
            "[Setting]\nIDVyp=-1\nBurnProof=0\nTempDir=" + kopie + "/\n");
  EXPECT_EQ(w.GetTempDir().toStdString(), kopie + "/");
  EXPECT_FALSE(w.Qvx().GetBurnProof());
  EXPECT_EQ(w.GetBurnerIndex(), -1);

  // A folder that already ends with its slash is stored as it is; BurnProof on is 1.
  s.show();
  s.DirectoryEdit1->setText(QStringLiteral("/var/tmp/"));
  s.BrnPrf->setChecked(true);
  s.btnUlozClick();
  EXPECT_EQ(testenv::ReadText(IniPath()), "[Setting]\nIDVyp=-1\nBurnProof=1\nTempDir=/var/tmp/\n");
  EXPECT_TRUE(w.Qvx().GetBurnProof());
  w.hide();
}

TEST_F(SettingsTest, EmptyFolderStoresTheTemporaryFolder) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  w.FrmNastaveni->show();
  w.FrmNastaveni->DirectoryEdit1->setText(QString());
  w.FrmNastaveni->btnUlozClick();
  EXPECT_EQ(w.GetTempDir(), QString::fromStdString(plat::TempPath()));
  EXPECT_NE(testenv::ReadText(IniPath()).find("TempDir=" + plat::TempPath() + "\n"),
            std::string::npos);
  w.hide();
}

TEST_F(SettingsTest, StornoTouchesNeitherFileNorValues) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  const QString temp = w.GetTempDir();
  w.FrmNastaveni->show();
  w.FrmNastaveni->DirectoryEdit1->setText(QStringLiteral("/elsewhere/"));
  w.FrmNastaveni->Button1Click();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(IniPath())));
  EXPECT_EQ(w.GetTempDir(), temp);
  w.hide();
}

TEST_F(SettingsTest, ValuesSurviveARestart) {
  const std::string obrazy = testenv::MakeTempDir("obrazy");
  {
    apptest::TDialogRecorder rec;
    TFrmHlavni w;
    w.show();
    w.FrmNastaveni->show();
    w.FrmNastaveni->DirectoryEdit1->setText(QString::fromStdString(obrazy));
    w.FrmNastaveni->BrnPrf->setChecked(false);
    w.FrmNastaveni->btnUlozClick();
    w.hide();
  }
  apptest::TDialogRecorder rec;
  TFrmHlavni again;
  again.show();
  EXPECT_EQ(again.GetTempDir().toStdString(), obrazy + "/");
  EXPECT_FALSE(again.Qvx().GetBurnProof());
  EXPECT_FALSE(again.FrmNastaveni->BrnPrf->isChecked());
  // IDVyp=-1 was stored, so the start searched again and found nothing.
  EXPECT_EQ(rec.Texts(), QStringList{QStringLiteral("Nebyla nalezena žádná vypalovačka!")});
  again.hide();
}

TEST_F(SettingsTest, UnwritableFileIsReportedAndNothingIsHandedOver) {
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  // A folder where the file should be: the file cannot be written.
  ASSERT_TRUE(plat::MakeFolders(IniPath()));
  w.FrmNastaveni->show();
  const std::string other = testenv::MakeTempDir("jinde");
  w.FrmNastaveni->DirectoryEdit1->setText(QString::fromStdString(other));
  w.FrmNastaveni->btnUlozClick();
  ASSERT_EQ(rec.Shown().size(), 2u);  // the start's "no recorder", then the failure
  EXPECT_EQ(rec.Shown()[1].Caption, QStringLiteral("Pozor"));
  EXPECT_TRUE(rec.Shown()[1].Text.startsWith(QStringLiteral("Nastavení nelze uložit do souboru ")));
  EXPECT_NE(w.GetTempDir().toStdString(), other + "/");
  EXPECT_TRUE(w.FrmNastaveni->isVisible());
  w.FrmNastaveni->hide();
  QDir(QString::fromStdString(IniPath())).removeRecursively();
  w.hide();
}

}  // namespace
