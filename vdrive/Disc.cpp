#include "vdrive/Disc.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "vdrive/JsonFields.h"

namespace vdrive {
namespace {

// Between two tracks of one CD session lies the 150-block pre-gap of the second.
constexpr uint32_t kCdTrackGap = 150;

const char* const kTrackStateNames[] = {"invisible", "incomplete", "reserved", "complete"};

}  // namespace

TDisc TDisc::Blank(TMediumKind kind, uint32_t capacity, bool formatted) {
  TDisc d;
  d.kind = kind;
  d.capacity = capacity;
  const TMediumTraits& t = vdrive::Traits(kind);
  if (t.access == TAccess::Random) {
    // DVD-RAM and HD DVD-RAM come formatted from the factory; DVD+RW and BD-RE do not.
    d.formatted = formatted || kind == TMediumKind::DvdRam || kind == TMediumKind::HdDvdRam;
    d.formattedBlocks = d.formatted ? capacity : 0;
    if (kind == TMediumKind::DvdPlusRw && d.formatted) d.bgFormat = 3;
    return d;
  }
  if (kind == TMediumKind::DvdRw && formatted) {
    d.restrictedOverwrite = true;
    d.formatted = true;
    d.formattedBlocks = capacity;
    return d;
  }
  d.sessions.push_back(TSession{1, false});
  d.AppendInvisible(0, 1);
  return d;
}

TDisc TDisc::Pressed(TMediumKind kind, uint32_t blocks) {
  TDisc d;
  d.kind = kind;
  d.capacity = blocks;
  d.pressed = true;
  d.formatted = true;
  d.formattedBlocks = blocks;
  d.highWater = blocks;
  d.finalized = true;
  d.sessions.push_back(TSession{1, true});
  d.tracks.push_back(TTrack{0, blocks, blocks, 1, TTrackState::Complete});
  return d;
}

uint16_t TDisc::Profile() const {
  return restrictedOverwrite ? kProfileDvdRwRestricted : Traits().profile;
}

TAccess TDisc::Access() const {
  if (pressed) return TAccess::Rom;
  return restrictedOverwrite ? TAccess::Random : Traits().access;
}

bool TDisc::SupportsTestWrite() const {
  switch (kind) {
    case TMediumKind::CdR:
    case TMediumKind::CdRw:
    case TMediumKind::DvdR:
      return true;
    case TMediumKind::DvdRw:
      return !restrictedOverwrite;
    default:
      return false;
  }
}

uint8_t TDisc::DiscStatus() const {
  switch (Access()) {
    case TAccess::Rom:
      return 2;
    case TAccess::Random:
      return !formatted ? 0 : intermediate ? 1 : 2;
    case TAccess::Sequential:
      break;
  }
  if (finalized) return 2;
  const bool blank =
      sessions.size() == 1 && tracks.size() == 1 && tracks[0].state == TTrackState::Invisible;
  return blank ? 0 : 1;
}

uint8_t TDisc::LastSessionState() const {
  switch (Access()) {
    case TAccess::Rom:
      return 3;
    case TAccess::Random:
      return !formatted ? 0 : intermediate ? 1 : 3;
    case TAccess::Sequential:
      break;
  }
  if (finalized) return 3;
  const uint16_t first = sessions.back().firstTrack;
  uint8_t state = 0;
  for (size_t i = first - 1; i < tracks.size(); ++i) {
    if (tracks[i].state == TTrackState::Reserved) return 2;
    if (tracks[i].HasData() || tracks[i].state == TTrackState::Complete) state = 1;
  }
  return state;
}

uint16_t TDisc::SessionCount() const {
  return Access() == TAccess::Sequential ? static_cast<uint16_t>(sessions.size()) : 1;
}

uint16_t TDisc::FirstTrackInLastSession() const {
  return Access() == TAccess::Sequential ? sessions.back().firstTrack : 1;
}

uint16_t TDisc::LastTrackInLastSession() const { return TrackCount(); }

uint16_t TDisc::TrackCount() const {
  return Access() == TAccess::Sequential ? static_cast<uint16_t>(tracks.size()) : 1;
}

TTrackInfo TDisc::Info(size_t index) const {
  TTrackInfo r;
  if (Access() == TAccess::Random) {
    r.size = formatted ? formattedBlocks : capacity;
    r.blank = !formatted;
    if (restrictedOverwrite) {
      r.fixedPacket = true;
      r.packetSize = 16;
      if (formattedBlocks < capacity) {
        r.nwaValid = true;
        r.nwa = formattedBlocks;
        r.freeBlocks = capacity - formattedBlocks;
      }
    }
    if (highWater > 0) {
      r.lraValid = true;
      r.lastRecorded = highWater - 1;
    }
    return r;
  }
  const TTrack& t = tracks[index];
  r.number = static_cast<uint16_t>(index + 1);
  r.session = t.session;
  r.start = t.start;
  r.nwa = t.nwa;
  if (t.HasData()) {
    r.lraValid = true;
    r.lastRecorded = t.nwa - 1;
  }
  switch (t.state) {
    case TTrackState::Invisible:
    case TTrackState::Incomplete:
      r.blank = !t.HasData();
      r.nwaValid = !finalized;
      r.freeBlocks = capacity - t.nwa;
      r.size = capacity - t.start;
      break;
    case TTrackState::Reserved:
      r.reserved = true;
      r.blank = !t.HasData();
      r.nwaValid = t.nwa < t.start + t.size;
      r.freeBlocks = t.start + t.size - t.nwa;
      r.size = t.size;
      break;
    case TTrackState::Complete:
      r.size = t.size;
      r.nwa = 0;
      r.lraValid = t.size > 0;
      r.lastRecorded = t.size > 0 ? t.start + t.size - 1 : 0;
      break;
  }
  return r;
}

std::optional<TTrackInfo> TDisc::TrackByNumber(uint32_t number) const {
  if (Access() != TAccess::Sequential) {
    if (number == 1 || (number == 0xFF && DiscStatus() != 2)) return Info(0);
    return std::nullopt;
  }
  if (number == 0xFF) {
    if (finalized || tracks.empty() || tracks.back().FixedSize()) return std::nullopt;
    return Info(tracks.size() - 1);
  }
  if (number < 1 || number > tracks.size()) return std::nullopt;
  return Info(number - 1);
}

std::optional<TTrackInfo> TDisc::TrackAt(uint32_t lba) const {
  if (Access() != TAccess::Sequential) {
    const uint32_t size = formatted ? formattedBlocks : capacity;
    if (lba < size) return Info(0);
    return std::nullopt;
  }
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (lba >= tracks[i].start && lba < tracks[i].End(capacity)) return Info(i);
  }
  return std::nullopt;
}

