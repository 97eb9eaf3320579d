#include "vdrive/Core.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Drives.h"
#include "vdrive/Bytes.h"

namespace vdrive {
namespace {

// Bytes of the command block by operation code group.
uint8_t GroupLength(uint8_t op) {
  if (op < 0x20) return 6;
  if (op < 0x60) return 10;
  if (op >= 0x80 && op < 0xA0) return 16;
  if (op >= 0xA0 && op < 0xC0) return 12;
  return 0;
}

// Commands a real drive still answers while a long operation keeps it NOT READY.
bool AllowedWhileBusy(uint8_t op) {
  switch (op) {
    case 0x03:  // REQUEST SENSE
    case 0x12:  // INQUIRY
    case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
    case 0x46:  // GET CONFIGURATION
    case 0x4A:  // GET EVENT STATUS NOTIFICATION
    case 0x5A:  // MODE SENSE(10)
    case 0x5C:  // READ BUFFER CAPACITY
      return true;
    default:
      return false;
  }
}

// Commands that never report a pending unit attention.
bool IgnoresUnitAttention(uint8_t op) {
  return op == 0x03 || op == 0x12 || op == 0x46 || op == 0x4A;
}

// The blocks a READ or WRITE touches, for faults armed on an LBA range.
bool CommandRange(const TCommand& c, uint32_t& first, uint32_t& count) {
  switch (c.cdb[0]) {
    case 0x28:
    case 0x2A:
      first = Be32(c.cdb + 2);
      count = Be16(c.cdb + 7);
      return true;
    case 0xA8:
    case 0xAA:
      first = Be32(c.cdb + 2);
      count = Be32(c.cdb + 6);
      return true;
    default:
      return false;
  }
}

}  // namespace

TDriveCore::TDriveCore(TDriveModel m, TLoadState s, TImageFile* image)
    : model(std::move(m)), state(std::move(s)), image_(image) {
  // Power-on write parameters: track at once, data mode 1, no next session, 150-block pause.
  page5_[0] = 0x05;
  page5_[1] = kPage5Size - 2;
  page5_[2] = 0x01;
  page5_[3] = 0x04;
  page5_[4] = 0x08;
  page5_[15] = 0x96;
  bufferStamp_ = plat::PerformanceCounter();
}

TDriveCore::THandler TDriveCore::Handler(uint8_t op) const {
  switch (op) {
    case 0x00:
      return &TDriveCore::TestUnitReady;
    case 0x01:
      return model.rejectsRezero ? nullptr : &TDriveCore::RezeroUnit;
    case 0x03:
      return &TDriveCore::RequestSense;
    case 0x04:
      return &TDriveCore::FormatUnit;
    case 0x12:
      return &TDriveCore::Inquiry;
    case 0x1B:
      return &TDriveCore::StartStopUnit;
    case 0x1E:
      return &TDriveCore::PreventAllow;
    case 0x23:
      return &TDriveCore::ReadFormatCapacities;
    case 0x25:
      return &TDriveCore::ReadCapacity;
    case 0x28:
    case 0xA8:
      return &TDriveCore::Read;
    case 0x2A:
    case 0xAA:
      return &TDriveCore::Write;
    case 0x2B:
      return &TDriveCore::Seek;
    case 0x35:
      return &TDriveCore::SynchronizeCache;
    case 0x43:
      return &TDriveCore::ReadTocPmaAtip;
    case 0x46:
      return model.getConfiguration ? &TDriveCore::GetConfiguration : nullptr;
    case 0x4A:
      return model.getConfiguration ? &TDriveCore::GetEventStatus : nullptr;
    case 0x51:
      return &TDriveCore::ReadDiscInformation;
    case 0x52:
      return &TDriveCore::ReadTrackInformation;
    case 0x53:
      return &TDriveCore::ReserveTrack;
    case 0x54:
      return &TDriveCore::SendOpcInformation;
    case 0x55:
      return &TDriveCore::ModeSelect;
    case 0x5A:
      return &TDriveCore::ModeSense;
    case 0x5B:
      return &TDriveCore::CloseTrackSession;
    case 0x5C:
      return &TDriveCore::ReadBufferCapacity;
    case 0x5D:
      return &TDriveCore::SendCueSheet;
    case 0xA1:
      return &TDriveCore::Blank;
    case 0xAC:
      return model.getConfiguration ? &TDriveCore::GetPerformance : nullptr;
    case 0xAD:
      return &TDriveCore::ReadDvdStructure;
    case 0xB6:
      return model.streaming ? &TDriveCore::SetStreaming : nullptr;
    case 0xBB:
      return &TDriveCore::SetCdSpeed;
    case 0xBF:
      return &TDriveCore::SendDvdStructure;
    default:
      return nullptr;
  }
}

TOutcome TDriveCore::Execute(const TCommand& c) {
  TOutcome out;
  if (c.cdb == nullptr || c.cdbLen == 0) {
    out.status = kStatusCheckCondition;
    out.sense = sense::kInvalidField;
    return out;
  }
  DrainBuffer();
  dataIn_ = 0;
  const uint8_t op = c.cdb[0];
  auto check = [&](TSense s) {
    out.status = kStatusCheckCondition;
    out.sense = s;
    return out;
  };
  if (faults.busy > 0) {
    --faults.busy;
    faultsChanged = true;
    out.status = kStatusBusy;
    return out;
  }
  const THandler handler = faults.Refuses(op) ? nullptr : Handler(op);
  if (handler == nullptr) return check(sense::kInvalidOpcode);
  if (c.cdbLen < GroupLength(op)) return check(sense::kInvalidField);
  if (unitAttention_ && !IgnoresUnitAttention(op)) {
    unitAttention_ = false;
    return check(sense::kMediumChanged);
  }
  if (BusyNow() && !AllowedWhileBusy(op)) {
    Put16(out.progress, BusyProgress());
    out.progressValid = true;
    return check(busy_.sense);
  }
  const TSense f = FireFault(c);
  if (f.Failed()) return check(f);
  delayMs_ = 0;
  const TSense s = (this->*handler)(c);
  out.delayMs = delayMs_;
  if (s.Failed()) return check(s);
  out.dataIn = dataIn_;
  return out;
}

TSense TDriveCore::FireFault(const TCommand& c) {
  TSense result;
  for (TOpcodeFault& f : faults.commands) {
    if (f.opcode != c.cdb[0]) continue;
    if (f.lbaFirst || f.lbaLast) {
      uint32_t first = 0, count = 0;
      if (!CommandRange(c, first, count)) continue;
      const uint64_t last = uint64_t(first) + (count ? count - 1 : 0);
      if (f.lbaFirst && last < *f.lbaFirst) continue;
      if (f.lbaLast && first > *f.lbaLast) continue;
    }
    ++f.seen;
    faultsChanged = true;
    if (!result.Failed() && f.seen >= f.from && (f.times == 0 || f.fired < f.times)) {
      ++f.fired;
      result = f.sense;
    }
  }
  return result;
}

void TDriveCore::MediumChanged() {
  unitAttention_ = true;
  mediaEvent_ = state.disc && !state.trayOpen ? 2 : 3;
  bufferFill_ = 0;
  simulatedNext_.reset();
  cue_.reset();
  busy_.active = false;
  if (state.disc && !state.trayOpen) StartNotReady(model.durations.loadMs, sense::kBecomingReady);
}

void TDriveCore::StartNotReady(uint32_t ms, TSense why) {
  if (ms == 0) return;
  busy_.active = true;
  busy_.start = plat::TickCount();
  busy_.length = ms;
  busy_.sense = why;
}

bool TDriveCore::BusyNow() {
  if (busy_.active && plat::TickCount() - busy_.start >= busy_.length) busy_.active = false;
  return busy_.active;
}

uint16_t TDriveCore::BusyProgress() const {
  const uint32_t elapsed = plat::TickCount() - busy_.start;
  const uint64_t p = busy_.length ? uint64_t(elapsed) * 65536 / busy_.length : 0;
  return static_cast<uint16_t>(std::min<uint64_t>(p, 0xFFFF));
}

TSense TDriveCore::Ready() const {
  if (state.trayOpen) return sense::kNoMediumTrayOpen;
  if (!state.disc) return sense::kNoMedium;
  if (!model.Reads(state.disc->kind)) return TSense{2, 0x30, 0x00};
  return sense::kGood;
}

TSense TDriveCore::Reply(const TCommand& c, const uint8_t* reply, size_t n, uint32_t alloc) const {
  size_t len = std::min<size_t>(n, alloc);
  if (len == 0) return sense::kGood;
  if (c.direction != plat::kScsiDataIn || c.data == nullptr) return sense::kInvalidField;
  len = std::min<size_t>(len, c.dataLen);
  std::memcpy(c.data, reply, len);
  dataIn_ = static_cast<uint32_t>(len);
  return sense::kGood;
}

const uint8_t* TDriveCore::ParameterList(const TCommand& c, uint32_t need) {
  if (c.direction != plat::kScsiDataOut || c.data == nullptr || c.dataLen < need) return nullptr;
  return c.data;
}

// --- speeds and buffer ---

TMediumKind TDriveCore::SpeedKind() const {
  if (state.disc && !state.trayOpen) return state.disc->kind;
  if (model.Writes(TMediumKind::CdR)) return TMediumKind::CdR;
  return model.writes.empty() ? TMediumKind::CdRom : model.writes.front();
}

namespace {

// The fastest supported speed not above the request; the slowest when all are above it.
uint32_t Snap(uint32_t requested, const std::vector<uint32_t>& speeds) {
  if (speeds.empty()) return 0;
  if (requested >= 0xFFFF) return speeds.front();
  for (uint32_t s : speeds) {
    if (s <= requested) return s;
  }
  return speeds.back();
}

}  // namespace

uint32_t TDriveCore::MaxReadSpeed() const {
  const auto s = model.ReadSpeeds(SpeedKind());
  return s.empty() ? 0 : s.front();
}

uint32_t TDriveCore::MaxWriteSpeed() const {
  const auto s = model.WriteSpeeds(SpeedKind());
  return s.empty() ? 0 : s.front();
}

uint32_t TDriveCore::CurrentReadSpeed() const {
  return Snap(requestedRead_, model.ReadSpeeds(SpeedKind()));
}

uint32_t TDriveCore::CurrentWriteSpeed() const {
  if (state.disc && state.disc->pressed) return 0;
  return Snap(requestedWrite_, model.WriteSpeeds(SpeedKind()));
}

uint32_t TDriveCore::BufferUsed() const {
  return static_cast<uint32_t>(std::ceil(std::clamp(bufferFill_, 0.0, double(BufferBytes()))));
}

void TDriveCore::DrainBuffer() {
  const int64_t now = plat::PerformanceCounter();
  const double seconds = double(now - bufferStamp_) / double(plat::PerformanceFrequency());
  bufferStamp_ = now;
  if (bufferFill_ <= 0) return;
  const double rate = double(CurrentWriteSpeed()) * 1000.0;
  bufferFill_ = rate <= 0 ? 0 : std::max(0.0, bufferFill_ - rate * seconds);
}

// --- unit control ---

TSense TDriveCore::TestUnitReady(const TCommand&) { return Ready(); }

TSense TDriveCore::RezeroUnit(const TCommand&) { return Ready(); }

TSense TDriveCore::Seek(const TCommand& c) {
  if (TSense s = Ready(); s.Failed()) return s;
  return Be32(c.cdb + 2) < Disc().capacity ? sense::kGood : sense::kLbaOutOfRange;
}

TSense TDriveCore::RequestSense(const TCommand& c) {
  if (c.cdb[1] & 0x01) return sense::kInvalidField;  // descriptor format is not offered
  uint8_t d[18] = {0x70, 0, 0, 0, 0, 0, 0, 10};
  TSense pending;
  if (unitAttention_) {
    unitAttention_ = false;
    pending = sense::kMediumChanged;
  } else if (BusyNow()) {
    pending = busy_.sense;
    d[15] = 0x80;
    Put16(d + 16, BusyProgress());
  } else {
    pending = Ready();
  }
  d[2] = pending.key;
  d[12] = pending.asc;
  d[13] = pending.ascq;
  return Reply(c, d, sizeof d, c.cdb[4]);
}

TSense TDriveCore::StartStopUnit(const TCommand& c) {
  const bool immediate = c.cdb[1] & 0x01;
  const bool loej = c.cdb[4] & 0x02;
  const bool start = c.cdb[4] & 0x01;
  if ((c.cdb[4] >> 4) != 0 || !loej) return sense::kGood;  // power conditions, spin up or down
  if (!start) {
    if (prevent_) return sense::kRemovalPrevented;
    if (!state.trayOpen) {
      state.trayOpen = true;
      stateChanged = true;
      mediaEvent_ = 3;
      bufferFill_ = 0;
      simulatedNext_.reset();
    }
    return sense::kGood;
  }
  if (state.trayOpen) {
    state.trayOpen = false;
    stateChanged = true;
    if (state.disc) {
      // A closed tray may hold another disc: others must be told, and so must we.
      ++state.generation;
      unitAttention_ = true;
      mediaEvent_ = 2;
      if (immediate)
        StartNotReady(model.durations.loadMs, sense::kBecomingReady);
      else
        Takes(model.durations.loadMs);
    }
  }
  return sense::kGood;
}

TSense TDriveCore::GetEventStatus(const TCommand& c) {
  if ((c.cdb[1] & 0x01) == 0) return sense::kInvalidField;  // polled operation only
  constexpr uint8_t kOperational = 0x02, kPower = 0x04, kMedia = 0x10;
  const uint8_t request = c.cdb[4];
  uint8_t r[8] = {0, 0, 0, kOperational | kPower | kMedia};
  size_t n = 4;
  if (request & kMedia) {
    // Media class: the pending event (reported once), then whether a medium is there.
    r[2] = 4;
    r[4] = mediaEvent_;
    r[5] = static_cast<uint8_t>((state.disc ? 0x02 : 0) | (state.trayOpen ? 0x01 : 0));
    mediaEvent_ = 0;
    n = 8;
  } else if (request & kPower) {
    r[2] = 2;
    r[5] = 1;  // active
    n = 8;
  } else if (request & kOperational) {
    r[2] = 1;
    n = 8;
  } else {
    r[2] = 0x80;  // no event class asked for that the drive supports
  }
  Put16(r, static_cast<uint32_t>(n - 2));
  return Reply(c, r, n, Be16(c.cdb + 7));
}

TSense TDriveCore::PreventAllow(const TCommand& c) {
  prevent_ = (c.cdb[4] & 0x03) != 0;
  return sense::kGood;
}

}  // namespace vdrive
