#pragma once
// "Uložit obraz disku...": what the virtual recorder's medium holds is written to an image file
// on a worker thread while this window shows how far it got; "Storno" stops it and removes the
// unfinished file. The window closes itself when the work is over.
#include <QString>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "app/FormDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TFrmUlozitObraz : public app::TFormDialog {
  Q_OBJECT
 public:
  explicit TFrmUlozitObraz(QWidget* parent);
  ~TFrmUlozitObraz() override;

  // Exports the medium of the recorder in folder into target; true when the file is complete.
  // Error() tells why not (empty when the user stopped it).
  bool Run(const std::string& folder, const QString& target);
  const QString& Error() const { return error_; }
  bool Stopped() const { return stop_.load(); }

  QLabel* Label1;
  QProgressBar* Progress;
  QPushButton* btnStorno;
  QTimer* Timer1;

  bool FormCloseQuery() const override;
  void reject() override;  // Escape and the frame's close button ask for Storno

 public slots:
  void btnStornoClick();
  void Timer1Timer();

 private:
  std::thread worker_;
  std::atomic<bool> stop_{false}, finished_{false}, ok_{false};
  std::atomic<uint64_t> done_{0}, total_{0};
  std::string workerError_;  // written by the worker before finished_
  QString error_;
};
