// The wizard's burn sequence against virtual recorders: every refusal with its log lines and the
// buttons it leaves, the erase of a rewritable disc that holds data, the free-space checks, a
// burn read back by independent readers, "Storno", a job that cannot start, closing refused.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <cstdlib>

#include "app/CompilationList.h"
#include "app/VirtualRecorderMenu.h"
#include "platform/Text.h"
#include "tests/app/WizardFixture.h"
#include "tests/e2e/EngineBurn.h"

namespace {

using wiztest::Buttons;
using wiztest::Join;
using wiztest::LogLines;
using wiztest::TMediumKind;

const std::vector<bool> kRestored{true, true, false};  // compilation mode

// Expected lines, joined as wiztest::Join joins what the log holds.
std::string Texts(std::initializer_list<const char*> lines) {
  QStringList out;
  for (const char* l : lines) out << QString::fromUtf8(l);
  return wiztest::Join(out);
}

class BurnSequenceTest : public wiztest::WizardFixture {
 protected:
  // A folder and a file in the compilation, the burn page shown.
  void Compile(size_t big = 200000) {
    source = engine_e2e::MakeSourceFolder(17, big);
    const std::string noteDir = testenv::MakeTempDir("note");
    note = noteDir + "/poznámka.txt";
    testenv::WriteFile(note, testenv::RandomBytes(3000, 5));
    OpenForDataDisc();
    DropFolder(source + "/Dokumenty");
    DropFiles(noteDir, {"poznámka.txt"});
    ASSERT_EQ(wizard->files->count(), 2);
    wizard->btnDalsiClick();
  }
  // The disc holds the folder as a top-level folder and the file in the root, byte for byte.
  void ExpectDiscHoldsTheCompilation(const std::string& iso) {
    const std::string joliet = engine_e2e::ExtractJoliet(iso);
    engine_e2e::ExpectSameTree(source + "/Dokumenty", joliet + "/Dokumenty", "xorriso");
    EXPECT_EQ(testenv::ReadFile(joliet + "/poznámka.txt"), testenv::ReadFile(note));
    const std::string out7z = testenv::MakeTempDir("7z");
    engine_e2e::Sh("7z x -y -o" + testenv::Quote(out7z) + " " + testenv::Quote(iso));
    engine_e2e::ExpectSameTree(source + "/Dokumenty", out7z + "/Dokumenty", "7z");
  }

  std::string source, note;
};

TEST_F(BurnSequenceTest, EmptyRecorderAsksForAMedium) {
  Start("cd", std::nullopt);
  Compile();
  wizard->btnVypalitClick();
  EXPECT_EQ(Join(LogLines(*wizard)), Texts({" >>> Zahajuji proces vypalování... ",
                                            " >>> Nenalezeno žádné médium v mechanice. Vložte do "
                                            "mechaniky potřebné médium a klikněte na "
                                            "Vypálit... "}));
  EXPECT_EQ(Buttons(*wizard), kRestored);
}

TEST_F(BurnSequenceTest, FinalizedDiscIsRefusedAndEjected) {
  Start("cd", std::nullopt);
  const std::string pressed = testenv::MakeTempDir("pressed") + "/disc.iso";
  testenv::WriteFile(pressed, testenv::RandomBytes(2048 * 100, 3));
  InsertPressed(pressed);
  Compile();
  wizard->btnVypalitClick();
  EXPECT_EQ(Join(LogLines(*wizard)),
            Texts({" >>> Zahajuji proces vypalování... ",
                   " >>> Médium neumožňuje zápis, vypalování se neprovede... "}));
  EXPECT_TRUE(Ejected());
  EXPECT_EQ(Buttons(*wizard), kRestored);
}

TEST_F(BurnSequenceTest, BurnLogsInOrderAndTheDiscReadsBackIdentical) {
  apptest::TCzechLocale cs;
  Start("cd", TMediumKind::CdR);
  Compile();
  wizard->JmenoCD->setText(QStringLiteral("Zaloha"));
  wizard->btnVypalitClick();
  // While the write runs: only "Storno", and the wizard stays open.
  EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{false, false, true}));
  EXPECT_TRUE(wizard->tmrWrite->isActive());
  EXPECT_FALSE(wizard->close());
  EXPECT_TRUE(wizard->isVisible());
  wizard->reject();  // Escape
  EXPECT_TRUE(wizard->isVisible());
  ASSERT_TRUE(apptest::ProcessUntil([this] { return !wizard->tmrWrite->isActive(); }, 30000));

  const QStringList log = LogLines(*wizard);
  const std::string start =
      Texts({" >>> Zahajuji proces vypalování... ", " >>> Médium umožňuje zápis... ",
             " >>> Zjišťuji typ média (R/RW/RE)... ", " >>> Ověřování volného místa na médiu... ",
             " >>> Kapacita média je 702,83 MB...", " >>> Příprava souborů... ",
             " >>> Inicializace vypalování... ", " >>> Probíhá vypalování... "});
  ASSERT_GE(log.size(), 10);
  EXPECT_EQ(Join(log.mid(0, 8)), start);
  // Then the status changes the timer saw (as many as it saw), the end, and an empty line.
  for (qsizetype i = 8; i + 2 < log.size(); ++i)
    EXPECT_TRUE(log[i].startsWith(" >>> ")) << log[i].toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral(" >>> Chyba vypalování: Provede se storno...")));
  ExpectWriteEnded();
  EXPECT_EQ(wizard->lblSize->text(), QString());
  EXPECT_EQ(wizard->scs->value(), 0);
  EXPECT_TRUE(Ejected());
  EXPECT_EQ(main->Qvx().GetVolumeID(), "Zaloha");

  const std::string iso = Export();
  ExpectDiscHoldsTheCompilation(iso);
  std::string out;
  ASSERT_EQ(testenv::Run("isoinfo -d -i " + testenv::Quote(iso), &out), 0) << out;
  EXPECT_NE(out.find("Volume id: ZALOHA"), std::string::npos) << out;
  EXPECT_TRUE(wizard->close());
}

