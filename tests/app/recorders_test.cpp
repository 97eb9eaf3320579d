// The windows against virtual recorders: the start-up search, the speed probe, the erase flow,
// the medium report and the virtual recorder's menu.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "app/DriveStatusPanel.h"
#include "app/FrmHlavni.h"
#include "app/FrmInfoDisku.h"
#include "app/FrmMazani.h"
#include "app/FrmNastaveni.h"
#include "app/FrmUlozitObraz.h"
#include "app/FrmVlozitMedium.h"
#include "app/Tile.h"
#include "app/VirtualRecorderMenu.h"
#include "device/qvpDeviceTypes.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/app/AppTestEnv.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Model.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace {

using vdrive::TMediumKind;

struct TRecorderSpec {
  const char* model;
  std::optional<TMediumKind> blank;
};

class RecordersTest : public testing::Test {
 protected:
  void SetUp() override {
    QFile::remove(QString::fromStdString(plat::SettingsFolder() + "/ardovan.ini"));
    plat::SetClockScale(1000);
  }
  void TearDown() override {
    plat::SetClockScale(1);
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
  }

  // Recorder folders in the drive namespace, in this order.
  void MakeRecorders(std::initializer_list<TRecorderSpec> specs) {
    std::string list;
    for (const TRecorderSpec& s : specs) {
      const std::string dir = testenv::MakeTempDir("recorder");
      std::string error;
      ASSERT_TRUE(vdrive::CreateRecorder(dir, s.model, false, error)) << error;
      if (s.blank) {
        ASSERT_TRUE(vdrive::InsertBlank(dir, *s.blank, std::nullopt, false, error)) << error;
      }
      folders_.push_back(dir);
      list += (list.empty() ? "" : ":") + dir;
    }
    testenv::SetEnv("ARDOVAN_VDRIVES", list);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
  }

  // Rewrites a recorder's model (the recorder picks it up with its next command).
  void ChangeModel(size_t i, const std::function<void(vdrive::TDriveModel&)>& change) {
    const std::string path = vdrive::JoinPath(folders_[i], vdrive::kDriveFile);
    std::string text, error;
    vdrive::TDriveModel m;
    ASSERT_TRUE(vdrive::ReadTextFile(path, text));
    ASSERT_TRUE(vdrive::ModelFromJson(text, m, error)) << error;
    change(m);
    ASSERT_TRUE(vdrive::WriteFileAtomic(path, vdrive::ModelToJson(m)));
  }

  // Counts the commands with this operation code in a recorder's trace since the last call.
  int TracedCommands(size_t i, const char* opcodeHex) {
    const std::string path = vdrive::JoinPath(folders_[i], vdrive::kTraceFile);
    std::ifstream f(path);
    int n = 0;
    for (std::string line; std::getline(f, line);)
      if (line.rfind(std::string(opcodeHex) + " ", 0) == 0) ++n;
    std::remove(path.c_str());
    return n;
  }

  vdrive::TLoadState LoadState(size_t i) {
    vdrive::TLoadState st;
    std::string error;
    EXPECT_TRUE(vdrive::ReadLoadState(folders_[i], st, error)) << error;
    return st;
  }
  bool HasMedium(size_t i) { return LoadState(i).disc.has_value(); }
  // The medium went out of the drive: the tray is open or the tray is empty.
  bool Ejected(size_t i) {
    const vdrive::TLoadState st = LoadState(i);
    return st.trayOpen || !st.disc.has_value();
  }

  std::vector<std::string> folders_;
};

