#pragma once
// Common ground of the window tests: one QApplication on the offscreen platform for the whole
// process, a dialog hook that records every box and answers with a scripted button, and a
// Czech number locale on request.
#include <QLocale>
#include <QMessageBox>
#include <QString>

class QDialog;

#include <deque>
#include <functional>
#include <vector>

#include "app/BurnView.h"
#include "app/Dialogs.h"

namespace apptest {

// Records the boxes shown while it lives and answers them from a script (then with the box's
// default button). Unanswered questions fail the test only when `strict` is set.
class TDialogRecorder {
 public:
  TDialogRecorder();
  ~TDialogRecorder();
  void Answer(QMessageBox::StandardButton b) { script_.push_back(b); }
  const std::vector<app::TDialogRequest>& Shown() const { return shown_; }
  QStringList Texts() const;

 private:
  std::vector<app::TDialogRequest> shown_;
  std::deque<QMessageBox::StandardButton> script_;
};

// Sets the default locale to Czech for the scope (numbers "1 234,56").
class TCzechLocale {
 public:
  TCzechLocale() : saved_(QLocale()) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
  }
  ~TCzechLocale() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

// Lets queued calls and posted events run until `done` holds or `maxRounds` rounds passed;
// each round waits at most 10 ms of real time for new events.
template <typename F>
bool ProcessUntil(F done, int maxRounds = 3000);
bool ProcessEventsFor(int rounds);

// A burn page that writes down what it is told (the wizard's stand-in below the main window's
// progress and completion hooks).
class TRecordingBurnView : public TBurnView {
 public:
  struct TBarState {
    int Maximum = 100, Position = 0;
  };
  void AppendLog(const QString& line) override { Log << line; }
  void SetStatusLine(const QString& text) override { StatusLine = text; }
  void SetBar(TBar bar, int maximum, int position) override {
    Bars[int(bar)] = {maximum, position};
  }
  void SetBarPosition(TBar bar, int position) override { Bars[int(bar)].Position = position; }
  void StopWriteTimer() override { ++TimerStops; }
  void RestoreButtons() override { ++Restores; }
  QStringList CompilationPaths() const override { return Paths; }

  QStringList Log;
  QString StatusLine = QStringLiteral("untouched");
  TBarState Bars[3];
  int TimerStops = 0, Restores = 0;
  QStringList Paths;
};

// Runs `work` inside the dialog's modal loop once it is shown; the dialog must be closed when
// `work` is done (forced otherwise, with a failure).
void WhenShown(QDialog* dialog, std::function<void()> work);

// File, folder and list pickers that fail the test when they are asked at all (the default).
void InstallStrictPickers();

// Folder under the build tree where the window pictures are saved.
QString ScreenshotFolder();

}  // namespace apptest

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

template <typename F>
bool apptest::ProcessUntil(F done, int maxRounds) {
  for (int i = 0; i < maxRounds; ++i) {
    if (done()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return done();
}
