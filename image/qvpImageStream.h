#pragma once
// The image as a pull stream: after PrepareImage and RenderMetadata it yields the image front to
// back into a caller's buffer, in requests of any whole number of sectors: the rendered
// metadata, the boot image, the UDF area, every file padded to its sectors, the final padding
// and, with UDF, the closing anchor. It follows the sector map exactly: a file that became
// shorter is padded with zeros, a longer one gives only its recorded size.
#include <cstdint>
#include <string>
#include <string_view>

#include "image/qvpTreeTypes.h"
#include "platform/Files.h"

class TImageStream {
 public:
  // The builder must be laid out and rendered; the UDF area stream is rewound here.
  explicit TImageStream(TImageBuilder& b);
  TImageStream(const TImageStream&) = delete;
  TImageStream& operator=(const TImageStream&) = delete;

  // Writes the next sectors into dest (room for sectors x 2048 bytes). Returns the sectors
  // written (fewer only at the end of the image, 0 after it), or -1 when a source file cannot
  // be opened or read; CurrentSource() then names it and the stream stays failed.
  int64_t Read(uint8_t* dest, uint32_t sectors);

  bool Failed() const { return failed_; }
  bool Done() const { return pos_ >= total_; }
  uint32_t Position() const { return pos_; }
  uint32_t TotalSectors() const { return total_; }
  // The file being read (the boot image's path widened, or an entry's source path); empty
  // before the first file.
  std::u16string_view CurrentSource() const { return source_; }
  // Sectors of boot image and file data opened so far.
  uint32_t QueuedDataSectors() const { return queuedData_; }

 private:
  enum class TPhase { Metadata, Boot, Udf, Files, Padding, Anchor, End };
  bool OpenNextFile();
  int64_t ReadFile(uint8_t* dest, uint32_t sectors);
  void Advance();

  TImageBuilder& b_;
  TPhase phase_ = TPhase::Metadata;
  uint32_t pos_ = 0;
  uint32_t total_ = 0;
  uint32_t metadataSectors_ = 0;
  uint32_t udfEnd_ = 0;
  uint32_t dataEnd_ = 0;  // first sector of the final padding
  size_t entry_ = 0;      // next entry to look at
  plat::TFile file_;
  bool fileActive_ = false;
  uint64_t fileBytesLeft_ = 0;   // bytes still to read from the source
  uint32_t fileSectorsLeft_ = 0; // sectors of the current file still to produce
  std::u16string source_;
  uint32_t queuedData_ = 0;
  bool failed_ = false;
};

