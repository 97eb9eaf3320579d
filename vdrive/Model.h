#pragma once
// A recorder model (drive.json): identification, the media it reads and writes, its speeds, buffer,
// SCSI address and the quirks that set real drives apart, plus the ready-made models.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/Media.h"

namespace vdrive {

// Supported speeds of one medium kind, as multiples of the family's 1x.
struct TSpeedTable {
  std::vector<double> read;
  std::vector<double> write;
};

// How long the long operations keep the drive NOT READY, in milliseconds of platform clock.
struct TDurations {
  uint32_t loadMs = 1500;
  uint32_t blankMinimalMs = 6000;
  uint32_t blankFullMs = 30000;
  uint32_t formatMs = 8000;
  uint32_t closeTrackMs = 1500;
  uint32_t closeSessionMs = 5000;
  uint32_t syncMs = 500;
};

struct TAddress {
  uint8_t port = 1, target = 0, lun = 0;
};

struct TDriveModel {
  std::string model;  // name of the preset it came from
  std::string vendor, product, revision;
  std::vector<TMediumKind> reads;   // kinds it reads (every kind it writes is read too)
  std::vector<TMediumKind> writes;  // kinds it writes
  std::array<TSpeedTable, kMediumKindCount> speeds;
  uint32_t bufferKB = 4096;
  std::optional<TAddress> address;
  bool bufferUnderrunFree = true;  // BUF bit of page 2Ah and of the write features
  bool testWrite = true;           // simulation on CD-R/RW and DVD-R/RW
  bool page30 = false;             // answers the vendor mode page 30h
  bool blockDescriptor = false;    // puts an 8-byte block descriptor before mode pages
  bool getConfiguration = true;    // supports GET CONFIGURATION at all
  bool streaming = true;           // supports SET STREAMING
  bool rejectsRezero = false;      // answers REZERO UNIT with 5/20/00
  TDurations durations;
  bool trace = false;  // one line per command in trace.log

  bool Reads(TMediumKind k) const;
  bool Writes(TMediumKind k) const;
  // Supported speeds in kB/s, descending; empty when the model does not read/write the kind.
  std::vector<uint32_t> ReadSpeeds(TMediumKind k) const;
  std::vector<uint32_t> WriteSpeeds(TMediumKind k) const;
};

// The ready-made models: bd (the default), dvd, cd, hddvd, legacy.
std::optional<TDriveModel> PresetModel(std::string_view name);
std::vector<std::string> PresetModelNames();

std::string ModelToJson(const TDriveModel& m);
// False with a reason when the text is not a valid model.
bool ModelFromJson(std::string_view text, TDriveModel& m, std::string& error);

}  // namespace vdrive
