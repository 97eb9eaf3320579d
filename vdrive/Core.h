#pragma once
// The drive itself: executes MMC command blocks against the model, the loaded medium and the
// drive's volatile state (write parameters, speeds, buffer, NOT READY periods, unit attention).
// Files are the recorder's business; the core only says what needs saving.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "vdrive/Disc.h"
#include "vdrive/Faults.h"
#include "vdrive/Model.h"
#include "vdrive/Sense.h"
#include "vdrive/Store.h"

namespace vdrive {

struct TCommand {
  const uint8_t* cdb = nullptr;
  uint8_t cdbLen = 0;
  uint8_t direction = 2;  // plat::kScsiDataOut / In / Unspecified
  uint8_t* data = nullptr;
  uint32_t dataLen = 0;
};

struct TOutcome {
  uint8_t status = kStatusGood;
  TSense sense;
  uint8_t progress[2] = {0, 0};  // progress indication of a NOT READY answer, when valid
  bool progressValid = false;
  uint32_t dataIn = 0;  // bytes the drive returned to the host
  // A paced recorder: how long the command still takes after its answer is known (platform
  // clock); the recorder sleeps it without holding up other callers.
  double delayMs = 0;
};

constexpr size_t kPage5Size = 52;  // write parameters page: code, length 32h, 50 bytes

class TDriveCore {
 public:
  TDriveCore(TDriveModel model, TLoadState state, TImageFile* image);

  TOutcome Execute(const TCommand& c);

  // The medium was inserted, loaded or removed behind the drive's back: report unit attention
  // once and, with a medium, spend the load time becoming ready.
  void MediumChanged();
  // Stays NOT READY with the given sense for ms milliseconds of platform clock.
  void StartNotReady(uint32_t ms, TSense why);
  bool BusyNow();
  // How far the current long operation has come, 0 to FFFFh.
  uint16_t BusyProgress() const;

  TDriveModel model;
  TLoadState state;
  TFaults faults;
  // What the recorder has to write back after a command.
  bool stateChanged = false;     // medium.json: tray, medium or its layout changed
  bool progressUnsaved = false;  // writes advanced the medium since it was last saved
  bool faultsChanged = false;

 private:
  using THandler = TSense (TDriveCore::*)(const TCommand&);
  THandler Handler(uint8_t opcode) const;
  TSense FireFault(const TCommand& c);
  TSense Ready() const;
  TDisc& Disc() { return *state.disc; }

  // Replies data-in with at most alloc bytes of reply.
  TSense Reply(const TCommand& c, const uint8_t* reply, size_t n, uint32_t alloc) const;
  TSense Reply(const TCommand& c, const std::vector<uint8_t>& reply, uint32_t alloc) const {
    return Reply(c, reply.data(), reply.size(), alloc);
  }
  // The data-out parameter list of at least need bytes, or null.
  static const uint8_t* ParameterList(const TCommand& c, uint32_t need);

  // Speeds in kB/s for the loaded medium (a CD when there is none).
  TMediumKind SpeedKind() const;
  uint32_t MaxReadSpeed() const;
  uint32_t MaxWriteSpeed() const;
  uint32_t CurrentReadSpeed() const;
  uint32_t CurrentWriteSpeed() const;

  // The drive buffer: fills with writes, drains at the current write speed.
  void DrainBuffer();
  // The bytes the buffer holds as READ BUFFER CAPACITY reports them (a paced WRITE waits while
  // it would overfill the buffer).
  uint32_t BufferUsed() const;
  // With the pace on, the command takes ms more of drive time.
  void Takes(double ms) {
    if (state.pace) delayMs_ += ms;
  }
  uint32_t BufferBytes() const { return model.bufferKB * 1024; }

  // Write parameters (mode page 5) as last selected.
  uint8_t WriteType() const { return page5_[2] & 0x0F; }
  bool TestWrite() const { return (page5_[2] & 0x10) != 0; }
  bool NextSessionAllowed() const { return (page5_[3] & 0xC0) == 0xC0; }
  bool FixedPacket() const { return (page5_[3] & 0x20) != 0; }
  uint32_t PacketSize() const;
  TSense ValidatePage5(const uint8_t* p) const;
  std::vector<uint8_t> BuildPage01(uint8_t control) const;
  std::vector<uint8_t> BuildPage5(uint8_t control) const;
  std::vector<uint8_t> BuildPage2A(uint8_t control) const;
  std::vector<uint8_t> BuildPage30() const;