std::optional<uint32_t> TDisc::LastRecorded() const {
  if (Access() != TAccess::Sequential) {
    if (highWater == 0) return std::nullopt;
    return highWater - 1;
  }
  std::optional<uint32_t> last;
  for (const TTrack& t : tracks) {
    if (t.HasData()) last = std::max(last.value_or(0), t.nwa - 1);
  }
  return last;
}

uint32_t TDisc::WritableExtent() const {
  if (!formatted) return 0;
  return intermediate ? capacity : formattedBlocks;
}

bool TDisc::Readable(uint32_t lba, uint32_t count) const {
  const uint64_t end = uint64_t(lba) + count;
  switch (Access()) {
    case TAccess::Rom:
      return end <= capacity;
    case TAccess::Random:
      return end <= WritableExtent();
    case TAccess::Sequential:
      break;
  }
  uint64_t pos = lba;
  while (pos < end) {
    const auto it = std::find_if(tracks.begin(), tracks.end(),
                                 [&](const TTrack& t) { return pos >= t.start && pos < t.nwa; });
    if (it == tracks.end()) return false;
    pos = it->nwa;
  }
  return true;
}

TSense TDisc::CheckSequentialWrite(uint32_t lba, uint32_t count) const {
  if (finalized) return sense::kInvalidWriteAddress;
  if (uint64_t(lba) + count > capacity) return sense::kLbaOutOfRange;
  for (const TTrack& t : tracks) {
    if (!t.Open() || t.nwa != lba || t.nwa >= t.End(capacity)) continue;
    if (uint64_t(lba) + count > t.End(capacity)) return sense::kInvalidWriteAddress;
    return sense::kGood;
  }
  return sense::kInvalidWriteAddress;
}

void TDisc::CommitSequentialWrite(uint32_t lba, uint32_t count) {
  for (TTrack& t : tracks) {
    if (t.Open() && t.nwa == lba) {
      t.nwa += count;
      if (t.state == TTrackState::Invisible) t.state = TTrackState::Incomplete;
      return;
    }
  }
}

uint32_t TDisc::AlignUp(uint64_t v) const {
  const uint64_t a = Traits().align;
  return static_cast<uint32_t>(std::min<uint64_t>((v + a - 1) / a * a, capacity));
}

void TDisc::AppendInvisible(uint64_t start, uint16_t session) {
  const uint32_t s = AlignUp(start);
  if (s >= capacity) return;
  tracks.push_back(TTrack{s, 0, s, session, TTrackState::Invisible});
}

