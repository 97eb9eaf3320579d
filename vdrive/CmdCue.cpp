// Recording a whole session or disc at once: SEND CUE SHEET and the session-at-once stream on
// CD (from the first track's pre-gap, below LBA 0 on a blank disc, to the lead-out), and DVD-R
// disc at once, which the drive closes itself once the reserved track is full.
#include <algorithm>

#include "platform/Drives.h"
#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

constexpr int64_t kMsfOffset = 150;  // 00:02:00 is LBA 0
constexpr int64_t kPreGap = 150;

int64_t MsfToLba(const uint8_t* msf) {
  return (int64_t(msf[0]) * 60 + msf[1]) * 75 + msf[2] - kMsfOffset;
}

// Data forms of main data: mode 1 with 2048 bytes of user data from the host, or the same data
// form with the drive generating the (zero) user data itself, as programs use for pre-gaps.
constexpr uint8_t kModeOneHost = 0x10;
constexpr uint8_t kModeOneGenerated = 0x14;

}  // namespace

bool TDriveCore::SessionAtOnce() const {
  return cue_.has_value() && WriteType() == 2 && state.disc &&
         state.disc->Traits().family == TFamily::Cd;
}

TSense TDriveCore::SendCueSheet(const TCommand& c) {
  const uint32_t size = Be24(c.cdb + 6);
  if (TSense s = Ready(); s.Failed()) return s;
  TDisc& d = Disc();
  if (d.pressed) return sense::kWriteProtected;
  if (d.Traits().family != TFamily::Cd || !model.Writes(d.kind)) return sense::kIncompatibleMedium;
  if (WriteType() != 2 || d.finalized || d.LastSessionState() != 0) return sense::kSequenceError;
  if (size == 0 || size % 8 != 0) return sense::kInvalidParameter;
  const uint8_t* p = ParameterList(c, size);
  if (p == nullptr) return sense::kParameterListLength;
  const auto open = d.TrackByNumber(0xFF);
  if (!open) return sense::kSequenceError;

  // Entries: CTL/ADR, track, index, data form, SCMS, absolute MSF.
  TCue cue;
  bool leadIn = false, leadOut = false;
  int lastTrack = 0;
  bool preGap = false;  // index 0 of the track whose index 1 comes next was given, at preGapAt
  int64_t preGapAt = 0;
  bool preGapHost = false;
  for (uint32_t off = 0; off < size; off += 8) {
    const uint8_t* e = p + off;
    if ((e[0] & 0x0F) != 1) continue;  // catalogue number and ISRC entries carry no layout
    const uint8_t track = e[1], index = e[2], form = e[3] & 0x3F;
    if (e[5] > 99 || e[6] > 59 || e[7] > 74) return sense::kInvalidParameterValue;
    const int64_t lba = MsfToLba(e + 5);
    if (track == 0) {
      if (leadIn) return sense::kInvalidParameter;
      leadIn = true;
      continue;
    }
    if (!leadIn || leadOut) return sense::kInvalidParameter;
    if (track == 0xAA) {
      if (cue.trackStarts.empty() || preGap || lba <= cue.trackStarts.back())
        return sense::kInvalidParameter;
      cue.leadOut = lba;
      leadOut = true;
      continue;
    }
    if (track != lastTrack && track != lastTrack + 1) return sense::kInvalidParameter;
    // Only data tracks of 2048-byte mode 1 blocks can be recorded here.
    if ((e[0] & 0x40) == 0 || (form != kModeOneHost && form != kModeOneGenerated)) {
      return sense::kInvalidParameterValue;
    }
    const bool host = form == kModeOneHost;
    if (track != lastTrack) {
      if (index > 1 || (lastTrack > 0 && index != 0))
        return sense::kInvalidParameter;  // tracks after the first need a pre-gap
      lastTrack = track;
    }
    if (index == 0) {
      if (preGap) return sense::kInvalidParameter;
      preGap = true;
      preGapAt = lba;
      preGapHost = host;
      continue;
    }
    if (index != 1) continue;  // further index points divide a track without changing it
    if (!cue.trackStarts.empty() && lba <= cue.trackStarts.back()) return sense::kInvalidParameter;
    if (preGap) {
      // Standard pre-gaps only; the first track starts where the disc takes data.
      if (lba - preGapAt != kPreGap) return sense::kInvalidParameterValue;
      cue.segments.emplace_back(preGapAt, preGapHost);
    }
    if (cue.trackStarts.empty() && lba != int64_t(open->nwa)) return sense::kInvalidParameterValue;
    cue.segments.emplace_back(lba, host);
    cue.trackStarts.push_back(lba);
    preGap = false;
  }
  if (!leadOut || cue.leadOut > int64_t(d.capacity)) return sense::kInvalidParameter;
  cue.next = cue.HostBlockFrom(cue.segments.front().first);
  cue_ = cue;
  simulatedNext_.reset();
  return sense::kGood;
}

