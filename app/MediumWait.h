#pragma once
// The wait for a medium that has just gone in, as the windows run it: the busy cursor and the
// status text "Čekám, až bude médium připraveno..." while the component's readiness wait runs,
// the window's events flowing meanwhile, so it repaints and its "Storno" can end the wait.
#include <QString>
#include <functional>

#include "device/qvpSCSIReady.h"

class TQuorvexPro;

namespace app {

inline const char kWaitingForMedium[] = "Čekám, až bude médium připraveno...";

// Runs TQuorvexPro::WaitUntilMediumReady; status hears the waiting text first and an empty text
// at the end; stop() ends the wait early (answered Aborted).
qvp::TMediumReadiness WaitForMedium(TQuorvexPro& qvx,
                                    const std::function<void(const QString&)>& status,
                                    const std::function<bool()>& stop);

}  // namespace app
