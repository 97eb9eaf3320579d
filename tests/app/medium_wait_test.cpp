// A disc just inserted, as the windows meet it: "Vypálit" waits for it with the window alive and
// burns on the first click, "Storno" ends the wait, the main window's status panel follows the
// medium without ever waiting for it, and a fresh BD-RE is formatted with a word in the log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "app/DriveStatusPanel.h"
#include "device/qvpSCSIReady.h"
#include "tests/app/WizardFixture.h"

namespace {

using wiztest::Buttons;
using wiztest::Join;
using wiztest::LogLines;
using wiztest::TMediumKind;

const char kWaiting[] = "Čekám, až bude médium připraveno...";

class MediumWaitTest : public wiztest::WizardFixture {
 protected:
  void CompileOneFile() {
    source = testenv::MakeTempDir("zdroj");
    testenv::WriteFile(source + "/dopis.txt", testenv::RandomBytes(5000, 3));
    CompileFiles(source, {"dopis.txt"});
  }
  // The disc goes in, and the drive reports itself becoming ready for `ms` of its time.
  void InsertSlowly(TMediumKind kind, uint32_t ms) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(recorder, kind, std::nullopt, false, error)) << error;
    ASSERT_TRUE(vdrive::UpdateFaults(
        recorder, [ms](vdrive::TFaults& f) { f.notReadyMs = ms, ++f.notReadyArm; }, error));
  }
  // Runs `look` from the window's own event loop, as often as it turns, while `work` runs.
  void Watching(const std::function<void()>& look, const std::function<void()>& work) {
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, look);
    timer.start();
    work();
  }
  QString Medium() const { return main->DriveStatus->Medium->text(); }
  std::string source;
};

TEST_F(MediumWaitTest, VypalitRightAfterAnInsertWaitsAliveAndBurnsOnTheFirstClick) {
  Start("dvd", std::nullopt);
  CompileOneFile();
  InsertSlowly(TMediumKind::DvdPlusR, 5000);
  bool shownWaiting = false, busyCursor = false, stornoOffered = false;
  Watching(
      [&] {
        if (wizard->lblSize->text() != QString::fromUtf8(kWaiting)) return;
        shownWaiting = true;
        const QCursor* c = QApplication::overrideCursor();
        busyCursor |= c != nullptr && c->shape() == Qt::WaitCursor;
        stornoOffered |= wizard->btnStorno->isEnabled() && !wizard->btnVypalit->isEnabled();
      },
      [&] { wizard->btnVypalitClick(); });
  EXPECT_TRUE(shownWaiting);
  EXPECT_TRUE(busyCursor);
  EXPECT_TRUE(stornoOffered);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  ASSERT_TRUE(wizard->tmrWrite->isActive()) << Join(LogLines(*wizard));
  ASSERT_TRUE(apptest::ProcessUntil([this] { return !wizard->tmrWrite->isActive(); }, 30000));
  ExpectWriteEnded();
}

TEST_F(MediumWaitTest, StornoEndsTheWaitAndTheLogSaysTheDiscIsNotReadyYet) {
  Start("dvd", std::nullopt);
  CompileOneFile();
  InsertSlowly(TMediumKind::DvdPlusR, 25000);
  bool stopped = false;
  Watching(
      [&] {
        if (stopped || wizard->lblSize->text() != QString::fromUtf8(kWaiting)) return;
        wizard->btnStorno->click();
        stopped = true;
      },
      [&] { wizard->btnVypalitClick(); });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(Join(LogLines(*wizard)),
            " >>> Zahajuji proces vypalování... \n"
            " >>> Médium v mechanice ještě není připraveno. Počkejte chvíli a klikněte na "
            "Vypálit... ");
  EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{true, true, false}));
  EXPECT_FALSE(main->MediumWaitRunning());
  EXPECT_TRUE(Blank());
}

TEST_F(MediumWaitTest, StatusPanelFollowsTheMediumWithoutWaitingForIt) {
  apptest::TCzechLocale cs;
  Start("dvd", std::nullopt);
  EXPECT_EQ(main->DriveStatus->Recorder->text(),
            QStringLiteral("Vypalovačka: ") + QString::fromStdString(main->Qvx().GetDeviceName(0)));
  EXPECT_EQ(Medium(), QStringLiteral("Médium: žádné"));

  // A disc on its way in is told as such at once, and looked at again on the next tick.
  InsertSlowly(TMediumKind::DvdPlusR, 20000);
  const uint32_t before = plat::TickCount();
  main->DriveWatchTick();
  EXPECT_LT(plat::TickCount() - before, 10 * qvp::kMediumReadyPollMs);
  EXPECT_EQ(Medium(), QStringLiteral("Médium: připravuje se..."));
  WaitReady();
  main->DriveWatchTick();
  EXPECT_EQ(Medium(), QStringLiteral("Médium: DVD+R, prázdné, volné místo 4,38 GB"));

  // After a burn the disc holds a session and has room for more.
  CompileOneFile();
  BurnAndWait();
  CloseTray();
  EXPECT_TRUE(wizard->close());
  main->RefreshDriveStatus();
  EXPECT_TRUE(Medium().startsWith(QStringLiteral("Médium: DVD+R, lze dopisovat, volné místo ")))
      << Medium().toStdString();
  std::string error;
  ASSERT_TRUE(vdrive::EjectMedium(recorder, error)) << error;
  main->DriveWatchTick();
  EXPECT_EQ(Medium(), QStringLiteral("Médium: žádné"));
}

TEST_F(MediumWaitTest, FreshBdReIsFormattedBeforeItsFirstWriteAndTheLogSaysSo) {
  Start("bd", TMediumKind::BdRe);
  CompileOneFile();
  BurnAndWait();
  const QStringList log = LogLines(*wizard);
  const auto at = log.indexOf(
      QStringLiteral(" >>> Médium není naformátované, před zápisem se naformátuje... "));
  ASSERT_GE(at, 0) << Join(log);
  EXPECT_EQ(log[at + 1], QStringLiteral(" >>> Probíhá vypalování... "));
  ExpectWriteEnded();
}

}  // namespace
