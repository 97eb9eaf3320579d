#pragma once
// The disc-to-image window of a disc copy: the reading library reads the whole disc in the
// recorder into "ardovan.iso" in the temporary folder on a worker thread of lower priority,
// while a timer shows the file growing; the window cannot be closed during the read and closes
// by itself when the read ends. "Storno" stops the read; the unfinished image is removed.
#include <QString>
#include <cstdint>
#include <memory>

#include "app/FormDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TFrmHlavni;
namespace fe {
class TDiscRead;
}
namespace rd {
class TDevice;
class TDevices;
}  // namespace rd

class TFrmVytvorISO : public app::TFormDialog {
  Q_OBJECT
 public:
  explicit TFrmVytvorISO(TFrmHlavni* main);
  ~TFrmVytvorISO() override;

  QLabel* Label1;
  QProgressBar* Progress;
  QTimer* Timer1;
  QPushButton* btnStorno;

  // The reading library's drive at a burner index; null when its list has none there.
  rd::TDevice* ReaderAt(int index) const;
  // The image file of a copy: the temporary folder + "ardovan.iso".
  QString ImagePath() const;
  // True when the last read put every block of the disc into the image file.
  bool ReadComplete() const { return complete_; }
  // True when the user stopped the last read.
  bool Cancelled() const { return cancelled_; }
  bool FormCloseQuery() const override;

  // The file's size in bytes (64 bits), or -1 when it cannot be read.
  static int64_t GetImageFileSize(const QString& path);

 public slots:
  void FormShow() override;
  void Timer1Timer();
  void btnStornoClick();

 private:
  // The read's end, handed over from the worker to the window's thread.
  void ReadFinished(bool complete);

  TFrmHlavni* main_;
  std::unique_ptr<rd::TDevices> devices_;  // the drive list, kept for the program's run
  rd::TDevice* ReaderDevice = nullptr;
  std::unique_ptr<fe::TDiscRead> read_;
  bool complete_ = false;
  bool cancelled_ = false;
};
