#pragma once
// Common ground of the wizard, copy and image-burn tests: virtual recorders, the main window with
// its wizard, the burn page's log without time stamps, and a way into a modal window's loop.
#include <gtest/gtest.h>

#include <QDialog>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FrmHlavni.h"
#include "app/FrmVypalData.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/app/AppTestEnv.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Disc.h"
#include "vdrive/Faults.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace wiztest {

using vdrive::TMediumKind;

// A file of the size with nothing stored (reads as zeros).
inline void MakeSparse(const std::string& path, uint64_t bytes) {
  testenv::WriteFile(path, std::string());
  std::filesystem::resize_file(path, bytes);
}

// The burn page's log without the time stamps, each of which must be "hh:mm:ss.zzz".
inline QStringList LogLines(const TFrmVypalData& z) {
  static const QRegularExpression stamp(
      QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d(?= >>> )"));
  QStringList out;
  const QString text = z.Memo1->toPlainText();
  if (text.isEmpty()) return out;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QRegularExpressionMatch m = stamp.match(line);
    out << (m.hasMatch() ? line.mid(12) : line);
    // An entry left out of the compilation is listed under the line that found it.
    if (!line.isEmpty() && !line.startsWith(QStringLiteral("Nepřidáno: "))) {
      EXPECT_TRUE(m.hasMatch()) << "line without its time: " << line.toStdString();
    }
  }
  return out;
}

// A list as one text, a line per entry (readable in failure messages).
inline std::string Join(const QStringList& l) { return l.join(QLatin1Char('\n')).toStdString(); }

// "Vypálit", "< Zpět", "Storno" as on/off.
inline std::vector<bool> Buttons(const TFrmVypalData& z) {
  return {z.btnVypalit->isEnabled(), z.btnZpet->isEnabled(), z.btnStorno->isEnabled()};
}

using apptest::WhenShown;

