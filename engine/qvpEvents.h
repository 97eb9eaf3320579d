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
  kErrDataNotPrepared = 1,  // not set by this engine
  kErrOpenFile = 2,
  kErrCreateFile = 3,       // not set by this engine
  kErrAborted = 4,
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

