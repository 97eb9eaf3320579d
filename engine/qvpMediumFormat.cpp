#include "engine/qvpMediumFormat.h"

#include <cstring>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpFormat.h"
#include "device/qvpSCSIFormats.h"
#include "device/qvpSCSILib.h"
#include "device/qvpSCSIReady.h"
#include "engine/qvpErase.h"
#include "engine/qvpWrite.h"

using namespace qvp;

namespace {

// MMC format types.
constexpr uint8_t kFormatFull = 0x00;
constexpr uint8_t kFormatDvdPlusRw = 0x26;
constexpr uint8_t kFormatBdWithSpares = 0x30;

bool RandomAccessNeedingFormat(uint8_t t) {
  return t == mtBDRE || t == mtDVDPLUSRW || t == mtDVDRAM || t == mtHDDVDRAM;
}

// The drive's own proposal for the medium, else the erase's list for it.
void ChooseFormat(const TFormatCapacities& caps, uint8_t mediumType, uint8_t (&list)[12]) {
  switch (mediumType) {
    case mtBDRE:
      if (!BuildFormatList(caps, kFormatBdWithSpares, list) &&
          !BuildFormatList(caps, kFormatFull, list))
        std::memcpy(list, kFormatBdReQuick, sizeof list);
      break;
    case mtDVDPLUSRW:
      if (!BuildFormatList(caps, kFormatDvdPlusRw, list))
        std::memcpy(list, kFormatDvdPlusRwBasic, sizeof list);
      break;
    default:
      if (!BuildFormatList(caps, kFormatFull, list))
        std::memcpy(list, kFormatDvdRamFull, sizeof list);
      break;
  }
}

}  // namespace

bool NeedsFormatBeforeWrite(TSCSIDevice& d, uint8_t mediumType) {
  if (!RandomAccessNeedingFormat(mediumType)) return false;
  TFormatCapacities caps;
  return ReadFormatCapacityList(d, caps) && caps.CurrentType == TFormatCapacities::kUnformatted;
}

bool FormatBeforeFirstWrite(TSCSIDevice& d, uint8_t mediumType,
                            const std::function<bool()>& keepWaiting) {
  TFormatCapacities caps;
  ReadFormatCapacityList(d, caps);
  uint8_t list[12];
  ChooseFormat(caps, mediumType, list);
  if (!FormatWith(d, list)) return false;
  // A format runs for minutes on some media; the wait has no bound of its own but the caller's.
  WaitUntilMediumReady(d, keepWaiting, UINT32_MAX);
  return true;
}
