#pragma once
// The burner component: the one object through which the application and the command-line front
// end use the engine. It holds the image builder record (compilation, layout, rendered metadata),
// the device record (drives, commands, write options) and the state of the running job, publishes
// the write options as properties, forwards the drive, medium and compilation operations, starts
// the three kinds of job (data write, image write, erase) and reports their ends through events.
//
// Threads: every operation is called on the owner's thread. Jobs run on threads of their own and
// end with exactly one completion event. A component created with an owner delivers those events
// through its notification queue: the owner installs the queue's wake-up hook and dispatches on
// its own thread (the Qt application from its event loop, the CLI from WaitAndDispatch). A
// component without an owner calls the handlers directly on the job thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/qvpSCSIReady.h"
#include "device/qvpSense.h"
#include "engine/qvpEvents.h"
#include "engine/qvpImageFile.h"
#include "image/qvpImportResult.h"
#include "image/qvpTreeEvents.h"
#include "image/qvpTreeOmitted.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/NotifyQueue.h"

// The component speaks of compilations in the image library's terms.
namespace img {
struct TImageBuilder;
struct TDirNode;
struct TFileNode;
}  // namespace img
using img::TAddFileEvent;
using img::TDirNode;
using img::TFileNode;
using img::TImageBuilder;
using img::TImportResult;
using img::TOmitReason;
using img::TOmittedEntry;

namespace qvp {
struct TSCSIDevice;
}

class TQuorvexPro;

class TQuorvexPro {
 public:
  // owned = true: the component has an owner and delivers job completions through NotifyQueue().
  explicit TQuorvexPro(bool owned = true);
  // Aborts a running job and waits for its threads to end before it releases anything.
  ~TQuorvexPro();
  TQuorvexPro(const TQuorvexPro&) = delete;
  TQuorvexPro& operator=(const TQuorvexPro&) = delete;

  // The hidden notification window: null for a component without an owner. Its handler is
  // WindowProc; the owner installs the wake-up hook and dispatches on its own thread.
  plat::TNotifyQueue* NotifyQueue();
  // Dispatcher of messages 1125 to 1128 (fires the matching event with this component as Sender).
  intptr_t WindowProc(const plat::TMessage& m);

  // Version text: version 1.21, release candidate 2, built 2008-10-20. Also the command log's
  // header line.
  static std::string Version();

  // ---- Properties (constructor values in brackets) ----
  bool GetBurnProof() const;  // [true] buffer-underrun protection bit of the write parameters
  void SetBurnProof(bool v);
  bool GetTestWrite() const;  // [false] simulation
  void SetTestWrite(bool v);
  bool GetFinalizeDisc() const;  // [false] close the disc instead of leaving it open
  void SetFinalizeDisc(bool v);
  bool GetReplaceFile() const;  // [false] name clash rule of the compilation
  void SetReplaceFile(bool v);
  std::string GetVolumeID() const;  // [empty] UTF-8
  void SetVolumeID(const std::string& v);
  uint32_t GetCacheSize() const;  // [32] MiB; at least 2, at most 624
  void SetCacheSize(uint32_t mib);
  bool GetJolietFileSystem() const;  // [true]
  void SetJolietFileSystem(bool v);
  bool GetISO9660v1999FS() const;  // [false]
  void SetISO9660v1999FS(bool v);
  bool GetUDFBridge() const;  // [false]
  void SetUDFBridge(bool v);
  std::string GetBootImage()
      const;  // [empty] El Torito image (2048, 1228800, 1474560, 2949120 bytes)
  void SetBootImage(const std::string& fileName);
  // [false] A data or image write that succeeded reads the written session back and compares it
  // with the image before OnWriteDone (status 10 meanwhile; not after a test write). The first
  // block that differs or cannot be read ends the pass: OnVerifyDone with Failed and the entry
  // (GetVerifyReport has the block and the path), then OnWriteDone with WriteFailed.
  bool GetVerify() const;
  void SetVerify(bool v);

  // ---- Events ----
  // Fired by the compilation tree for every file or folder InsertFile or InsertDir is about to
  // add, with Sender = nullptr (the tree's own call); setting Skip leaves the item out.
  TAddFileEvent OnAddFile;
  TWriteDoneEvent OnWriteDone;
  TEraseDoneEvent OnEraseDone;
  TVerifyDoneEvent OnVerifyDone;
  TSmartRefGenDoneEvent OnGenerateSmartReferencesDone;

