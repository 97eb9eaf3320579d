// Command execution: the two transports, the sense data of the last command, the command names
// and the command log.
#include "device/qvpSCSILib.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "device/qvpWNASPI32.h"
#include "platform/Clock.h"

namespace qvp {

void ResetDevice(TSCSIDevice& dev) {
  const uint8_t burnProof = dev.BurnProof;
  std::memset(&dev, 0, sizeof dev);
  dev.BurnProof = burnProof;
  dev.Handle = plat::kInvalidDriveHandle;
  dev.CurrentLetter = '?';
  dev.DeviceType = 0xFF;
  dev.HostAdapter = dev.Target = dev.Lun = 0xFF;
}

void CloseDriveHandle(TSCSIDevice& dev) {
  if (dev.Handle != plat::kInvalidDriveHandle) plat::CloseDrive(dev.Handle);
  dev.Handle = plat::kInvalidDriveHandle;
}

void ReleaseDevice(TSCSIDevice& dev) {
  CloseCommandLog(dev);
  CloseDriveHandle(dev);
}

uint8_t SptiExecute(TSCSIDevice& dev, SRB_ExecSCSICmd& srb) {
  uint32_t error = 0;
  if (dev.Handle == plat::kInvalidDriveHandle) {
    dev.Handle = plat::OpenDrive(dev.CurrentLetter, true, error);
    if (dev.Handle == plat::kInvalidDriveHandle)
      dev.Handle = plat::OpenDrive(dev.CurrentLetter, false, error);
  }

  plat::TScsiPassThroughBuffer pt;
  std::memset(&pt, 0, sizeof pt);
  const uint8_t cdbLen = std::min<uint8_t>(srb.SRB_CDBLen, sizeof pt.Spt.Cdb);
  pt.Spt.Length = sizeof(plat::TScsiPassThroughDirect);
  pt.Spt.CdbLength = cdbLen;
  pt.Spt.SenseInfoLength = srb.SRB_SenseLen;
  if (srb.SRB_Flags & plat::SRB_DIR_IN)
    pt.Spt.DataIn = plat::kScsiDataIn;
  else if (srb.SRB_Flags & plat::SRB_DIR_OUT)
    pt.Spt.DataIn = plat::kScsiDataOut;
  else
    pt.Spt.DataIn = plat::kScsiDataUnspecified;
  pt.Spt.DataTransferLength = srb.SRB_BufLen;
  pt.Spt.TimeOutValue = kSptiTimeoutSeconds;
  pt.Spt.DataBuffer = srb.SRB_BufPointer;
  pt.Spt.SenseInfoOffset = offsetof(plat::TScsiPassThroughBuffer, SenseBuffer);
  std::memcpy(pt.Spt.Cdb, srb.CDBByte, cdbLen);

  bool sent = false;
  if (dev.Handle != plat::kInvalidDriveHandle) sent = plat::DrivePassThrough(dev.Handle, pt, error);
  dev.LastSystemError = error;

  if (sent && pt.Spt.ScsiStatus == 0) {
    srb.SRB_Status = plat::SS_COMP;
  } else {
    srb.SRB_Status = plat::SS_ERR;
    std::memcpy(srb.SenseArea, pt.SenseBuffer, kSenseLength);
    srb.SRB_TargStat = pt.Spt.ScsiStatus;
  }
  if (dev.CloseAfterCommand == 1) CloseDriveHandle(dev);
  return srb.SRB_Status;
}

uint8_t ExecuteCommand(TSCSIDevice& dev, SRB_ExecSCSICmd& srb) {
  if (!dev.Initialized || dev.HostAdapter == 0xFF || dev.Target == 0xFF) {
    srb.SRB_Status = plat::SS_ERR;
    return plat::SS_ERR;
  }
  srb.SRB_HaId = dev.HostAdapter;
  srb.SRB_Target = dev.Target;
  srb.SRB_Lun = dev.Lun;
  srb.SRB_SenseLen = kSenseLength;
  srb.SRB_Cmd = plat::SC_EXEC_SCSI_CMD;
  // Drives that refuse negative (lead-in) addresses get the upper half of the address cleared.
  if (dev.ClearWriteLbaHigh == 1 && srb.CDBByte[0] == op::Write10)
    srb.CDBByte[2] = srb.CDBByte[3] = 0;

  if (dev.SptiInUse) {
    SptiExecute(dev, srb);
  } else if (dev.AspiSend) {
    AspiSendAndWait(dev.AspiSend, srb);
  } else {
    srb.SRB_Status = plat::SS_ERR;
  }

  if (dev.LogStream) LogText(dev, FormatCommandLogLine(dev, srb, plat::UtcNow()));

  // Judged on the final status: an ASPI library that completes asynchronously answers the send
  // with "pending", and a busy drive must still be recognised then.
  dev.Busy = (srb.SRB_Status != plat::SS_PENDING && srb.SRB_Status != plat::SS_COMP &&
              srb.SRB_TargStat == 8)
                 ? 1
                 : 0;
  std::memcpy(dev.LastSense, srb.SenseArea, sizeof dev.LastSense);
  if (dev.LastSense[12] != 0)
    dev.LastAscAscq = static_cast<uint16_t>(dev.LastSense[12] << 8 | dev.LastSense[13]);
  return srb.SRB_Status;
}

namespace {

struct TNamedOpcode {
  uint8_t Opcode;
  const char* Name;
};

constexpr TNamedOpcode kCommandNames[] = {
    {0x00, "TEST UNIT READY       "}, {0x01, "REWIND UNIT           "},
    {0x03, "REQUEST SENSE         "}, {0x04, "FORMAT UNIT           "},
    {0x12, "INQUIRY               "}, {0x1B, "START STOP UNIT       "},
    {0x1E, "PREVENT/ALLOW REMOVAL "}, {0x23, "READ FORMAT CAPACITIES"},
    {0x25, "READ CAPACITY         "}, {0x28, "READ (10)             "},
    {0x2A, "WRITE (10)            "}, {0x2B, "SEEK (10)             "},
    {0x2E, "WRITE AND VERIFY (10) "}, {0x2F, "VERIFY (10)           "},
    {0x35, "SYNCHRONIZE CACHE     "}, {0x42, "READ SUB-CHANNEL      "},
    {0x43, "READ TOC/PMA/ATIP     "}, {0x45, "PLAY AUDIO (10)       "},
    {0x46, "GET CONFIGURATION     "}, {0x47, "PLAY AUDIO MSF        "},
    {0x4A, "GET EVENT/STATUS NOTIF"}, {0x4B, "PAUSE/RESUME          "},
    {0x4E, "STOP PLAY/SCAN        "}, {0x51, "READ DISC INFORMATION "},
    {0x52, "READ TRACK INFORMATION"}, {0x53, "RESERVE TRACK         "},
    {0x54, "SEND OPC INFORMATION  "}, {0x55, "MODE SELECT (10)      "},
    {0x58, "REPAIR TRACK          "}, {0x5A, "MODE SENSE (10)       "},
    {0x5B, "CLOSE TRACK/SESSION   "}, {0x5C, "READ BUFFER CAPACITY  "},
    {0x5D, "SEND CUE SHEET        "}, {0xA1, "BLANK                 "},
    {0xA2, "SEND EVENT            "}, {0xA3, "SEND KEY              "},
    {0xA4, "REPORT KEY            "}, {0xA5, "PLAY AUDIO (12)       "},
    {0xA6, "LOAD/UNLOAD CD/DVD    "}, {0xA7, "SET READ AHEAD        "},
    {0xA8, "READ (12)             "}, {0xAA, "WRITE (12)            "},
    {0xAC, "GET PERFORMANCE       "}, {0xAD, "READ DVD STRUCTURE    "},
    {0xB6, "SET STREAMING         "}, {0xB9, "READ CD MSF           "},
    {0xBA, "SCAN                  "}, {0xBB, "SET CD SPEED          "},
    {0xBD, "MECHANISM STATUS      "}, {0xBE, "READ CD               "},
    {0xBF, "SEND DVD STRUCTURE    "},
};

void AppendHexByte(std::string& s, uint8_t b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  s += kHex[b >> 4];
  s += kHex[b & 15];
}

}  // namespace

void InitCommandNames(TSCSIDevice& dev) {
  std::memset(dev.CommandNames, 0, sizeof dev.CommandNames);
  for (const auto& n : kCommandNames)
    std::memcpy(dev.CommandNames[n.Opcode], n.Name, kCommandNameLength);
}

bool OpenCommandLog(TSCSIDevice& dev, const std::string& path) {
  CloseCommandLog(dev);
  dev.LogStream = std::fopen(path.c_str(), "wb");
  if (!dev.LogStream) return false;
  LogText(dev, std::string(kLibraryVersion) + "\r\n");
  return true;
}

void CloseCommandLog(TSCSIDevice& dev) {
  if (dev.LogStream) std::fclose(dev.LogStream);
  dev.LogStream = nullptr;
}

void LogText(TSCSIDevice& dev, std::string_view text) {
  if (!dev.LogStream) return;
  // The log is a diagnostic aid: a failed write must not fail the command.
  (void)std::fwrite(text.data(), 1, text.size(), dev.LogStream);
  (void)std::fflush(dev.LogStream);
}

std::string FormatCommandLogLine(const TSCSIDevice& dev, const SRB_ExecSCSICmd& srb,
                                 const plat::TSystemTime& utc) {
  std::string line;
  line.reserve(512);
  char head[160];
  const auto address = reinterpret_cast<uintptr_t>(srb.SRB_BufPointer);
  if (address % 4 != 0) {
    std::snprintf(head, sizeof head, "- NAL -> %0*llX ", static_cast<int>(2 * sizeof address),
                  static_cast<unsigned long long>(address));
    line += head;
  }
  std::snprintf(head, sizeof head, "%02d:%02d:%03d %s (%02X) {%02X:%02X} - %X:%X:%X <%02X> [%05X] ",
                utc.Minute, utc.Second, utc.Milliseconds, dev.CommandNames[srb.CDBByte[0]],
                srb.CDBByte[0], srb.SRB_Flags, srb.SRB_CDBLen, srb.SRB_HaId, srb.SRB_Target,
                srb.SRB_Lun, srb.SRB_Status, srb.SRB_BufLen);
  line += head;
  for (int i = 1; i < 16; ++i) {
    AppendHexByte(line, srb.CDBByte[i]);
    line += ' ';
  }
  line += "| ";
  const uint32_t dump = srb.SRB_BufPointer ? std::min<uint32_t>(100, srb.SRB_BufLen) : 0;
  for (uint32_t i = 0; i < dump; ++i) {
    AppendHexByte(line, srb.SRB_BufPointer[i]);
    line += ' ';
  }
  AppendHexByte(line, srb.SenseArea[12]);
  line += ':';
  AppendHexByte(line, srb.SenseArea[13]);
  if (dev.SptiInUse) {
    std::snprintf(head, sizeof head, ", %u", dev.LastSystemError);
    line += head;
  }
  line += "\r\n";
  return line;
}

}  // namespace qvp
