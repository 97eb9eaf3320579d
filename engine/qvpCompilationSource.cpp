// The image stream of a rendered compilation as the software buffer's block source.
#include <algorithm>
#include <memory>

#include "engine/qvpImageLink.h"
#include "image/qvpISO9660.h"
#include "image/qvpImageStream.h"
#include "image/qvpTreeTypes.h"
#include "platform/Text.h"

using namespace img;

namespace {

constexpr uint32_t kBlockSectorCount = 32;

class TCompilationSource : public TBlockSource {
 public:
  explicit TCompilationSource(TImageBuilder& b) : b_(b), stream_(b) {
    bootStart_ = b.BootImageSet ? b.BootImageLba : 0;
    bootEnd_ =
        b.BootImageSet ? b.BootImageLba + (b.BootImageSize + kSectorSize - 1) / kSectorSize : 0;
    dataStart_ = b.DataStart;
    dataEnd_ = b.DataStart + b.DataSectors;
  }
  ~TCompilationSource() override { ReleaseMetadata(b_); }

  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override {
    info = TBlockInfo{};
    const int64_t sectors = stream_.Read(block, kBlockSectorCount);
    if (sectors <= 0) return static_cast<int32_t>(sectors);
    // The metadata has been copied once it lies behind the stream.
    if (!released_ && stream_.Position() >= b_.MetadataSectors) {
      ReleaseMetadata(b_);
      released_ = true;
    }
    // Where the block ends decides how the buffer treats it: file data (boot image or files)
    // pauses one block short of a full queue and sets the thread's priority by the fill.
    const uint32_t last = stream_.Position() - 1;
    info.FileData =
        (last >= bootStart_ && last < bootEnd_) || (last >= dataStart_ && last < dataEnd_);
    return static_cast<int32_t>(sectors * kSectorSize);
  }

  std::string SourceName() const override { return plat::Utf16ToUtf8(stream_.CurrentSource()); }
  uint32_t QueuedDataSectors() const override { return stream_.QueuedDataSectors(); }
  bool TakeSourceProblem(std::string& detail) override {
    const auto& problems = stream_.SourceProblems();
    if (reported_ >= problems.size()) return false;
    detail = DescribeSourceProblem(problems[reported_++]);
    return true;
  }

 private:
  TImageBuilder& b_;
  TImageStream stream_;
  uint32_t bootStart_ = 0, bootEnd_ = 0, dataStart_ = 0, dataEnd_ = 0;
  bool released_ = false;
  size_t reported_ = 0;
};

}  // namespace

std::unique_ptr<TBlockSource> NewCompilationSource(TImageBuilder& b) {
  return std::make_unique<TCompilationSource>(b);
}