  // ---- Drives and options ----
  bool InitializeDevices(uint8_t AspiOnly, const std::string& AspiLibrary,
                         const std::string& LogFileName);
  uint16_t GetDeviceCount();
  std::string GetDeviceName(uint8_t Index);  // empty when Index >= count
  bool SelectDevice(uint8_t Index);
  uint8_t GetDeviceCapability(uint8_t Code);
  bool IsWriter();
  bool TestUnitReady();  // always true
  bool IsUnitReady();
  uint16_t GetDefaultMaxReadSpeed();
  uint16_t GetDefaultMaxWriteSpeed();
  uint16_t GetMaxWriteSpeed();
  uint16_t GetCurrentReadSpeed();
  uint16_t GetCurrentWriteSpeed();
  bool SetSpeed(uint16_t ReadSpeed, uint16_t WriteSpeed);  // kB/s, 0 = maximum
  bool EjectDisc(bool Immediate);
  bool FlushDriveCache();

  // ---- Medium queries ----
  uint8_t GetMediumType();  // medium type code 0..22
  uint32_t GetFreeBlocks();
  uint32_t GetTotalBlocks();
  bool IsErasable();
  bool IsDiscWritable();
  int32_t GetSessionCount();  // complete sessions

  // ---- Compilation (paths are UTF-8) ----
  void ClearCompilation();
  TDirNode* CreateDir(const std::string& DestPath, const std::string& Name);
  // The entry, a non-null skip mark when OnAddFile skipped it, or null on failure.
  TFileNode* InsertFile(const std::string& DestPath, const std::string& FileName);
  TDirNode* InsertDir(const std::string& DestPath, const std::string& SourceDir, bool KeepPath,
                      bool Recursive, const std::string& FileMask);
  int32_t PrepareImage();  // sectors to write

  // ---- Jobs ----
  // True when the write thread was started. False without a valid layout, or when the buffer
  // failed while filling (OnWriteDone has then been delivered with WriteFailed = true).
  bool BurnData();
  // False (and no event) when the file cannot be opened.
  bool BurnImage(const std::string& FileName);
  bool EraseDisc(bool Quick);
  // The disc in the recorder compared with what it was meant to hold, without writing: the
  // laid-out compilation (its files' data, in the last session the layout fits; the directories
  // and the UDF area only need to read) or an image file from LBA 0. OnVerifyDone is the job's
  // completion; GetVerifyReport tells how it ended. False (no event) when it cannot start.
  bool VerifyDisc();
  bool VerifyImage(const std::string& FileName);
  void Abort();

  // ---- Figures polled during a job ----
  uint16_t GetStatus() const;
  int32_t GetTotalSectors() const;
  int32_t GetWrittenSectors() const;
  uint16_t GetWriteSpeed();      // KiB/s; returns the figure computed by the previous call
  uint16_t GetVerifySpeed();     // same computation, its own remembered figure
  int32_t GetCacheUsed() const;  // bytes in the software buffer
  int32_t GetDriveBufferSize() const;
  int32_t GetDriveBufferUsed() const;
  // Sectors of the verification pass (without one in the last job: boot image and file sectors
  // the write queued), and the sectors compared so far.
  int32_t GetVerifyTotalSectors() const;
  int32_t GetVerifiedSectors() const;
  // How the last job's verification ended, with the block and the file; kept until the next job.
  TVerifyReport GetVerifyReport() const;
  int32_t GetSmartRefsDone() const;   // 0
  int32_t GetSmartRefsTotal() const;  // 0
  // Text of the engine error code, or else of the device's sense code; consumes the code.
  std::string GetLastErrorText();

  // ---- What the front ends need beyond the described face ----
  // Closes the tray / loads the medium (START STOP UNIT with the load bit).
  bool LoadDisc(bool Immediate);
  // Drive letter of a row of the drive list; 0 when Index >= count.
  char GetDeviceLetter(uint8_t Index) const;
  // The speeds SetSpeed remembered last (kB/s, 0 = maximum), which the jobs ask for again.
  uint16_t GetRequestedReadSpeed() const;
  uint16_t GetRequestedWriteSpeed() const;
  // Sectors the write of the prepared image takes on the medium: the laid-out image up to the
  // end of its last 64 KiB block (and its closing anchor); 0 without a valid layout.
  uint32_t GetImageSectors() const;
  // Writes the prepared image, as it would start at sector 0 of an empty medium, into a file
  // ("-": standard output) through the software buffer; no drive is used.
  TImageFileResult MakeImageFile(const std::string& Output, TImageFileJob& Job);

  // ---- Readiness of the medium, and media that need formatting ----
  // A drive answers the first command after a disc went in with UNIT ATTENTION and then reports
  // itself becoming ready for seconds. This waits that out: it takes a unit attention as read,
  // waits while the drive becomes ready or finishes a long operation (at most LimitMs of drive
  // time; 0 asks once) and only then answers. KeepWaiting, when given, runs on the caller's
  // thread before every poll (at least every 200 ms of drive time) and ends the wait with
  // Aborted when it returns false: a window keeps its events flowing there, the command line
  // checks for Ctrl+C. The medium queries, SetSpeed and the starts of BurnData, BurnImage and
  // EraseDisc run this wait themselves (without KeepWaiting); a front end that calls it first
  // keeps responding meanwhile and finds the drive ready.
  qvp::TMediumReadiness WaitUntilMediumReady(const std::function<bool()>& KeepWaiting = nullptr,
                                             uint32_t LimitMs = qvp::kMediumReadyLimitMs);
  // True when the loaded medium is unformatted and takes no WRITE before it is formatted (a new
  // BD-RE; a DVD+RW, DVD-RAM or HD DVD-RAM that reports itself unformatted). BurnData and
  // BurnImage format it before the first write, with status 3 while the format runs; a front
  // end asks this before the burn to say so in its log.
  bool MediumNeedsFormat();