TSense TDisc::CloseTrack(uint32_t number) {
  if (number < 1 || number > tracks.size()) return sense::kInvalidField;
  TTrack& t = tracks[number - 1];
  switch (t.state) {
    case TTrackState::Complete:
    case TTrackState::Invisible:
      return sense::kGood;  // nothing recorded that a close could finish
    case TTrackState::Reserved:
      // The unrecorded rest of a reserved track is padded.
      t.nwa = t.start + t.size;
      t.state = TTrackState::Complete;
      return sense::kGood;
    case TTrackState::Incomplete: {
      // The drive pads the track to its recording unit.
      t.size = AlignUp(t.nwa) - t.start;
      t.nwa = t.start + t.size;
      t.state = TTrackState::Complete;
      const uint16_t session = t.session;
      const uint64_t next =
          uint64_t(t.start) + t.size + (Traits().family == TFamily::Cd ? kCdTrackGap : 0);
      AppendInvisible(next, session);
      return sense::kGood;
    }
  }
  return sense::kGood;
}

TSense TDisc::CloseSession(bool appendable) {
  if (finalized) return sense::kSequenceError;
  const size_t first = sessions.back().firstTrack - 1;
  bool recorded = false;
  for (size_t i = first; i < tracks.size(); ++i) {
    recorded = recorded || tracks[i].HasData() || tracks[i].FixedSize();
  }
  if (!recorded) {
    // Nothing in this session. Closing it for good finishes a disc that already holds sessions.
    if (appendable || sessions.size() == 1) return sense::kGood;
    tracks.erase(tracks.begin() + static_cast<std::ptrdiff_t>(first), tracks.end());
    sessions.pop_back();
    finalized = true;
    return sense::kGood;
  }
  // Close what is open; the empty invisible track at the end goes away with the session.
  if (!tracks.empty() && tracks.back().state == TTrackState::Invisible) tracks.pop_back();
  for (size_t i = first; i < tracks.size(); ++i) {
    TTrack& t = tracks[i];
    if (t.state == TTrackState::Reserved) {
      t.nwa = t.start + t.size;
      t.state = TTrackState::Complete;
    } else if (t.state == TTrackState::Incomplete) {
      t.size = AlignUp(t.nwa) - t.start;
      t.nwa = t.start + t.size;
      t.state = TTrackState::Complete;
    }
  }
  sessions.back().closed = true;
  const uint64_t end = tracks.back().start + tracks.back().size;
  const uint64_t gap = sessions.size() == 1 ? Traits().firstGap : Traits().laterGap;
  const uint32_t next = AlignUp(end + gap);
  if (appendable && next < capacity) {
    sessions.push_back(TSession{static_cast<uint16_t>(tracks.size() + 1), false});
    AppendInvisible(next, static_cast<uint16_t>(sessions.size()));
  } else {
    finalized = true;
  }
  return sense::kGood;
}

TSense TDisc::ReserveTrack(uint32_t blocks) {
  if (finalized || tracks.empty()) return sense::kSequenceError;
  TTrack& t = tracks.back();
  if (t.state != TTrackState::Invisible || t.HasData()) return sense::kSequenceError;
  if (blocks == 0) return sense::kInvalidField;
  const uint64_t size = uint64_t(AlignUp(uint64_t(t.start) + blocks)) - t.start;
  if (uint64_t(t.start) + blocks > capacity) return sense::kInvalidField;
  t.state = TTrackState::Reserved;
  t.size = static_cast<uint32_t>(size);
  const uint16_t session = t.session;
  const uint64_t next =
      uint64_t(t.start) + size + (Traits().family == TFamily::Cd ? kCdTrackGap : 0);
  AppendInvisible(next, session);
  return sense::kGood;
}

std::vector<TDisc::TSpan> TDisc::SessionSpans() const {
  std::vector<TSpan> spans;
  if (Access() != TAccess::Sequential) {
    if (formatted) spans.push_back(TSpan{0, highWater, true});
    return spans;
  }
  for (size_t s = 0; s < sessions.size(); ++s) {
    const size_t first = sessions[s].firstTrack - 1;
    const size_t last = s + 1 < sessions.size() ? sessions[s + 1].firstTrack - 1 : tracks.size();
    if (first >= tracks.size()) continue;
    TSpan span{tracks[first].start, tracks[first].start, sessions[s].closed};
    for (size_t i = first; i < last; ++i) {
      if (tracks[i].HasData()) span.end = std::max(span.end, tracks[i].nwa);
    }
    spans.push_back(span);
  }
  return spans;
}

// --- medium.json ---

