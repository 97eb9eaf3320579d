#pragma once
// Whether the selected drive holds a medium it can work with, asked the way a drive wants to be
// asked right after a disc went in: a drive answers the first command after a medium change
// with UNIT ATTENTION and then reports itself becoming ready for seconds, and neither means that
// the tray is empty.
#include <cstdint>
#include <functional>

namespace qvp {

struct TSCSIDevice;

// The answer of WaitUntilMediumReady.
enum class TMediumReadiness : uint8_t {
  Ready,         // TEST UNIT READY succeeded
  NoMedium,      // the drive reports no medium (tray open or closed)
  Unusable,      // a medium is there, but the drive reports it cannot use it (wrong kind, errors)
  TimedOut,      // still becoming ready or busy with a long operation when the time was up
  Aborted,       // the caller's keepWaiting said to stop
  NotAnswering,  // the command did not reach the drive or came back without sense data
};

// How long a medium may take to become ready, in milliseconds of drive time.
constexpr uint32_t kMediumReadyLimitMs = 30000;
// Time between two polls while the drive works towards ready.
constexpr uint32_t kMediumReadyPollMs = 100;

// Polls TEST UNIT READY: a unit attention is taken as read and asked again at once; while the
// drive answers "not ready, but getting there" (becoming ready, format, long write or other
// operation in progress) or BUSY it is asked again every kMediumReadyPollMs of platform clock,
// for at most limitMs (0: ask once, taking a unit attention as read). keepWaiting, when given,
// is called before every poll on the caller's thread (so at least every 200 ms) and ends the
// wait with Aborted when it returns false. The sense codes of a wait that ends Ready are no
// one's error: the device error code is left as it was before.
TMediumReadiness WaitUntilMediumReady(TSCSIDevice& dev,
                                      const std::function<bool()>& keepWaiting = nullptr,
                                      uint32_t limitMs = kMediumReadyLimitMs);

// True when the last command failed only because the drive reported a medium change (unit
// attention) or is still working towards ready: after WaitUntilMediumReady it may succeed.
bool FailedWhileSettling(const TSCSIDevice& dev);

}  // namespace qvp
