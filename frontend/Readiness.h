#pragma once
// The one place where the front ends' sequences ask whether the medium in the recorder is ready
// before they query it.
#include <functional>

class TQuorvexPro;

namespace fe {

// TEST UNIT READY. With wait, a drive that reports its medium as becoming ready, just changed
// or the drive just reset is given time: a minute of its own time, polled every 500 ms, ended
// early by stop(). The sense codes of the wait are no one's error and are consumed.
bool MediumReady(TQuorvexPro& qvx, bool wait, const std::function<bool()>& stop = {});

}  // namespace fe