  // ---- Session import ----
  // Reads the last session of the medium in the recorder and merges its files and folders into
  // the compilation: the new session's trees then list them beside the new files, pointing at
  // their data where it already lies, and PrepareImage counts only the new data. A folder of the
  // compilation with the name of an imported one takes in its entries; a file or folder of the
  // compilation stands where an imported entry has its name.
  // Call it after the insertions and before PrepareImage, with JolietFileSystem, ISO9660v1999FS
  // and UDFBridge set: the session must have every tree they write. Runs on the calling thread
  // (status 8 meanwhile); Abort from another thread ends the reading with Aborted. A refusal
  // leaves the compilation unchanged; NothingToImport (a blank medium) too.
  TImportResult ImportSession();
  // The same from a medium image file, for a new session that is to start at SessionStart: the
  // last session of the image that begins before that LBA (0: the image's last session). The
  // new session's image is then made with MakeSessionImageFile for that start.
  TImportResult ImportSessionFromImage(const std::string& ImageFile, uint32_t SessionStart);
  // MakeImageFile for a session that is to start at SessionStart on a medium: every address the
  // image records counts from there (with imported entries its volume reaches from LBA 0).
  TImageFileResult MakeSessionImageFile(const std::string& Output, uint32_t SessionStart,
                                        TImageFileJob& Job);
  // English text of an import outcome.
  static std::string ImportResultText(TImportResult r);

  // ---- Outcomes the front ends can act on ----
  // Holds the selected recorder for this component until ReleaseRecorder, SelectDevice of
  // another drive or the destructor, so the checks a front end makes before a job and the job
  // itself meet the same, untouched recorder. Jobs claim the recorder themselves for their run
  // when the owner has not. False (nothing sent) with error code kErrRecorderInUse (another
  // program or component holds it; GetRecorderHolderPid names it when known) or
  // kErrRecorderNotOpened.
  bool ClaimRecorder();
  void ReleaseRecorder();
  // Process id of the holder behind the last kErrRecorderInUse, 0 when unknown.
  int32_t GetRecorderHolderPid() const;
  // The engine error code that the next GetLastErrorText explains (kErr..., 0 when the text
  // comes from the device), without consuming it.
  uint32_t GetLastErrorCode() const;
  // Sense data of the last drive command that returned some (zeros when none did).
  using TSenseCode = qvp::TSense;
  TSenseCode GetLastSense() const;
  // Sense data of the refused command that ended the last job (what GetLastErrorText's
  // "Hardware Error" names), kept until the next job starts; without one, GetLastSense().
  TSenseCode GetFailureSense() const;
  // "3/0C/00 medium error: write error".
  static std::string DescribeSense(const qvp::TSense& s);
  // The step of the running job that the drive must be allowed to finish (kStepClosing,
  // kStepFormatting, kStepBlanking) or kStepNone. An abort asked for meanwhile takes effect
  // after it: front ends say so once.
  uint8_t GetUninterruptibleStep() const;
  // What the insertions since ClearCompilation left out, each with its reason (OmitReasonText
  // gives it as an English line). An insertion that leaves its item out this way still reports
  // success (the skip mark for InsertFile); the list is how the front ends learn of it.
  const std::vector<TOmittedEntry>& GetOmittedEntries() const;
  // Recorders the system has that the last InitializeDevices could not list (a drive that
  // cannot be opened, a virtual recorder refused as damaged), with path and reason. An empty
  // list with GetDeviceCount() 0 means there is no recorder at all.
  std::vector<plat::TUnusableDrive> GetUnusableRecorders() const;
  // Why the last SelectDevice failed (kSelect...; kSelectAnswered after a success).
  uint8_t GetSelectAnswer() const;

  // ---- The records, for tests ----
  TImageBuilder& Builder();
  qvp::TSCSIDevice& Device();

  struct TImpl;

 private:
  // The wait of WaitUntilMediumReady before a medium query, without a way out but its bound.
  // After a wait that ran out of time the next ones only ask once, until the drive answers
  // otherwise: a flow of several queries on a drive that never gets ready waits once, not once
  // per query.
  qvp::TMediumReadiness Settle();
  // The device record after Settle.
  qvp::TSCSIDevice& SettledDevice();

  std::unique_ptr<TImpl> impl_;
  bool mediumWaitTimedOut_ = false;
};
