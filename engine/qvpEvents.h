#pragma once
// The vocabulary a job shares with the owner of the burner component: status codes, engine error
// codes, notification messages and the completion event types.
#include <cstdint>
#include <functional>

class TQuorvexPro;

// Status word of the running job (GetStatus).
enum : uint16_t {
  kStatusIdle = 0,
  kStatusWriting = 1,
  kStatusErasing = 2,
  kStatusBackgroundFormat = 3,
  kStatusClosingTrack = 4,
  kStatusClosingDisc = 5,       // not entered by this engine
  kStatusLayingOut = 6,
  kStatusAborting = 7,
  kStatusImportingSession = 8,  // while ImportSession reads the medium
  kStatusWriteError = 9,
  kStatusVerifying = 10,        // not entered by this engine
  kStatusSmartRefs = 11,        // not entered by this engine
};

// Engine error codes (GetLastErrorText prefers them over the device's sense code).
enum : uint32_t {
  kErrNone = 0,
  kErrDataNotPrepared = 1,  // BurnData without a layout of the compilation as it stands
  kErrOpenFile = 2,
  kErrCreateFile = 3,  // not set by this engine
  kErrAborted = 4,
  // ---- Beyond the codes above: failures a user can act on, each with a text of its own ----
  kErrSourceChanged = 5,       // a source file changed while it was written (named, with how)
  kErrRecorderInUse = 6,       // another program (or component) holds the recorder
  kErrClosingFailed = 7,       // the drive refused to flush or close: the disc may be left open
  kErrImageEmpty = 8,          // BurnImage: the image file holds no data
  kErrImageNotRegular = 9,     // BurnImage: the image is a folder, FIFO, socket or device
  kErrDiscNotBlank = 10,       // BurnImage: a write-once disc that already holds data
  kErrRecorderNotOpened = 11,  // the recorder cannot be opened for writing (system error named)
  kErrDriveBusy = 12,          // the recorder kept answering BUSY until the retries ran out
  kErrNoAnswer = 13,           // a command did not reach the recorder (system error named)
};

// Why SelectDevice failed (GetSelectAnswer): the drive list has no such row, the recorder kept
// answering BUSY, it refused to identify itself, or no command reached it.
enum : uint8_t {
  kSelectAnswered = 0,
  kSelectNoSuchDrive = 1,
  kSelectBusy = 2,
  kSelectRefused = 3,
  kSelectNoAnswer = 4,
};

// Steps of a job that the drive must be allowed to finish: an abort asked for meanwhile takes
// effect only after them (GetUninterruptibleStep).
enum : uint8_t {
  kStepNone = 0,
  kStepClosing = 1,     // flushing the cache and closing the track, session or disc
  kStepFormatting = 2,  // FORMAT UNIT running, before a write or in an erase
  kStepBlanking = 3,    // BLANK running
};

// Notification messages posted to the component's queue when a job ends.
enum : uint32_t {
  kMsgEraseDone = 1125,
  kMsgWriteDone = 1126,
  kMsgVerifyDone = 1127,
  kMsgSmartRefsDone = 1128,
};

using TWriteDoneEvent = std::function<void(TQuorvexPro* Sender, uint8_t DeviceId, bool WriteFailed)>;
using TEraseDoneEvent = std::function<void(TQuorvexPro* Sender, uint8_t DeviceId, bool EraseFailed)>;
using TVerifyDoneEvent =
    std::function<void(TQuorvexPro* Sender, uint8_t DeviceId, int32_t FileId, bool Failed)>;
using TSmartRefGenDoneEvent = std::function<void(TQuorvexPro* Sender, bool Failed, int32_t CanSaveBytes)>;