class WizardFixture : public testing::Test {
 protected:
  void SetUp() override {
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));  // no real drive of the machine
    plat::SetClockScale(1000);
    // Every test starts with the options and settings of a first start.
    std::filesystem::remove(plat::SettingsFolder() + "/ardovan.ini");
  }
  void TearDown() override {
    main.reset();
    plat::SetClockScale(1);
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
  }

  // One recorder of the model, empty or with a blank medium; then the main window on it.
  void Start(const char* model, std::optional<TMediumKind> blank,
             std::optional<uint32_t> blocks = std::nullopt) {
    recorder = testenv::MakeTempDir("recorder");
    std::string error;
    ASSERT_TRUE(vdrive::CreateRecorder(recorder, model, false, error)) << error;
    if (blank) {
      ASSERT_TRUE(vdrive::InsertBlank(recorder, *blank, blocks, false, error)) << error;
    }
    testenv::SetEnv("ARDOVAN_VDRIVES", recorder);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
    main = std::make_unique<TFrmHlavni>();
    main->show();
    wizard = main->FrmVypalData;
    if (blank) WaitReady();
  }

  void WaitReady() {
    ASSERT_TRUE(apptest::ProcessUntil([this] { return main->Qvx().IsUnitReady(); }));
  }
  void InsertBlank(TMediumKind kind, std::optional<uint32_t> blocks = std::nullopt) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(recorder, kind, blocks, false, error)) << error;
    WaitReady();
  }
  void InsertPressed(const std::string& image) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertPressed(recorder, image, TMediumKind::CdRom, error)) << error;
    WaitReady();
  }
  // The user pushes the tray back in after an eject.
  void CloseTray() {
    main->Qvx().LoadDisc(false);
    WaitReady();
  }

  // Arms a fault of the recorder: the command `opcode` answers `sense` (key, ASC, ASCQ) from its
  // `from`-th time on, `times` times (0: always), on the blocks given (all when none are).
  void ArmFault(uint8_t opcode, vdrive::TSense sense, uint32_t from, uint32_t times,
                std::optional<uint32_t> lba = std::nullopt) {
    vdrive::TOpcodeFault fault;
    fault.opcode = opcode;
    fault.lbaFirst = fault.lbaLast = lba;
    fault.from = from;
    fault.times = times;
    fault.sense = sense;
    std::string error;
    ASSERT_TRUE(vdrive::UpdateFaults(
        recorder, [&](vdrive::TFaults& f) { f.commands.push_back(fault); }, error))
        << error;
  }

  vdrive::TLoadState LoadState() {
    vdrive::TLoadState st;
    std::string error;
    EXPECT_TRUE(vdrive::ReadLoadState(recorder, st, error)) << error;
    return st;
  }
  bool Ejected() {
    const vdrive::TLoadState st = LoadState();
    return st.trayOpen || !st.disc.has_value();
  }
  bool Blank() {
    const vdrive::TLoadState st = LoadState();
    return st.disc.has_value() && st.disc->DiscStatus() == 0;
  }
  // What the medium holds, from block 0.
  std::string Export() {
    const std::string out = testenv::MakeTempDir("export") + "/disc.iso";
    std::string error;
    EXPECT_TRUE(vdrive::ExportMedium(recorder, out, std::nullopt, error)) << error;
    return out;
  }

  // The wizard as the tile opens it, shown without a modal loop of its own.
  void OpenForDataDisc() {
    TFrmVypalData& z = *wizard;
    z.btnVypalit->setEnabled(true);
    z.btnZpet->setEnabled(true);
    z.btnStorno->setEnabled(false);
    z.ResetBurnPage();
    z.ShowCompilationPage();
    z.SetIsoMode(false);
    z.show();
  }

  // Drops as the user drags them: a folder from the tree, files from the list.
  void DropFolder(const std::string& path) {
    wizard->SelectFolder(QString::fromStdString(path));
    wizard->filesXDragDrop(wizard->lbDir, nullptr);
  }
  // The names the file list shows for the selected folder, once it has loaded them.
  QStringList ListedFiles() {
    const TFrmVypalData& z = *wizard;
    const std::string folder = z.SelectedFolder().toStdString();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      if (e.is_regular_file() && e.path().filename().string()[0] != '.') ++files;
    QAbstractItemModel* model = z.lbFiles->model();
    EXPECT_TRUE(apptest::ProcessUntil([&] {
      return model->rowCount(z.lbFiles->rootIndex()) == files;
    })) << model->rowCount(z.lbFiles->rootIndex())
        << " rows for " << files << " files in " << folder;
    apptest::ProcessEventsFor(3);  // sorted
    QStringList names;
    for (int r = 0; r < model->rowCount(z.lbFiles->rootIndex()); ++r)
      names << model->index(r, 0, z.lbFiles->rootIndex()).data().toString();
    return names;
  }
  void DropFiles(const std::string& folder, const std::vector<std::string>& names) {
    TFrmVypalData& z = *wizard;
    z.SelectFolder(QString::fromStdString(folder));
    const QStringList listed = ListedFiles();
    z.lbFiles->selectionModel()->clearSelection();
    for (const std::string& n : names) {
      const int row = static_cast<int>(listed.indexOf(QString::fromStdString(n)));
      EXPECT_GE(row, 0) << n;
      z.lbFiles->selectionModel()->select(z.lbFiles->model()->index(row, 0, z.lbFiles->rootIndex()),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    z.filesXDragDrop(z.lbFiles, nullptr);
  }

  // The files of one folder as the compilation, the burn page shown.
  void CompileFiles(const std::string& folder, const std::vector<std::string>& names) {
    OpenForDataDisc();
    DropFiles(folder, names);
    wizard->btnDalsiClick();
  }
  // The write has ended: its line, an empty one, the outcome, and the buttons as the mode has
  // them; a write that ran to its end leaves the bar full.
  void ExpectWriteEnded(const char* outcome = " >>> Vypalování proběhlo úspěšně.") {
    const QStringList log = LogLines(*wizard);
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[log.size() - 3], QStringLiteral(" >>> Vypalování dokončeno...")) << Join(log);
    EXPECT_EQ(log[log.size() - 2], QString());
    EXPECT_EQ(log.last(), QString::fromUtf8(outcome));
    EXPECT_EQ(Buttons(*wizard), (std::vector<bool>{true, !wizard->GetIsoMode(), false}));
    const bool ran = !log.last().startsWith(QStringLiteral(" >>> Vypalování bylo přerušeno")) &&
                     !log.last().startsWith(QStringLiteral(" >>> Vypalování se nezdařilo"));
    EXPECT_EQ(wizard->pb->value() == wizard->pb->maximum(), ran) << wizard->pb->value();
  }

  // "Vypálit", then the write's end.
  void BurnAndWait() {
    wizard->btnVypalitClick();
    ASSERT_TRUE(wizard->tmrWrite->isActive()) << LogLines(*wizard).join('\n').toStdString();
    ASSERT_TRUE(apptest::ProcessUntil([this] { return !wizard->tmrWrite->isActive(); }, 30000));
  }

  apptest::TDialogRecorder dialogs;  // every box shown, answered from its script
  std::string recorder;
  std::unique_ptr<TFrmHlavni> main;
  TFrmVypalData* wizard = nullptr;
};

}  // namespace wiztest
