// The sector map of the image.
#include "image/qvpISO9660.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "image/qvpCommonLib.h"
#include "image/qvpUDFBridge.h"
#include "platform/Text.h"

namespace img {

std::string IsoIdentifier(const TImageBuilder& b, const TFileNode* e) {
  if (e->IsoNameLen != 0) return std::string(e->IsoName, e->IsoNameLen);
  if (b.ISO9660v1999FS)
    return plat::WideToRecording(std::u16string_view(e->LongName, e->LongNameLen));
  if (const TImportedData* im = ImportedOf(e); im != nullptr && im->IsoName != nullptr)
    return std::string(im->IsoName, im->IsoNameLen);
  std::string s(e->ShortName, e->ShortNameLen);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string IsoIdentifier(const TImageBuilder& b, const TDirNode* d) {
  if (d->Entry != nullptr && d->Entry->IsoNameLen != 0) return IsoIdentifier(b, d->Entry);
  if (b.ISO9660v1999FS)
    return plat::WideToRecording(std::u16string_view(d->LongName, d->LongNameLen));
  if (d->Entry != nullptr && ImportedOf(d->Entry) != nullptr) return IsoIdentifier(b, d->Entry);
  return std::string(d->ShortName, d->ShortNameLen);
}

namespace {

// Identifier lengths as the layout counts them: the short name, or the long name in wide
// characters (one recorded byte each).
uint32_t IsoNameLength(const TImageBuilder& b, const TFileNode* e) {
  if (e->IsoNameLen != 0) return e->IsoNameLen;
  if (const TImportedData* im = ImportedOf(e);
      im != nullptr && im->IsoName != nullptr && !b.ISO9660v1999FS)
    return im->IsoNameLen;
  return b.ISO9660v1999FS ? e->LongNameLen : e->ShortNameLen;
}
uint32_t IsoNameLength(const TImageBuilder& b, const TDirNode* d) {
  if (d->Entry != nullptr && d->Entry->IsoNameLen != 0) return d->Entry->IsoNameLen;
  if (d->Entry != nullptr && ImportedOf(d->Entry) != nullptr) return IsoNameLength(b, d->Entry);
  return b.ISO9660v1999FS ? d->LongNameLen : d->ShortNameLen;
}

uint32_t IsoPathTableSize(const TImageBuilder& b) {
  uint32_t size = 10;
  for (size_t i = 1; i < b.PathDirs.size(); ++i) {
    const uint32_t n = IsoNameLength(b, b.PathDirs[i]);
    size += 8 + n + (n & 1);
  }
  return size;
}

uint32_t JolietPathTableSize(const TImageBuilder& b) {
  uint32_t size = 10;
  for (size_t i = 1; i < b.PathDirs.size(); ++i)
    size += 8 + 2 * static_cast<uint32_t>(JolietIdentifier(b.PathDirs[i]).size());
  return size;
}

}  // namespace

uint32_t PrepareImage(TImageBuilder& b) {
  if (b.Root == nullptr) return 0;
  b.Status = 6;
  b.ISO9660FS = 1;
  AssignIsoNames(b);
  OrderTree(b);
  std::memset(b.ZeroBlock, 0, sizeof b.ZeroBlock);
  b.BootImageSet = b.BootImage.empty() ? 0 : 1;

  // Volume descriptors: primary, [boot record], [ISO 9660:1999], [Joliet], terminator.
  uint32_t cursor = 16;
  cursor +=
      1 + (b.ISO9660v1999FS ? 1 : 0) + (b.BootImageSet ? 1 : 0) + (b.JolietFileSystem ? 1 : 0) + 1;
  if (b.UDFBridge) {
    UdfLayoutStart(b, cursor);
    cursor = kUdfFixedEnd;
  }

  b.PathTableSize = IsoPathTableSize(b);
  b.LPathTable = cursor;
  cursor += Sectors(b.PathTableSize);
  b.MPathTable = cursor;
  cursor += Sectors(b.PathTableSize);
  if (b.JolietFileSystem) {
    AssignJolietNames(b);
    b.JolietPathTableSize = JolietPathTableSize(b);
    b.JolietLPathTable = cursor;
    cursor += Sectors(b.JolietPathTableSize);
    b.JolietMPathTable = cursor;
    cursor += Sectors(b.JolietPathTableSize);
  } else {
    b.JolietPathTableSize = b.JolietLPathTable = b.JolietMPathTable = 0;
  }

  b.DirArea = cursor;
  uint32_t sum = 0;
  for (TDirNode* d : b.Dirs) {
    d->IsoExtent = sum;
    d->IsoSize =
        DirectoryBytes(d, [&](const TFileNode* e) { return IsoRecordLength(IsoNameLength(b, e)); });
    sum += d->IsoSize / kSectorSize;
  }
  b.DirAreaSectors = sum;
  cursor += sum;

  if (b.JolietFileSystem) {
    b.JolietDirArea = cursor;
    sum = 0;
    for (TDirNode* d : b.Dirs) {
      d->JolietExtent = sum;
      d->JolietSize = DirectoryBytes(d, [](const TFileNode* e) {
        return 34 + 2 * static_cast<uint32_t>(JolietIdentifier(e).size());
      });
      sum += d->JolietSize / kSectorSize;
    }
    b.JolietDirAreaSectors = sum;
    cursor += sum;
  } else {
    b.JolietDirArea = b.JolietDirAreaSectors = 0;
  }

  if (b.BootImageSet) b.BootCatalog = cursor++;
  b.PaddingCount = static_cast<int32_t>(kMetadataMinSectors) - static_cast<int32_t>(cursor);
  if (cursor < kMetadataMinSectors) cursor = kMetadataMinSectors;
  b.MetadataSectors = cursor;

  // File data, in the order the files were inserted.
  uint64_t data = 0;
  for (TFileNode* e : b.Entries) {
    if (e->SubDir != nullptr || (e->Attributes & plat::kAttrDirectory) != 0) continue;
    if (e->Size == 0) {
      e->Extent = 0;
      continue;
    }
    if (e->FixedExtent) continue;
    e->Extent = static_cast<uint32_t>(data);
    data += Sectors(e->Size);
  }
  b.DataSectors =
      static_cast<uint32_t>(std::min<uint64_t>(data, std::numeric_limits<uint32_t>::max()));

  if (b.BootImageSet) {
    b.BootImageLba = cursor;
    cursor += Sectors(b.BootImageSize);
  }
  if (b.UDFBridge) cursor += UdfLayoutArea(b, cursor);
  b.DataStart = cursor;

  uint64_t total = static_cast<uint64_t>(b.DataStart) + data;
  const uint64_t toWrite = total + (b.UDFBridge ? 1 : 0);
  if (b.UDFBridge) {
    b.Udf.AnchorOpensNewBlock = total % 32 == 0;
    total += 1;
  }
  total = (total + 31) / 32 * 32;
  b.TotalSectors =
      static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
  if (b.UDFBridge) UdfLayoutFinish(b, b.DataStart, b.TotalSectors - 1);

  b.LaidOut = 1;
  b.Status = 0;
  // A compilation beyond what 32 bits can count reports the largest count, never a wrapped one.
  return static_cast<uint32_t>(std::min<uint64_t>(toWrite, std::numeric_limits<int32_t>::max()));
}

void Append(TImageBuilder& b, const void* bytes, size_t count) {
  if (count == 0) return;
  if (b.MetadataPos + count > b.MetadataBuffer.size())
    b.MetadataBuffer.resize(b.MetadataPos + count);
  std::memcpy(b.MetadataBuffer.data() + b.MetadataPos, bytes, count);
  b.MetadataPos += count;
}

void AppendZeros(TImageBuilder& b, size_t count) {
  while (count > 0) {
    const size_t n = std::min(count, sizeof b.ZeroBlock);
    Append(b, b.ZeroBlock, n);
    count -= n;
  }
}

void ReleaseMetadata(TImageBuilder& b) { std::vector<uint8_t>().swap(b.MetadataBuffer); }

}  // namespace img
