#pragma once
// The ASPI request blocks: the one command format of both device stacks, whatever carries the
// command (the pass-through of the drive namespace or an ASPI library loaded at run time).
// Multi-byte fields are little-endian. On a 32-bit build the layouts are exactly the classic
// ones (the execute block is 96 bytes with the CDB at 48 and the sense area at 64); on 64-bit the
// pointer fields widen and everything else keeps its order.
#include <cstddef>
#include <cstdint>

namespace plat {

// SRB_Cmd values.
constexpr uint8_t SC_HA_INQUIRY = 0x00;
constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr uint8_t SC_GET_DISK_INFO = 0x06;

// SRB_Status values (also the high byte of the support information).
constexpr uint8_t SS_PENDING = 0x00;
constexpr uint8_t SS_COMP = 0x01;
constexpr uint8_t SS_ABORTED = 0x02;
constexpr uint8_t SS_ERR = 0x04;
constexpr uint8_t SS_INVALID_CMD = 0x80;
constexpr uint8_t SS_INVALID_HA = 0x81;
constexpr uint8_t SS_NO_DEVICE = 0x82;
constexpr uint8_t SS_NO_ADAPTERS = 0xE8;

// SRB_Flags bits.
constexpr uint8_t SRB_DIR_IN = 0x08;
constexpr uint8_t SRB_DIR_OUT = 0x10;
constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

// SRB_HaStat value of a command that never completed.
constexpr uint8_t HASTAT_TIMEOUT = 0x09;

constexpr uint8_t DTYPE_CDROM = 0x05;
constexpr uint8_t DTYPE_UNKNOWN = 0x1F;

// Execute a SCSI command (SRB_Cmd 2). SRB_PostProc is a plat::TEvent* that the transport sets
// when the command completes, when SRB_Flags carries SRB_EVENT_NOTIFY.
struct SRB_ExecSCSICmd {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  uint8_t* SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  void* SRB_PostProc;
  uint8_t SRB_Rsvd2[20];
  uint8_t CDBByte[16];
  uint8_t SenseArea[32];
};

// Host adapter inquiry (SRB_Cmd 0), 60 bytes.
struct SRB_HAInquiry {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  char HA_ManagerId[16];
  char HA_Identifier[16];
  uint8_t HA_Unique[16];
  uint16_t HA_Rsvd1;
};

// Device type of an address (SRB_Cmd 1), 12 bytes.
struct SRB_GDEVBlock {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
};

// Disk information of an address (SRB_Cmd 6), 24 bytes; SRB_DriveNumber + 'A' is the letter.
struct SRB_GetDiskInfo {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DriveFlags;
  uint8_t SRB_DriveNumber;
  uint8_t SRB_Heads;
  uint8_t SRB_Sectors;
  uint8_t SRB_Rsvd1[10];
};

// Entry points of an ASPI library, with C linkage.
using TGetASPI32SupportInfo = uint32_t (*)();
using TSendASPI32Command = uint32_t (*)(void* srb);

// The blocks without pointers are the same on every build.
static_assert(sizeof(SRB_HAInquiry) == 60 && offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_ManagerId) == 10 &&
              offsetof(SRB_HAInquiry, HA_Identifier) == 26);
static_assert(sizeof(SRB_GDEVBlock) == 12 && offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10);
static_assert(sizeof(SRB_GetDiskInfo) == 24 && offsetof(SRB_GetDiskInfo, SRB_DriveNumber) == 11);

// The execute block: the classic offsets on 32-bit, the same order on 64-bit.
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8 &&
              offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(SRB_ExecSCSICmd) == 96);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20 &&
              offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 23);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24 &&
              offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 28);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48 &&
              offsetof(SRB_ExecSCSICmd, SenseArea) == 64);
#else
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 24 &&
              offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 27);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 32 &&
              offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 40);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 60 &&
              offsetof(SRB_ExecSCSICmd, SenseArea) == 76);
static_assert(sizeof(SRB_ExecSCSICmd) == 112);
#endif

}  // namespace plat
