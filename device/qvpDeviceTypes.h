#pragma once
// The device record of the command layer, TSCSIDevice, and the records it is made of: the drive
// list rows, the capability flags, the transfer statistics. The record is plain data (it can be
// zero-filled as a whole); the one outside object it refers to is the command log stream.
#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "platform/Aspi.h"
#include "platform/Drives.h"

namespace qvp {

constexpr int kMaxDrives = 26;
constexpr int kCommandNameLength = 22;
constexpr uint32_t kDataBufferSize = 131072;

// Operation code -> 22-character command name of the log; empty for unnamed opcodes.
using TCommandNames = char[256][kCommandNameLength + 1];

// One row of the drive list.
struct TDriveEntry {
  char Letter;          // '?' when none could be found
  uint8_t DeviceType;   // 5 for every listed drive
  uint8_t HostAdapter;  // ASPI host adapter, or the port number under the pass-through
  uint8_t Target;
  uint8_t Lun;
  char Description[128];  // "h:t:l,X: VENDOR   PRODUCT          REV "
};
static_assert(sizeof(TDriveEntry) == 133);

// What the drive reads and writes, each 0 or 1 (GetDeviceCapability codes in brackets).
struct TCapabilityFlags {
  uint8_t ReadCdR, ReadCdRw, ReadDvdRam, ReadDvdR, ReadDvdRw;       // 1-5
  uint8_t ReadDvdPlusR, ReadDvdPlusRw, ReadDvdPlusRDl;              // 6-8
  uint8_t ReadHdDvdRom, ReadHdDvdR, ReadHdDvdRam;                   // 9-11
  uint8_t ReadBdRom, ReadBdR, ReadBdRe;                             // 12-14
  uint8_t WriteCdR, WriteCdRw, WriteDvdRam, WriteDvdR, WriteDvdRw;  // 21-25
  uint8_t WriteDvdPlusR, WriteDvdPlusRw, WriteDvdPlusRDl;           // 26-28
  uint8_t WriteHdDvdR, WriteHdDvdRam, WriteBdR, WriteBdRe;          // 29-32
  uint8_t TestWrite, UnderrunProtection;                            // 41, 42
  uint8_t ReadDvdRom, ReadMethod2;                                  // no code
};
static_assert(sizeof(TCapabilityFlags) == 30);

// READ(10) or WRITE(10) transfer statistics of the current selection.
struct TTransferStatistics {
  double StartTick;
  double EndTick;
  double Milliseconds;  // accumulated
  double Bytes;         // accumulated
  uint8_t Count;        // commands sent (wraps)
  uint16_t Speed;       // current speed, kB/s
};

constexpr int kSpeedSamples = 64;

struct TSCSIDevice {
  plat::TDriveHandle Handle;
  // Command data buffers are kept 4-byte aligned, as transfers prefer (the log marks others).
  alignas(8) uint8_t DataBuffer[kDataBufferSize];
  TCommandNames CommandNames;
  TDriveEntry Drives[kMaxDrives];
  uint8_t DriveCount;
  char CurrentLetter;
  uint8_t DeviceType;
  uint32_t LastSystemError;
  uint8_t CloseAfterCommand;
  uint8_t AspiOnly;
  uint8_t Initialized;
  uint8_t SptiInUse;
  plat::TSendASPI32Command AspiSend;
  plat::SRB_GetDiskInfo DiskInfoRequest;
  uint8_t CurrentIndex;
  uint8_t HostAdapter, Target, Lun;
  char Vendor[9];
  char Product[17];
  uint8_t LastSense[32];
  uint8_t Busy;
  uint8_t BurnProof;
  std::FILE* LogStream;
  uint16_t LastAscAscq;
  uint32_t BufferLength, BufferBlank;
  alignas(4) uint8_t TrackInfo[38];
  alignas(4) uint8_t DiscInfo[64];
  alignas(4) uint8_t Configuration[114];
  TTransferStatistics WriteStats;
  TTransferStatistics ReadStats;
  uint8_t Capabilities[64];
  uint16_t DefaultMaxReadSpeed, DefaultMaxWriteSpeed;
  uint8_t ClearWriteLbaHigh;
  TCapabilityFlags Flags;
  char ErrorText[784];
  uint8_t WriteParameters[72];
  uint16_t RequestedWriteSpeed, RequestedReadSpeed;
  uint16_t MaxReadSpeed, CurrentReadSpeed, MaxWriteSpeed, CurrentWriteSpeed;
  uint8_t TestWrite, FinalizeDisc;
  int64_t SampleTicks[kSpeedSamples];
  int64_t SampleBytes[kSpeedSamples];
  uint32_t SampleIndex;
  double MsPerTick;
};
static_assert(std::is_trivially_copyable_v<TSCSIDevice>);

// Offsets of the host-order fields in TrackInfo.
namespace trackinfo {
constexpr int DataLength = 0;  // 16-bit
constexpr int Flags6 = 6;      // bit 4: fixed packet
constexpr int TrackStart = 8;
constexpr int NextWritable = 12;
constexpr int FreeBlocks = 16;
constexpr int FixedPacketSize = 20;
constexpr int TrackSize = 24;
constexpr int LastRecorded = 28;
}  // namespace trackinfo

}  // namespace qvp
