// Recording commands with state: the write parameters page, remembered speeds, streaming
// performance, the DVD-R time stamp, and READ(10)/WRITE(10) with their transfer statistics and
// the ring of speed samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "device/qvpSCSILib.h"
#include "device/qvpSCSIRequest.h"

namespace qvp {

namespace {

// Mode page 5 as the library starts from before adapting it to the medium.
constexpr uint8_t kWriteParametersTemplate[72] = {
    0x05, 0x32, 0x42, 0xC4, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x96, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x90, 0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00, 0x00,
    0x8D, 0x40, 0x00, 0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x98, 0x00, 0x00, 0x00,
    0x00, 0x8D, 0x40, 0x00, 0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40,
};

constexpr uint8_t kBufe = 0x40;          // byte 2: buffer-underrun protection on
constexpr uint8_t kLsValid = 0x20;       // byte 2: link size valid
constexpr uint8_t kTestWrite = 0x10;     // byte 2
constexpr uint8_t kFixedPacket = 0x20;   // byte 3
constexpr uint8_t kMultiSession = 0xC0;  // byte 3

void SetWriteType(uint8_t* p, uint8_t type) { p[2] = static_cast<uint8_t>((p[2] & 0xF0) | type); }
void SetTrackMode(uint8_t* p, uint8_t mode) { p[3] = static_cast<uint8_t>((p[3] & 0xF0) | mode); }
void SetDataBlockType(uint8_t* p, uint8_t type) {
  p[4] = static_cast<uint8_t>((p[4] & 0xF0) | type);
}
void SetFixedPacket(uint8_t* p, bool on) {
  p[3] = static_cast<uint8_t>(on ? (p[3] | kFixedPacket) : (p[3] & ~kFixedPacket));
}
void SetMultiSession(uint8_t* p, bool open) {
  p[3] = static_cast<uint8_t>((p[3] & ~kMultiSession) | (open ? kMultiSession : 0));
}
void SetPacketSize(uint8_t* p, uint32_t blocks) { mmc::PutBE32(p + 10, blocks); }

uint16_t SpeedOf(const TTransferStatistics& s) {
  if (s.Milliseconds <= 0) return 0;
  const double kbs = std::nearbyint(s.Bytes / 1024.0 / (s.Milliseconds / 1000.0));
  return static_cast<uint16_t>(std::min(kbs, 65535.0));
}

}  // namespace

void BuildWriteParameters(uint8_t* p, uint8_t pageLength, bool testWrite, bool burnProof,
                          uint8_t mediumType, bool leaveOpen, bool driveHasBufferUnderrunFree) {
  std::memcpy(p, kWriteParametersTemplate, sizeof kWriteParametersTemplate);
  p[0] = kPageWriteParameters;
  p[1] = pageLength;
  p[2] &= static_cast<uint8_t>(~kBufe);

  // Track at once, mode 1 data blocks of 2048 bytes, CD-DA/CD-ROM session, data track.
  SetWriteType(p, 1);
  SetDataBlockType(p, 8);
  p[8] = 0;
  SetTrackMode(p, 4);

  const uint8_t mt = mediumType;
  if (mt == mtDDCDR || mt == mtDDCDRW) {
    SetWriteType(p, 2);
    SetTrackMode(p, 5);
  } else if (mt == mtDVDR || mt == mtDVDRW || mt == mtDVDRWRO || mt == mtDVDRWSR) {
    SetWriteType(p, 0);
    SetTrackMode(p, 5);
  }
  if (!testWrite) SetMultiSession(p, leaveOpen);

  if (mt == mtDVDR) {
    SetMultiSession(p, true);
    SetFixedPacket(p, true);
    SetPacketSize(p, 16);
    p[5] = 16;
    p[2] |= kLsValid;
  } else if (mt == mtDVDRWRO || mt == mtDVDRWSR) {
    SetMultiSession(p, true);
    SetFixedPacket(p, false);
    SetPacketSize(p, 16);
    p[5] = 16;
    p[2] |= kLsValid;
  }
  SetDataBlockType(p, 8);

  if (mt == mtDVDPLUSRW || mt == mtDVDPLUSR) {
    SetWriteType(p, 2);
    SetTrackMode(p, 4);
    p[6] = 0;
    p[2] |= kLsValid;
    p[5] = 16;
    SetFixedPacket(p, mt == mtDVDPLUSR);
    SetPacketSize(p, mt == mtDVDPLUSR ? 16 : 0);
    if (mt == mtDVDPLUSR && !leaveOpen) {
      SetFixedPacket(p, false);
      SetPacketSize(p, 0);
      p[5] = 0;
    }
  } else if (mt == mtDVDPLUSRDL) {
    SetWriteType(p, 2);
    SetTrackMode(p, 4);
    p[6] = 0;
    p[2] |= kLsValid;
    p[5] = 0;
    SetFixedPacket(p, false);
    SetPacketSize(p, 0);
    SetMultiSession(p, leaveOpen);
  } else if (burnProof && driveHasBufferUnderrunFree) {
    p[2] |= kBufe;
  }

  p[14] = 0x00;
  p[15] = 0x96;  // audio pause of 150 blocks
  if (testWrite) p[2] |= kTestWrite;
}

namespace {

// Reads the drive's page 5, lets `build` lay our image over it and sends it back.
template <typename F>
bool SendWriteParameters(TSCSIDevice& dev, F build) {
  uint8_t* data = dev.DataBuffer;
  std::memset(data, 0, 512);
  if (!ModeSense10(dev, data, 512, false, kPageWriteParameters)) return false;
  const int h = (data[8] & 0x3F) == kPageWriteParameters ? 8 : 16;
  uint8_t* p = dev.WriteParameters;
  build(p, data[h + 1]);
  // Only our 72-byte image can be laid over the page, whatever length the drive announces.
  std::memcpy(data + h, p, std::min<size_t>(p[1], sizeof dev.WriteParameters));
  return ModeSelect10(dev, data, static_cast<uint16_t>(h + p[1] + 2));
}

}  // namespace

bool SetWriteParameters(TSCSIDevice& dev, bool testWrite, bool burnProof, uint8_t mediumType,
                        bool leaveOpen) {
  std::memset(dev.WriteParameters, 0, sizeof dev.WriteParameters);
  return SendWriteParameters(dev, [&](uint8_t* p, uint8_t pageLength) {
    BuildWriteParameters(p, pageLength, testWrite, burnProof, mediumType, leaveOpen,
                         (dev.Capabilities[4] & 0x80) != 0);
  });
}

bool SetNoNextSession(TSCSIDevice& dev) {
  return SendWriteParameters(dev, [](uint8_t* p, uint8_t) { SetMultiSession(p, false); });
}

bool SetSpeed(TSCSIDevice& dev, uint16_t readSpeed, uint16_t writeSpeed) {
  dev.RequestedReadSpeed = readSpeed;
  dev.RequestedWriteSpeed = writeSpeed;
  return SetCdSpeed(dev, readSpeed, writeSpeed);
}

bool SetStreamingPerformance(TSCSIDevice& dev, uint32_t endLba, uint32_t readSize,
                             uint32_t readTime, uint32_t writeSize, uint32_t writeTime) {
  uint8_t* d = dev.DataBuffer;
  std::memset(d, 0, 28);
  mmc::PutBE32(d + 8, endLba);
  mmc::PutBE32(d + 12, readSize);
  mmc::PutBE32(d + 16, readTime);
  mmc::PutBE32(d + 20, writeSize);
  mmc::PutBE32(d + 24, writeTime);
  return SetStreaming(dev, d, 28);
}

bool SendDvdTimestamp(TSCSIDevice& dev, const plat::TSystemTime& utc) {
  uint8_t* d = dev.DataBuffer;
  std::memset(d, 0, 22);
  mmc::PutBE16(d, 0x0014);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04u%02u%02u%02u%02u%02u", utc.Year % 10000u,
                utc.Month % 100u, utc.Day % 100u, utc.Hour % 100u, utc.Minute % 100u,
                utc.Second % 100u);
  std::memcpy(d + 8, digits, 14);
  return SendDvdStructure(dev, 0x0F, d, 22);
}

