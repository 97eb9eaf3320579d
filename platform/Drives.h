#pragma once
// The drive namespace: optical drives addressed by drive letters. Real drives /dev/sr0,
// /dev/sr1, ... take letters from D upwards and are driven through SG_IO; the virtual recorders
// follow them, added through a provider that the virtual-recorder library installs (this layer
// knows nothing of it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveCdrom = 5;

// Data direction of a pass-through request.
constexpr uint8_t kScsiDataOut = 0;
constexpr uint8_t kScsiDataIn = 1;
constexpr uint8_t kScsiDataUnspecified = 2;

// The pass-through request as the service takes it: header, then the sense buffer. On a 32-bit
// build the whole is 80 bytes with the sense at offset 48; on 64-bit the buffer pointer widens.
struct TScsiPassThroughDirect {
  uint16_t Length;
  uint8_t ScsiStatus;
  uint8_t PathId;
  uint8_t TargetId;
  uint8_t Lun;
  uint8_t CdbLength;
  uint8_t SenseInfoLength;
  uint8_t DataIn;
  uint32_t DataTransferLength;
  uint32_t TimeOutValue;  // seconds
  void* DataBuffer;
  uint32_t SenseInfoOffset;
  uint8_t Cdb[16];
};

struct TScsiPassThroughBuffer {
  TScsiPassThroughDirect Spt;
  uint32_t Filler;
  uint8_t SenseBuffer[32];
};

// Address of a drive: PortNumber is the host adapter.
struct TScsiAddress {
  uint32_t Length = 8;
  uint8_t PortNumber = 0;
  uint8_t PathId = 0;
  uint8_t TargetId = 0;
  uint8_t Lun = 0;
};

// A drive served in software (the virtual recorder implements this).
class TVirtualDrive {
 public:
  virtual ~TVirtualDrive() = default;
  virtual std::string Path() const = 0;  // the recorder's folder
  // False when the drive has no SCSI address (the address query then fails).
  virtual bool Address(TScsiAddress& a) const = 0;
  // Executes one command block; may be called from several threads at once. direction:
  // kScsiDataOut/In/Unspecified; data holds dataLen bytes. Returns the SCSI status byte (0 good, 2
  // check condition, 8 busy); on check condition fixed-format sense data is written to sense (at
  // most senseLen bytes).
  virtual uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                          uint32_t dataLen, uint8_t* sense, uint8_t senseLen) = 0;
};

using TVirtualDriveProvider = std::function<std::vector<std::shared_ptr<TVirtualDrive>>()>;
// Installs the provider of virtual drives; asked whenever the namespace is (re)built.
void SetVirtualDriveProvider(TVirtualDriveProvider provider);

// A drive the namespace left out because it cannot be used (a virtual recorder whose folder is
// damaged, for one), so front ends can tell "no recorder" from "a recorder that does not work".
struct TUnusableDrive {
  std::string Path;
  std::string Reason;
};
// Called by a provider while it runs: the drive at path is left out for reason.
void ReportUnusableDrive(const std::string& path, const std::string& reason);
// The drives the last build of the namespace left out.
std::vector<TUnusableDrive> UnusableDrives();

// Folder searched for the real drives' device nodes srN (default "/dev"); tests point it at a
// folder of their own. Takes effect at the next use of the namespace.
void SetRealDriveFolder(std::string folder);

// Rebuilds the namespace (drives that came or went). The namespace is built on first use.
void RescanDrives();
// Letters of the optical drives, ascending ("DE" with one real and one virtual drive).
std::string OpticalDriveLetters();
// Drive type of "X:" (kDriveCdrom for the drives above).
uint32_t GetDriveType(char letter);
// "/dev/sr0" or the virtual recorder's folder; empty for an unknown letter.
std::string DrivePath(char letter);
// The virtual drive behind a letter, or null for real and unknown letters.
std::shared_ptr<TVirtualDrive> VirtualDriveAt(char letter);

using TDriveHandle = intptr_t;
constexpr TDriveHandle kInvalidDriveHandle = -1;

// Opens a letter's volume read/write, or read-only; kInvalidDriveHandle and lastError (an errno
// value) on failure.
TDriveHandle OpenDrive(char letter, bool readWrite, uint32_t& lastError);
void CloseDrive(TDriveHandle h);
// Sends one pass-through request. True when the request reached the drive (the SCSI status is
// then in Spt.ScsiStatus, sense in SenseBuffer); lastError is 0 or an errno value.
bool DrivePassThrough(TDriveHandle h, TScsiPassThroughBuffer& request, uint32_t& lastError);
// The drive's SCSI address; false when it has none.
bool DriveScsiAddress(TDriveHandle h, TScsiAddress& address, uint32_t& lastError);

// ---- Exclusive use of a drive for one job ----
// A burn or an erase holds its recorder from its first command to its end, against other
// programs and against other handles of this one. A real drive is opened read/write with O_EXCL
// and locked with flock on that descriptor; a virtual recorder is locked with flock on the file
// kJobLockFile in its folder (in this process only, when the folder cannot hold the file). Both
// locks die with their holder, so a killed program never leaves a drive taken. Queries through
// OpenDrive are not affected.
inline constexpr const char* kJobLockFile = "job.lock";
enum class TClaimResult : uint8_t { Claimed, InUse, Failed };
// The handle of the claim (it also carries commands like an OpenDrive handle); CloseDrive gives
// it back. On InUse holderPid is the holder's process id when the system names it, else 0; on
// Failed lastError is the errno value of the failed open.
TDriveHandle ClaimDrive(char letter, TClaimResult& result, int32_t& holderPid, uint32_t& lastError);
// The process holding a flock on the file at path, 0 when none is known.
int32_t FlockHolder(const std::string& path);

}  // namespace plat
