// Reading and recording: READ/WRITE under the medium's write rules, cache flush, closing tracks
// and sessions, reservation, blanking, formatting and the DVD-R time stamp.
#include <algorithm>
#include <cmath>

#include "platform/Drives.h"
#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

uint32_t TransferLength(const TCommand& c) {
  return c.cdb[0] < 0xA0 ? Be16(c.cdb + 7) : Be32(c.cdb + 6);
}

constexpr uint32_t kEccBlock = 16;

uint32_t AlignEcc(uint64_t v, uint32_t limit) {
  return static_cast<uint32_t>(
      std::min<uint64_t>((v + kEccBlock - 1) / kEccBlock * kEccBlock, limit));
}

}  // namespace

TSense TDriveCore::Read(const TCommand& c) {
  if (c.cdb[1] & 0x01) return sense::kInvalidField;  // relative addressing is obsolete
  const uint32_t lba = Be32(c.cdb + 2);
  const uint32_t count = TransferLength(c);
  if (TSense s = Ready(); s.Failed()) return s;
  if (count == 0) return sense::kGood;
  const TDisc& d = Disc();
  if (!d.Readable(lba, count)) {
    const auto last = d.LastRecorded();
    if (!last || uint64_t(lba) + count - 1 > *last) return sense::kLbaOutOfRange;
    return sense::kUnrecoveredRead;  // a gap between recorded areas
  }
  if (c.direction != plat::kScsiDataIn || c.data == nullptr ||
      c.dataLen < uint64_t(count) * kSectorBytes) {
    return sense::kInvalidField;
  }
  if (!image_->Read(lba, count, c.data)) return sense::kUnrecoveredRead;
  faults.DamageRead(lba, count, c.data);
  dataIn_ = count * kSectorBytes;
  if (const uint32_t speed = CurrentReadSpeed())
    Takes(double(count) * kSectorBytes / speed);  // kB/s = bytes/ms
  return sense::kGood;
}

TSense TDriveCore::CheckRandomWrite(uint32_t lba, uint32_t count) {
  TDisc& d = Disc();
  if (!d.formatted) {
    // A blank DVD+RW starts formatting in the background on its first write; some drives
    // insist on an explicit FORMAT UNIT instead.
    if (d.kind != TMediumKind::DvdPlusRw || faults.plusRwNeedsFormat)
      return sense::kCannotWriteFormat;
    d.formatted = true;
    d.formattedBlocks = d.capacity;
    d.bgFormat = 2;
    stateChanged = true;
  }
  if (uint64_t(lba) + count > d.WritableExtent()) return sense::kLbaOutOfRange;
  // Restricted overwrite rewrites whole ECC blocks only.
  if (d.restrictedOverwrite && (lba % kEccBlock != 0 || count % kEccBlock != 0))
    return sense::kInvalidWriteAddress;
  return sense::kGood;
}

