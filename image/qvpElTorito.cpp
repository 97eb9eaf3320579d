// El Torito: the boot record descriptor and the one-entry boot catalogue.
#include <cstring>

#include "image/qvpCommonLib.h"
#include "image/qvpISO9660.h"
#include "image/qvpTree.h"

namespace img {

void WriteBootRecord(TImageBuilder& b) {
  uint8_t s[kSectorSize] = {};
  PutDescriptorHead(s, 0, 1);
  static const char kSystem[] = "EL TORITO SPECIFICATION";
  std::memcpy(s + 7, kSystem, sizeof kSystem - 1);
  PutLE32(s + 71, b.BootCatalog + b.SessionStart);
  Append(b, s, sizeof s);
}

void WriteBootCatalog(TImageBuilder& b) {
  uint8_t s[kSectorSize] = {};
  // Validation entry.
  s[0] = 1;
  s[1] = 0;  // 80x86
  static const char kId[] = "Quorvex";
  std::memcpy(s + 4, kId, sizeof kId - 1);
  s[30] = 0x55;
  s[31] = 0xAA;
  uint16_t sum = 0;
  for (int i = 0; i < 32; i += 2) sum = static_cast<uint16_t>(sum + GetLE16(s + i));
  PutLE16(s + 28, static_cast<uint16_t>(-sum));
  // Default entry.
  uint8_t mediaType = 0;
  uint16_t sectorCount = 0;
  BootImageKind(b.BootImageSize, mediaType, sectorCount);
  s[32] = 0x88;
  s[33] = mediaType;
  PutLE16(s + 34, 0);  // load segment: the default
  s[36] = 0;           // system type
  PutLE16(s + 38, sectorCount);
  PutLE32(s + 40, b.BootImageLba + b.SessionStart);
  Append(b, s, sizeof s);
}

}  // namespace img
