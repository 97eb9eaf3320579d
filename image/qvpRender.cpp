// The rendered metadata: every sector before the boot image, the UDF area and the file data.
#include <cstring>

#include "image/qvpISO9660.h"
#include "image/qvpUDFBridge.h"

namespace img {

bool RenderMetadata(TImageBuilder& b) {
  if (!b.LaidOut || b.Root == nullptr) return false;
  // Only the fixed metadata is held: the UDF area and the data are produced while streaming.
  b.MetadataBuffer.assign(static_cast<size_t>(b.MetadataSectors) * kSectorSize, 0);
  b.MetadataPos = 0;

  AppendZeros(b, 16 * kSectorSize);  // system area
  WritePrimaryDescriptor(b);
  if (b.BootImageSet) WriteBootRecord(b);
  if (b.ISO9660v1999FS) WriteIso1999Descriptor(b);
  if (b.JolietFileSystem) WriteJolietDescriptor(b);
  WriteTerminator(b);
  if (b.UDFBridge) {
    const size_t bytes = static_cast<size_t>(UdfVolumeStructureSectors(b)) * kSectorSize;
    if (b.MetadataPos + bytes > b.MetadataBuffer.size())
      b.MetadataBuffer.resize(b.MetadataPos + bytes);
    RenderUdfVolumeStructures(b, b.MetadataBuffer.data() + b.MetadataPos);
    b.MetadataPos += bytes;
  }
  WritePathTables(b);
  if (b.JolietFileSystem) WriteJolietPathTables(b);
  WriteDirectories(b);
  if (b.JolietFileSystem) WriteJolietDirectories(b);
  if (b.BootImageSet) WriteBootCatalog(b);
  if (b.PaddingCount > 0) AppendZeros(b, static_cast<size_t>(b.PaddingCount) * kSectorSize);
  return b.MetadataPos == static_cast<size_t>(b.MetadataSectors) * kSectorSize;
}

}  // namespace img
