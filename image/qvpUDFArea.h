#pragma once
// The UDF area's pieces, shared by its layout and its on-demand producer: entry names, block
// numbers inside the partition, file entries and file identifier descriptors.
#include <cstdint>
#include <string_view>

#include "image/qvpTreeTypes.h"
#include "image/qvpUDFTypes.h"
#include "image/qvpUDFUnicode.h"

// The name an entry is recorded under: its long name, or for a name longer than an identifier
// holds, the cut form the layout left in the UDF copy of the name.
inline std::u16string_view UdfEntryName(const TFileNode& e) {
  if (e.LongNameLen <= kUdfMaxNameLength) return {e.LongName2, e.LongNameLen};
  size_t n = 0;
  while (n < kUdfMaxNameLength && e.LongName2[n]) ++n;
  return {e.LongName2, n};
}

// The block inside the partition of image sector x: the partition is recorded as starting at
// absolute sector 257 and the image starts at UdfBase.
inline uint32_t UdfBlock(const TUdfState& u, uint32_t x) { return u.UdfBase + x - 257; }

// A file entry sector. Lengths of 2^30 bytes and more take several consecutive extents of at
// most kUdfMaxExtentLength bytes each, as a short allocation descriptor keeps only 30 bits of
// length; smaller ones take the single descriptor. Position is the first extent's block.
constexpr uint32_t kUdfMaxExtentLength = 0x3FFFF800;
constexpr uint32_t kUdfMaxAllocationDescriptors = 234;  // 1872 bytes of descriptors
void UdfWriteFileEntry(uint8_t* sector, const TUdfTimestamp& time, uint32_t location,
                       uint8_t fileType, uint16_t linkCount, uint64_t informationLength,
                       uint64_t uniqueId, uint32_t position);
// The same for data in several runs (blocks and byte lengths, together informationLength), each
// taking as many descriptors as its length needs: the extents of an imported file.
struct TUdfRun {
  uint32_t Position;
  uint32_t Length;
};
void UdfWriteFileEntry(uint8_t* sector, const TUdfTimestamp& time, uint32_t location,
                       uint8_t fileType, uint16_t linkCount, uint64_t informationLength,
                       uint64_t uniqueId, const TUdfRun* runs, uint32_t runCount);

// A file identifier descriptor; returns its size (a multiple of 4, at most
// kUdfMaxIdentifierSize). An empty name makes the parent identifier.
uint32_t UdfWriteIdentifier(uint8_t* out, uint32_t location, uint8_t characteristics,
                            std::u16string_view name, uint32_t icbBlock);
