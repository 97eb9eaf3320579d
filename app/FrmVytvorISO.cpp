#include "app/FrmVytvorISO.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>

#include "app/Formats.h"
#include "app/FrmHlavni.h"
#include "app/WindowHelpers.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/CopySequence.h"
#include "frontend/Texts.h"
#include "platform/Files.h"
#include "reader/rdDevices.h"

TFrmVytvorISO::TFrmVytvorISO(TFrmHlavni* main) : TFormDialog(main), main_(main) {
  setWindowTitle(QStringLiteral("Vytvářím ISO obraz disku..."));
  setFixedSize(783, 530);
  app::SetFixedFrame(this, false);
  app::AddBackground(this, QStringLiteral("okno-pozadi.jpg"));

  Label1 = new QLabel(app::Q(fe::text::kCopyReading), this);
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

  btnStorno = new QPushButton(QStringLiteral("Storno"), this);
  btnStorno->setGeometry(667, 484, 100, 28);
  connect(btnStorno, &QPushButton::clicked, this, &TFrmVytvorISO::btnStornoClick);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TFrmVytvorISO::Timer1Timer);

  // FormCreate: the drive list of the reading library, enumerated once for the whole run.
  devices_ = std::make_unique<rd::TDevices>();
}

// The reader uses the drive list: the read ends before the list goes (the read waits for its
// worker when it goes, and it goes first).
TFrmVytvorISO::~TFrmVytvorISO() { read_.reset(); }

rd::TDevice* TFrmVytvorISO::ReaderAt(int index) const { return devices_->Items(index); }

QString TFrmVytvorISO::ImagePath() const {
  return app::Q(fe::CopyImagePath(main_->GetTempDir().toStdString()));
}

int64_t TFrmVytvorISO::GetImageFileSize(const QString& path) {
  return plat::GetFileSize(path.toStdString());
}

void TFrmVytvorISO::FormShow() {
  Progress->setRange(
      0, static_cast<int>(std::clamp<int64_t>(fe::RecordedKB(main_->Qvx()), 1, INT32_MAX)));
  Progress->setValue(0);
  Label1->setText(app::Q(fe::text::kCopyReading));
  complete_ = false;
  cancelled_ = false;
  btnStorno->setEnabled(true);
  ReaderDevice = devices_->Items(main_->GetBurnerIndex());
  Timer1->start();
  if (ReaderDevice == nullptr) {
    // Nothing to read with: the copy ends as an incomplete one.
    QMetaObject::invokeMethod(
        this, [this] { ReadFinished(false); }, Qt::QueuedConnection);
    return;
  }
  // The read's end is handed to the window's thread; the window never touches the reader while
  // it runs. A call still queued when the window goes is dropped with it.
  read_ = std::make_unique<fe::TDiscRead>(
      *ReaderDevice, ImagePath().toStdString(), [this](bool complete) {
        QMetaObject::invokeMethod(
            this, [this, complete] { ReadFinished(complete); }, Qt::QueuedConnection);
      });
}

void TFrmVytvorISO::btnStornoClick() {
  if (!read_) return;
  // The read stops before its next chunk; its end closes the window as usual.
  cancelled_ = true;
  btnStorno->setEnabled(false);
  Label1->setText(QStringLiteral("Čtení disku se přerušuje..."));
  read_->Cancel();
}

void TFrmVytvorISO::ReadFinished(bool complete) {
  read_.reset();
  complete_ = complete;
  Timer1->stop();
  close();
}

void TFrmVytvorISO::Timer1Timer() {
  if (cancelled_) return;
  const int64_t size = GetImageFileSize(ImagePath());
  const int64_t kb = size / 1024;  // -1 (no size) gives 0
  Progress->setValue(static_cast<int>(std::clamp<int64_t>(kb, 0, Progress->maximum())));
  Label1->setText(app::Q(fe::CopyProgressText(size, app::Numbers())));
}

bool TFrmVytvorISO::FormCloseQuery() const { return !Timer1->isActive(); }
