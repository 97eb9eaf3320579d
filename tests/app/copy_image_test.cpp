// Disc copy and image burning from the main window: the checks before a copy, the read into
// "ardovan.iso" with its window, a disc that cannot be read whole, the wizard in image mode that
// waits for a blank medium and burns the copy; an image chosen in the open dialog.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <future>
#include <memory>

#include "app/FrmVytvorISO.h"
#include "reader/rdDeviceReader.h"
#include "tests/app/MkImage.h"
#include "tests/app/WizardFixture.h"
#include "tests/e2e/EngineBurn.h"

namespace {

using wiztest::Buttons;
using wiztest::Join;
using wiztest::LogLines;
using wiztest::MakeImage;
using wiztest::TMediumKind;

const char kImageCaption[] = "Vypálit CD / DVD / Blu-Ray / HD-DVD (ISO obraz)";

// The medium begins with the image's bytes (a write pads to whole blocks).
void ExpectMediumStartsWith(const std::string& medium, const std::string& image) {
  const auto a = testenv::ReadFile(image), b = testenv::ReadFile(medium);
  ASSERT_GE(b.size(), a.size());
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
}

class CopyAndImageTest : public wiztest::WizardFixture {
 protected:
  void TearDown() override {
    apptest::InstallStrictPickers();
    WizardFixture::TearDown();
  }
  QString CopyPath() const { return main->FrmVytvorISO->ImagePath(); }
};

TEST_F(CopyAndImageTest, CopyIsRefusedWithoutAMediumWithoutDataAndWithoutAReader) {
  Start("cd", std::nullopt);
  main->Label5Click();
  InsertBlank(TMediumKind::CdR);
  main->Label5Click();
  const std::string pressed = testenv::MakeTempDir("pressed") + "/disc.iso";
  testenv::WriteFile(pressed, testenv::RandomBytes(2048 * 40, 4));
  InsertPressed(pressed);
  main->SetBurnerIndex(3);  // a recorder the reading library does not list
  main->Label5Click();
  EXPECT_EQ(Join(dialogs.Texts()),
            "Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a akci "
            "opakujte... \n"
            "Médium neobsahuje žádná data... \n"
            "Mechaniku pro čtení se nepodařilo najít.");
  EXPECT_TRUE(wizard->GetIsoMode());
  EXPECT_FALSE(QFileInfo::exists(CopyPath()));
  EXPECT_FALSE(Ejected());
}

TEST_F(CopyAndImageTest, PressedDiscIsCopiedThroughTheImageOntoABlankMedium) {
  apptest::TCzechLocale cs;
  Start("cd", std::nullopt);
  const std::string source = engine_e2e::MakeSourceFolder(31);
  const std::string image = MakeImage(source);
  InsertPressed(image);
  const int64_t blocks = static_cast<int64_t>(testenv::ReadFile(image).size() / 2048);

  bool waited = false;
  wiztest::WhenShown(wizard, [&] {
    // The source is out; the burn sequence ran at once and asks for a medium.
    EXPECT_EQ(wizard->windowTitle(), QString::fromUtf8(kImageCaption));
    EXPECT_TRUE(Ejected());
    EXPECT_EQ(testenv::ReadFile(CopyPath().toStdString()), testenv::ReadFile(image));
    EXPECT_EQ(main->od.FileName, CopyPath());
    EXPECT_EQ(Join(LogLines(*wizard)),
              " >>> Zahajuji proces vypalování... \n"
              " >>> Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a "
              "klikněte na "
              "Vypálit... ");
    EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(wizard->PageBurn->isVisible());
    EXPECT_FALSE(wizard->PageCompilation->isVisible());

    // The blank this copy needs, one click away: a CD like the source.
    ASSERT_TRUE(wizard->btnVlozitPrazdne->isVisible());
    EXPECT_EQ(wizard->btnVlozitPrazdne->text(), QStringLiteral("Vložit prázdné médium CD-R"));
    wizard->ResetBurnPage();
    wizard->btnVlozitPrazdne->click();
    EXPECT_FALSE(wizard->btnVlozitPrazdne->isVisible());
    EXPECT_EQ(Join(LogLines(*wizard)),
              " >>> Do virtuální vypalovačky bylo vloženo prázdné médium CD-R.");
    BurnAndWait();  // at once: "Vypálit" waits for the disc to become ready
    const QStringList log = LogLines(*wizard).mid(1);
    EXPECT_EQ(log.mid(3, 3).join('|').toStdString(),
              " >>> Ověřování volného místa na médiu... | >>> Kapacita média je 702,83 MB...| >>> "
              "Zapisuji ISO "
              "obraz na disk... ");
    ExpectWriteEnded();
    waited = true;
    wizard->close();
  });
  main->Label5Click();
  EXPECT_TRUE(waited);
  EXPECT_TRUE(dialogs.Shown().empty());
  EXPECT_FALSE(main->FrmVytvorISO->isVisible());
  EXPECT_EQ(main->FrmVytvorISO->Progress->maximum(), blocks * 2);
  EXPECT_EQ(main->FrmVytvorISO->windowTitle(), QStringLiteral("Vytvářím ISO obraz disku..."));
  const std::string copy = Export();
  ExpectMediumStartsWith(copy, image);
  engine_e2e::ExpectSameTree(source, engine_e2e::ExtractJoliet(copy), "copy, xorriso");
}

TEST_F(CopyAndImageTest, StornoStopsTheReadAndRemovesTheUnfinishedImage) {
  // The reader's first READ waits for the test, so "Storno" comes while the disc is read.
  std::promise<void> go;
  std::shared_future<void> released = go.get_future().share();
  std::atomic<bool> held{false};
  const rd::TCommandContext saved = rd::DefaultCommandContext();
  rd::DefaultCommandContext().BeforeCommand = [&](const uint8_t* cdb, uint8_t) {
    if (cdb[0] == 0x28 && !held.exchange(true)) released.wait();
  };
  Start("cd", std::nullopt);  // the reading library's readers take the hook with them
  rd::DefaultCommandContext() = saved;
  const std::string pressed = testenv::MakeTempDir("pressed") + "/disc.iso";
  testenv::WriteFile(pressed, testenv::RandomBytes(2048 * 400, 5));
  InsertPressed(pressed);

  TFrmVytvorISO& reading = *main->FrmVytvorISO;
  bool asked = false;
  wiztest::WhenShown(&reading, [&] {
    EXPECT_TRUE(apptest::ProcessUntil([&] { return held.load(); }));
    asked = reading.btnStorno->isEnabled();
    reading.btnStorno->click();
    EXPECT_FALSE(reading.close());  // the read ends first
    go.set_value();
    EXPECT_TRUE(apptest::ProcessUntil([&] { return !reading.isVisible(); }));
  });
  main->Label5Click();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(reading.Cancelled());
  EXPECT_FALSE(QFileInfo::exists(CopyPath()));
  // Nothing more happens: no message, no wizard, the source stays in.
  EXPECT_TRUE(dialogs.Shown().empty());
  EXPECT_FALSE(wizard->isVisible());
  EXPECT_FALSE(Ejected());
}

TEST_F(CopyAndImageTest, DiscThatCannotBeReadWholeIsNotCopied) {
  Start("cd", std::nullopt);
  const std::string pressed = testenv::MakeTempDir("pressed") + "/disc.iso";
  testenv::WriteFile(pressed, testenv::RandomBytes(2048 * 200, 8));
  InsertPressed(pressed);
  ArmFault(0x28, {3, 0x11, 0x00}, 1, 0, 150);  // READ(10) of block 150 fails always
  main->Label5Click();
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(dialogs.Shown()[0].Text,
            QStringLiteral("Disk se nepodařilo přečíst celý. Kopie se neprovede."));
  EXPECT_EQ(dialogs.Shown()[0].Caption, QStringLiteral("Pozor"));
  // No wizard, the source stays in, the image stays for a look.
  EXPECT_FALSE(wizard->isVisible());
  EXPECT_TRUE(wizard->Memo1->toPlainText().isEmpty());
  EXPECT_FALSE(Ejected());
  EXPECT_EQ(QFileInfo(CopyPath()).size(), 2048 * 200);
}

TEST_F(CopyAndImageTest, CopyWindowRefusesClosingWhileItReadsAndClosesAfter) {
  Start("cd", std::nullopt);
  const std::string first = testenv::MakeTempDir("a") + "/a.iso";
  const std::string second = testenv::MakeTempDir("b") + "/b.iso";
  testenv::WriteFile(first, testenv::RandomBytes(2048 * 300, 1));
  testenv::WriteFile(second, testenv::RandomBytes(2048 * 33, 2));
  TFrmVytvorISO& w = *main->FrmVytvorISO;
  for (const std::string& disc : {first, second}) {
    InsertPressed(disc);
    w.show();
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_FALSE(w.close());
    w.reject();  // Escape
    EXPECT_TRUE(w.isVisible());
    ASSERT_TRUE(apptest::ProcessUntil([&] { return !w.isVisible(); }, 20000));
    EXPECT_TRUE(w.ReadComplete());
    EXPECT_FALSE(w.Timer1->isActive());
    // The next copy replaces the file.
    EXPECT_EQ(testenv::ReadFile(CopyPath().toStdString()), testenv::ReadFile(disc));
  }
  EXPECT_EQ(w.Timer1->interval(), 500);
}

TEST_F(CopyAndImageTest, CopyWindowShowsTheGrowingFileInFull) {
  apptest::TCzechLocale cs;
  Start("cd", std::nullopt);
  main->SetTempDir(
      QString::fromStdString(testenv::MakeTempDir("temp")));  // without its trailing '/'
  TFrmVytvorISO& w = *main->FrmVytvorISO;
  w.Progress->setRange(0, 8 * 1024 * 1024);
  w.Timer1Timer();
  EXPECT_EQ(w.Label1->text(), QStringLiteral("Vytváří se ISO obraz disku... 0,00 B"));
  EXPECT_EQ(w.Progress->value(), 0);
  EXPECT_EQ(TFrmVytvorISO::GetImageFileSize(CopyPath()), -1);

  wiztest::MakeSparse(CopyPath().toStdString(), (uint64_t{5} << 30) + 1024 * 1024);
  EXPECT_EQ(TFrmVytvorISO::GetImageFileSize(CopyPath()), (int64_t{5} << 30) + 1024 * 1024);
  w.Timer1Timer();
  EXPECT_EQ(w.Label1->text(), QStringLiteral("Vytváří se ISO obraz disku... 5,00 GB"));
  EXPECT_EQ(w.Progress->value(), 5 * 1024 * 1024 + 1024);
}

TEST_F(CopyAndImageTest, ImageChosenInTheOpenDialogIsBurned) {
  apptest::TCzechLocale cs;
  Start("cd", TMediumKind::CdR);
  const std::string source = engine_e2e::MakeSourceFolder(43);
  const std::string image = MakeImage(source);
  QString offered;
  app::SetOpenFileHook([&](const QString& filter) {
    offered = filter;
    return QString::fromStdString(image);
  });
  bool waited = false;
  wiztest::WhenShown(wizard, [&] {
    EXPECT_EQ(wizard->windowTitle(), QString::fromUtf8(kImageCaption));
    EXPECT_TRUE(wizard->PageBurn->isVisible());
    ASSERT_TRUE(apptest::ProcessUntil([this] { return !wizard->tmrWrite->isActive(); }, 30000));
    const QStringList log = LogLines(*wizard);
    EXPECT_EQ(Join(log.mid(0, 6)),
              " >>> Zahajuji proces vypalování... \n >>> Médium umožňuje zápis... \n"
              " >>> Zjišťuji typ média (R/RW/RE)... \n >>> Ověřování volného místa na médiu... \n"
              " >>> Kapacita média je 702,83 MB...\n >>> Zapisuji ISO obraz na disk... ");
    ExpectWriteEnded();
    waited = true;
    wizard->close();
  });
  main->Label8Click();
  EXPECT_TRUE(waited);
  EXPECT_EQ(offered, QStringLiteral("ISO9660 soubor (*.iso)|*.ISO|Vše (*.*)|*.*"));
  const std::string disc = Export();
  ExpectMediumStartsWith(disc, image);
  engine_e2e::ExpectSameTree(source, engine_e2e::ExtractJoliet(disc), "image burn, xorriso");
}

TEST_F(CopyAndImageTest, CancelledOpenDialogOpensNothingAndAnImageThatWillNotOpenIsLogged) {
  Start("cd", TMediumKind::CdR);
  app::SetOpenFileHook([](const QString&) { return QString(); });
  main->Label8Click();
  EXPECT_FALSE(wizard->isVisible());
  EXPECT_TRUE(wizard->Memo1->toPlainText().isEmpty());

  const std::string missing = testenv::MakeTempDir("pryc") + "/neni.iso";
  app::SetOpenFileHook([&](const QString&) { return QString::fromStdString(missing); });
  wiztest::WhenShown(wizard, [&] {
    const QStringList log = LogLines(*wizard);
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].startsWith(
        QStringLiteral(" >>> Při zápisu souboru ISO vznikla chyba. Chyba: Error opening file")))
        << Join(log);
    EXPECT_TRUE(log.last().startsWith(QStringLiteral(
        " >>> Vypalování se nezdařilo: zdrojový soubor nelze otevřít (Error opening file")))
        << Join(log);
    // Nothing runs: "Vypálit" and "< Zpět" stay off, the wizard may be closed.
    EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{false, false, true}));
    wizard->close();
  });
  main->Label8Click();
  EXPECT_FALSE(Ejected());
  EXPECT_TRUE(Blank());
}

}  // namespace
