#pragma once
// State of the UDF bridge kept in the image record: fixed positions, counters, the one image
// time stamp, and the streaming state of the file entries and identifier streams, which are
// produced on demand while the image is streamed.
#include <cstdint>

namespace img {

struct TDirNode;
struct TFileNode;

// ECMA-167 timestamp (12 bytes on disc).
struct TUdfTimestamp {
  uint16_t TypeAndTimezone = 0;
  int16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  uint8_t Centiseconds = 0, HundredsOfMicroseconds = 0, Microseconds = 0;
};

struct TUdfState {
  // Volume identifier in OSTA CS0 (compression byte 16, then UCS-2 big-endian), and its length.
  uint8_t VolumeId[31] = {};
  uint8_t VolumeIdLength = 0;

  uint32_t DirectoryCount = 0;  // the root included
  uint32_t FileCount = 0;
  uint64_t NextUniqueId = 16;
  TUdfTimestamp RecordingTime;

  // Fixed positions, image-relative.
  uint32_t VrsStart = 0;
  uint32_t MainVdsStart = 32;
  uint32_t ReserveVdsStart = 48;
  uint32_t IntegrityStart = 64;
  uint32_t AnchorSector = 256;
  uint32_t PartitionStart = 257;
  uint32_t FileSetSector = 257;

  // LBA on the medium of the image's first sector (set by the write job; 0 for an image file).
  uint32_t UdfBase = 0;

  // The area of file entries and identifier streams.
  uint32_t AreaStart = 0;
  uint32_t AreaSectors = 0;
  uint32_t LayoutCursor = 0;

  uint32_t DataStart = 0;
  uint32_t LastSector = 0;  // TotalSectors - 1: the closing anchor
  uint32_t PartitionLength = 0;
  bool AnchorOpensNewBlock = false;

  // Streaming state of the area.
  TDirNode* CurrentDir = nullptr;
  uint8_t Phase = 0;  // 0 directory file entry, 1 identifier stream, 2 file entries of files
  uint32_t IdentBytesUsed = 0;
  uint32_t IdentSectorIndex = 0;
  uint32_t CarryOffset = 0;  // bytes of CarryBytes already written
  uint32_t CarryLength = 0;  // size of the identifier in CarryBytes
  // The identifier being written when a sector filled up: it is built whole (its CRC covers
  // all of it) and its remainder opens the next sector, possibly in the next call.
  uint8_t CarryBytes[296] = {};
  bool ListExhausted = false;
  bool CarryPending = false;
  bool Finished = false;
};

}  // namespace img
