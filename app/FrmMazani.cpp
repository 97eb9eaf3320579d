#include "app/FrmMazani.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "app/WindowHelpers.h"
#include "platform/Clock.h"

TFrmMazani::TFrmMazani(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Ardovan"));
  setFixedSize(397, 72);

  Label1 = new QLabel(QString(34, QLatin1Char(' ')) + QStringLiteral("Probíhá mazání..."), this);
  Label1->setGeometry(0, 0, 397, 33);
  Label1->setAutoFillBackground(true);
  QPalette pal = Label1->palette();
  pal.setColor(QPalette::Window, Qt::red);
  pal.setColor(QPalette::WindowText, Qt::white);
  Label1->setPalette(pal);
  QFont serif(QStringLiteral("DejaVu Serif"));
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(16);
  serif.setBold(true);
  Label1->setFont(serif);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  ProgressBar = new QProgressBar(this);
  ProgressBar->setGeometry(0, 33, 397, 39);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  Timer1 = new QTimer(this);
  // One step per second of program time (the clock runs faster in tests).
  Timer1->setInterval(std::max(1, static_cast<int>(1000.0 / plat::ClockScale())));
  connect(Timer1, &QTimer::timeout, this, &TFrmMazani::Timer1Timer);
}

void TFrmMazani::Start() {
  ProgressBar->setValue(0);
  Timer1->start();
  app::CentreOnScreen(this);
  show();
  raise();
}

void TFrmMazani::Finish() {
  Timer1->stop();
  close();
}

bool TFrmMazani::Running() const { return Timer1->isActive(); }

void TFrmMazani::Timer1Timer() {
  const int lo = ProgressBar->minimum(), hi = ProgressBar->maximum();
  int pos = ProgressBar->value() + 1;
  if (pos > hi) pos = lo + (pos - lo) % (hi - lo);
  ProgressBar->setValue(pos);
}

void TFrmMazani::closeEvent(QCloseEvent* e) {
  // Only the end of the erase closes the window.
  if (Timer1->isActive())
    e->ignore();
  else
    QWidget::closeEvent(e);
}
