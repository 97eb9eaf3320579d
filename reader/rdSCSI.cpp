#include "reader/rdSCSI.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cstring>

#include "platform/Aspi.h"
#include "platform/Threads.h"

namespace rd {
namespace {

std::recursive_mutex& CommandLock() {
  static std::recursive_mutex m;
  return m;
}

plat::TAspiLayerOptions LayerOptions() {
  plat::TAspiLayerOptions o;
  o.AnswerInquiryFromTable = true;
  o.TimeoutSeconds = kReaderTimeOutSeconds;
  o.ManagerId = "rdSCSI";
  o.AdapterId = "SPTI";
  return o;
}

std::string DescribeSystem() {
  utsname u{};
  if (uname(&u) != 0) return "Linux";
  return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

}  // namespace

TrdSCSI::TrdSCSI()
    : lock_(CommandLock()), layer_(LayerOptions()), systemVersion_(DescribeSystem()) {}

bool TrdSCSI::FindLetter(char letter, plat::TAspiDevice& device) const {
  for (const plat::TAspiDevice& d : layer_.Devices()) {
    if (d.Letter != letter) continue;
    device = d;
    return true;
  }
  return false;
}

uint8_t TrdSCSI::Execute(uint8_t hostAdapter, uint8_t target, uint32_t bufLen, void* buffer,
                         uint8_t flags, uint8_t cdbLength, const uint8_t* cdb, uint8_t lun,
                         uint8_t* sense) {
  plat::SRB_ExecSCSICmd srb;
  std::memset(&srb, 0, sizeof srb);
  plat::TEvent done;
  if (flags & plat::SRB_EVENT_NOTIFY) srb.SRB_PostProc = &done;
  srb.SRB_Cmd = plat::SC_EXEC_SCSI_CMD;
  srb.SRB_Flags = flags;
  srb.SRB_HaId = hostAdapter;
  srb.SRB_Target = target;
  srb.SRB_Lun = lun;
  srb.SRB_BufLen = bufLen;
  srb.SRB_BufPointer = static_cast<uint8_t*>(buffer);
  srb.SRB_SenseLen = kReaderSenseLength;
  srb.SRB_CDBLen = cdbLength;
  if (cdb) std::memcpy(srb.CDBByte, cdb, std::min<size_t>(cdbLength, sizeof srb.CDBByte));
  srb.CDBByte[1] = static_cast<uint8_t>((srb.CDBByte[1] & 0x1F) | (lun << 5));

  if (srb.CDBByte[0] == 0xFF) {
    srb.SRB_Status = plat::SS_COMP;
  } else {
    layer_.Send(&srb);
    // The layer completes every request before it returns; a request it left pending is waited
    // for only when it promised an event.
    if (srb.SRB_Status == plat::SS_PENDING && srb.SRB_PostProc) done.Wait();
  }
  if (srb.SRB_Status == plat::SS_PENDING) {
    srb.SRB_Status = plat::SS_ERR;
    srb.SRB_HaStat = plat::HASTAT_TIMEOUT;
  }
  if (sense) std::memcpy(sense, srb.SenseArea, kReaderSenseLength);
  return srb.SRB_Status;
}

uint8_t ExecuteOn(const TCDBurnerInfo& info, const uint8_t* cdb, uint8_t cdbLength, uint32_t length,
                  void* buffer, uint8_t flags, uint8_t* sense) {
  TrdSCSI scsi;
  return scsi.Execute(info.HostAdapter, info.Target, length, buffer, flags, cdbLength, cdb,
                      info.Lun, sense);
}

}  // namespace rd