TSense TDriveCore::Write(const TCommand& c) {
  if (c.cdb[1] & 0x01) return sense::kInvalidField;
  const uint32_t lba = Be32(c.cdb + 2);
  const uint32_t count = TransferLength(c);
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (d.pressed) return sense::kWriteProtected;
  if (!model.Writes(d.kind)) return sense::kCannotWriteFormat;
  if (count == 0) return sense::kGood;
  if (d.Traits().family == TFamily::Cd && WriteType() == 2) {
    // Session at once takes the stream its cue sheet announced, from a pre-gap below LBA 0.
    if (!SessionAtOnce()) return sense::kSequenceError;
    return WriteSessionAtOnce(c, static_cast<int32_t>(lba), count);
  }
  if (c.direction != plat::kScsiDataOut || c.data == nullptr ||
      c.dataLen < uint64_t(count) * kSectorBytes) {
    return sense::kInvalidField;
  }
  const bool sequential = d.Access() == TAccess::Sequential;
  if (sequential && WriteType() == 0 && FixedPacket() && d.Traits().family != TFamily::Cd) {
    const uint32_t packet = PacketSize();
    if (packet == 0 || count % packet != 0) return sense::kInvalidField;
  }
  if (TestWrite() && d.SupportsTestWrite()) {
    // Simulation: the laser stays cold, only the address bookkeeping runs.
    if (!(simulatedNext_ && *simulatedNext_ == lba && uint64_t(lba) + count <= d.capacity)) {
      if (TSense s = d.CheckSequentialWrite(lba, count); s.Failed()) return s;
    }
    simulatedNext_ = lba + count;
  } else if (sequential && d.PseudoOverwrite() && d.Readable(lba, count)) {
    if (!image_->Write(lba, count, c.data)) return sense::kWriteError;
    progressUnsaved = true;
  } else if (sequential) {
    if (TSense s = d.CheckSequentialWrite(lba, count); s.Failed()) return s;
    if (!image_->Write(lba, count, c.data)) return sense::kWriteError;
    d.CommitSequentialWrite(lba, count);
    progressUnsaved = true;
  } else {
    if (TSense s = CheckRandomWrite(lba, count); s.Failed()) return s;
    if (!image_->Write(lba, count, c.data)) return sense::kWriteError;
    d.highWater = std::max(d.highWater, lba + count);
    progressUnsaved = true;
  }
  if (!state.pace) {
    bufferFill_ = std::min<double>(BufferBytes(), bufferFill_ + double(count) * kSectorBytes);
    return sense::kGood;
  }
  // The data goes into the buffer; while that would overfill it, the WRITE waits for the drain.
  bufferFill_ += double(count) * kSectorBytes;
  const double over = bufferFill_ - BufferBytes();
  if (const uint32_t speed = CurrentWriteSpeed(); over > 0 && speed > 0) Takes(over / speed);
  return sense::kGood;
}

TSense TDriveCore::SynchronizeCache(const TCommand& c) {
  const bool immediate = c.cdb[1] & 0x02;
  if (TSense s = Ready(); s.Failed()) return s;
  const double rate = double(CurrentWriteSpeed()) * 1000.0;
  const uint32_t drainMs =
      rate > 0 ? static_cast<uint32_t>(std::ceil(bufferFill_ / rate * 1000.0)) : 0;
  // Flushing takes time when the buffer held data or the drive has recorded since it last
  // updated its own bookkeeping on the disc.
  const bool pending = bufferFill_ > 0 || progressUnsaved;
  // Recording at once ends with the flush: the drive closes what the host announced.
  FinishSessionAtOnce();
  FinishDiscAtOnce();
  bufferFill_ = 0;
  if (progressUnsaved) stateChanged = true;
  if (pending) {
    if (immediate)
      StartNotReady(drainMs + model.durations.syncMs, sense::kLongWriteInProgress);
    else
      Takes(drainMs + model.durations.syncMs);
  }
  return sense::kGood;
}

TSense TDriveCore::CloseOnRandomMedium(uint8_t function) {
  TDisc& d = Disc();
  if (d.kind == TMediumKind::DvdPlusRw) {
    if (!d.formatted) return sense::kSequenceError;
    if (function == 0) {
      if (d.bgFormat == 2) d.bgFormat = 1;  // quick stop of the background format
    } else if (function == 2 || function == 3) {
      d.bgFormat = 3;  // lead-out written: the disc reads like a DVD-ROM
    } else {
      return sense::kInvalidField;
    }
    stateChanged = true;
    return sense::kGood;
  }
  if (d.restrictedOverwrite) {
    if (function == 1) return sense::kGood;
    if (function != 2) return sense::kInvalidField;
    if (d.intermediate) {
      // Writing the lead-out fixes the formatted extent at what was recorded.
      d.intermediate = false;
      d.formattedBlocks = std::max(d.formattedBlocks, AlignEcc(d.highWater, d.capacity));
      stateChanged = true;
    }
    return sense::kGood;
  }
  return sense::kInvalidField;
}

