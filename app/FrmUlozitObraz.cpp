#include "app/FrmUlozitObraz.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/Formats.h"
#include "app/WindowHelpers.h"
#include "vdrive/Tool.h"

TFrmUlozitObraz::TFrmUlozitObraz(QWidget* parent) : TFormDialog(parent) {
  setWindowTitle(QStringLiteral("Ukládám obraz disku..."));
  setFixedSize(460, 118);
  app::SetFixedFrame(this, false);
  Label1 = new QLabel(this);
  Label1->setGeometry(12, 12, 436, 22);
  Progress = new QProgressBar(this);
  Progress->setGeometry(12, 42, 436, 24);
  Progress->setRange(0, 1000);
  btnStorno = new QPushButton(QStringLiteral("Storno"), this);
  btnStorno->setGeometry(354, 80, 94, 28);
  connect(btnStorno, &QPushButton::clicked, this, &TFrmUlozitObraz::btnStornoClick);
  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, &TFrmUlozitObraz::Timer1Timer);
}

TFrmUlozitObraz::~TFrmUlozitObraz() {
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
}

bool TFrmUlozitObraz::Run(const std::string& folder, const QString& target) {
  stop_.store(false);
  finished_.store(false);
  ok_.store(false);
  done_.store(0);
  total_.store(0);
  error_.clear();
  btnStorno->setEnabled(true);
  Progress->setValue(0);
  Label1->setText(QStringLiteral("Ukládám obraz disku do souboru ") + target);
  const std::string output = target.toStdString();
  worker_ = std::thread([this, folder, output] {
    std::string error;
    const bool ok = vdrive::ExportMedium(folder, output, std::nullopt, error,
                                         [this](uint64_t done, uint64_t total) {
                                           done_.store(done);
                                           total_.store(total);
                                           return !stop_.load();
                                         });
    workerError_ = error;
    ok_.store(ok);
    finished_.store(true);
  });
  Timer1->start();
  exec();
  Timer1->stop();
  worker_.join();
  const bool ok = ok_.load() && !stop_.load();
  // An image cut short would pass for the disc; it goes.
  if (!ok) QFile::remove(target);
  if (!ok && !stop_.load()) error_ = QString::fromStdString(workerError_);
  return ok;
}

void TFrmUlozitObraz::Timer1Timer() {
  const uint64_t total = total_.load();
  if (total > 0) Progress->setValue(static_cast<int>(done_.load() * 1000 / total));
  if (finished_.load()) {
    Progress->setValue(Progress->maximum());
    done(ok_.load() ? Accepted : Rejected);
  }
}

void TFrmUlozitObraz::btnStornoClick() {
  stop_.store(true);
  btnStorno->setEnabled(false);
  Label1->setText(QStringLiteral("Ukládání se přerušuje..."));
}

bool TFrmUlozitObraz::FormCloseQuery() const { return finished_.load(); }

void TFrmUlozitObraz::reject() {
  if (!finished_.load()) {
    btnStornoClick();
    return;
  }
  TFormDialog::reject();
}
