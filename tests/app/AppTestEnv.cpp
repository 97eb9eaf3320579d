#include "tests/app/AppTestEnv.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTimer>

#include "app/DriveStatusPanel.h"
#include "app/Startup.h"
#include "tests/support/TestEnv.h"

namespace apptest {
namespace {

// No box may ever wait for a person: unexpected ones are answered and reported.
QMessageBox::StandardButton StrictDialogHook(const app::TDialogRequest& r) {
  ADD_FAILURE() << "unexpected message box: " << r.Text.toStdString();
  return r.DefaultButton == QMessageBox::NoButton ? QMessageBox::Ok : r.DefaultButton;
}

class TQtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    app::InstallCzechTranslation(*app_);
    // The drive watcher looks only when a test asks it to: nothing else talks to the recorders.
    app::SetDriveWatchIntervalMs(0);
    app::SetDialogHook(StrictDialogHook);
    InstallStrictPickers();
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] testing::Environment* const gQt =
    testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

TDialogRecorder::TDialogRecorder() {
  app::SetDialogHook([this](const app::TDialogRequest& r) {
    shown_.push_back(r);
    if (!script_.empty()) {
      const QMessageBox::StandardButton b = script_.front();
      script_.pop_front();
      return b;
    }
    return r.DefaultButton == QMessageBox::NoButton ? QMessageBox::Ok : r.DefaultButton;
  });
}

TDialogRecorder::~TDialogRecorder() { app::SetDialogHook(StrictDialogHook); }

QStringList TDialogRecorder::Texts() const {
  QStringList t;
  for (const auto& r : shown_) t << r.Text;
  return t;
}

void InstallStrictPickers() {
  auto noPath = [](const QString& what) {
    ADD_FAILURE() << "unexpected file or folder dialog: " << what.toStdString();
    return QString();
  };
  app::SetOpenFileHook(noPath);
  app::SetSaveFileHook(noPath);
  app::SetFolderHook(noPath);
  app::SetChoiceHook([](const QString& label, const QStringList&) {
    ADD_FAILURE() << "unexpected choice: " << label.toStdString();
    return -1;
  });
}

void WhenShown(QDialog* dialog, std::function<void()> work) {
  auto* timer = new QTimer(dialog);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, dialog, [dialog, timer, work] {
    if (!dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    work();
    if (dialog->isVisible()) {
      ADD_FAILURE() << "the dialog was left open";
      dialog->done(0);
    }
  });
  timer->start();
}

bool ProcessEventsFor(int rounds) {
  for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return true;
}

QString ScreenshotFolder() {
  const QString dir = QString::fromStdString(testenv::BinaryDir()) + QStringLiteral("/screenshots");
  QDir().mkpath(dir);
  return dir;
}

}  // namespace apptest