TSense TDriveCore::CloseTrackSession(const TCommand& c) {
  const bool immediate = c.cdb[1] & 0x01;
  const uint8_t function = c.cdb[2] & 0x07;
  const uint32_t number = Be16(c.cdb + 4);
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (d.pressed) return sense::kWriteProtected;
  if (!model.Writes(d.kind)) return sense::kCannotWriteFormat;
  uint32_t duration = model.durations.closeSessionMs;
  TSense result;
  if (d.Access() == TAccess::Random) {
    result = CloseOnRandomMedium(function);
  } else {
    const bool plusR = d.kind == TMediumKind::DvdPlusR || d.kind == TMediumKind::DvdPlusRDl;
    const bool finalizeAllowed = (plusR && (function == 5 || function == 6)) ||
                                 (d.kind == TMediumKind::BdR && function == 6);
    if (function != 1 && function != 2 && !finalizeAllowed) return sense::kInvalidField;
    if (TestWrite() && d.SupportsTestWrite()) {
      simulatedNext_.reset();  // a simulated close leaves the medium as it was
      return sense::kGood;
    }
    if (function == 1) {
      duration = model.durations.closeTrackMs;
      result = d.CloseTrack(number);
    } else {
      // DVD+R and BD-R take no multi-session setting from the write parameters: closing the
      // session keeps the disc appendable, and finalizing is a function of its own.
      const bool ownFinalize = plusR || d.kind == TMediumKind::BdR;
      result = d.CloseSession(function == 2 && (ownFinalize || NextSessionAllowed()));
    }
    if (!result.Failed()) {
      stateChanged = true;
      progressUnsaved = false;
    }
  }
  if (result.Failed()) return result;
  bufferFill_ = 0;
  if (immediate)
    StartNotReady(duration, sense::kLongWriteInProgress);
  else
    Takes(duration);
  return sense::kGood;
}

TSense TDriveCore::ReserveTrack(const TCommand& c) {
  if (c.cdb[1] & 0x01) return sense::kInvalidField;  // reservation by address is not offered
  const uint32_t blocks = Be32(c.cdb + 5);
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (d.pressed) return sense::kWriteProtected;
  if (!model.Writes(d.kind)) return sense::kCannotWriteFormat;
  if (d.Access() != TAccess::Sequential) return sense::kInvalidField;
  if (TestWrite() && d.SupportsTestWrite()) return sense::kGood;
  const TSense s = d.ReserveTrack(blocks);
  if (!s.Failed()) stateChanged = true;
  return s;
}

void TDriveCore::MediumRewritten() {
  image_->Clear();
  Disc().highWater = 0;
  bufferFill_ = 0;
  simulatedNext_.reset();
  progressUnsaved = false;
  stateChanged = true;
}

TSense TDriveCore::Blank(const TCommand& c) {
  const bool immediate = c.cdb[1] & 0x10;
  const uint8_t type = c.cdb[1] & 0x07;
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (d.pressed) return sense::kWriteProtected;
  if (d.kind != TMediumKind::CdRw && d.kind != TMediumKind::DvdRw)
    return sense::kIncompatibleMedium;
  if (!model.Writes(d.kind)) return sense::kCannotWriteFormat;
  if (type > 1) return sense::kInvalidField;  // whole disc or minimal only
  // Either way the disc comes back blank; a DVD-RW returns to sequential recording.
  d = TDisc::Blank(d.kind, d.capacity, false);
  MediumRewritten();
  const uint32_t duration =
      type == 0 ? model.durations.blankFullMs : model.durations.blankMinimalMs;
  if (immediate)
    StartNotReady(duration, sense::kOperationInProgress);
  else
    Takes(duration);
  return sense::kGood;
}

