// The options section of the compilation page: closed at first and burning as a plain burn
// always has, the choices kept in the settings file beside everything else there and back at
// the next showing, and on the disc.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSplitter>
#include <QToolButton>

#include "app/BurnOptionsPanel.h"
#include "app/FrmNastaveni.h"
#include "frontend/VerifyResult.h"
#include "tests/app/WizardFixture.h"

namespace {

using wiztest::Buttons;
using wiztest::Join;
using wiztest::LogLines;
using wiztest::TMediumKind;

class OptionsTest : public wiztest::WizardFixture {
 protected:
  std::string Ini() const { return testenv::ReadText(plat::SettingsFolder() + "/ardovan.ini"); }
  app::TBurnOptionsPanel& Options() { return *wizard->Moznosti; }
  // The check box of an option, by its key.
  QCheckBox* Flag(const char* key) {
    for (size_t i = 0; i < std::size(fe::kBurnOptionFlags); ++i)
      if (std::string(fe::kBurnOptionFlags[i].Key) == key) return Options().Flags[i];
    ADD_FAILURE() << key;
    return nullptr;
  }
  std::string source;
};

TEST_F(OptionsTest, ClosedAtFirstWithTheDefaultsOfAPlainBurn) {
  Start("cd", TMediumKind::CdR);
  OpenForDataDisc();
  EXPECT_FALSE(wizard->OptionsShown());
  EXPECT_FALSE(Options().isVisible());
  EXPECT_EQ(Options().Options(), fe::TBurnOptions{});
  EXPECT_EQ(wizard->JmenoCD->text(), QStringLiteral("Disk"));
  EXPECT_EQ(Options().cbSpeed->currentText(), QStringLiteral("Podle nastavení vypalovačky"));
  const int full = wizard->Splitter->height();
  wizard->btnMoznosti->click();
  EXPECT_TRUE(Options().isVisible());
  // The columns make room; nothing overlaps.
  EXPECT_LT(wizard->Splitter->geometry().bottom(), Options().geometry().top());
  EXPECT_LT(wizard->Splitter->height(), full);
  wizard->btnMoznosti->click();
  EXPECT_FALSE(Options().isVisible());
  EXPECT_EQ(wizard->Splitter->height(), full);
}

TEST_F(OptionsTest, ChoicesAreKeptBesideOtherKeysAndReachTheDisc) {
  testenv::WriteFile(plat::SettingsFolder() + "/ardovan.ini",
                     "[Setting]\nIDVyp=0\nVlastni=ano\n[Jine]\nklic=2\n");
  Start("cd", TMediumKind::CdR);
  source = testenv::MakeTempDir("moznosti");
  testenv::WriteFile(source + "/dopis.txt", testenv::RandomBytes(5000, 4));
  OpenForDataDisc();
  DropFiles(source, {"dopis.txt"});
  wizard->btnMoznosti->click();
  for (const char* key : {"UDFBridge", "ISO9660v1999", "Finalize"}) Flag(key)->click();
  wizard->JmenoCD->setText(QStringLiteral("ZALOHA"));
  emit wizard->JmenoCD->editingFinished();
  const std::string ini = Ini();
  for (const char* line :
       {"UDFBridge=1", "ISO9660v1999=1", "Finalize=1", "TestWrite=0", "VolumeLabel=ZALOHA",
        "WriteSpeed=-1", "IDVyp=0", "Vlastni=ano", "[Jine]\nklic=2"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;

  wizard->btnDalsiClick();
  BurnAndWait();
  ExpectWriteEnded();
  // A closed disc with the UDF bridge and the ISO 9660:1999 tree.
  ASSERT_TRUE(LoadState().disc.has_value());
  EXPECT_EQ(LoadState().disc->DiscStatus(), 2);
  const std::string disc = testenv::ReadText(Export());
  EXPECT_NE(disc.find("NSR02"), std::string::npos);
  EXPECT_NE(disc.find(std::string("\x02"
                                  "CD001\x02",
                                  7)),
            std::string::npos);
  EXPECT_NE(disc.find("ZALOHA"), std::string::npos);

  // The next showing starts from them.
  wizard->close();
  OpenForDataDisc();
  wizard->FormShow();
  EXPECT_TRUE(Flag("UDFBridge")->isChecked());
  EXPECT_TRUE(Flag("Finalize")->isChecked());
  EXPECT_FALSE(Flag("TestWrite")->isChecked());
  EXPECT_EQ(wizard->JmenoCD->text(), QStringLiteral("ZALOHA"));
}

TEST_F(OptionsTest, BootImageOfNoBootableSizeIsRefusedBeforeAnythingIsWritten) {
  Start("cd", TMediumKind::CdR);
  source = testenv::MakeTempDir("boot");
  testenv::WriteFile(source + "/dopis.txt", "x");
  testenv::WriteFile(source + "/boot.img", std::string(1000, 'b'));
  OpenForDataDisc();
  DropFiles(source, {"dopis.txt"});
  Options().BootImage->setText(QString::fromStdString(source + "/boot.img"));
  emit Options().BootImage->editingFinished();
  EXPECT_NE(Ini().find("BootImage=" + source + "/boot.img"), std::string::npos);
  wizard->btnDalsiClick();
  wizard->btnVypalitClick();
  EXPECT_EQ(Join(LogLines(*wizard)), " >>> Zaváděcí obraz " + source +
                                         "/boot.img nelze použít (musí mít velikost 2 KB, 1,2 "
                                         "MB, 1,44 MB nebo 2,88 MB)... ");
  EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{true, true, false}));
  EXPECT_TRUE(Blank());
}

TEST_F(OptionsTest, ImportKeepsTheDiscsEarlierFilesBesideTheNewOnes) {
  Start("dvd", TMediumKind::DvdPlusR);
  source = testenv::MakeTempDir("pripojit");
  testenv::WriteFile(source + "/prvni.txt", testenv::RandomBytes(3000, 5));
  testenv::WriteFile(source + "/druha.txt", testenv::RandomBytes(3000, 6));
  OpenForDataDisc();
  EXPECT_FALSE(Flag("Import")->isChecked());
  DropFiles(source, {"prvni.txt"});
  wizard->btnDalsiClick();
  BurnAndWait();
  ExpectWriteEnded();
  CloseTray();

  // Chosen, it is kept under the settings' own key, and the second session lists both files.
  wizard->FormShow();
  wizard->ResetBurnPage();
  wizard->ShowCompilationPage();
  DropFiles(source, {"druha.txt"});
  Flag("Import")->click();
  EXPECT_TRUE(fe::ReadSettings(plat::SettingsFolder()).Import);
  wizard->btnDalsiClick();
  BurnAndWait();
  ExpectWriteEnded();
  const std::string out = testenv::MakeTempDir("relace") + "/druha.iso";
  std::string error;
  ASSERT_TRUE(vdrive::ExportMedium(recorder, out, 2, error)) << error;
  const std::string session = testenv::ReadText(out);
  EXPECT_NE(session.find("PRVNI.TXT"), std::string::npos);
  EXPECT_NE(session.find("DRUHA.TXT"), std::string::npos);
}

TEST_F(OptionsTest, VerificationReadsTheDiscBackAndNamesADamagedFile) {
  Start("dvd", TMediumKind::DvdPlusR);
  source = testenv::MakeTempDir("overit");
  testenv::WriteFile(source + "/data.bin", testenv::RandomBytes(4 << 20, 7));
  OpenForDataDisc();
  EXPECT_FALSE(Flag("Verify")->isChecked());
  DropFiles(source, {"data.bin"});
  Flag("Verify")->click();
  EXPECT_TRUE(fe::ReadSettings(plat::SettingsFolder()).Verify);
  // A block inside the file comes back from the disc with one byte changed.
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      recorder,
      [](vdrive::TFaults& f) {
        f.damaged.push_back({1500, 1500});
      },
      error))
      << error;
  wizard->btnDalsiClick();
  BurnAndWait();
  const QStringList log = LogLines(*wizard);
  bool named = false;
  for (const QString& line : log)
    named = named || (line.startsWith(QString::fromUtf8(fe::text::kVerifyFailed)) &&
                      line.contains(QStringLiteral("data.bin")));
  EXPECT_TRUE(named) << Join(log);
  EXPECT_TRUE(log.last().startsWith(QStringLiteral(" >>> Vypalování se nezdařilo: "))) << Join(log);
}

}  // namespace
