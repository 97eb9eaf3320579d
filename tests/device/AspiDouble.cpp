// ASPI libraries that misbehave in the ways discovery must survive, one variant per build:
// ASPI_ZERO_ADAPTERS reports no host adapters, counts the INQUIRYs per adapter and knows one
// drive (2:3:0, drive G) whose commands complete synchronously; ASPI_NO_SEND lacks the send
// entry point; ASPI_NO_SUPPORT answers the support information with 0; ASPI_EVERY_ADDRESS
// answers INQUIRY at every address of its seven adapters as a CD/DVD drive.
#include <cstdint>
#include <cstring>

#include "platform/Aspi.h"

namespace {
int inquiries[256];
}

extern "C" {

__attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() {
#if defined(ASPI_NO_SUPPORT)
  return 0;
#else
  std::memset(inquiries, 0, sizeof inquiries);
  return uint32_t{plat::SS_COMP} << 8;
#endif
}

__attribute__((visibility("default"))) int AspiDoubleInquiries(int adapter) {
  return adapter >= 0 && adapter < 256 ? inquiries[adapter] : -1;
}

#if !defined(ASPI_NO_SEND)
__attribute__((visibility("default"))) uint32_t SendASPI32Command(void* block) {
  auto* b = static_cast<uint8_t*>(block);
  switch (b[0]) {
    case plat::SC_HA_INQUIRY: {
      auto& ha = *static_cast<plat::SRB_HAInquiry*>(block);
#if defined(ASPI_EVERY_ADDRESS)
      ha.HA_Count = 7;
#else
      ha.HA_Count = 0;
#endif
      ha.SRB_Status = plat::SS_COMP;
      return plat::SS_COMP;
    }
    case plat::SC_EXEC_SCSI_CMD: {
      auto& srb = *static_cast<plat::SRB_ExecSCSICmd*>(block);
      if (srb.CDBByte[0] == 0x12) ++inquiries[srb.SRB_HaId];
#if defined(ASPI_EVERY_ADDRESS)
      const bool known = true;
#else
      const bool known = srb.SRB_HaId == 2 && srb.SRB_Target == 3 && srb.SRB_Lun == 0;
#endif
      if (!known) {
        srb.SRB_Status = plat::SS_NO_DEVICE;
        return plat::SS_NO_DEVICE;
      }
      if (srb.CDBByte[0] == 0x12 && srb.SRB_BufPointer && srb.SRB_BufLen >= 36) {
        std::memset(srb.SRB_BufPointer, 0, srb.SRB_BufLen);
        srb.SRB_BufPointer[0] = 5;
        std::memcpy(srb.SRB_BufPointer + 8, "DOUBLE  ASPI Test Drive 2.00", 28);
        srb.SRB_BufPointer[28] = 0x01;  // a control character inside the product name
      }
      // Completed at once: the event is never set, so a caller that waited would hang.
      srb.SRB_Status = plat::SS_COMP;
      return plat::SS_COMP;
    }
    case plat::SC_GET_DISK_INFO: {
      auto& di = *static_cast<plat::SRB_GetDiskInfo*>(block);
      if (di.SRB_HaId != 2 || di.SRB_Target != 3) return plat::SS_NO_DEVICE;
      di.SRB_DriveNumber = 6;
      di.SRB_Status = plat::SS_COMP;
      return plat::SS_COMP;
    }
    default:
      return plat::SS_ERR;
  }
}
#endif

}  // extern "C"
