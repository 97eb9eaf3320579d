#pragma once
// Erase progress window: borderless, always on top, a red label and an activity bar that moves
// once a second while a stand-alone erase runs.
#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

class TFrmMazani : public QWidget {
  Q_OBJECT
 public:
  explicit TFrmMazani(QWidget* parent = nullptr);

  // Bar to 0, timer running, window shown (not modal).
  void Start();
  // Timer stopped, window closed.
  void Finish();
  bool Running() const;

  QLabel* Label1;
  QProgressBar* ProgressBar;
  QTimer* Timer1;

 public slots:
  // One step of the bar; past its maximum it starts again from the beginning.
  void Timer1Timer();

 protected:
  void closeEvent(QCloseEvent* e) override;
};