int64_t TDriveCore::TCue::HostBlockFrom(int64_t position) const {
  for (size_t i = 0; i < segments.size(); ++i) {
    const int64_t end = i + 1 < segments.size() ? segments[i + 1].first : leadOut;
    if (position >= end) continue;
    if (segments[i].second) return std::max(position, segments[i].first);
  }
  return leadOut;
}

TSense TDriveCore::WriteSessionAtOnce(const TCommand& c, int64_t lba, uint32_t count) {
  TCue& cue = *cue_;
  TDisc& d = Disc();
  if (lba != cue.next) return sense::kInvalidWriteAddress;
  if (lba + count > cue.leadOut) return sense::kLbaOutOfRange;
  if (c.direction != plat::kScsiDataOut || c.data == nullptr ||
      c.dataLen < uint64_t(count) * kSectorBytes) {
    return sense::kInvalidField;
  }
  const bool test = TestWrite() && d.SupportsTestWrite();
  // Blocks before the first track and in the pre-gaps between tracks hold no user data.
  for (uint32_t i = 0; i < count;) {
    const int64_t at = lba + i;
    size_t track = 0;
    while (track + 1 < cue.trackStarts.size() && at >= cue.trackStarts[track + 1] - kPreGap)
      ++track;
    const int64_t start = cue.trackStarts[track];
    const int64_t end =
        track + 1 < cue.trackStarts.size() ? cue.trackStarts[track + 1] - kPreGap : cue.leadOut;
    if (at < start) {
      i += static_cast<uint32_t>(std::min<int64_t>(start - at, count - i));
      continue;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(end - at, count - i));
    if (!test) {
      // A track after the first begins once the one before it is closed behind its pre-gap.
      if (track > 0 && d.tracks.back().start != uint32_t(start)) {
        if (TSense s = d.CloseTrack(static_cast<uint32_t>(d.tracks.size())); s.Failed()) return s;
      }
      if (TSense s = d.CheckSequentialWrite(static_cast<uint32_t>(at), n); s.Failed()) return s;
      if (!image_->Write(static_cast<uint64_t>(at), n, c.data + size_t(i) * kSectorBytes))
        return sense::kWriteError;
      d.CommitSequentialWrite(static_cast<uint32_t>(at), n);
      progressUnsaved = true;
    }
    i += n;
  }
  cue.next = cue.HostBlockFrom(lba + count);
  bufferFill_ = std::min<double>(BufferBytes(), bufferFill_ + double(count) * kSectorBytes);
  return sense::kGood;
}

void TDriveCore::FinishSessionAtOnce() {
  if (!SessionAtOnce() || cue_->next < cue_->leadOut) return;
  TDisc& d = Disc();
  if (!(TestWrite() && d.SupportsTestWrite())) {
    // With the last block in, the drive writes the lead-out: the session is closed, and the disc
    // too unless the write parameters leave room for another session.
    d.CloseTrack(static_cast<uint32_t>(d.tracks.size()));
    d.CloseSession(NextSessionAllowed());
    stateChanged = true;
    progressUnsaved = false;
  }
  cue_.reset();
}

void TDriveCore::FinishDiscAtOnce() {
  if (WriteType() != 2 || !state.disc || TestWrite()) return;
  TDisc& d = Disc();
  const TFamily f = d.Traits().family;
  if ((f != TFamily::Dvd && f != TFamily::HdDvd) || d.Access() != TAccess::Sequential ||
      d.finalized)
    return;
  for (size_t i = 0; i < d.tracks.size(); ++i) {
    const TTrack& t = d.tracks[i];
    // The host writes the blocks it reserved; the drive pads the last recording unit.
    const uint32_t unit = d.Traits().align;
    if (t.state != TTrackState::Reserved || !t.HasData() ||
        (t.nwa - t.start + unit - 1) / unit * unit < t.size) {
      continue;
    }
    // Disc at once leaves no room for anything after it.
    d.CloseTrack(static_cast<uint32_t>(i + 1));
    d.CloseSession(false);
    stateChanged = true;
    progressUnsaved = false;
    return;
  }
}

}  // namespace vdrive
