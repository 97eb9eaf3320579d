#pragma once
// The main window's view of its recorder: a white panel in the face below the task tiles with
// the chosen recorder and the medium in it (kind, blank/appendable/closed, free space). The main
// window's drive watcher fills it; it never waits for a drive itself.
#include <QFrame>
#include <QString>

#include "device/qvpSCSIReady.h"

class QLabel;
class TQuorvexPro;

namespace app {

// Ticks of the drive watcher in milliseconds of real time; 0 switches the periodic tick off (the
// window tests tick it themselves). Read when a main window is created.
void SetDriveWatchIntervalMs(int ms);
int DriveWatchIntervalMs();

// A readable name of a medium type code ("DVD+R", "BD-RE", ...).
QString MediumKindText(uint8_t mediumType);
// "Médium: DVD+R, prázdné, volné místo 4,38 GB" and the like for the drive's answer; with Ready
// the component is asked for the medium's kind, state and free space.
QString MediumSummary(TQuorvexPro& qvx, qvp::TMediumReadiness readiness);

class TDriveStatusPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TDriveStatusPanel(QWidget* parent);

  QLabel* Recorder;  // "Vypalovačka: ..."
  QLabel* Medium;    // "Médium: ..."

 protected:
  void resizeEvent(QResizeEvent* e) override;
};

}  // namespace app
