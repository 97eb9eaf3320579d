// The rules every disc the write rules can produce keeps. A medium.json that breaks one was
// edited or damaged: answering from it would mean reading beyond the medium, inventing blocks or
// indexing tracks that do not exist.
#include <string>

#include "vdrive/Disc.h"

namespace vdrive {
namespace {

constexpr uint32_t kMaxCapacity = 0x7FFFFFFF;
constexpr size_t kMaxTracks = 0xFFFF;

std::string Track(size_t i, const char* field) {
  return "medium.tracks[" + std::to_string(i) + "]." + field;
}
std::string Session(size_t i, const char* field) {
  return "medium.sessions[" + std::to_string(i) + "]." + field;
}
std::string Num(uint64_t v) { return std::to_string(v); }

// Tracks and sessions of a medium written track by track (and of a pressed disc).
std::string SequentialProblem(const TDisc& d) {
  if (d.sessions.empty()) return "medium.sessions: a medium written in sessions has at least one";
  if (d.tracks.empty()) return "medium.tracks: a medium written in tracks has at least one";
  if (d.tracks.size() > kMaxTracks) return "medium.tracks: more than " + Num(kMaxTracks);
  for (size_t s = 0; s < d.sessions.size(); ++s) {
    const TSession& x = d.sessions[s];
    const uint32_t previous = s == 0 ? 0 : d.sessions[s - 1].firstTrack;
    if (s == 0 && x.firstTrack != 1)
      return Session(s, "first_track") + ": the first session starts with track 1";
    if (s > 0 && x.firstTrack <= previous)
      return Session(s, "first_track") + ": not after the previous session's";
    if (x.firstTrack > d.tracks.size())
      return Session(s, "first_track") + ": there is no track " + Num(x.firstTrack);
    // Only the last session can still be open, and only while the disc is not finalized.
    const bool last = s + 1 == d.sessions.size();
    if (!last && !x.closed)
      return Session(s, "closed") + ": a session followed by another is closed";
    if (last && x.closed != d.finalized)
      return Session(s, "closed") + ": does not match medium.finalized";
  }
  size_t session = 0;
  uint64_t previousEnd = 0;
  for (size_t i = 0; i < d.tracks.size(); ++i) {
    const TTrack& t = d.tracks[i];
    while (session + 1 < d.sessions.size() && d.sessions[session + 1].firstTrack <= i + 1)
      ++session;
    if (t.session != session + 1)
      return Track(i, "session") + ": the track lies in session " + Num(session + 1);
    if (t.start < previousEnd) return Track(i, "start") + ": overlaps the track before it";
    if (t.nwa < t.start) return Track(i, "nwa") + ": before the track's start";
    const bool lastTrack = i + 1 == d.tracks.size();
    const uint64_t end = uint64_t(t.start) + t.size;
    switch (t.state) {
      case TTrackState::Invisible:
      case TTrackState::Incomplete:
        if (!lastTrack) return Track(i, "state") + ": only the last track is open-ended";
        if (d.finalized) return Track(i, "state") + ": a finalized disc has no open track";
        if (t.start >= d.capacity) return Track(i, "start") + ": beyond the capacity";
        if (t.nwa > d.capacity)
          return Track(i, "nwa") + ": " + Num(t.nwa) + " is beyond the capacity";
        if ((t.state == TTrackState::Invisible) != (t.nwa == t.start))
          return Track(i, "nwa") +
                 ": an invisible track holds nothing, an incomplete one something";
        break;
      case TTrackState::Reserved:
        if (d.finalized) return Track(i, "state") + ": a finalized disc has no open track";
        [[fallthrough]];
      case TTrackState::Complete:
        if (t.size == 0 && t.state == TTrackState::Reserved)
          return Track(i, "size") + ": a reserved track has blocks";
        if (end > d.capacity) return Track(i, "size") + ": the track ends beyond the capacity";
        if (t.nwa > end) return Track(i, "nwa") + ": " + Num(t.nwa) + " is beyond the track's end";
        if (t.state == TTrackState::Complete && t.nwa != end)
          return Track(i, "nwa") + ": a complete track is recorded to its end";
        break;
    }
    previousEnd = t.FixedSize() ? end : t.nwa;
  }
  return {};
}

}  // namespace

uint32_t TDisc::UserBlockLimit() const {
  return kind == TMediumKind::BdRe ? BdReCapacityWithoutSpares(capacity) : capacity;
}

std::string DiscProblem(const TDisc& d) {
  if (d.capacity == 0 || d.capacity > kMaxCapacity)
    return "medium.capacity: " + Num(d.capacity) + " is not between 1 and " + Num(kMaxCapacity);
  const bool rom = Traits(d.kind).access == TAccess::Rom;
  if (d.pressed != rom) return "medium.pressed: only cd-rom, dvd-rom and bd-rom discs are pressed";
  if (d.restrictedOverwrite && (d.kind != TMediumKind::DvdRw || !d.formatted))
    return "medium.restricted_overwrite: only a formatted dvd-rw is in restricted overwrite";
  if (d.intermediate && !d.restrictedOverwrite)
    return "medium.intermediate: only a dvd-rw in restricted overwrite is quick-formatted";
  if (d.bgFormat > 3) return "medium.bg_format: " + Num(d.bgFormat) + " is not between 0 and 3";
  if (d.formattedBlocks > d.UserBlockLimit())
    return "medium.formatted_blocks: " + Num(d.formattedBlocks) + " is beyond the capacity";
  if (!d.timestamp.empty()) {
    bool digits = d.timestamp.size() == 14;
    for (char c : d.timestamp) digits = digits && c >= '0' && c <= '9';
    if (!digits) return "medium.timestamp: not 14 digits";
  }
  switch (d.Access()) {
    case TAccess::Random:
      if (!d.tracks.empty() || !d.sessions.empty())
        return "medium.tracks: a medium written anywhere has no tracks or sessions of its own";
      if (d.highWater > d.WritableExtent())
        return "medium.high_water: " + Num(d.highWater) + " is beyond the writable extent";
      return {};
    case TAccess::Rom:
      if (d.highWater > d.capacity)
        return "medium.high_water: " + Num(d.highWater) + " is beyond the capacity";
      if (!d.finalized) return "medium.finalized: a pressed disc is finalized";
      return SequentialProblem(d);
    case TAccess::Sequential:
      if (d.highWater > d.capacity)
        return "medium.high_water: " + Num(d.highWater) + " is beyond the capacity";
      return SequentialProblem(d);
  }
  return {};
}

}  // namespace vdrive
