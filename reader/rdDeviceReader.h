#pragma once
// TDeviceReader: copies the user data of the disc in one drive, block by block, into an image
// file. Each command goes through a fresh TrdSCSI with the drive's address.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "reader/rdBurnerInfo.h"

namespace rd {

constexpr uint32_t kSectorBytes = 2048;
constexpr uint32_t kChunkBlocks = 16;
constexpr uint32_t kChunkBytes = kChunkBlocks * kSectorBytes;
constexpr int kMaxTocDescriptors = 100;
constexpr uint16_t kTocAllocation = 804;

// Size of one block of a data block type (the block types of the write parameters page).
uint32_t BlockSizeOfType(uint8_t dataBlockType);

struct TTocDescriptor {
  uint8_t AdrControl = 0;
  uint8_t TrackNumber = 0;
  uint32_t Address = 0;
};

// READ TOC format 0, parsed.
struct TToc {
  uint8_t FirstTrack = 0;
  uint8_t LastTrack = 0;
  int DescriptorCount = 0;
  std::array<TTocDescriptor, kMaxTocDescriptors> Descriptors{};
};

// Per-reader command settings, copied from the module default when a reader is created: hooks
// called around every command, and a text area that describes the outcome of the last failed
// command (cleared before each command).
struct TCommandContext {
  std::function<void(const uint8_t* cdb, uint8_t cdbLength)> BeforeCommand;
  std::function<void(const uint8_t* cdb, uint8_t cdbLength, uint8_t status)> AfterCommand;
  std::array<char, 128> Text{};
};
// The module default; change it before creating readers.
TCommandContext& DefaultCommandContext();

class TDeviceReader {
 public:
  using TMessageEvent = std::function<void(TDeviceReader* sender, const std::string& text)>;
  using TProgressEvent = std::function<void(TDeviceReader* sender, int32_t block, int32_t percent)>;

  explicit TDeviceReader(const TCDBurnerInfo* info);

  // Reads the whole disc into fileName (created anew). True when every block of the disc is in
  // the file; blocks that stay unreadable are written as zeros, so the image keeps the disc's
  // geometry, and each such range is reported through OnMessage. False also when the table of
  // contents or the file cannot be used, and when the medium leaves the drive (the copy stops
  // there). keepReading, when given, is asked before every chunk (on the reading thread); when it
  // says no, the read stops there and answers false.
  bool ReadToImage(const std::string& fileName, const std::function<bool()>& keepReading = {});
  // READ TOC format 0 into toc; returns the status of the command.
  uint8_t ReadToc(TToc& toc);
  // READ(10) of count blocks at lba into buffer (length bytes); true on success.
  bool ReadBlocks(uint32_t lba, uint16_t count, uint32_t length, void* buffer);

  const TCDBurnerInfo* Info() const { return info_; }
  uint8_t LastResult = 0;
  TCommandContext Context;
  TMessageEvent OnMessage;
  TProgressEvent OnProgress;
  uint32_t LastWritten = 0;  // bytes written for the last chunk
  int32_t Position = 0;      // first block of the last chunk

 private:
  uint8_t Command(const uint8_t* cdb, uint8_t cdbLength, uint32_t length, void* buffer);
  void Message(const std::string& text);
  // Reads one chunk, retrying it and then falling back to single blocks; unreadable blocks are
  // zeroed. Returns the number of unreadable blocks; each maximal unreadable run is reported.
  uint32_t ReadChunk(uint32_t block, uint32_t count, uint8_t* buffer, int64_t& badStart);
  void ReportUnreadable(int64_t& badStart, uint32_t end);

  const TCDBurnerInfo* info_;
  bool mediumGone_ = false;  // the last command found no medium in the drive
};

}  // namespace rd
