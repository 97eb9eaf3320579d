#pragma once
// The command layer of the burner: every SCSI/MMC command goes through ExecuteCommand over the
// pass-through of the drive namespace or an ASPI library, with the sense data of the last command
// and an optional command log; drive discovery and selection with identification, capabilities and
// speeds; medium queries; recording commands and transfer statistics. Free functions over one
// TSCSIDevice record, used by one thread at a time.
#include <cstdint>
#include <string>
#include <string_view>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpSCSIDefs.h"
#include "platform/Clock.h"

namespace qvp {

// ---- Record, transports, execution and log (qvpSCSILib.cpp) ----

// Zero-fills the record except BurnProof; no drive selected, handle invalid.
void ResetDevice(TSCSIDevice& dev);
// Closes the command log and the drive handle (what the component does when it goes away).
void ReleaseDevice(TSCSIDevice& dev);
void CloseDriveHandle(TSCSIDevice& dev);

// Runs one request block over the pass-through on the current drive letter; returns SRB_Status
// (SS_COMP or SS_ERR).
uint8_t SptiExecute(TSCSIDevice& dev, SRB_ExecSCSICmd& srb);
// Addresses the block to the selected drive, sends it, waits for it, keeps the sense data and
// logs it. The caller fills SRB_Flags, SRB_CDBLen, SRB_BufLen, SRB_BufPointer and the CDB of a
// zero-filled block. Returns SRB_Status.
uint8_t ExecuteCommand(TSCSIDevice& dev, SRB_ExecSCSICmd& srb);

void InitCommandNames(TSCSIDevice& dev);
// Creates (truncates) the command log and writes its header line; false when it cannot be made.
bool OpenCommandLog(TSCSIDevice& dev, const std::string& path);
void CloseCommandLog(TSCSIDevice& dev);
// The log line of one executed command (CR LF included), at the given UTC time.
std::string FormatCommandLogLine(const TSCSIDevice& dev, const SRB_ExecSCSICmd& srb,
                                 const plat::TSystemTime& utc);
// Appends raw text to the command log when it is open.
void LogText(TSCSIDevice& dev, std::string_view text);

// ---- Discovery and identification (qvpSCSIDiscovery.cpp) ----

bool InitializeDevices(TSCSIDevice& dev, uint8_t aspiOnly, std::string_view aspiLibrary,
                       std::string_view logFileName);
uint16_t GetDeviceCount(const TSCSIDevice& dev);
// The Description of a row; empty when index >= count.
std::string GetDeviceName(const TSCSIDevice& dev, uint8_t index);
bool SelectDevice(TSCSIDevice& dev, uint8_t index);
bool ReadCapabilities(TSCSIDevice& dev);
uint8_t GetDeviceCapability(TSCSIDevice& dev, uint8_t code);
bool IsWriter(const TSCSIDevice& dev);
bool HasVendorUnderrunPage(TSCSIDevice& dev);
uint16_t GetDefaultMaxReadSpeed(TSCSIDevice& dev);
uint16_t GetDefaultMaxWriteSpeed(TSCSIDevice& dev);
uint16_t GetCurrentReadSpeed(TSCSIDevice& dev);
uint16_t GetMaxWriteSpeed(TSCSIDevice& dev);
uint16_t GetCurrentWriteSpeed(TSCSIDevice& dev);
// The letter whose SCSI address matches; 0x81 when none does.
uint8_t FindDriveLetterByAddress(TSCSIDevice& dev, uint8_t hostAdapter, uint8_t target,
                                 uint8_t lun);
// Description of a drive row from its address, letter and INQUIRY strings.
std::string FormatDriveDescription(uint8_t hostAdapter, uint8_t target, uint8_t lun, char letter,
                                   std::string_view vendor, std::string_view product,
                                   std::string_view revision);
// Blanks the control characters of INQUIRY bytes 8-47 and takes vendor, product and revision.
void TakeInquiryStrings(uint8_t* inquiry, std::string& vendor, std::string& product,
                        std::string& revision);

// ---- Recording commands (qvpSCSICommands.cpp, qvpSCSIRecord.cpp) ----

bool TestUnitReady(TSCSIDevice& dev);
bool TestUnitReadyAlwaysTrue(TSCSIDevice& dev);
inline bool IsUnitReady(TSCSIDevice& dev) { return TestUnitReady(dev); }
bool Inquiry(TSCSIDevice& dev, uint8_t* buffer);  // 64 bytes
bool LoadMedium(TSCSIDevice& dev, bool immediate);
bool EjectMedium(TSCSIDevice& dev, bool immediate);
bool RezeroUnit(TSCSIDevice& dev);
bool AllowMediumRemoval(TSCSIDevice& dev);
bool ModeSelect10(TSCSIDevice& dev, uint8_t* buffer, uint16_t length);
bool ModeSense10(TSCSIDevice& dev, uint8_t* buffer, uint16_t length, bool defaults, uint8_t page);
bool SetCdSpeed(TSCSIDevice& dev, uint16_t readSpeed, uint16_t writeSpeed);
bool SetStreaming(TSCSIDevice& dev, uint8_t* buffer, uint16_t length);
bool Read10(TSCSIDevice& dev, uint32_t lba, uint16_t count, uint8_t* buffer);
bool Write10(TSCSIDevice& dev, uint32_t lba, uint16_t count, uint32_t length,
             const uint8_t* buffer);
bool SynchronizeCache(TSCSIDevice& dev, bool immediate);
inline bool FlushDriveCache(TSCSIDevice& dev) { return SynchronizeCache(dev, true); }
bool CloseTrackSession(TSCSIDevice& dev, bool immediate, uint8_t function, uint8_t b3, uint8_t b4,
                       uint8_t b5);
bool CloseTrackOrSession(TSCSIDevice& dev, bool closeTrack, bool immediate, uint8_t track);
bool ReserveTrack(TSCSIDevice& dev, uint32_t blocks);
bool FormatUnit(TSCSIDevice& dev, uint8_t byte1, uint8_t* buffer, uint16_t length);
bool Blank(TSCSIDevice& dev, bool quick);
bool SendDvdStructure(TSCSIDevice& dev, uint8_t format, uint8_t* buffer, uint16_t length);
bool ReadBufferCapacity(TSCSIDevice& dev);
uint32_t GetDriveBufferSize(const TSCSIDevice& dev);
uint32_t GetDriveBufferUsed(const TSCSIDevice& dev);

bool SetWriteParameters(TSCSIDevice& dev, bool testWrite, bool burnProof, uint8_t mediumType,
                        bool leaveOpen);
// The write parameters last sent, with the multi-session field saying that no session follows:
// a DVD-R, written with the next session allowed, is then closed for good by its session close.
bool SetNoNextSession(TSCSIDevice& dev);
// Builds the page-5 image of the write parameters over the page the drive returned.
void BuildWriteParameters(uint8_t* page, uint8_t pageLength, bool testWrite, bool burnProof,
                          uint8_t mediumType, bool leaveOpen, bool driveHasBufferUnderrunFree);
bool SetSpeed(TSCSIDevice& dev, uint16_t readSpeed, uint16_t writeSpeed);
bool SetStreamingPerformance(TSCSIDevice& dev, uint32_t endLba, uint32_t readSize,
                             uint32_t readTime, uint32_t writeSize, uint32_t writeTime);
bool SendDvdTimestamp(TSCSIDevice& dev, const plat::TSystemTime& utc);

void ResetSpeedStatistics(TSCSIDevice& dev);
void AddSpeedSample(TSCSIDevice& dev, int64_t bytes, int64_t ticks);

inline void SetTestWrite(TSCSIDevice& dev, bool v) { dev.TestWrite = v ? 1 : 0; }
inline bool GetTestWrite(const TSCSIDevice& dev) { return dev.TestWrite != 0; }
inline void SetBurnProof(TSCSIDevice& dev, bool v) { dev.BurnProof = v ? 1 : 0; }
inline bool GetBurnProof(const TSCSIDevice& dev) { return dev.BurnProof != 0; }
inline void SetFinalizeDisc(TSCSIDevice& dev, bool v) { dev.FinalizeDisc = v ? 1 : 0; }
inline bool GetFinalizeDisc(const TSCSIDevice& dev) { return dev.FinalizeDisc != 0; }

// ---- Medium queries (qvpSCSIMedium.cpp) ----

bool ReadDiscInformation(TSCSIDevice& dev, uint8_t* buffer, uint16_t length);
bool ReadTrackInformation(TSCSIDevice& dev, uint8_t track);
bool ReadTocPmaAtip(TSCSIDevice& dev, uint8_t format, uint8_t track, uint8_t length,
                    uint8_t* buffer, bool msf);
bool GetConfiguration(TSCSIDevice& dev, uint8_t* buffer, uint16_t length, uint16_t startFeature);
uint32_t ReadFormatCapacities(TSCSIDevice& dev);

uint8_t GetMediumType(TSCSIDevice& dev);
uint8_t GetCompleteSessionCount(TSCSIDevice& dev);
uint8_t GetLastTrackNumber(TSCSIDevice& dev);
bool IsErasable(TSCSIDevice& dev);
bool IsDiscWritable(TSCSIDevice& dev);
uint32_t GetFreeBlocks(TSCSIDevice& dev);
uint32_t GetTotalBlocks(TSCSIDevice& dev);
uint32_t FindIsoVolumeSize(TSCSIDevice& dev);

// Disc status of READ DISC INFORMATION: blank, incomplete (appendable), complete; unknown when
// the drive does not answer it.
constexpr uint8_t kDiscBlank = 0, kDiscIncomplete = 1, kDiscComplete = 2, kDiscStatusUnknown = 0xFF;
uint8_t GetDiscStatus(TSCSIDevice& dev);
// Media written in place wherever the drive is told, rather than at a next writable address.
bool IsOverwritable(uint8_t mediumType);

// Host-order fields of the last READ TRACK INFORMATION.
inline uint32_t TrackField(const TSCSIDevice& dev, int offset) {
  return mmc::GetHost32(dev.TrackInfo + offset);
}

}  // namespace qvp