  // Effects of the recording commands on the medium.
  void MediumRewritten();  // formatted or blanked: the old user data is gone
  TSense CheckRandomWrite(uint32_t lba, uint32_t count);
  TSense CloseOnRandomMedium(uint8_t function);

  // GET CONFIGURATION features.
  void AppendFeature(std::vector<uint8_t>& out, uint16_t code, uint8_t rt, uint16_t start) const;
  bool FeatureCurrent(uint16_t code) const;
  std::vector<uint16_t> Profiles() const;

  // Command handlers.
  TSense TestUnitReady(const TCommand& c);
  TSense RezeroUnit(const TCommand& c);
  TSense RequestSense(const TCommand& c);
  TSense FormatUnit(const TCommand& c);
  TSense Inquiry(const TCommand& c);
  TSense StartStopUnit(const TCommand& c);
  TSense PreventAllow(const TCommand& c);
  TSense ReadFormatCapacities(const TCommand& c);
  TSense ReadCapacity(const TCommand& c);
  TSense Read(const TCommand& c);
  TSense Write(const TCommand& c);
  TSense Seek(const TCommand& c);
  TSense SynchronizeCache(const TCommand& c);
  TSense ReadTocPmaAtip(const TCommand& c);
  TSense GetConfiguration(const TCommand& c);
  TSense GetEventStatus(const TCommand& c);
  TSense ReadDiscInformation(const TCommand& c);
  TSense ReadTrackInformation(const TCommand& c);
  TSense ReserveTrack(const TCommand& c);
  TSense ModeSelect(const TCommand& c);
  TSense ModeSense(const TCommand& c);
  TSense CloseTrackSession(const TCommand& c);
  TSense ReadBufferCapacity(const TCommand& c);
  TSense Blank(const TCommand& c);
  TSense SetStreaming(const TCommand& c);
  TSense SetCdSpeed(const TCommand& c);
  TSense SendDvdStructure(const TCommand& c);
  TSense SendOpcInformation(const TCommand& c);
  TSense GetPerformance(const TCommand& c);
  TSense ReadDvdStructure(const TCommand& c);
  TSense SendCueSheet(const TCommand& c);

  // Session at once on CD: the layout a cue sheet announced, and where the host's stream stands
  // (the first track's pre-gap starts below LBA 0).
  struct TCue {
    int64_t leadOut = 0, next = 0;
    std::vector<int64_t> trackStarts;  // index 1 of each track
    std::vector<std::pair<int64_t, bool>>
        segments;  // pre-gaps and tracks: start, data from the host
    // The first block from position on that the host sends (the drive makes the others).
    int64_t HostBlockFrom(int64_t position) const;
  };
  bool SessionAtOnce() const;
  TSense WriteSessionAtOnce(const TCommand& c, int64_t lba, uint32_t count);
  void FinishSessionAtOnce();
  // DVD-R disc at once: a fully written reserved track closes the disc at the cache flush.
  void FinishDiscAtOnce();

  TImageFile* image_;
  std::array<uint8_t, kPage5Size> page5_{};
  // Read/write error recovery (page 01h): retry behaviour and counts.
  std::array<uint8_t, 12> page1_{0x01, 0x0A, 0x00, 0x20, 0, 0, 0, 0, 0x01, 0, 0, 0};
  uint16_t requestedRead_ = 0xFFFF, requestedWrite_ = 0xFFFF;
  bool prevent_ = false;
  bool unitAttention_ = false;
  uint8_t mediaEvent_ = 0;  // media event not yet reported: 2 new medium, 3 medium removed
  struct TBusy {
    bool active = false;
    uint32_t start = 0, length = 0;
    TSense sense;
  } busy_;
  double bufferFill_ = 0;  // bytes
  double delayMs_ = 0;     // of the command in hand, see Takes
  int64_t bufferStamp_ = 0;
  std::optional<uint32_t> simulatedNext_;  // where the next test write continues
  mutable uint32_t dataIn_ = 0;            // bytes returned by the command under way
  std::optional<TCue> cue_;
};

}  // namespace vdrive
