#pragma once
// Media that must be formatted before their first write: a new BD-RE refuses every WRITE until
// it is formatted, and so do some drives with a new DVD+RW; a DVD-RAM or HD DVD-RAM may come
// unformatted too. The write job formats them first, the way the drive proposes in READ FORMAT
// CAPACITIES, or with the list the erase uses when the drive proposes nothing.
#include <cstdint>
#include <functional>

namespace qvp {
struct TSCSIDevice;
}

// True when the medium of this type reports itself unformatted and takes no WRITE before it
// is formatted.
bool NeedsFormatBeforeWrite(qvp::TSCSIDevice& d, uint8_t mediumType);

// FORMAT UNIT (immediate) for the medium, then waits until the drive is ready again; the wait
// polls every 100 ms of drive time and ends early when keepWaiting returns false. False when
// the drive refused the format.
bool FormatBeforeFirstWrite(qvp::TSCSIDevice& d, uint8_t mediumType,
                            const std::function<bool()>& keepWaiting);
