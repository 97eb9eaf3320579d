#pragma once
// What `ardovan-vdrive` does to a recorder folder, as library calls: create a recorder, insert and
// eject media, show and export what is recorded, arm faults, switch tracing. Every call takes the
// folder's lock, so it is safe while a program drives the recorder.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "vdrive/Disc.h"
#include "vdrive/Faults.h"
#include "vdrive/Media.h"

namespace vdrive {

bool CreateRecorder(const std::string& dir, std::string_view model, bool noAddress,
                    std::string& error);
// Creates a recorder of the default model in dir unless one is there, with medium loaded
// (none when empty).
bool EnsureRecorder(const std::string& dir, const std::optional<TDisc>& medium, std::string& error);

// Puts a blank medium in (replacing what was there) and closes the tray.
bool InsertBlank(const std::string& dir, TMediumKind kind, std::optional<uint32_t> blocks,
                 bool formatted, std::string& error);
// Puts in a pressed disc holding the image's content; the kind follows from the size unless given.
bool InsertPressed(const std::string& dir, const std::string& image,
                   std::optional<TMediumKind> kind, std::string& error);
// Takes the medium out; the tray stays open.
bool EjectMedium(const std::string& dir, std::string& error);

// The state as JSON: tray, and the medium with its type, profile, capacity, sessions, ...
bool RecorderStatus(const std::string& dir, std::string& json, std::string& error);
// Writes the user data from LBA 0 to the last recorded block, or one session's blocks (from 1).
// progress, when given, hears the bytes written of the total and stops the export by answering
// false (the output is then incomplete).
bool ExportMedium(const std::string& dir, const std::string& output,
                  std::optional<uint32_t> session, std::string& error,
                  const std::function<bool(uint64_t done, uint64_t total)>& progress = {});

bool UpdateFaults(const std::string& dir, const std::function<void(TFaults&)>& change,
                  std::string& error);
bool ClearFaults(const std::string& dir, std::string& error);
bool SetTrace(const std::string& dir, bool on, std::string& error);
// Switches the pace: commands take the time a real drive would (kept across inserts and ejects).
bool SetPace(const std::string& dir, bool on, std::string& error);

// The medium.json text of a recorder (for status displays and tests).
bool ReadLoadState(const std::string& dir, TLoadState& state, std::string& error);

}  // namespace vdrive
