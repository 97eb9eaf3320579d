#pragma once
// What the software buffer pulls the image from, one 64 KiB block at a time: an existing image
// file, or the image stream of a compilation.
#include <cstdint>
#include <string>

// What the producer learns about each block it is given.
struct TBlockInfo {
  bool FileData = false;    // the block ends inside file data (boot image or a file)
  uint32_t EntryIndex = 0;  // the tree entry whose data the block ends with
};

// A producer of the image, block by block.
class TBlockSource {
 public:
  virtual ~TBlockSource() = default;
  // Writes the next block of the image into block (65536 bytes of room) and returns its length
  // in bytes, always a whole number of sectors; 0 when the image has ended; -1 when a source
  // file could not be opened or read (SourceName() names it).
  virtual int32_t NextBlock(uint8_t* block, TBlockInfo& info) = 0;
  virtual std::string SourceName() const = 0;
  // Sectors of boot image and file data opened so far.
  virtual uint32_t QueuedDataSectors() const { return 0; }
  // A source file that changed while it was read (the file and what happened), one at a time in
  // the order they were met; false when there is no new one. The blocks keep to the layout.
  virtual bool TakeSourceProblem(std::string& detail) {
    (void)detail;
    return false;
  }
};
