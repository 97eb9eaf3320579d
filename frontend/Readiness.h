#pragma once
// The one place where the front ends' sequences ask whether the medium in the recorder is ready
// before they query it, and the words for each way it may not be.
#include <functional>
#include <string>

#include "device/qvpSCSIReady.h"

class TQuorvexPro;

namespace fe {

// The component's readiness wait. With wait, a medium just inserted or a drive busy with a long
// operation is given its time (bounded by the component), ended early by stop(); without, the
// drive is asked once (a unit attention taken as read).
qvp::TMediumReadiness MediumReadiness(TQuorvexPro& qvx, bool wait,
                                      const std::function<bool()>& stop = {});
// True when MediumReadiness answers Ready.
bool MediumReady(TQuorvexPro& qvx, bool wait, const std::function<bool()>& stop = {});

// The burn log's line for a drive that is not ready: the described "no medium" line for an empty
// drive (and a wait the user ended), its own line for each other answer.
std::string NotReadyLogLine(qvp::TMediumReadiness r);
// The message of a flow that cannot begin: noMedium for an empty drive, its own text otherwise.
std::string NotReadyMessage(qvp::TMediumReadiness r, const std::string& noMedium);

}  // namespace fe
