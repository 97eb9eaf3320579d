#pragma once
// Building one zero-filled request block per command and judging its status; shared by the
// command operations of the layer.
#include <cstring>

#include "device/qvpSCSILib.h"

namespace qvp {

class TRequest {
 public:
  TRequest(uint8_t cdbLength, uint8_t opcode, uint8_t flags = kFlagsNoData,
           uint8_t* buffer = nullptr, uint32_t length = 0) {
    std::memset(&srb_, 0, sizeof srb_);
    srb_.SRB_CDBLen = cdbLength;
    srb_.SRB_Flags = flags;
    srb_.SRB_BufPointer = buffer;
    srb_.SRB_BufLen = length;
    srb_.CDBByte[0] = opcode;
  }
  uint8_t* Cdb() { return srb_.CDBByte; }
  uint8_t Execute(TSCSIDevice& dev) { return ExecuteCommand(dev, srb_); }
  // Most commands succeed on "completed"; the ones a drive may still be working on also on
  // "pending".
  bool Completed(TSCSIDevice& dev) { return Execute(dev) == plat::SS_COMP; }
  bool CompletedOrPending(TSCSIDevice& dev) {
    const uint8_t s = Execute(dev);
    return s == plat::SS_COMP || s == plat::SS_PENDING;
  }
  const SRB_ExecSCSICmd& Block() const { return srb_; }

 private:
  SRB_ExecSCSICmd srb_;
};

}  // namespace qvp
