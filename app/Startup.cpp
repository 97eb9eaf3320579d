#include "app/Startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/Dialogs.h"
#include "platform/InstanceLock.h"

namespace app {

bool AcquireSingleInstance(plat::TInstanceLock& lock) {
  if (lock.Acquire("Ardovan") || !lock.AlreadyExists()) return true;
  ShowError(QStringLiteral("Program je již spuštěn! Nelze spustit podruhé."));
  return false;
}

bool InstallCzechTranslation(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_cs"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace app
