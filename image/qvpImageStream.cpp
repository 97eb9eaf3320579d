#include "image/qvpImageStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "image/qvpCommonLib.h"
#include "image/qvpISO9660.h"
#include "image/qvpSysUtilsW.h"
#include "image/qvpUDFBridge.h"
#include "platform/FileCheck.h"
#include "platform/Text.h"

namespace img {

namespace {
bool HasData(const TFileNode* e) {
  return e->SubDir == nullptr && (e->Attributes & plat::kAttrDirectory) == 0 && e->Size > 0 &&
         !e->FixedExtent;
}
}  // namespace

std::string SourceChangeText(const TSourceProblem& p) {
  switch (p.Change) {
    case TSourceChange::Vanished:
      return "vanished";
    case TSourceChange::Unreadable:
      return "could not be read: " + plat::SystemErrorText(p.Error);
    case TSourceChange::Replaced:
      return "replaced by another file";
    case TSourceChange::Shorter:
      return "shorter than when the compilation was made";
    case TSourceChange::Longer:
      return "longer than when the compilation was made";
    case TSourceChange::Modified:
      return "modified after the compilation was made";
  }
  return "changed";
}

std::string DescribeSourceProblem(const TSourceProblem& p) {
  return p.Path + " (" + SourceChangeText(p) + ")";
}

void TImageStream::Problem(TSourceChange change, uint32_t error) {
  if (sourceReported_) return;
  sourceReported_ = true;
  problems_.push_back(TSourceProblem{plat::Utf16ToUtf8(source_), change, error});
}

void TImageStream::OpenSource(uint64_t size, uint64_t volume, uint64_t id, uint64_t writeTime,
                              bool wide) {
  sourceReported_ = false;
  expectedSize_ = size;
  const bool opened = wide ? file_.OpenRead(std::u16string_view(source_))
                           : file_.OpenRead(plat::WideToAnsi(source_));
  if (!opened) {
    // The layout keeps its place: the file's sectors become zeros.
    const uint32_t error = file_.LastError();
    Problem(error == ENOENT ? TSourceChange::Vanished : TSourceChange::Unreadable, error);
    fileBytesLeft_ = 0;
    return;
  }
  const plat::TFileIdentity now = plat::IdentityOfOpen(file_.Fd());
  openedWriteTime_ = now.WriteTime.Value;
  if (id != 0 && (now.Volume != volume || now.Id != id))
    Problem(TSourceChange::Replaced);
  else if (now.Size < size)
    Problem(TSourceChange::Shorter);
  else if (now.Size > size)
    Problem(TSourceChange::Longer);
  else if (writeTime != 0 && now.WriteTime.Value != writeTime)
    Problem(TSourceChange::Modified);
}

TImageStream::TImageStream(TImageBuilder& b) : b_(b) {
  total_ = b.TotalSectors;
  metadataSectors_ = static_cast<uint32_t>(b.MetadataPos / kSectorSize);
  udfEnd_ = b.UDFBridge ? b.Udf.AreaStart + b.Udf.AreaSectors : 0;
  dataEnd_ = b.DataStart + b.DataSectors;
  // Without a rendered layout there is nothing sound to stream.
  if (!b.LaidOut || metadataSectors_ != b.MetadataSectors ||
      b.MetadataBuffer.size() < b.MetadataPos) {
    failed_ = true;
    return;
  }
  if (b.UDFBridge) UdfStreamStart(b);
}

void TImageStream::Advance() {
  switch (phase_) {
    case TPhase::Metadata:
      phase_ = b_.BootImageSet ? TPhase::Boot : (b_.UDFBridge ? TPhase::Udf : TPhase::Files);
      break;
    case TPhase::Boot:
      phase_ = b_.UDFBridge ? TPhase::Udf : TPhase::Files;
      break;
    case TPhase::Udf:
      phase_ = TPhase::Files;
      break;
    case TPhase::Files:
      phase_ = TPhase::Padding;
      break;
    case TPhase::Padding:
      phase_ = b_.UDFBridge ? TPhase::Anchor : TPhase::End;
      break;
    case TPhase::Anchor:
    case TPhase::End:
      phase_ = TPhase::End;
      break;
  }
}

bool TImageStream::OpenNextFile() {
  while (entry_ < b_.Entries.size() && !HasData(b_.Entries[entry_])) ++entry_;
  if (entry_ >= b_.Entries.size()) return false;
  const TFileNode* e = b_.Entries[entry_++];
  file_.Close();
  fileSectorsLeft_ = Sectors(e->Size);
  fileBytesLeft_ = e->Size;
  fileActive_ = true;
  source_.assign(WStr(e->SourcePath));
  if (e->SourcePath == nullptr) {
    // Nothing to read: the laid-out sectors are zeros.
    fileBytesLeft_ = 0;
    sourceReported_ = true;
    return true;
  }
  OpenSource(e->Size, e->SourceVolume, e->SourceId, e->SourceWriteTime, e->WideOpen != 0);
  queuedData_ += fileSectorsLeft_;
  return true;
}

int64_t TImageStream::ReadFile(uint8_t* dest, uint32_t sectors) {
  const uint32_t k = std::min(sectors, fileSectorsLeft_);
  const size_t bytes = static_cast<size_t>(k) * kSectorSize;
  size_t got = 0;
  if (fileBytesLeft_ > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(bytes, fileBytesLeft_));
    const int64_t n = file_.Read(dest, want);
    if (n < 0) {
      Problem(TSourceChange::Unreadable, file_.LastError());
      fileBytesLeft_ = 0;
    } else {
      got = static_cast<size_t>(n);
      // A source that ended early gives zeros for the rest of its recorded size.
      if (got < want) Problem(TSourceChange::Shorter);
      fileBytesLeft_ = got < want ? 0 : fileBytesLeft_ - want;
    }
  }
  if (got < bytes) std::memset(dest + got, 0, bytes - got);
  fileSectorsLeft_ -= k;
  if (fileSectorsLeft_ == 0) {
    // Whatever was appended or rewritten while the file was read is not on the disc.
    if (file_.IsOpen()) {
      const plat::TFileIdentity end = plat::IdentityOfOpen(file_.Fd());
      if (end.Size > expectedSize_)
        Problem(TSourceChange::Longer);
      else if (end.WriteTime.Value != openedWriteTime_)
        Problem(TSourceChange::Modified);
    }
    file_.Close();
    fileActive_ = false;
  }
  return k;
}

