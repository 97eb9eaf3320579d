#pragma once
// What the jobs hand the recording commands: the FORMAT UNIT parameter lists they use and the
// function codes of CLOSE TRACK/SESSION.
#include <cstdint>

#include "device/qvpDeviceTypes.h"

namespace qvp {

// FORMAT UNIT parameter lists: a format list header and one 8-byte descriptor, sent with CDB
// byte 1 = 11h (format data follows, format code 1).
constexpr uint8_t kFormatDataFollows = 0x11;
using TFormatList = uint8_t[12];
extern const TFormatList kFormatDvdRwQuick1000;  // DVD-RW sequential, quick, 1000 blocks, IMMED
extern const TFormatList kFormatDvdRwQuick0;     // DVD-RW sequential, quick, 0 blocks
extern const TFormatList kFormatDvdRwGrow;       // DVD-RW restricted overwrite, quick grow
extern const TFormatList kFormatDvdPlusRwBasic;  // DVD+RW basic format, 2295104 blocks
extern const TFormatList kFormatBdReQuick;       // BD-RE format type 30h, 640 blocks
extern const TFormatList kFormatDvdRamFull;      // DVD-RAM full format, 2236704 blocks
// FORMAT UNIT with format data carrying one of the lists above.
bool FormatWith(TSCSIDevice& d, const TFormatList& list);

// Function codes of CLOSE TRACK/SESSION (CDB byte 2).
namespace closefn {
constexpr uint8_t StopBackgroundFormat = 0;  // DVD+RW, BD-RE
constexpr uint8_t Track = 1;
constexpr uint8_t Session = 2;          // also ends a DVD+RW background format
constexpr uint8_t CompleteFormat = 3;   // DVD+RW: close the session, completing the format
constexpr uint8_t FinalizeMinimal = 5;  // DVD+R: finalize with a minimal radius
constexpr uint8_t FinalizeDisc = 6;     // DVD+R DL, BD-R
}  // namespace closefn
// The track number that addresses "the incomplete track" (DVD+R, DVD+RW).
constexpr uint8_t kCloseAnyTrack = 255;

}  // namespace qvp
