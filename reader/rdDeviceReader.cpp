#include "reader/rdDeviceReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/Aspi.h"
#include "platform/Files.h"
#include "reader/rdSCSI.h"

namespace rd {
namespace {

constexpr uint8_t kReadFlags = plat::SRB_DIR_IN;
// A chunk that fails is tried once more as a whole, then block by block, each block twice.
constexpr int kChunkRetries = 1;
constexpr int kBlockAttempts = 2;
constexpr uint8_t kNotReady = 0x02;
constexpr uint8_t kMediumNotPresent = 0x3A;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

int32_t Percent(int32_t block, int32_t lastBlock) {
  int32_t divisor = (lastBlock - 1) / 100;
  int32_t percent =
      divisor > 0 ? block / divisor : static_cast<int32_t>(int64_t{block} * 100 / lastBlock);
  // The coarse divisor of discs just over 100 blocks would run past 100.
  return std::min(percent, 100);
}

}  // namespace

uint32_t BlockSizeOfType(uint8_t dataBlockType) {
  switch (dataBlockType) {
    case 0:
      return 2352;
    case 1:
      return 2368;
    case 2:
    case 3:
      return 2448;
    case 9:
      return 2336;
    case 11:
      return 2056;
    case 12:
    case 13:
      return 2324;
    default:
      return 2048;
  }
}

TCommandContext& DefaultCommandContext() {
  static TCommandContext context;
  return context;
}

TDeviceReader::TDeviceReader(const TCDBurnerInfo* info)
    : Context(DefaultCommandContext()), info_(info) {}

void TDeviceReader::Message(const std::string& text) {
  if (OnMessage) OnMessage(this, text);
}

uint8_t TDeviceReader::Command(const uint8_t* cdb, uint8_t cdbLength, uint32_t length,
                               void* buffer) {
  Context.Text.fill(0);
  if (Context.BeforeCommand) Context.BeforeCommand(cdb, cdbLength);
  uint8_t sense[kReaderSenseLength] = {};
  LastResult = info_ ? ExecuteOn(*info_, cdb, cdbLength, length, buffer, kReadFlags, sense)
                     : plat::SS_NO_DEVICE;
  mediumGone_ = LastResult != plat::SS_COMP && (sense[2] & 0x0F) == kNotReady &&
                sense[12] == kMediumNotPresent;
  if (LastResult != plat::SS_COMP)
    std::snprintf(Context.Text.data(), Context.Text.size(), "Status %u, Sense %X/%02X/%02X",
                  LastResult, sense[2] & 0x0F, sense[12], sense[13]);
  if (Context.AfterCommand) Context.AfterCommand(cdb, cdbLength, LastResult);
  return LastResult;
}

uint8_t TDeviceReader::ReadToc(TToc& toc) {
  toc = TToc{};
  std::vector<uint8_t> data(kTocAllocation, 0);
  const uint8_t lunBits = info_ ? static_cast<uint8_t>(info_->Lun << 5) : 0;
  const uint8_t cdb[10] = {0x43, lunBits, 0, 0, 0, 0, 0, kTocAllocation >> 8, kTocAllocation & 0xFF,
                           0};
  uint8_t status = Command(cdb, sizeof cdb, kTocAllocation, data.data());
  if (status != plat::SS_COMP) return status;
  toc.FirstTrack = data[2];
  toc.LastTrack = data[3];
  toc.DescriptorCount = std::min(Be16(data.data()) >> 3, kMaxTocDescriptors);
  for (int i = 0; i < toc.DescriptorCount; ++i) {
    const uint8_t* d = data.data() + 4 + 8 * i;
    TTocDescriptor& out = toc.Descriptors[static_cast<size_t>(i)];
    out.AdrControl = d[1];
    out.TrackNumber = d[2];
    out.Address = Be32(d + 4);
  }
  return status;
}

bool TDeviceReader::ReadBlocks(uint32_t lba, uint16_t count, uint32_t length, void* buffer) {
  const uint8_t lunBits = info_ ? static_cast<uint8_t>(info_->Lun << 5) : 0;
  const uint8_t cdb[10] = {0x28,
                           lunBits,
                           static_cast<uint8_t>(lba >> 24),
                           static_cast<uint8_t>(lba >> 16),
                           static_cast<uint8_t>(lba >> 8),
                           static_cast<uint8_t>(lba),
                           0,
                           static_cast<uint8_t>(count >> 8),
                           static_cast<uint8_t>(count),
                           0};
  return Command(cdb, sizeof cdb, length, buffer) == plat::SS_COMP;
}

void TDeviceReader::ReportUnreadable(int64_t& badStart, uint32_t end) {
  if (badStart < 0) return;
  if (end > badStart)
    Message("Unreadable Blocks : " + std::to_string(badStart) + " - " + std::to_string(end - 1) +
            ", written as zeros");
  badStart = -1;
}

uint32_t TDeviceReader::ReadChunk(uint32_t block, uint32_t count, uint8_t* buffer,
                                  int64_t& badStart) {
  const uint32_t blockSize = BlockSizeOfType(8);
  for (int attempt = 0; attempt <= kChunkRetries; ++attempt) {
    if (ReadBlocks(block, static_cast<uint16_t>(count), count * blockSize, buffer)) {
      ReportUnreadable(badStart, block);
      return 0;
    }
    if (mediumGone_) return count;
  }
  uint32_t unreadable = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* one = buffer + static_cast<size_t>(i) * blockSize;
    bool ok = false;
    for (int attempt = 0; attempt < kBlockAttempts && !ok; ++attempt)
      ok = ReadBlocks(block + i, 1, blockSize, one);
    if (mediumGone_) return count;  // nothing more will be read
    if (ok) {
      ReportUnreadable(badStart, block + i);
      continue;
    }
    std::memset(one, 0, blockSize);
    if (badStart < 0) badStart = block + i;
    ++unreadable;
  }
  return unreadable;
}

