#pragma once
// Start-up steps of the program that come before the main window: the single-instance guard
// and the Czech texts of Qt's own dialogs.
class QCoreApplication;
namespace plat {
class TInstanceLock;
}

namespace app {

// Takes the program's named lock "Ardovan". When another instance holds it, shows "Program je
// již spuštěn! Nelze spustit podruhé." and returns false; the caller then ends. A lock that
// cannot be made at all does not keep the program from starting.
bool AcquireSingleInstance(plat::TInstanceLock& lock);

// Loads Qt's Czech translation, so standard buttons read "Ano", "Ne", "Zrušit" and "OK".
// False when the translation is not installed.
bool InstallCzechTranslation(QCoreApplication& app);

}  // namespace app