void ResetSpeedStatistics(TSCSIDevice& dev) {
  std::memset(dev.SampleTicks, 0, sizeof dev.SampleTicks);
  std::memset(dev.SampleBytes, 0, sizeof dev.SampleBytes);
  dev.SampleIndex = 0;
  const int64_t frequency = plat::PerformanceFrequency();
  dev.MsPerTick = frequency > 0 ? 1000.0 / static_cast<double>(frequency) : 0.0;
}

void AddSpeedSample(TSCSIDevice& dev, int64_t bytes, int64_t ticks) {
  if (dev.SampleIndex >= kSpeedSamples) dev.SampleIndex = 0;
  dev.SampleBytes[dev.SampleIndex] = bytes;
  dev.SampleTicks[dev.SampleIndex] = ticks;
  ++dev.SampleIndex;
}

bool Read10(TSCSIDevice& dev, uint32_t lba, uint16_t count, uint8_t* buffer) {
  TTransferStatistics& s = dev.ReadStats;
  const uint32_t start = plat::TickCount();
  s.StartTick = start;
  if (s.Speed == 0) s.Speed = GetCurrentReadSpeed(dev);
  const int64_t t0 = plat::PerformanceCounter();

  const uint32_t length = uint32_t{count} * kSectorSize;
  TRequest r(10, op::Read10, kFlagsRead, buffer, length);
  mmc::PutBE32(r.Cdb() + 2, lba);
  mmc::PutBE16(r.Cdb() + 7, count);
  const bool ok = r.Completed(dev);
  s.Bytes += length;

  const uint32_t end = plat::TickCount();
  s.EndTick = end;
  s.Milliseconds += static_cast<uint32_t>(end - start);  // modular: survives the tick wrap
  s.Speed = SpeedOf(s);
  ++s.Count;
  AddSpeedSample(dev, length, plat::PerformanceCounter() - t0);
  return ok;
}

bool Write10(TSCSIDevice& dev, uint32_t lba, uint16_t count, uint32_t length,
             const uint8_t* buffer) {
  TTransferStatistics& s = dev.WriteStats;
  if (s.Speed == 0) s.Speed = GetCurrentWriteSpeed(dev);
  const uint32_t start = plat::TickCount();
  s.StartTick = start;
  const int64_t t0 = plat::PerformanceCounter();

  // The block only carries the data out; nothing writes through this pointer.
  TRequest r(10, op::Write10, kFlagsWrite, const_cast<uint8_t*>(buffer), length);
  mmc::PutBE32(r.Cdb() + 2, lba);
  mmc::PutBE16(r.Cdb() + 7, count);
  const bool ok = r.Completed(dev);
  s.Bytes += length;

  AddSpeedSample(dev, length, plat::PerformanceCounter() - t0);
  const uint32_t end = plat::TickCount();
  s.EndTick = end;
  s.Milliseconds += static_cast<uint32_t>(end - start);  // modular: survives the tick wrap
  s.Speed = SpeedOf(s);
  ++s.Count;
  return ok;
}

}  // namespace qvp
