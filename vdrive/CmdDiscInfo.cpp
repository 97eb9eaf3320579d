// What the drive tells about the loaded medium: disc and track information, TOC/PMA/ATIP,
// format capacities, capacity and the state of its buffer.
#include <algorithm>
#include <cmath>

#include "vdrive/Bytes.h"
#include "vdrive/Core.h"

namespace vdrive {
namespace {

// Where a CD lead-in starts before the first session (ATIP 97:15:00), as an address with the
// minutes beyond 90 meaning negative block numbers.
constexpr uint8_t kAtipLeadInMsf[3] = {97, 15, 0};
constexpr uint32_t kCdLeadInBlocks = 4500 + 150;  // lead-in and pre-gap before a session's data

void PutAddress(uint8_t* p, uint32_t lba, bool msf) {
  if (msf) {
    PutMsf(p, lba);
  } else {
    Put32(p, lba);
  }
}

}  // namespace

TSense TDriveCore::ReadDiscInformation(const TCommand& c) {
  if ((c.cdb[1] & 0x07) != 0) return sense::kInvalidField;  // only standard disc information
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  uint8_t r[34] = {};
  Put16(r, sizeof r - 2);
  r[2] =
      static_cast<uint8_t>((d.Erasable() ? 0x10 : 0) | d.LastSessionState() << 2 | d.DiscStatus());
  r[3] = 1;
  const uint16_t sessions = d.SessionCount(), first = d.FirstTrackInLastSession(),
                 last = d.LastTrackInLastSession();
  r[4] = static_cast<uint8_t>(sessions);
  r[9] = static_cast<uint8_t>(sessions >> 8);
  r[5] = static_cast<uint8_t>(first);
  r[10] = static_cast<uint8_t>(first >> 8);
  r[6] = static_cast<uint8_t>(last);
  r[11] = static_cast<uint8_t>(last >> 8);
  const bool cd = d.Traits().family == TFamily::Cd;
  if (cd && !d.pressed) r[7] |= 0x20;  // unrestricted use disc
  if (d.kind == TMediumKind::DvdPlusRw) r[7] |= d.bgFormat & 0x03;
  const bool open = d.DiscStatus() != 2;
  if (!open) {
    Put32(r + 16, 0xFFFFFFFF);
    Put32(r + 20, 0xFFFFFFFF);
  } else if (cd) {
    if (d.DiscStatus() == 0) {
      r[17] = kAtipLeadInMsf[0];
      r[18] = kAtipLeadInMsf[1];
      r[19] = kAtipLeadInMsf[2];
    } else {
      const auto t = d.TrackByNumber(0xFF);
      const uint32_t nwa = t ? t->nwa : 0;
      PutMsf(r + 16, nwa >= kCdLeadInBlocks ? nwa - kCdLeadInBlocks : 0);
    }
    PutMsf(r + 20, d.capacity);
  } else {
    Put32(r + 20, d.capacity);
  }
  return Reply(c, r, sizeof r, Be16(c.cdb + 7));
}

TSense TDriveCore::ReadTrackInformation(const TCommand& c) {
  const uint8_t type = c.cdb[1] & 0x03;
  const uint32_t number = Be32(c.cdb + 2);
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  std::optional<TTrackInfo> info;
  switch (type) {
    case 0:
      info = d.TrackAt(number);
      if (!info) return number >= d.capacity ? sense::kLbaOutOfRange : sense::kInvalidField;
      break;
    case 1:
      if (number != 0) info = d.TrackByNumber(number);
      break;
    case 2:
      if (d.Access() != TAccess::Sequential) {
        if (number == 1) info = d.TrackByNumber(1);
      } else if (number >= 1 && number <= d.sessions.size()) {
        info = d.TrackByNumber(d.sessions[number - 1].firstTrack);
      }
      break;
    default:
      break;
  }
  if (!info) return sense::kInvalidField;
  TTrackInfo t = *info;
  const bool open = !t.nwaValid ? false : d.Access() == TAccess::Sequential;
  bool packet = t.fixedPacket;
  if (open && WriteType() == 0) {
    // An open track is written as the write parameters say: packets, fixed or variable.
    packet = true;
    t.fixedPacket = FixedPacket();
    t.packetSize = FixedPacket() ? PacketSize() : 0;
  }
  uint8_t r[48] = {};
  Put16(r, sizeof r - 2);
  r[2] = static_cast<uint8_t>(t.number);
  r[32] = static_cast<uint8_t>(t.number >> 8);
  r[3] = static_cast<uint8_t>(t.session);
  r[33] = static_cast<uint8_t>(t.session >> 8);
  r[5] = packet ? 0x05 : 0x04;  // data track, recorded incrementally or uninterrupted
  r[6] = static_cast<uint8_t>((t.reserved ? 0x80 : 0) | (t.blank ? 0x40 : 0) | (packet ? 0x20 : 0) |
                              (t.fixedPacket ? 0x10 : 0) | (t.blank ? 0x0F : 0x01));
  r[7] = static_cast<uint8_t>((t.lraValid ? 0x02 : 0) | (t.nwaValid ? 0x01 : 0));
  Put32(r + 8, t.start);
  Put32(r + 12, t.nwaValid ? t.nwa : 0);
  Put32(r + 16, t.freeBlocks);
  Put32(r + 20, t.fixedPacket ? t.packetSize : 0);
  Put32(r + 24, t.size);
  Put32(r + 28, t.lraValid ? t.lastRecorded : 0);
  return Reply(c, r, sizeof r, Be16(c.cdb + 7));
}

TSense TDriveCore::ReadTocPmaAtip(const TCommand& c) {
  const bool msf = c.cdb[1] & 0x02;
  uint8_t format = c.cdb[2] & 0x0F;
  if (format == 0) format = c.cdb[9] >> 6;  // the older place of the format field
  const uint8_t startTrack = c.cdb[6];
  const uint32_t alloc = Be16(c.cdb + 7);
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();

  // The tracks a TOC shows: those of closed sessions (the one track of a random-access medium).
  struct TEntry {
    uint16_t number;
    uint32_t start;
  };
  std::vector<TEntry> entries;
  uint32_t leadOut = 0;
  uint16_t closedSessions = 0;
  uint16_t lastSessionFirstTrack = 1;
  if (d.Access() == TAccess::Sequential) {
    // A BD-R formatted for pseudo-overwrite reads like an overwritable disc: what its open
    // session holds is in the TOC too.
    const bool pow = d.PseudoOverwrite();
    auto shown = [&](const TTrack& t) {
      return d.sessions[t.session - 1].closed || (pow && t.HasData());
    };
    for (size_t i = 0; i < d.tracks.size(); ++i) {
      const TTrack& t = d.tracks[i];
      if (!shown(t)) continue;
      entries.push_back(TEntry{static_cast<uint16_t>(i + 1), t.start});
      leadOut = t.FixedSize() ? t.start + t.size : t.nwa;
    }
    for (size_t s = 0; s < d.sessions.size(); ++s) {
      const bool any = std::any_of(d.tracks.begin(), d.tracks.end(),
                                   [&](const TTrack& t) { return t.session == s + 1 && shown(t); });
      if (!d.sessions[s].closed && !any) continue;
      ++closedSessions;
      lastSessionFirstTrack = d.sessions[s].firstTrack;
    }
  } else if (d.formatted || d.pressed) {
    entries.push_back(TEntry{1, 0});
    leadOut = d.pressed ? d.capacity : d.formattedBlocks;
    closedSessions = 1;
  }

  std::vector<uint8_t> r(4, 0);
  switch (format) {
    case 0: {
      if (entries.empty()) return sense::kInvalidField;
      const uint16_t last = entries.back().number;
      if (startTrack > last && startTrack != 0xAA) return sense::kInvalidField;
      r[2] = 1;
      r[3] = static_cast<uint8_t>(last);
      auto add = [&](uint8_t number, uint32_t address) {
        uint8_t e[8] = {0, 0x14, number, 0};
        PutAddress(e + 4, address, msf);
        r.insert(r.end(), e, e + 8);
      };
      if (startTrack != 0xAA) {
        for (const TEntry& e : entries) {
          if (e.number >= startTrack) add(static_cast<uint8_t>(e.number), e.start);
        }
      }
      add(0xAA, leadOut);
      break;
    }
    case 1: {
      if (entries.empty()) return sense::kInvalidField;
      r[2] = 1;
      r[3] = static_cast<uint8_t>(closedSessions);
      const auto it = std::find_if(entries.begin(), entries.end(), [&](const TEntry& e) {
        return e.number == lastSessionFirstTrack;
      });
      uint8_t e[8] = {0, 0x14, static_cast<uint8_t>(lastSessionFirstTrack), 0};
      PutAddress(e + 4, it != entries.end() ? it->start : 0, msf);
      r.insert(r.end(), e, e + 8);
      break;
    }
    case 2: {
      // The full TOC of a CD: per closed session its first and last track, its lead-out and
      // its tracks; an appendable disc also tells where the next session may start.
      if (d.Traits().family != TFamily::Cd || entries.empty()) return sense::kInvalidField;
      r[2] = 1;
      r[3] = static_cast<uint8_t>(closedSessions);
      // Descriptor: session, ADR/CONTROL, TNO, POINT, MIN/SEC/FRAME, zero, PMIN/PSEC/PFRAME.
      auto add = [&](uint8_t session, uint8_t adrControl, uint8_t point, int64_t p) {
        uint8_t e[11] = {session, adrControl, 0, point};
        uint8_t msf[4];
        PutMsf(msf, p);
        std::copy(msf + 1, msf + 4, e + 8);
        r.insert(r.end(), e, e + 11);
      };
      for (size_t s = 0; s < d.sessions.size(); ++s) {
        if (!d.sessions[s].closed) continue;
        const uint8_t number = static_cast<uint8_t>(s + 1);
        const uint16_t first = d.sessions[s].firstTrack;
        uint16_t last = first;
        uint32_t end = 0;
        for (const TEntry& e : entries) {
          if (d.tracks[e.number - 1].session != number) continue;
          last = e.number;
          end = d.tracks[e.number - 1].start + d.tracks[e.number - 1].size;
        }
        const size_t at = r.size();
        add(number, 0x14, 0xA0, 0);
        r[at + 8] = static_cast<uint8_t>(first);  // PMIN: first track, PSEC: disc type, PFRAME 0
        r[at + 9] = 0x00;
        r[at + 10] = 0;
        add(number, 0x14, 0xA1, 0);
        r[at + 11 + 8] = static_cast<uint8_t>(last);
        r[at + 11 + 9] = 0;
        r[at + 11 + 10] = 0;
        add(number, 0x14, 0xA2, end);
        for (const TEntry& e : entries) {
          if (d.tracks[e.number - 1].session == number)
            add(number, 0x14, static_cast<uint8_t>(e.number), e.start);
        }
        const bool lastClosed = s + 1 == d.sessions.size() || !d.sessions[s + 1].closed;
        if (lastClosed && !d.finalized) {
          const auto open = d.TrackByNumber(0xFF);
          const size_t b0 = r.size();
          add(number, 0x54, 0xB0, d.capacity);  // maximum start of the last lead-out
          if (open) {
            uint8_t msf[4];
            PutMsf(msf, open->start >= 150 ? open->start - 150 : 0);  // next program area
            std::copy(msf + 1, msf + 4, r.begin() + static_cast<long>(b0) + 4);
          }
          r[b0 + 7] = s == 0 ? 2 : 1;  // pointers in mode 5
          if (s == 0) {
            const size_t c0 = r.size();
            add(number, 0x54, 0xC0, 0);
            r[c0 + 4] = 0x50;  // optimum recording power
            r[c0 + 8] = kAtipLeadInMsf[0];
            r[c0 + 9] = kAtipLeadInMsf[1];
            r[c0 + 10] = kAtipLeadInMsf[2];
          }
        }
      }
      break;
    }
    case 4: {
      // ATIP exists only on recordable CDs.
      if (d.pressed || d.Traits().family != TFamily::Cd) return sense::kInvalidField;
      r.resize(28, 0);
      r[4] = 0x50;  // indicative writing power and reference speed
      r[6] = static_cast<uint8_t>(0x80 | (d.kind == TMediumKind::CdRw ? 0x40 : 0));
      r[8] = kAtipLeadInMsf[0];
      r[9] = kAtipLeadInMsf[1];
      r[10] = kAtipLeadInMsf[2];
      uint8_t leadOutMsf[4];
      PutMsf(leadOutMsf, d.capacity);
      std::copy(leadOutMsf + 1, leadOutMsf + 4, r.begin() + 12);
      break;
    }
    default:
      return sense::kInvalidField;
  }
  Put16(r.data(), static_cast<uint32_t>(r.size() - 2));
  return Reply(c, r, alloc);
}

TSense TDriveCore::ReadFormatCapacities(const TCommand& c) {
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  std::vector<uint8_t> r(4, 0);
  auto add = [&](uint32_t blocks, uint8_t typeByte, uint32_t parameter) {
    uint8_t e[8];
    Put32(e, blocks);
    e[4] = typeByte;
    Put24(e + 5, parameter);
    r.insert(r.end(), e, e + 8);
  };
  constexpr uint8_t kUnformatted = 1, kFormatted = 2;
  const bool writable = model.Writes(d.kind) && !d.pressed;
  if (d.pressed) {
    add(d.capacity, kFormatted, kSectorBytes);
  } else if (d.Access() == TAccess::Random) {
    if (d.formatted) {
      add(d.intermediate ? d.capacity : d.formattedBlocks, kFormatted, kSectorBytes);
    } else {
      add(d.capacity, kUnformatted, kSectorBytes);
    }
  } else {
    add(d.capacity, d.formatted ? kFormatted : kUnformatted, kSectorBytes);
  }
  if (writable) {
    switch (d.kind) {
      case TMediumKind::DvdPlusRw:
        add(d.capacity, 0x26 << 2, 0);
        break;
      case TMediumKind::DvdRam:
      case TMediumKind::HdDvdRam:
        add(d.capacity, 0x00, kSectorBytes);
        break;
      case TMediumKind::BdRe: {
        add(d.capacity, 0x00, kSectorBytes);
        add(d.capacity, 0x30 << 2, 0);
        add(BdReCapacityWithoutSpares(d.capacity), 0x31 << 2, 0);
        break;
      }
      case TMediumKind::DvdRw:
        add(d.capacity, 0x00, kSectorBytes);
        add(d.capacity, 0x10 << 2, 16);
        if (d.restrictedOverwrite) add(d.capacity, 0x13 << 2, 16);
        add(d.capacity, 0x15 << 2, 16);
        break;
      case TMediumKind::BdR:
        // A blank BD-R can be formatted with spare areas for defect management.
        if (d.DiscStatus() == 0 && !d.formatted) {
          add(BdRCapacityWithSpares(d.capacity), 0x00, 0);
          add(BdRCapacityWithSpares(d.capacity), 0x32 << 2, 0);
        }
        break;
      default:
        break;
    }
  }
  r[3] = static_cast<uint8_t>(r.size() - 4);
  return Reply(c, r, Be16(c.cdb + 7));
}

TSense TDriveCore::ReadCapacity(const TCommand& c) {
  if (TSense s = Ready(); s.Failed()) return s;
  const TDisc& d = Disc();
  uint32_t last = 0;
  if (d.pressed) {
    last = d.capacity - 1;
  } else if (d.Access() == TAccess::Random) {
    last = d.WritableExtent() ? d.WritableExtent() - 1 : 0;
  } else {
    last = d.LastRecorded().value_or(0);
  }
  uint8_t r[8];
  Put32(r, last);
  Put32(r + 4, kSectorBytes);
  return Reply(c, r, sizeof r, sizeof r);
}

TSense TDriveCore::ReadBufferCapacity(const TCommand& c) {
  uint8_t r[12] = {};
  Put16(r, 10);
  const uint32_t blank = BufferBytes() - BufferUsed();
  if (c.cdb[1] & 0x01) {
    Put32(r + 8, blank / kSectorBytes);
  } else {
    Put32(r + 4, BufferBytes());
    Put32(r + 8, blank);
  }
  return Reply(c, r, sizeof r, Be16(c.cdb + 7));
}

}  // namespace vdrive
