#pragma once
// What the main window needs of the data-disc wizard's burn page: the progress routine, the
// completion handlers and the hand-over of the compilation write into it. The wizard implements
// this; the main window holds it without knowing the window behind it.
#include <QString>
#include <QStringList>

#include "frontend/BurnSequence.h"

class TBurnView {
 public:
  enum class TBar { Main, SoftwareBuffer, DriveBuffer };  // pb, scs, dbs

  virtual ~TBurnView() = default;

  virtual void AppendLog(const QString& line) = 0;      // one line at the end of the log
  virtual void SetStatusLine(const QString& text) = 0;  // the centred status line
  virtual void SetBar(TBar bar, int maximum, int position) = 0;
  virtual void SetBarPosition(TBar bar, int position) = 0;
  virtual void StopWriteTimer() = 0;
  // "Vypálit" on, "< Zpět" on in compilation mode and off in image mode, "Storno" off.
  virtual void RestoreButtons() = 0;
  // The source paths of the compilation list, first to last.
  virtual QStringList CompilationPaths() const = 0;
  // The burn sequence has entered a state; the page sets what belongs to the page alone (the
  // main window has restored the buttons where the state asks for it).
  virtual void BurnStateChanged(fe::TBurnState /*state*/) {}
};