std::string StateToJson(const TLoadState& s) {
  using json = nlohmann::json;
  json j;
  j["generation"] = s.generation;
  j["tray"] = s.trayOpen ? "open" : "closed";
  j["pace"] = s.pace;
  if (!s.disc) {
    j["medium"] = nullptr;
  } else {
    const TDisc& d = *s.disc;
    json m;
    m["type"] = MediumName(d.kind);
    m["capacity"] = d.capacity;
    m["pressed"] = d.pressed;
    m["restricted_overwrite"] = d.restrictedOverwrite;
    m["formatted"] = d.formatted;
    m["formatted_blocks"] = d.formattedBlocks;
    m["intermediate"] = d.intermediate;
    m["bg_format"] = d.bgFormat;
    m["high_water"] = d.highWater;
    m["finalized"] = d.finalized;
    m["timestamp"] = d.timestamp;
    json tracks = json::array();
    for (const TTrack& t : d.tracks) {
      tracks.push_back(json{{"start", t.start},
                            {"size", t.size},
                            {"nwa", t.nwa},
                            {"session", t.session},
                            {"state", kTrackStateNames[static_cast<int>(t.state)]}});
    }
    m["tracks"] = tracks;
    json sessions = json::array();
    for (const TSession& x : d.sessions)
      sessions.push_back(json{{"first_track", x.firstTrack}, {"closed", x.closed}});
    m["sessions"] = sessions;
    j["medium"] = m;
  }
  return j.dump(1) + "\n";
}

bool StateFromJson(std::string_view text, TLoadState& out, std::string& error) {
  using json = nlohmann::json;
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    error = "medium state is not a JSON object";
    return false;
  }
  TJsonFields top(j, "");
  TLoadState s;
  s.generation = top.Unsigned("generation", UINT64_MAX, 0);
  const std::string tray = top.String("tray", "closed", 8);
  if (tray != "open" && tray != "closed") top.Fail("tray", "is neither open nor closed");
  s.trayOpen = tray == "open";
  s.pace = top.Bool("pace", s.pace);
  if (const json* mj = top.Object("medium")) {
    TJsonFields m(*mj, "medium");
    TDisc d;
    const std::string type = m.RequiredString("type", 16);
    const auto kind = ParseMediumKind(type);
    if (m.Ok() && !kind) m.Fail("type", "unknown medium type " + type);
    d.kind = kind.value_or(TMediumKind::CdR);
    d.capacity = static_cast<uint32_t>(m.RequiredUnsigned("capacity", UINT32_MAX));
    d.pressed = m.Bool("pressed", false);
    d.restrictedOverwrite = m.Bool("restricted_overwrite", false);
    d.formatted = m.Bool("formatted", false);
    d.formattedBlocks = static_cast<uint32_t>(m.Unsigned("formatted_blocks", UINT32_MAX, 0));
    d.intermediate = m.Bool("intermediate", false);
    d.bgFormat = static_cast<uint8_t>(m.Unsigned("bg_format", 3, 0));
    d.highWater = static_cast<uint32_t>(m.Unsigned("high_water", UINT32_MAX, 0));
    d.finalized = m.Bool("finalized", false);
    d.timestamp = m.String("timestamp", "", 14);
    if (const json* tracks = m.Array("tracks")) {
      for (size_t i = 0; i < tracks->size() && m.Ok(); ++i) {
        TJsonFields t((*tracks)[i], m.Element("tracks", i));
        TTrack tr;
        tr.start = static_cast<uint32_t>(t.RequiredUnsigned("start", UINT32_MAX));
        tr.size = static_cast<uint32_t>(t.Unsigned("size", UINT32_MAX, 0));
        tr.nwa = static_cast<uint32_t>(t.Unsigned("nwa", UINT32_MAX, tr.start));
        tr.session = static_cast<uint16_t>(t.Unsigned("session", UINT16_MAX, 1));
        const std::string st = t.String("state", "complete", 16);
        const auto* it = std::find(std::begin(kTrackStateNames), std::end(kTrackStateNames), st);
        if (t.Ok() && it == std::end(kTrackStateNames))
          t.Fail("state", "unknown track state " + st);
        tr.state = static_cast<TTrackState>(
            it == std::end(kTrackStateNames) ? 0 : it - std::begin(kTrackStateNames));
        if (!t.Ok()) m.FailWith(t.Error());
        d.tracks.push_back(tr);
      }
    }
    if (const json* sessions = m.Array("sessions")) {
      for (size_t i = 0; i < sessions->size() && m.Ok(); ++i) {
        TJsonFields x((*sessions)[i], m.Element("sessions", i));
        const auto first = static_cast<uint16_t>(x.Unsigned("first_track", UINT16_MAX, 1));
        d.sessions.push_back(TSession{first, x.Bool("closed", false)});
        if (!x.Ok()) m.FailWith(x.Error());
      }
    }
    if (m.Ok()) {
      if (const std::string problem = DiscProblem(d); !problem.empty()) m.FailWith(problem);
    }
    if (!m.Ok()) {
      error = m.Error();
      return false;
    }
    s.disc = std::move(d);
  }
  if (!top.Ok()) {
    error = top.Error();
    return false;
  }
  out = std::move(s);
  return true;
}

}  // namespace vdrive
