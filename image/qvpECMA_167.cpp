#include "image/qvpECMA_167.h"

#include <algorithm>
#include <cstring>

#include "image/qvpUDFUtils.h"
#include "image/qvpUDF_CRC.h"

namespace img {

uint8_t EcmaTagChecksum(const uint8_t* tag) {
  uint32_t sum = 0;
  for (int i = 0; i < 16; ++i)
    if (i != 4) sum += tag[i];
  return static_cast<uint8_t>(sum);
}

namespace {

void FillTag(uint8_t* desc, uint16_t ident, uint32_t location, uint16_t crcLength, uint16_t crc) {
  UdfPut16(desc, ident);
  UdfPut16(desc + 2, kDescriptorVersion);
  desc[4] = 0;
  desc[5] = 0;
  UdfPut16(desc + 6, kTagSerialNumber);
  UdfPut16(desc + 8, crc);
  UdfPut16(desc + 10, crcLength);
  UdfPut32(desc + 12, location);
  desc[4] = EcmaTagChecksum(desc);
}

}  // namespace

void EcmaWriteTag(uint8_t* desc, uint16_t ident, uint32_t location, uint16_t crcLength) {
  FillTag(desc, ident, location, crcLength, UdfCrc16(desc + kTagSize, crcLength));
}

void EcmaWriteTagZeroTail(uint8_t* desc, uint16_t ident, uint32_t location, uint16_t crcLength,
                          size_t usedLength) {
  const size_t end = kTagSize + crcLength;
  const size_t used = std::clamp(usedLength, kTagSize, end);
  const uint16_t crc = UdfCrc16Zeros(UdfCrc16(desc + kTagSize, used - kTagSize), end - used);
  FillTag(desc, ident, location, crcLength, crc);
}

void EcmaPutExtent(uint8_t* p, uint32_t length, uint32_t location) {
  UdfPut32(p, length);
  UdfPut32(p + 4, location);
}

void EcmaPutShortAd(uint8_t* p, uint32_t length, uint32_t position) {
  UdfPut32(p, length);
  UdfPut32(p + 4, position);
}

void EcmaPutLongAd(uint8_t* p, uint32_t length, uint32_t block, uint16_t partition) {
  UdfPut32(p, length);
  UdfPut32(p + 4, block);
  UdfPut16(p + 8, partition);
  std::memset(p + 10, 0, 6);
}

void EcmaPutRegid(uint8_t* p, uint8_t flags, std::string_view identifier,
                  std::initializer_list<uint8_t> suffix) {
  std::memset(p, 0, 32);
  p[0] = flags;
  std::memcpy(p + 1, identifier.data(), std::min<size_t>(identifier.size(), 23));
  std::copy_n(suffix.begin(), std::min<size_t>(suffix.size(), 8), p + 24);
}

void EcmaPutCharspec(uint8_t* p, uint8_t type, std::string_view information) {
  std::memset(p, 0, 64);
  p[0] = type;
  std::memcpy(p + 1, information.data(), std::min<size_t>(information.size(), 63));
}

void EcmaPutVolumeStructure(uint8_t* sector, std::string_view identifier) {
  std::memset(sector, 0, kUdfSectorSize);
  sector[0] = 0;
  std::memcpy(sector + 1, identifier.data(), std::min<size_t>(identifier.size(), 5));
  sector[6] = 1;
}

void EcmaPutIcbTag(uint8_t* p, uint8_t fileType, uint16_t flags) {
  std::memset(p, 0, 20);
  UdfPut32(p, 0);      // prior recorded number of direct entries
  UdfPut16(p + 4, 4);  // strategy type 4: a single entry
  UdfPut16(p + 6, 0);  // strategy parameter
  UdfPut16(p + 8, 1);  // maximum number of entries
  p[11] = fileType;
  UdfPut16(p + 18, flags);  // 0: short allocation descriptors
}

}  // namespace img