int64_t TImageStream::Read(uint8_t* dest, uint32_t sectors) {
  if (failed_) return -1;
  uint32_t done = 0;
  while (done < sectors && phase_ != TPhase::End) {
    uint8_t* out = dest + static_cast<size_t>(done) * kSectorSize;
    const uint32_t want = sectors - done;
    uint32_t k = 0;
    switch (phase_) {
      case TPhase::Metadata: {
        k = std::min(want, metadataSectors_ - pos_);
        std::memcpy(out, b_.MetadataBuffer.data() + static_cast<size_t>(pos_) * kSectorSize,
                    static_cast<size_t>(k) * kSectorSize);
        if (pos_ + k == metadataSectors_) Advance();
        break;
      }
      case TPhase::Boot: {
        if (!fileActive_) {
          file_.Close();
          source_ = plat::AnsiToWide(b_.BootImage);
          fileSectorsLeft_ = Sectors(b_.BootImageSize);
          fileBytesLeft_ = b_.BootImageSize;
          fileActive_ = true;
          OpenSource(b_.BootImageSize, 0, 0, 0, false);
          queuedData_ += fileSectorsLeft_;
        }
        const int64_t n = ReadFile(out, want);
        if (n < 0) return -1;
        k = static_cast<uint32_t>(n);
        if (!fileActive_) Advance();
        break;
      }
      case TPhase::Udf: {
        k = std::min(want, udfEnd_ - pos_);
        if (k > 0) ProduceUdfArea(b_, out, k);
        if (pos_ + k == udfEnd_) Advance();
        break;
      }
      case TPhase::Files: {
        if (!fileActive_ && !OpenNextFile()) {
          Advance();
          break;
        }
        if (failed_) return -1;
        const int64_t n = ReadFile(out, want);
        if (n < 0) return -1;
        k = static_cast<uint32_t>(n);
        break;
      }
      case TPhase::Padding: {
        const uint32_t end = total_ - (b_.UDFBridge ? 1 : 0);
        k = std::min(want, end - pos_);
        std::memset(out, 0, static_cast<size_t>(k) * kSectorSize);
        if (pos_ + k == end) Advance();
        break;
      }
      case TPhase::Anchor: {
        WriteAnchor(b_, out, total_ - 1);
        k = 1;
        Advance();
        break;
      }
      case TPhase::End:
        break;
    }
    pos_ += k;
    done += k;
  }
  return done;
}

}  // namespace img