bool TDeviceReader::ReadToImage(const std::string& fileName,
                                const std::function<bool()>& keepReading) {
  // The count of the first reading and the data of the second. A first reading that fails
  // (a drive reports a medium change once, as unit attention) leaves both to the second.
  TToc first, second;
  const bool firstRead = ReadToc(first) == plat::SS_COMP;
  const bool tocRead = ReadToc(second) == plat::SS_COMP;
  const int descriptors = firstRead ? first.DescriptorCount : second.DescriptorCount;
  int32_t lastBlock = 0;
  if (tocRead && descriptors > 0)
    lastBlock =
        static_cast<int32_t>(second.Descriptors[static_cast<size_t>(descriptors - 1)].Address);
  if (!tocRead) Message("Cannot Read TOC : " + std::string(Context.Text.data()));
  Message("Get Last Block Address : " + std::to_string(lastBlock));

  plat::TFile file;
  if (!file.Create(fileName)) {
    Message("Cannot Create File : " + fileName);
    return false;
  }
  if (lastBlock <= 0) return tocRead;  // the file stays empty

  Message("Allocate Buffer Memory");
  const uint32_t blockSize = BlockSizeOfType(8);
  std::vector<uint8_t> buffer(static_cast<size_t>(kChunkBlocks) * blockSize);
  Message("Start Streaming...");

  uint64_t unreadable = 0;
  bool written = true;
  int64_t badStart = -1;
  const uint32_t total = static_cast<uint32_t>(lastBlock);
  uint32_t block = 0;
  while (block < total) {
    if (keepReading && !keepReading()) {
      ReportUnreadable(badStart, block);
      Message("Reading Stopped at Block : " + std::to_string(block));
      written = false;
      break;
    }
    uint32_t count = std::min(kChunkBlocks, total - block);
    uint32_t length = count * blockSize;
    unreadable += ReadChunk(block, count, buffer.data(), badStart);
    if (mediumGone_) {
      // Without a medium every later block would fail as well: the copy ends here.
      ReportUnreadable(badStart, block);
      Message("Medium Removed at Block : " + std::to_string(block));
      break;
    }
    if (!file.Write(buffer.data(), length)) {
      written = false;
      Message("Cannot Write File : " + fileName);
      break;
    }
    LastWritten = length;
    Position = static_cast<int32_t>(block);
    if (OnProgress) OnProgress(this, Position, Percent(Position, lastBlock));
    block += count;
  }
  ReportUnreadable(badStart, block);

  Message("DeAllocate Buffer Memory");
  buffer.clear();
  buffer.shrink_to_fit();
  Message("Close Data Stream");
  file.Close();
  return written && unreadable == 0;
}

}  // namespace rd