TEST_F(RecordersTest, StartupSelectsTheLastRecorderOfTheList) {
  MakeRecorders({{"cd", std::nullopt}, {"dvd", std::nullopt}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  EXPECT_TRUE(rec.Shown().empty());
  ASSERT_EQ(w.Qvx().GetDeviceCount(), 2);
  EXPECT_EQ(w.GetBurnerIndex(), 1);
  EXPECT_EQ(w.Qvx().Device().CurrentIndex, 1);
  // The index found is not written back.
  EXPECT_FALSE(plat::FileExists(plat::SettingsFolder() + "/ardovan.ini"));
  EXPECT_TRUE(w.VirtualMenu->Vlozit1->isEnabled());
  EXPECT_EQ(w.VirtualMenu->SelectedRecorderFolder().toStdString(), folders_[1]);
  w.hide();
}

TEST_F(RecordersTest, ReadersAreNotChosenAndAStoredIndexIsNotSearched) {
  MakeRecorders({{"cd", std::nullopt}, {"cd", std::nullopt}});
  ChangeModel(1, [](vdrive::TDriveModel& m) {
    m.writes.clear();
    m.testWrite = false;
  });
  {
    apptest::TDialogRecorder rec;
    TFrmHlavni w;
    w.show();
    EXPECT_EQ(w.GetBurnerIndex(), 0);  // the reader at index 1 is passed over
    // Choosing the reader in the settings window warns, and keeps the choice.
    w.FrmNastaveni->show();
    w.FrmNastaveni->cbDrives->setCurrentIndex(1);
    w.FrmNastaveni->cbDrivesChange(1);
    EXPECT_EQ(rec.Texts(),
              QStringList{QStringLiteral("Vybrané zařízení není pravděpodobně vypalovačka!")});
    EXPECT_EQ(w.FrmNastaveni->cbDrives->currentIndex(), 1);
    w.FrmNastaveni->btnUlozClick();
    EXPECT_EQ(w.GetBurnerIndex(), 1);
    w.hide();
  }
  // The stored index of the reader is taken as it is at the next start.
  apptest::TDialogRecorder rec;
  TFrmHlavni again;
  again.show();
  EXPECT_TRUE(rec.Shown().empty());
  EXPECT_EQ(again.GetBurnerIndex(), 1);
  EXPECT_EQ(again.Qvx().Device().CurrentIndex, 1);
  again.hide();
}

TEST_F(RecordersTest, SpeedProbeListsDistinctSpeedsAndKeepsTheRequestedSpeed) {
  MakeRecorders({{"legacy", TMediumKind::CdR}});
  std::string error;
  ASSERT_TRUE(vdrive::SetTrace(folders_[0], true, error)) << error;
  apptest::TCzechLocale cs;
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  TQuorvexPro& qvx = w.Qvx();
  ASSERT_TRUE(qvx.IsUnitReady());
  ASSERT_EQ(qvx.GetMaxWriteSpeed(), 7056);  // 40 x 176.4, a little under 40 x 176.46
  ASSERT_TRUE(qvx.SetSpeed(0, 2822));       // the user's earlier choice: 16x
  TracedCommands(0, "BB");

  TFrmNastaveni& s = *w.FrmNastaveni;
  s.show();
  const QString nb(QChar(0x00A0));
  // Before any probe the list shows the speed in force, not "Max".
  EXPECT_EQ(s.cbSpeed->count(), 2);
  EXPECT_EQ(s.cbSpeed->currentText(), "16x (2" + nb + "822 KB/s)");
  s.cbSpeedDropDown();
  QStringList entries;
  for (int i = 0; i < s.cbSpeed->count(); ++i) entries << s.cbSpeed->itemText(i);
  EXPECT_EQ(entries, (QStringList{"Max", "40x (7" + nb + "056 KB/s)", "32x (5" + nb + "645 KB/s)",
                                  "24x (4" + nb + "234 KB/s)", "16x (2" + nb + "822 KB/s)",
                                  "12x (2" + nb + "117 KB/s)", "8x (1" + nb + "411 KB/s)",
                                  "4x (706 KB/s)"}));
  EXPECT_EQ(s.cbSpeed->currentIndex(), 4);  // still the speed in force
  // 40 steps, then the speed asked for before the probe is set again.
  EXPECT_EQ(TracedCommands(0, "BB"), 41);
  EXPECT_EQ(qvx.Device().RequestedWriteSpeed, 2822);
  EXPECT_EQ(qvx.GetCurrentWriteSpeed(), 2822);

  // Reopening keeps a selection whose index still exists.
  s.cbSpeed->setCurrentIndex(3);
  s.cbSpeedDropDown();
  EXPECT_EQ(s.cbSpeed->currentIndex(), 3);
  EXPECT_EQ(s.cbSpeed->count(), 8);

  // "Uložit" applies the chosen entry to the recorder; nothing about speed goes into the file.
  s.btnUlozClick();
  EXPECT_EQ(qvx.GetCurrentWriteSpeed(), 4234);
  EXPECT_EQ(qvx.Device().RequestedWriteSpeed, 4234);
  EXPECT_EQ(testenv::ReadText(plat::SettingsFolder() + "/ardovan.ini").find("4234"),
            std::string::npos);

  // Fewer speeds after a change of the recorder: the list is rebuilt and an index that no longer
  // exists falls back to "Max".
  s.show();
  s.cbSpeedDropDown();
  s.cbSpeed->setCurrentIndex(6);
  ChangeModel(0, [](vdrive::TDriveModel& m) {
    m.speeds[int(TMediumKind::CdR)].write = {4, 8, 16};
  });
  s.cbSpeedDropDown();
  EXPECT_EQ(s.cbSpeed->count(), 4);
  EXPECT_EQ(s.cbSpeed->currentIndex(), 0);
  // "Max" asks for the recorder's maximum.
  s.btnUlozClick();
  EXPECT_EQ(qvx.Device().RequestedWriteSpeed, 0);
  EXPECT_EQ(qvx.GetCurrentWriteSpeed(), 2822);
  w.hide();
}

TEST_F(RecordersTest, SaveWithoutProbeLeavesTheSpeedAlone) {
  MakeRecorders({{"legacy", TMediumKind::CdR}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  ASSERT_TRUE(w.Qvx().SetSpeed(0, 1411));
  w.FrmNastaveni->show();
  w.FrmNastaveni->btnUlozClick();
  EXPECT_EQ(w.Qvx().GetCurrentWriteSpeed(), 1411);
  EXPECT_EQ(testenv::ReadText(plat::SettingsFolder() + "/ardovan.ini").substr(0, 18),
            "[Setting]\nIDVyp=0\n");
  w.hide();
}

TEST_F(RecordersTest, EraseChecksTheMediumAndCancelStartsNothing) {
  MakeRecorders({{"cd", std::nullopt}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  w.RxSpeedButton5Click();  // empty tray
  std::string error;
  ASSERT_TRUE(vdrive::InsertBlank(folders_[0], TMediumKind::CdR, std::nullopt, false, error))
      << error;
  ASSERT_TRUE(apptest::ProcessUntil([&] { return w.Qvx().IsUnitReady(); }));
  w.RxSpeedButton5Click();  // write-once medium
  ASSERT_TRUE(vdrive::InsertBlank(folders_[0], TMediumKind::CdRw, std::nullopt, false, error))
      << error;
  ASSERT_TRUE(apptest::ProcessUntil([&] { return w.Qvx().IsUnitReady(); }));
  rec.Answer(QMessageBox::Cancel);
  w.RxSpeedButton5Click();
  ASSERT_EQ(rec.Shown().size(), 3u);
  EXPECT_EQ(rec.Shown()[0].Text, QStringLiteral("Zařízení není připraveno"));
  EXPECT_EQ(rec.Shown()[1].Text, QStringLiteral("Disk není přepisovatelný"));
  EXPECT_EQ(rec.Shown()[2].Text, QStringLiteral("Provést rychlé mazání?"));
  EXPECT_EQ(rec.Shown()[2].Caption, QStringLiteral("Dotaz"));
  EXPECT_EQ(rec.Shown()[2].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_TRUE(w.GetMainCanClose());
  EXPECT_FALSE(w.FrmMazani->isVisible());
  EXPECT_EQ(w.Qvx().GetStatus(), 0);
  EXPECT_FALSE(Ejected(0));
  w.hide();
}

TEST_F(RecordersTest, QuickEraseRunsWithItsWindowAndEjectsAtTheEnd) {
  MakeRecorders({{"cd", TMediumKind::CdRw}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  // The erase takes a while of recorder time; long enough to look at the window meanwhile.
  ChangeModel(0, [](vdrive::TDriveModel& m) { m.durations.blankMinimalMs = 400000; });
  rec.Answer(QMessageBox::Yes);
  w.RxSpeedButton5Click();
  EXPECT_FALSE(w.GetEraseForBurn());
  EXPECT_FALSE(w.GetMainCanClose());
  EXPECT_TRUE(w.FrmMazani->isVisible());
  EXPECT_TRUE(w.FrmMazani->Running());
  EXPECT_TRUE(w.FrmMazani->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w.FrmMazani->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w.FrmMazani->Label1->text(), QString(34, ' ') + QStringLiteral("Probíhá mazání..."));
  // Nothing else that talks to the recorder can start meanwhile, and the window stays open.
  for (app::TTile* t : w.Tiles) EXPECT_FALSE(t->isEnabled());
  EXPECT_FALSE(w.Vymazat1->isEnabled());
  EXPECT_FALSE(w.Zobrazitinformaceovloenmmdiu1->isEnabled());
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());

  ASSERT_TRUE(apptest::ProcessUntil([&] { return w.GetMainCanClose(); }, 20000));
  EXPECT_FALSE(w.FrmMazani->isVisible());
  EXPECT_FALSE(w.FrmMazani->Running());
  EXPECT_EQ(rec.Shown().size(), 1u);  // only the question
  EXPECT_TRUE(Ejected(0));
  for (app::TTile* t : w.Tiles) EXPECT_TRUE(t->isEnabled());
  EXPECT_TRUE(w.Vymazat1->isEnabled());
  EXPECT_TRUE(w.close());
}

TEST_F(RecordersTest, FailedEraseIsReportedAndStillEjects) {
  MakeRecorders({{"cd", TMediumKind::CdRw}});
  std::string error;
  ASSERT_TRUE(vdrive::UpdateFaults(
      folders_[0],
      [](vdrive::TFaults& f) {
        vdrive::TOpcodeFault fault;
        fault.opcode = 0xA1;  // BLANK
        fault.times = 0;
        fault.sense = {3, 0x0C, 0x00};
        f.commands.push_back(fault);
      },
      error))
      << error;
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  rec.Answer(QMessageBox::No);  // full erase
  w.RxSpeedButton5Click();
  ASSERT_TRUE(
      apptest::ProcessUntil([&] { return w.GetMainCanClose() && rec.Shown().size() == 2; }, 20000));
  EXPECT_EQ(rec.Shown()[1].Text, QStringLiteral("Při mazání média se vyskytla chyba!"));
  EXPECT_FALSE(w.FrmMazani->isVisible());
  EXPECT_TRUE(Ejected(0));
  w.hide();
}

TEST_F(RecordersTest, ReportOnABlankCdRecordable) {
  MakeRecorders({{"cd", TMediumKind::CdR}});
  apptest::TCzechLocale cs;
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  ASSERT_TRUE(apptest::ProcessUntil([&] { return w.Qvx().IsUnitReady(); }));
  const QStringList r = TFrmInfoDisku::BuildReport(w.Qvx());
  ASSERT_EQ(r.size(), 44);
  const QString nb(QChar(0x00A0));
  EXPECT_EQ(r[0], QStringLiteral(">>> Je zařízení připraveno? Ano"));
  EXPECT_EQ(r[1], QString());
  EXPECT_EQ(r[2], QStringLiteral(">>> Vložený disk do mechaniky: mtCDR"));
  EXPECT_EQ(r[3], QStringLiteral(">>> Je médium PŘEPISOVATELNÉ? Ne"));
  EXPECT_EQ(r[4], QStringLiteral(">>> Je médium ZAPISOVATELNÉ? Ano"));
  EXPECT_EQ(r[5], QStringLiteral(">>> Sessions na Disku: 0"));
  EXPECT_EQ(r[6], QStringLiteral(">>> Celková kapacita média: 702,83 MB"));
  EXPECT_EQ(r[7], QStringLiteral(">>> Volné místo na médiu: 702,83 MB"));
  EXPECT_EQ(r[8],
            QStringLiteral(">>> Maximální rychlost zápisu:  8") + nb + QStringLiteral("467 KB/s"));
  EXPECT_EQ(r[11], QString());
  EXPECT_EQ(r[14], QStringLiteral(">>> Umožňuje zařízení simulaci zápisu? Ano"));
  EXPECT_EQ(r[16], QString());
  EXPECT_EQ(r[17], QStringLiteral(">>> Umožňuje zařízení čtení CDR? Ano"));
  EXPECT_EQ(r[20], QStringLiteral(">>> Umožňuje zařízení čtení DVDR? Ne"));
  EXPECT_EQ(r[23], QStringLiteral(">>> Umožňuje zařízení čtení DVDPLUSRDL? Ne"));
  EXPECT_EQ(r[30], QStringLiteral(">>> Umožňuje zařízení čtení BluRay - BDRE? Ne"));
  EXPECT_EQ(r[31], QString());
  EXPECT_EQ(r[32], QStringLiteral(">>> Umožňuje zařízení zápis CDR? Ano"));
  EXPECT_EQ(r[33], QStringLiteral(">>> Umožňuje zařízení zápis CDRW? Ano"));
  EXPECT_EQ(r[43], QStringLiteral(">>> Umožňuje zařízení zápis BluRay - BDRE? Ne"));

  // The window shows the report, and a second report replaces the first.
  w.FrmInfoDisku->SetReport(r);
  w.FrmInfoDisku->SetReport(TFrmInfoDisku::BuildReport(w.Qvx()));
  EXPECT_EQ(w.FrmInfoDisku->Memo1->toPlainText().split('\n').size(), 44);
  EXPECT_EQ(w.FrmInfoDisku->windowTitle(), QStringLiteral("Informace o vloženém médiu..."));
  w.hide();
}

TEST_F(RecordersTest, ReportOnAnEmptyRecorder) {
  MakeRecorders({{"bd", std::nullopt}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  const QStringList r = TFrmInfoDisku::BuildReport(w.Qvx());
  ASSERT_EQ(r.size(), 44);
  EXPECT_EQ(r[0], QStringLiteral(">>> Je zařízení připraveno? Ne"));
  EXPECT_EQ(r[2], QStringLiteral(">>> Vložený disk do mechaniky: mtUNKNOWN"));
  EXPECT_EQ(r[43], QStringLiteral(">>> Umožňuje zařízení zápis BluRay - BDRE? Ano"));
  w.hide();
}

TEST_F(RecordersTest, VirtualMenuInsertsEjectsAndSavesTheDisc) {
  MakeRecorders({{"dvd", std::nullopt}});
  apptest::TDialogRecorder rec;
  TFrmHlavni w;
  w.show();
  app::TVirtualRecorderMenu& menu = *w.VirtualMenu;
  TFrmVlozitMedium& dialog = *menu.FrmVlozitMedium;
  QStringList offered;
  apptest::WhenShown(&dialog, [&] {
    for (int i = 0; i < dialog.cbTyp->count(); ++i) offered << dialog.cbTyp->itemText(i);
    EXPECT_FALSE(dialog.chkTempo->isChecked());
    dialog.cbTyp->setCurrentIndex(static_cast<int>(offered.indexOf(QStringLiteral("CD-RW"))));
    dialog.chkTempo->setChecked(true);  // a real drive's time
    dialog.btnVlozit->click();
  });
  menu.Vlozit1Click();
  EXPECT_TRUE(offered.contains(QStringLiteral("DVD+R")));
  EXPECT_FALSE(offered.contains(QStringLiteral("BD-R")));  // this recorder cannot write it
  EXPECT_FALSE(offered.contains(QStringLiteral("DVD-ROM")));
  // Told at once on the main window; the drive watcher then shows the medium itself.
  EXPECT_EQ(w.DriveStatus->Medium->text(),
            QStringLiteral("Do virtuální vypalovačky bylo vloženo prázdné médium CD-RW."));
  vdrive::TLoadState st;
  std::string error;
  ASSERT_TRUE(vdrive::ReadLoadState(folders_[0], st, error)) << error;
  EXPECT_TRUE(st.pace);
  ASSERT_TRUE(apptest::ProcessUntil([&] { return w.Qvx().IsUnitReady(); }));
  EXPECT_EQ(w.Qvx().GetMediumType(), 3);  // CD-RW
  w.RefreshDriveStatus();
  EXPECT_TRUE(w.DriveStatus->Medium->text().startsWith(QStringLiteral("Médium: CD-RW, prázdné")))
      << w.DriveStatus->Medium->text().toStdString();

  // The next insert starts from the last kind and the pace as it is; Storno changes nothing.
  apptest::WhenShown(&dialog, [&] {
    EXPECT_EQ(dialog.cbTyp->currentText(), QStringLiteral("CD-RW"));
    EXPECT_TRUE(dialog.chkTempo->isChecked());
    dialog.chkTempo->setChecked(false);
    dialog.btnStorno->click();
  });
  menu.Vlozit1Click();
  ASSERT_TRUE(vdrive::ReadLoadState(folders_[0], st, error)) << error;
  EXPECT_TRUE(st.pace);
  ASSERT_TRUE(vdrive::SetPace(folders_[0], false, error)) << error;
  {
    // The program started again offers the same kind first.
    TFrmHlavni again;
    EXPECT_EQ(again.VirtualMenu->LastKind(), TMediumKind::CdRw);
  }

  menu.Vysunout1Click();
  EXPECT_FALSE(HasMedium(0));
  EXPECT_EQ(w.DriveStatus->Medium->text(),
            QStringLiteral("Médium bylo vysunuto z virtuální vypalovačky."));
  w.RefreshDriveStatus();
  EXPECT_EQ(w.DriveStatus->Medium->text(), QStringLiteral("Médium: žádné"));

  // A pressed disc's content comes back out byte for byte, under a name given without its
  // extension.
  const std::string image = testenv::MakeTempDir("pressed") + "/disc.iso";
  const std::vector<uint8_t> bytes = testenv::RandomBytes(2048 * 300, 7);
  testenv::WriteFile(image, bytes);
  ASSERT_TRUE(vdrive::InsertPressed(folders_[0], image, TMediumKind::CdRom, error)) << error;
  const std::string saved = testenv::MakeTempDir("saved") + "/kopie";
  app::SetSaveFileHook([&](const QString&) { return QString::fromStdString(saved); });
  menu.Ulozit1Click();
  ASSERT_EQ(rec.Shown().size(), 1u);
  EXPECT_EQ(rec.Shown()[0].Text, QStringLiteral("Obraz disku byl uložen do souboru ") +
                                     QString::fromStdString(saved) + QStringLiteral(".iso"));
  EXPECT_EQ(testenv::ReadFile(saved + ".iso"), bytes);

  // Storno while the export waits for the recorder (which another program holds): no file.
  const std::string stopped = testenv::MakeTempDir("saved") + "/prerusene.iso";
  app::SetSaveFileHook([&](const QString&) { return QString::fromStdString(stopped); });
  const int fd = vdrive::OpenLockFile(folders_[0]);
  auto held = std::make_unique<vdrive::TFolderLock>(fd);
  TFrmUlozitObraz& saving = *menu.FrmUlozitObraz;
  apptest::WhenShown(&saving, [&] {
    EXPECT_TRUE(saving.btnStorno->isEnabled());
    saving.btnStorno->click();
    held.reset();
    EXPECT_TRUE(apptest::ProcessUntil([&] { return !saving.isVisible(); }));
  });
  menu.Ulozit1Click();
  ::close(fd);
  EXPECT_EQ(rec.Shown().size(), 1u);  // nothing more to say
  EXPECT_FALSE(QFile::exists(QString::fromStdString(stopped)));
  apptest::InstallStrictPickers();
  w.hide();
}

}  // namespace
