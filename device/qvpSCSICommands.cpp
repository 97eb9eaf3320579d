// The plain command operations: one request block each, with the CDB bytes of the operation
// (all others 0, multi-byte fields big-endian).
#include "device/qvpSCSILib.h"
#include "device/qvpSCSIRequest.h"

namespace qvp {

bool TestUnitReady(TSCSIDevice& dev) { return TRequest(6, op::TestUnitReady).Completed(dev); }

bool TestUnitReadyAlwaysTrue(TSCSIDevice& dev) {
  TRequest(6, op::TestUnitReady).Execute(dev);
  return true;
}

bool Inquiry(TSCSIDevice& dev, uint8_t* buffer) {
  TRequest r(6, op::Inquiry, kFlagsRead, buffer, 64);
  r.Cdb()[4] = 64;
  return r.Completed(dev);
}

namespace {
bool StartStop(TSCSIDevice& dev, bool immediate, uint8_t action) {
  TRequest r(6, op::StartStopUnit);
  r.Cdb()[1] = immediate ? 1 : 0;
  r.Cdb()[4] = action;
  return r.Completed(dev);
}
}  // namespace

bool LoadMedium(TSCSIDevice& dev, bool immediate) { return StartStop(dev, immediate, 3); }
bool EjectMedium(TSCSIDevice& dev, bool immediate) { return StartStop(dev, immediate, 2); }

bool RezeroUnit(TSCSIDevice& dev) { return TRequest(6, op::RezeroUnit).Completed(dev); }

bool AllowMediumRemoval(TSCSIDevice& dev) {
  return TRequest(6, op::PreventAllowRemoval).Completed(dev);
}

bool ModeSelect10(TSCSIDevice& dev, uint8_t* buffer, uint16_t length) {
  TRequest r(10, op::ModeSelect10, kFlagsWrite, buffer, length);
  r.Cdb()[1] = 0x10;
  mmc::PutBE16(r.Cdb() + 7, length);
  return r.CompletedOrPending(dev);
}

bool ModeSense10(TSCSIDevice& dev, uint8_t* buffer, uint16_t length, bool defaults, uint8_t page) {
  TRequest r(10, op::ModeSense10, kFlagsRead, buffer, length);
  r.Cdb()[2] = static_cast<uint8_t>(page | (defaults ? kPageControlDefault : 0));
  mmc::PutBE16(r.Cdb() + 7, length);
  return r.CompletedOrPending(dev);
}

bool SetCdSpeed(TSCSIDevice& dev, uint16_t readSpeed, uint16_t writeSpeed) {
  TRequest r(12, op::SetCdSpeed);
  r.Cdb()[1] = 1;
  mmc::PutBE16(r.Cdb() + 2, readSpeed == 0 ? 0xFFFF : readSpeed);
  mmc::PutBE16(r.Cdb() + 4, writeSpeed == 0 ? 0xFFFF : writeSpeed);
  return r.Completed(dev);
}

bool SetStreaming(TSCSIDevice& dev, uint8_t* buffer, uint16_t length) {
  TRequest r(12, op::SetStreaming, kFlagsWrite, buffer, length);
  mmc::PutBE16(r.Cdb() + 9, length);
  return r.Completed(dev);
}

bool SynchronizeCache(TSCSIDevice& dev, bool immediate) {
  TRequest r(10, op::SynchronizeCache);
  r.Cdb()[1] = immediate ? 2 : 0;
  return r.CompletedOrPending(dev);
}

bool CloseTrackSession(TSCSIDevice& dev, bool immediate, uint8_t function, uint8_t b3, uint8_t b4,
                       uint8_t b5) {
  TRequest r(10, op::CloseTrackSession);
  r.Cdb()[1] = immediate ? 1 : 0;
  r.Cdb()[2] = function;
  r.Cdb()[3] = b3;
  r.Cdb()[4] = b4;
  r.Cdb()[5] = b5;
  return r.CompletedOrPending(dev);
}

bool CloseTrackOrSession(TSCSIDevice& dev, bool closeTrack, bool immediate, uint8_t track) {
  TRequest r(10, op::CloseTrackSession);
  r.Cdb()[1] = immediate ? 1 : 0;
  r.Cdb()[2] = closeTrack ? 1 : 2;
  r.Cdb()[5] = track;
  return r.Completed(dev);
}

bool ReserveTrack(TSCSIDevice& dev, uint32_t blocks) {
  TRequest r(10, op::ReserveTrack);
  mmc::PutBE32(r.Cdb() + 5, blocks);
  return r.Completed(dev);
}

bool FormatUnit(TSCSIDevice& dev, uint8_t byte1, uint8_t* buffer, uint16_t length) {
  TRequest r(6, op::FormatUnit, kFlagsWrite, buffer, length);
  r.Cdb()[1] = byte1;
  return r.CompletedOrPending(dev);
}

bool Blank(TSCSIDevice& dev, bool quick) {
  TRequest r(12, op::Blank);
  r.Cdb()[1] = static_cast<uint8_t>(0x10 | (quick ? 1 : 0));
  return r.CompletedOrPending(dev);
}

bool SendDvdStructure(TSCSIDevice& dev, uint8_t format, uint8_t* buffer, uint16_t length) {
  TRequest r(12, op::SendDvdStructure, kFlagsWrite, buffer, length);
  r.Cdb()[7] = format;
  mmc::PutBE16(r.Cdb() + 8, length);
  return r.Completed(dev);
}

bool ReadBufferCapacity(TSCSIDevice& dev) {
  std::memset(dev.DataBuffer, 0, 32);
  TRequest r(10, op::ReadBufferCapacity, kFlagsRead, dev.DataBuffer, 32);
  r.Cdb()[8] = 32;
  if (!r.Completed(dev)) return false;
  dev.BufferLength = mmc::GetBE32(dev.DataBuffer + 4);
  dev.BufferBlank = mmc::GetBE32(dev.DataBuffer + 8);
  return true;
}

uint32_t GetDriveBufferSize(const TSCSIDevice& dev) { return dev.BufferLength; }

uint32_t GetDriveBufferUsed(const TSCSIDevice& dev) {
  // A drive reporting more free space than its buffer holds has nothing in it.
  return dev.BufferBlank >= dev.BufferLength ? 0 : dev.BufferLength - dev.BufferBlank;
}

bool ReadDiscInformation(TSCSIDevice& dev, uint8_t* buffer, uint16_t length) {
  TRequest r(10, op::ReadDiscInformation, kFlagsRead, buffer, length);
  mmc::PutBE16(r.Cdb() + 7, length);
  return r.Completed(dev);
}

bool ReadTocPmaAtip(TSCSIDevice& dev, uint8_t format, uint8_t track, uint8_t length,
                    uint8_t* buffer, bool msf) {
  TRequest r(10, op::ReadTocPmaAtip, kFlagsRead, buffer, length);
  r.Cdb()[1] = msf ? 2 : 0;
  r.Cdb()[2] = format;
  r.Cdb()[6] = track;
  r.Cdb()[8] = length;
  return r.Completed(dev);
}

bool GetConfiguration(TSCSIDevice& dev, uint8_t* buffer, uint16_t length, uint16_t startFeature) {
  TRequest r(10, op::GetConfiguration, kFlagsRead, buffer, length);
  r.Cdb()[1] = 2;
  mmc::PutBE16(r.Cdb() + 2, startFeature);
  mmc::PutBE16(r.Cdb() + 7, length);
  return r.Completed(dev);
}

}  // namespace qvp
