#pragma once
// The loaded medium: what is recorded where, and the rules by which tracks and sessions are
// written, closed and reserved. Pure state without files; the recorder persists it as medium.json.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/Media.h"
#include "vdrive/Sense.h"

namespace vdrive {

enum class TTrackState : uint8_t {
  Invisible,   // the open-ended track at the end of an open session, nothing recorded yet
  Incomplete,  // the open-ended track with data, not closed
  Reserved,    // a track of fixed size set by RESERVE TRACK, not closed
  Complete,    // closed
};

struct TTrack {
  uint32_t start = 0;
  uint32_t size = 0;  // fixed size of Reserved and Complete tracks
  uint32_t nwa = 0;   // first block not yet recorded
  uint16_t session = 1;
  TTrackState state = TTrackState::Invisible;

  bool HasData() const { return nwa > start; }
  bool FixedSize() const {
    return state == TTrackState::Reserved || state == TTrackState::Complete;
  }
  bool Open() const { return state != TTrackState::Complete; }
  uint32_t End(uint32_t capacity) const { return FixedSize() ? start + size : capacity; }
};

struct TSession {
  uint16_t firstTrack = 1;  // number of its first track
  bool closed = false;
};

// Answers of READ TRACK INFORMATION for one track.
struct TTrackInfo {
  uint16_t number = 1, session = 1;
  uint32_t start = 0, nwa = 0, freeBlocks = 0, size = 0, lastRecorded = 0, packetSize = 0;
  bool nwaValid = false, lraValid = false, blank = false, reserved = false, fixedPacket = false;
};

class TDisc {
 public:
  TMediumKind kind = TMediumKind::CdR;
  uint32_t capacity = 0;
  bool pressed = false;
  bool restrictedOverwrite = false;  // DVD-RW formatted for restricted overwrite
  // Random-access media.
  bool formatted = false;
  uint32_t formattedBlocks = 0;  // writable extent once formatted
  bool intermediate = false;     // DVD-RW quick-formatted, its lead-out not yet written
  uint8_t bgFormat = 0;          // DVD+RW background format: 0 none, 1 stopped, 2 running, 3 done
  uint32_t highWater = 0;        // one past the highest block ever written
  // Sequential media.
  std::vector<TTrack> tracks;
  std::vector<TSession> sessions;
  bool finalized = false;
  std::string timestamp;  // DVD-R/-RW recording time stamp, as sent

  // A blank medium of the kind; formatted applies to media that come blank or formatted.
  static TDisc Blank(TMediumKind kind, uint32_t capacity, bool formatted);
  // A pressed disc with one data track of the given size.
  static TDisc Pressed(TMediumKind kind, uint32_t blocks);

  const TMediumTraits& Traits() const { return vdrive::Traits(kind); }
  uint16_t Profile() const;
  TAccess Access() const;
  bool Erasable() const { return Traits().erasable; }
  bool SupportsTestWrite() const;
  // A BD-R formatted with spare areas: recorded blocks may be written again (the drive remaps).
  bool PseudoOverwrite() const { return kind == TMediumKind::BdR && formatted; }

  // Disc information.
  uint8_t DiscStatus() const;        // 0 blank, 1 incomplete (appendable), 2 complete
  uint8_t LastSessionState() const;  // 0 empty, 1 incomplete, 2 reserved, 3 complete
  uint16_t SessionCount() const;     // including an empty last session
  uint16_t FirstTrackInLastSession() const;
  uint16_t LastTrackInLastSession() const;
  uint16_t TrackCount() const;
  std::optional<TTrackInfo> TrackByNumber(uint32_t number) const;  // 0xFF: the invisible track
  std::optional<TTrackInfo> TrackAt(uint32_t lba) const;
  std::optional<uint32_t> LastRecorded() const;
  // Blocks a READ may return: random media up to the writable extent, others what was recorded.
  bool Readable(uint32_t lba, uint32_t count) const;
  uint32_t WritableExtent() const;  // random-access media
  // The most blocks the medium can hold: its capacity, or more for a BD-RE formatted without
  // spare areas. Nothing is ever recorded at or beyond it.
  uint32_t UserBlockLimit() const;

  // Sequential recording: refuses a write that does not continue an open track (5/21/02) or
  // runs past the capacity or a reserved track (5/21/00); Commit records it.
  TSense CheckSequentialWrite(uint32_t lba, uint32_t count) const;
  void CommitSequentialWrite(uint32_t lba, uint32_t count);
  TSense CloseTrack(uint32_t number);
  // Closes the open session; appendable keeps room for a next one, otherwise the disc is final.
  TSense CloseSession(bool appendable);
  TSense ReserveTrack(uint32_t blocks);

  // Sessions as start and end (exclusive) of their recorded blocks.
  struct TSpan {
    uint32_t start, end;
    bool closed;
  };
  std::vector<TSpan> SessionSpans() const;

 private:
  uint32_t AlignUp(uint64_t v) const;
  void AppendInvisible(uint64_t start, uint16_t session);
  TTrackInfo Info(size_t index) const;
};

// What medium.json holds: the tray, the loaded medium and the generation that changes whenever a
// medium is inserted, loaded or removed.
struct TLoadState {
  uint64_t generation = 0;
  bool trayOpen = false;
  std::optional<TDisc> disc;
  // Commands take the time a real drive would (WRITE and READ at the speed in force, closing,
  // formatting and loading for their durations); off, they answer at once.
  bool pace = false;
};

// Why the disc could not have come from recording under the write rules (addresses beyond the
// medium, tracks out of order, sessions that name no track, ...): "field: problem" with the
// field as medium.json names it ("medium.tracks[2].nwa"), or empty when nothing is wrong.
std::string DiscProblem(const TDisc& d);

std::string StateToJson(const TLoadState& s);
// Refuses a text that is not such a state, and a disc DiscProblem finds fault with, naming the
// field.
bool StateFromJson(std::string_view text, TLoadState& s, std::string& error);

}  // namespace vdrive