TSense TDriveCore::FormatUnit(const TCommand& c) {
  if ((c.cdb[1] & 0x10) == 0 || (c.cdb[1] & 0x07) != 1)
    return sense::kInvalidField;  // format data needed
  if (TSense s = Ready(); s.Failed()) return s;
  const uint8_t* p = ParameterList(c, 12);
  if (p == nullptr) return sense::kParameterListLength;
  TDisc& d = Disc();
  if (d.pressed || !model.Writes(d.kind)) return sense::kCannotFormat;
  const bool immediate = p[1] & 0x02;
  if (Be16(p + 2) != 8) return sense::kInvalidParameter;
  const uint32_t blocks = Be32(p + 4);
  const uint8_t type = p[8] >> 2;
  const uint32_t parameter = Be24(p + 9);
  switch (d.kind) {
    case TMediumKind::DvdPlusRw:
      if (type != 0x26) return sense::kInvalidParameter;
      // All ones asks for the whole disc, as programs commonly send it.
      if ((blocks > d.capacity && blocks != 0xFFFFFFFF) || parameter != 0)
        return sense::kInvalidParameterValue;
      d.formatted = true;
      d.formattedBlocks = d.capacity;
      d.bgFormat = 2;
      MediumRewritten();
      break;
    case TMediumKind::DvdRam:
    case TMediumKind::HdDvdRam:
      if (type != 0x00) return sense::kInvalidParameter;
      if (blocks > d.capacity || parameter != kSectorBytes) return sense::kInvalidParameterValue;
      d.formatted = true;
      d.formattedBlocks = d.capacity;
      MediumRewritten();
      break;
    case TMediumKind::BdRe: {
      if (type != 0x00 && type != 0x30 && type != 0x31) return sense::kInvalidParameter;
      const uint32_t extent = type == 0x31 ? BdReCapacityWithoutSpares(d.capacity) : d.capacity;
      if (blocks > extent) return sense::kInvalidParameterValue;
      d.formatted = true;
      d.formattedBlocks = extent;
      MediumRewritten();
      break;
    }
    case TMediumKind::DvdRw:
      if (type != 0x00 && type != 0x10 && type != 0x13 && type != 0x15)
        return sense::kInvalidParameter;
      if (parameter != (type == 0x00 ? kSectorBytes : 16) || blocks > d.capacity)
        return sense::kInvalidParameterValue;
      if (type == 0x13) {
        // Quick grow of the last session: only a disc in restricted overwrite has one to grow.
        if (!d.restrictedOverwrite || d.intermediate) return sense::kInvalidParameter;
        d.formattedBlocks =
            std::max(d.formattedBlocks, blocks == 0 ? d.capacity : AlignEcc(blocks, d.capacity));
        stateChanged = true;
        break;
      }
      if ((type == 0x10 || type == 0x00) && blocks == 0) return sense::kInvalidParameterValue;
      {
        const uint32_t capacity = d.capacity;
        d = TDisc::Blank(TMediumKind::DvdRw, capacity, true);
        // A quick format leaves the disc writable everywhere until its lead-out is written and
        // reports the requested extent as it was asked for.
        d.intermediate = type == 0x15;
        d.formattedBlocks =
            d.intermediate ? std::min(blocks, capacity) : AlignEcc(blocks, capacity);
      }
      MediumRewritten();
      break;
    case TMediumKind::BdR: {
      // Formatting with spare areas: only a blank disc, and it stays sequential.
      if (type != 0x00 && type != 0x32) return sense::kInvalidParameter;
      if (d.DiscStatus() != 0 || d.formatted) return sense::kCannotFormat;
      const uint32_t extent = BdRCapacityWithSpares(d.capacity);
      if (blocks > extent) return sense::kInvalidParameterValue;
      const uint32_t capacity = extent;
      d = TDisc::Blank(TMediumKind::BdR, capacity, false);
      d.formatted = true;
      d.formattedBlocks = capacity;
      MediumRewritten();
      break;
    }
    default:
      return sense::kCannotFormat;
  }
  bufferFill_ = 0;
  simulatedNext_.reset();
  if (immediate)
    StartNotReady(model.durations.formatMs, sense::kFormatInProgress);
  else
    Takes(model.durations.formatMs);
  return sense::kGood;
}

TSense TDriveCore::SendDvdStructure(const TCommand& c) {
  const uint8_t format = c.cdb[7];
  const uint32_t len = Be16(c.cdb + 8);
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (format != 0x0F) return sense::kInvalidField;
  if (d.kind != TMediumKind::DvdR && !(d.kind == TMediumKind::DvdRw && !d.restrictedOverwrite)) {
    return sense::kInvalidField;  // time stamps belong to DVD-R/-RW in sequential recording
  }
  const uint8_t* p = ParameterList(c, 22);
  if (len < 22 || p == nullptr) return sense::kParameterListLength;
  if (Be16(p) != 0x14) return sense::kInvalidParameter;
  for (int i = 8; i < 22; ++i) {
    if (p[i] < '0' || p[i] > '9') return sense::kInvalidParameter;
  }
  auto number = [&](int at, int digits) {
    int v = 0;
    for (int i = 0; i < digits; ++i) v = v * 10 + (p[at + i] - '0');
    return v;
  };
  const int month = number(12, 2), day = number(14, 2), hour = number(16, 2),
            minute = number(18, 2), second = number(20, 2);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return sense::kInvalidParameterValue;
  }
  d.timestamp.assign(reinterpret_cast<const char*>(p + 8), 14);
  stateChanged = true;
  return sense::kGood;
}

}  // namespace vdrive
