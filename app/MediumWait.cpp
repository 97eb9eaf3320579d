#include "app/MediumWait.h"

#include <QApplication>

#include "engine/qvpQuorvexPro.h"

namespace app {

qvp::TMediumReadiness WaitForMedium(TQuorvexPro& qvx,
                                    const std::function<void(const QString&)>& status,
                                    const std::function<bool()>& stop) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (status) status(QString::fromUtf8(kWaitingForMedium));
  const qvp::TMediumReadiness r = qvx.WaitUntilMediumReady([&stop] {
    QCoreApplication::processEvents();
    return !(stop && stop());
  });
  if (status) status(QString());
  QApplication::restoreOverrideCursor();
  return r;
}

}  // namespace app