TEST_F(BurnSequenceTest, RewritableDiscWithDataIsErasedOnlyWhenTheUserSaysSo) {
  Start("cd", TMediumKind::CdRw);
  Compile();
  BurnAndWait();
  const std::string first = Export();
  CloseTray();

  // No: ejected, nothing written.
  wizard->ResetBurnPage();
  dialogs.Answer(QMessageBox::No);
  wizard->btnVypalitClick();
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  const app::TDialogRequest& q = dialogs.Shown()[0];
  EXPECT_EQ(q.Text, QStringLiteral("Přejete si smazat data a pak pokračovat ve vypalování?"));
  EXPECT_EQ(q.Caption, QStringLiteral("Dotaz"));
  EXPECT_EQ(q.Icon, QMessageBox::Question);
  EXPECT_EQ(q.Buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(q.DefaultButton, QMessageBox::No);
  EXPECT_EQ(
      Join(LogLines(*wizard)),
      Texts({" >>> Zahajuji proces vypalování... ", " >>> Médium umožňuje zápis... ",
             " >>> Zjišťuji typ média (R/RW/RE)... ", " >>> Médium je přepisovatelné (RW/RE)... ",
             " >>> Kontrola přepisovatelného média... ",
             " >>> Přepisovatelné médium obsahuje data... ",
             " >>> Médium obsahuje data, vypalování přerušeno uživatelem... "}));
  EXPECT_TRUE(Ejected());
  EXPECT_EQ(Buttons(*wizard), kRestored);
  EXPECT_EQ(testenv::ReadFile(Export()), testenv::ReadFile(first));

  // Yes: a quick erase; its end ejects the medium, and the virtual recorder takes it back in at
  // once; the wizard stays open until then.
  CloseTray();
  wizard->ResetBurnPage();
  dialogs.Answer(QMessageBox::Yes);
  wizard->btnVypalitClick();
  EXPECT_EQ(LogLines(*wizard).last(), QStringLiteral(" >>> Provádním mazání... "));
  EXPECT_TRUE(main->GetEraseForBurn());
  EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(wizard->close());
  ASSERT_TRUE(apptest::ProcessUntil([this] { return wizard->btnVypalit->isEnabled(); }, 30000));
  EXPECT_EQ(Join(LogLines(*wizard).mid(LogLines(*wizard).size() - 2)),
            Texts({" >>> Mazání média dokončeno... ",
                   " >>> Médium je opět v mechanice, vypalování spustíte tlačítkem Vypálit... "}));
  EXPECT_EQ(Buttons(*wizard), kRestored);
  EXPECT_FALSE(Ejected());
  EXPECT_TRUE(Blank());

  // "Vypálit" again, the first click: no question, a burn.
  wizard->ResetBurnPage();
  BurnAndWait();
  const QStringList log = LogLines(*wizard);
  EXPECT_EQ(Join(log.mid(3, 3)), Texts({" >>> Médium je přepisovatelné (RW/RE)... ",
                                        " >>> Kontrola přepisovatelného média... ",
                                        " >>> Ověřování volného místa na médiu... "}));
  ExpectWriteEnded();
  EXPECT_EQ(dialogs.Shown().size(), 2u);
  ExpectDiscHoldsTheCompilation(Export());
}

TEST_F(BurnSequenceTest, TooSmallMediumIsRefusedBeforeAnythingIsWritten) {
  apptest::TCzechLocale cs;
  Start("cd", TMediumKind::CdR, 2000);  // 3,91 MB
  source = testenv::MakeTempDir("velky");
  wiztest::MakeSparse(source + "/film.mkv", 10 * 1024 * 1024);
  CompileFiles(source, {"film.mkv"});
  wizard->btnVypalitClick();
  const QStringList log = LogLines(*wizard);
  EXPECT_EQ(Join(log.mid(3)),
            Texts({" >>> Ověřování volného místa na médiu... ", " >>> Kapacita média je 3,91 MB...",
                   " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno "
                   "10,00 MB)"}));
  EXPECT_TRUE(Ejected());
  EXPECT_TRUE(Blank());
  EXPECT_EQ(Buttons(*wizard), kRestored);

  // Contents that fit while the laid-out image does not: the second check refuses it.
  CloseTray();
  wizard->ResetBurnPage();
  wizard->FormShow();
  // 1,845 sectors of data after 150 of metadata: 1,995 sectors, within the 2,000 free, but the
  // write fills the last 64 KiB block too, which takes the image to 2,016.
  wiztest::MakeSparse(source + "/skoro.bin", 3690 * 1024);
  DropFiles(source, {"skoro.bin"});
  wizard->btnVypalitClick();
  const QStringList again = LogLines(*wizard);
  ASSERT_EQ(again.size(), 8) << Join(again);
  EXPECT_EQ(again[4], QStringLiteral(" >>> Kapacita média je 3,91 MB..."));
  EXPECT_EQ(again[6], QStringLiteral(" >>> Inicializace vypalování... "));
  EXPECT_EQ(again[7],
            QStringLiteral(
                " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno "
                "3,94 MB)"));
  EXPECT_TRUE(Ejected());
  EXPECT_TRUE(Blank());
  EXPECT_EQ(Buttons(*wizard), kRestored);
}

TEST_F(BurnSequenceTest, AppendableDiscIsJudgedByItsFreeSpace) {
  apptest::TCzechLocale cs;
  Start("bd", TMediumKind::BdR, 20000);  // 39,06 MB
  source = testenv::MakeTempDir("relace");
  testenv::WriteFile(source + "/prvni.bin", testenv::RandomBytes(6 * 1024 * 1024, 9));
  wiztest::MakeSparse(source + "/druha.bin", 30 * 1024 * 1024);
  CompileFiles(source, {"prvni.bin"});
  BurnAndWait();
  const std::string first = Export();
  CloseTray();

  // The second session would fit the capacity, not the space the first one left.
  wizard->FormShow();
  DropFiles(source, {"druha.bin"});
  wizard->ResetBurnPage();
  wizard->btnVypalitClick();
  // The free space stands beside the capacity, so the refusal does not read as a contradiction.
  EXPECT_EQ(Join(LogLines(*wizard).mid(3)),
            Texts({" >>> Ověřování volného místa na médiu... ",
                   " >>> Kapacita média je 39,06 MB...", " >>> Volné místo na médiu je 24,75 MB...",
                   " >>> Na vloženém médiu není dostatek volného "
                   "místa! Vložte jiné... (vyžadováno 30,00 MB)"}));
  EXPECT_TRUE(Ejected());
  EXPECT_EQ(testenv::ReadFile(Export()), testenv::ReadFile(first));
}

TEST_F(BurnSequenceTest, StornoEndsTheWriteOnceAndSaysSoLast) {
  Start("dvd", TMediumKind::DvdPlusR);
  // From its second WRITE on the recorder stays busy writing, so the job cannot end before the
  // Storno, whenever it arrives.
  ArmFault(0x2A, {2, 0x04, 0x08}, 2, 0);  // WRITE(10): busy writing, always
  source = testenv::MakeTempDir("storno");
  wiztest::MakeSparse(source + "/obraz.raw", 20 * 1024 * 1024);
  CompileFiles(source, {"obraz.raw"});
  wizard->btnVypalitClick();
  ASSERT_TRUE(wizard->btnStorno->isEnabled());
  wizard->btnStornoClick();
  wizard->btnStornoClick();  // asked once only
  // The job may already be closing the session it stopped; only that step may be told after.
  const QStringList asked = LogLines(*wizard);
  const qsizetype at = asked.lastIndexOf(
      QStringLiteral(" >>> Stisknuto Storno, čekám na ukončení operace a stornuji... "));
  ASSERT_GE(at, 0) << Join(asked);
  for (const QString& line : asked.mid(at + 1))
    EXPECT_EQ(line, QStringLiteral(" >>> Uzavírám relaci, tento krok nelze přerušit... "));
  EXPECT_FALSE(wizard->close());
  ASSERT_TRUE(apptest::ProcessUntil([this] { return !wizard->tmrWrite->isActive(); }, 30000));
  apptest::ProcessEventsFor(20);
  const QStringList log = LogLines(*wizard);
  EXPECT_EQ(log.count(QStringLiteral(" >>> Vypalování dokončeno...")), 1) << Join(log);
  EXPECT_EQ(
      log.count(QStringLiteral(" >>> Stisknuto Storno, čekám na ukončení operace a stornuji... ")),
      1);
  ExpectWriteEnded(" >>> Vypalování bylo přerušeno – disk neobsahuje celou kompilaci.");
  EXPECT_TRUE(wizard->close());
}

TEST_F(BurnSequenceTest, JobThatCannotStartLeavesVypalitOff) {
  Start("cd", TMediumKind::CdR);
  Compile();
  // The file goes away between the hand-over and the write.
  main->Qvx().OnAddFile = [this](void*, const char16_t* path, plat::TFindData&, bool&) {
    if (path != nullptr && plat::Utf16ToUtf8(path) == note) std::remove(note.c_str());
  };
  wizard->btnVypalitClick();
  main->Qvx().OnAddFile = nullptr;
  const QStringList log = LogLines(*wizard);
  ASSERT_GE(log.size(), 2);
  EXPECT_TRUE(log[log.size() - 2].startsWith(
      QStringLiteral(" >>> Zápis se nezdařil. Chyba: Error opening file")))
      << Join(log);
  // The outcome comes last, with the same reason.
  EXPECT_TRUE(log.last().startsWith(QStringLiteral(
      " >>> Vypalování se nezdařilo: zdrojový soubor nelze otevřít (Error opening file")))
      << Join(log);
  EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(wizard->tmrWrite->isActive());
  EXPECT_TRUE(wizard->close());
}

TEST_F(BurnSequenceTest, DefaultVirtualRecorderBurnsAndItsDiscIsSaved) {
  // As a user without a burner starts the program: the recorder in the data folder, a blank
  // DVD+R in it.
  unsetenv("ARDOVAN_VDRIVES");
  vdrive::RegisterVirtualDrives();
  plat::RescanDrives();
  main = std::make_unique<TFrmHlavni>();
  main->show();
  wizard = main->FrmVypalData;
  recorder = main->VirtualMenu->SelectedRecorderFolder().toStdString();
  ASSERT_FALSE(recorder.empty());
  InsertBlank(TMediumKind::DvdPlusR);
  Compile();
  BurnAndWait();
  ExpectWriteEnded();
  EXPECT_TRUE(wizard->close());

  const std::string saved = testenv::MakeTempDir("ulozeno") + "/disk.iso";
  app::SetSaveFileHook([&](const QString&) { return QString::fromStdString(saved); });
  main->VirtualMenu->Ulozit1Click();
  apptest::InstallStrictPickers();
  EXPECT_EQ(Join(dialogs.Texts()), "Obraz disku byl uložen do souboru " + saved);
  ExpectDiscHoldsTheCompilation(saved);
}

TEST_F(BurnSequenceTest, LoopingLinkIsNamedAndLeftOutOnlyWhenTheUserAgrees) {
  Start("cd", TMediumKind::CdR);
  source = testenv::MakeTempDir("smycka");
  std::filesystem::create_directories(source + "/Fotky/vylet");
  testenv::WriteFile(source + "/Fotky/a.txt", "ahoj");
  testenv::WriteFile(source + "/Fotky/vylet/b.txt", "nazdar");
  std::filesystem::create_directory_symlink("..", source + "/Fotky/vylet/zpet");
  OpenForDataDisc();
  DropFolder(source + "/Fotky");
  wizard->btnDalsiClick();
  const std::string omitted =
      "Nepřidáno: " + source + "/Fotky/vylet/zpet (odkaz na složku vede zpět do vlastní cesty)";

  // No: nothing written, the link named.
  dialogs.Answer(QMessageBox::No);
  wizard->btnVypalitClick();
  EXPECT_TRUE(LogLines(*wizard).contains(QString::fromStdString(omitted)))
      << Join(LogLines(*wizard));
  EXPECT_TRUE(Blank());
  EXPECT_EQ(Buttons(*wizard), kRestored);

  // Yes: the rest on the disc, told as incomplete, the bar full.
  CloseTray();
  wizard->ResetBurnPage();
  dialogs.Answer(QMessageBox::Yes);
  BurnAndWait();
  ExpectWriteEnded(
      " >>> Vypalování dokončeno, ale disk neobsahuje celou kompilaci (nepřidáno: 1).");
  const std::string joliet = engine_e2e::ExtractJoliet(Export());
  EXPECT_EQ(testenv::ReadText(joliet + "/Fotky/vylet/b.txt"), "nazdar");
  EXPECT_FALSE(std::filesystem::exists(joliet + "/Fotky/vylet/zpet"));
}

}  // namespace
