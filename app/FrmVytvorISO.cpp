#include "app/FrmVytvorISO.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/SizeEstimate.h"
#include "app/WindowHelpers.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Files.h"
#include "platform/Threads.h"
#include "reader/rdDevices.h"

// The read of the whole disc, once, one priority step below normal. Its end is handed to the
// window's thread; the window never touches the reader while it runs.
class TFrmVytvorISO::TReadThread : public plat::TThread {
 public:
  TReadThread(TFrmVytvorISO* window, rd::TDevice* device, std::string fileName)
      : device_(device), fileName_(std::move(fileName)) {
    SetPriority(plat::TThreadPriority::Lower);
    // The window waits for this thread before it goes, so it is there to post to; a call still
    // queued when it goes is dropped with it.
    OnTerminate = [this, window](plat::TThread*) {
      const bool complete = complete_.load();
      QMetaObject::invokeMethod(window, [window, complete] { window->ReadFinished(complete); }, Qt::QueuedConnection);
    };
  }

 protected:
  void Execute() override { complete_.store(device_->Reader().ReadToImage(fileName_)); }

 private:
  rd::TDevice* device_;
  std::string fileName_;
  std::atomic<bool> complete_{false};
};

TFrmVytvorISO::TFrmVytvorISO(TFrmHlavni* main) : TFormDialog(main), main_(main) {
  setWindowTitle(QStringLiteral("Vytvářím ISO obraz disku..."));
  setFixedSize(783, 530);
  app::SetFixedFrame(this, false);
  app::AddBackground(this, QStringLiteral("okno-pozadi.jpg"));

  Label1 = new QLabel(QStringLiteral("Vytváří se ISO obraz disku..."), this);
  Label1->setGeometry(16, 190, 751, 40);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(27);
  font.setBold(true);
  Label1->setFont(font);
  Label1->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));

  Progress = new QProgressBar(this);
  Progress->setGeometry(16, 240, 751, 27);
  Progress->setRange(0, 100);
  Progress->setValue(0);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TFrmVytvorISO::Timer1Timer);

  // FormCreate: the drive list of the reading library, enumerated once for the whole run.
  devices_ = std::make_unique<rd::TDevices>();
}

TFrmVytvorISO::~TFrmVytvorISO() {
  // The reader uses the drive list: the read ends before the list goes.
  if (worker_) worker_->WaitFor();
}

rd::TDevice* TFrmVytvorISO::ReaderAt(int index) const { return devices_->Items(index); }

QString TFrmVytvorISO::ImagePath() const {
  return app::EnsureTrailingSlash(main_->GetTempDir()) + QLatin1String(kImageName);
}

int64_t TFrmVytvorISO::GetImageFileSize(const QString& path) { return plat::GetFileSize(path.toStdString()); }

void TFrmVytvorISO::FormShow() {
  TQuorvexPro& qvx = main_->Qvx();
  // The recorded data in KB: 2 KB a block.
  const int64_t total = qvx.GetTotalBlocks(), freeBlocks = qvx.GetFreeBlocks();
  Progress->setRange(0, static_cast<int>(std::clamp<int64_t>((total - freeBlocks) * 2, 1, INT32_MAX)));
  Progress->setValue(0);
  Label1->setText(QStringLiteral("Vytváří se ISO obraz disku..."));
  complete_ = false;
  ReaderDevice = devices_->Items(main_->GetBurnerIndex());
  Timer1->start();
  if (ReaderDevice == nullptr) {
    // Nothing to read with: the copy ends as an incomplete one.
    QMetaObject::invokeMethod(this, [this] { ReadFinished(false); }, Qt::QueuedConnection);
    return;
  }
  worker_ = std::make_unique<TReadThread>(this, ReaderDevice, ImagePath().toStdString());
  worker_->Resume();
}

void TFrmVytvorISO::ReadFinished(bool complete) {
  if (worker_) {
    worker_->WaitFor();
    worker_.reset();
  }
  complete_ = complete;
  Timer1->stop();
  close();
}

void TFrmVytvorISO::Timer1Timer() {
  const int64_t size = GetImageFileSize(ImagePath());
  const int64_t kb = size / 1024;  // -1 (no size) gives 0
  Progress->setValue(static_cast<int>(std::clamp<int64_t>(kb, 0, Progress->maximum())));
  Label1->setText(QStringLiteral("Vytváří se ISO obraz disku... ") + app::FormatSize(static_cast<uint64_t>(kb)));
}

bool TFrmVytvorISO::FormCloseQuery() const { return !Timer1->isActive(); }
