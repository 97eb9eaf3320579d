#pragma once
// ECMA-167 building blocks: descriptor tags, extents, allocation descriptors, entity
// identifiers, charspecs and the volume structure descriptors.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace img {

// Tag identifiers.
constexpr uint16_t kTagPrimaryVolume = 1;
constexpr uint16_t kTagAnchor = 2;
constexpr uint16_t kTagImplementationUse = 4;
constexpr uint16_t kTagPartition = 5;
constexpr uint16_t kTagLogicalVolume = 6;
constexpr uint16_t kTagUnallocatedSpace = 7;
constexpr uint16_t kTagTerminating = 8;
constexpr uint16_t kTagIntegrity = 9;
constexpr uint16_t kTagFileSet = 256;
constexpr uint16_t kTagFileIdentifier = 257;
constexpr uint16_t kTagFileEntry = 261;

constexpr size_t kTagSize = 16;
constexpr uint16_t kDescriptorVersion = 2;  // NSR02
constexpr uint16_t kTagSerialNumber = 1;

// Checksum of a 16-byte tag: the byte sum modulo 256 of bytes 0 to 3 and 5 to 15.
uint8_t EcmaTagChecksum(const uint8_t* tag);
// Fills the tag at the start of desc: identifier, version 2, serial 1, location, and the CRC
// over the crcLength bytes after the tag, then the checksum. The body must be complete.
void EcmaWriteTag(uint8_t* desc, uint16_t ident, uint32_t location, uint16_t crcLength);
// The same when every body byte from usedLength (counted from the start of desc) up to
// 16 + crcLength is zero: the zero tail does not have to be read.
void EcmaWriteTagZeroTail(uint8_t* desc, uint16_t ident, uint32_t location, uint16_t crcLength,
                          size_t usedLength);

// extent_ad: length, location (8 bytes).
void EcmaPutExtent(uint8_t* p, uint32_t length, uint32_t location);
// short_ad: extent length (the top two bits are the extent type, 0 = recorded and allocated),
// position (8 bytes).
void EcmaPutShortAd(uint8_t* p, uint32_t length, uint32_t position);
constexpr uint32_t kShortAdMaxLength = 0x3FFFFFFF;
// long_ad: extent length, logical block number, partition reference number, implementation use
// zero (16 bytes).
void EcmaPutLongAd(uint8_t* p, uint32_t length, uint32_t block, uint16_t partition);
// regid: flags, identifier (up to 23 bytes, zero-filled), identifier suffix (up to 8 bytes).
void EcmaPutRegid(uint8_t* p, uint8_t flags, std::string_view identifier,
                  std::initializer_list<uint8_t> suffix);
// charspec: type and up to 63 bytes of information, zero-filled (64 bytes).
void EcmaPutCharspec(uint8_t* p, uint8_t type, std::string_view information);
// Volume structure descriptor of the recognition sequence (a whole sector): type 0, the
// five-letter identifier ("BEA01", "NSR02", "TEA01"), version 1.
void EcmaPutVolumeStructure(uint8_t* sector, std::string_view identifier);

// ICB tag (20 bytes): strategy 4, the given maximum entries and file type, flags.
constexpr uint8_t kFileTypeDirectory = 4;
constexpr uint8_t kFileTypeFile = 5;
void EcmaPutIcbTag(uint8_t* p, uint8_t fileType, uint16_t flags);

// File characteristics of a file identifier descriptor.
constexpr uint8_t kFidDirectory = 2;
constexpr uint8_t kFidParent = 8;

}  // namespace img
