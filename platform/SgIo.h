#pragma once
// Translation of a pass-through request into the Linux SG_IO header and of its outcome back into
// the request, kept apart from the ioctl so it can be checked without a drive.
#include <scsi/sg.h>

#include <cstdint>

#include "platform/Drives.h"

namespace plat {

// Fills hdr from the request: CDB, direction (DataIn 1 = from the device, 0 = to the device,
// 2 = no data with length 0), transfer length and buffer, the request's own sense buffer with at
// most its size, and the timeout (TimeOutValue seconds, in ms). False for a request that cannot
// be sent (unknown direction, CDB length 0 or above 16); hdr is then unusable.
bool BuildSgIoHeader(TScsiPassThroughBuffer& request, sg_io_hdr& hdr);

// Copies the outcome of a completed SG_IO into the request (SCSI status, bytes actually moved;
// the sense bytes are already in place). False with lastError set when the command did not reach
// the drive or did not complete there (adapter or driver failure, time-out).
bool ApplySgIoOutcome(const sg_io_hdr& hdr, TScsiPassThroughBuffer& request, uint32_t& lastError);

}  // namespace plat
