// ardovan: the Qt application.
#include <QApplication>

#include "app/Dialogs.h"
#include "app/FrmHlavni.h"
#include "app/Startup.h"
#include "platform/InstanceLock.h"
#include "vdrive/VirtualDrives.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(app::kAppTitle));
  QApplication::setDesktopFileName(QStringLiteral("ardovan"));
  app::InstallCzechTranslation(application);
  // Held for the life of the process; a second start shows its message and ends.
  plat::TInstanceLock lock;
  if (!app::AcquireSingleInstance(lock)) return 1;
  // Virtual recorders join the drive namespace before the component looks for drives.
  vdrive::RegisterVirtualDrives();
  TFrmHlavni main;
  main.show();
  return QApplication::exec();
}
