#pragma once
// The image as a pull stream: after PrepareImage and RenderMetadata it yields the image front to
// back into a caller's buffer, in requests of any whole number of sectors: the rendered
// metadata, the boot image, the UDF area, every file padded to its sectors, the final padding
// and, with UDF, the closing anchor. It follows the sector map exactly: a file that became
// shorter is padded with zeros, a longer one gives only its recorded size.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/qvpTreeTypes.h"
#include "platform/Files.h"

namespace img {

// What happened to a source file after the compilation was made. The layout cannot change any
// more, so the stream keeps to it (zeros for what is missing, nothing beyond the recorded size)
// and reports the change, and the job or the image file ends as failed.
enum class TSourceChange : uint8_t { Vanished, Unreadable, Replaced, Shorter, Longer, Modified };
struct TSourceProblem {
  std::string Path;  // UTF-8
  TSourceChange Change = TSourceChange::Vanished;
  uint32_t Error = 0;  // errno value of Vanished and Unreadable
};
// "shorter than when the compilation was made", "vanished", ...
std::string SourceChangeText(const TSourceProblem& p);
// "/home/ana/a.txt (shorter than when the compilation was made)"
std::string DescribeSourceProblem(const TSourceProblem& p);

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
  // Source files that changed since the compilation was made, in the order they were met (one
  // problem per file).
  const std::vector<TSourceProblem>& SourceProblems() const { return problems_; }

 private:
  enum class TPhase { Metadata, Boot, Udf, Files, Padding, Anchor, End };
  bool OpenNextFile();
  // Opens the current source and compares it with what was compiled (identity 0: unknown).
  void OpenSource(uint64_t size, uint64_t volume, uint64_t id, uint64_t writeTime, bool wide);
  int64_t ReadFile(uint8_t* dest, uint32_t sectors);
  void Advance();
  void Problem(TSourceChange change, uint32_t error = 0);

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
  uint64_t fileBytesLeft_ = 0;    // bytes still to read from the source
  uint32_t fileSectorsLeft_ = 0;  // sectors of the current file still to produce
  std::u16string source_;
  uint32_t queuedData_ = 0;
  bool failed_ = false;
  // The current source as compiled and as opened, and whether a problem was reported for it.
  uint64_t expectedSize_ = 0;
  uint64_t openedWriteTime_ = 0;
  bool sourceReported_ = false;
  std::vector<TSourceProblem> problems_;
};

}  // namespace img
