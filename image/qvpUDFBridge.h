#pragma once
// The UDF 1.50 bridge: a second file system over the same file data as the ISO 9660 tree.
//
// The fixed structures (volume recognition sequence, the two volume descriptor sequences, the
// integrity sequence, the anchors and the file set sequence) are rendered with the rest of the
// metadata. The file entries and identifier streams, which grow with the number of files, form
// the UDF area: it is laid out once and then generated on demand, sector by sector, while the
// image is streamed, so memory never grows with the file count beyond the tree itself.
//
// All renderers write whole 2048-byte sectors into a caller's buffer and overwrite every byte of
// them (padding and reserved bytes are written as zeros).
#include <cstddef>
#include <cstdint>

struct TImageBuilder;

// Sector counts of the fixed structures.
constexpr uint32_t kUdfVrsSectors = 3;        // BEA01, NSR02, TEA01
constexpr uint32_t kUdfVdsSectors = 32;       // main and reserve volume descriptor sequence
constexpr uint32_t kUdfIntegritySectors = 4;  // integrity descriptor, terminator, two zero sectors
constexpr uint32_t kUdfFileSetSectors = 2;    // file set descriptor, terminator
// Fixed image sectors of the bridge.
constexpr uint32_t kUdfMainVdsSector = 32;
constexpr uint32_t kUdfReserveVdsSector = 48;
constexpr uint32_t kUdfIntegritySector = 64;
constexpr uint32_t kUdfAnchorSector = 256;
constexpr uint32_t kUdfPartitionStart = 257;  // also the file set descriptor
constexpr uint32_t kUdfFixedEnd = 259;        // first sector after the file set sequence

// Layout, called by PrepareImage:
// Captures the one time stamp of the image, resets the counters and the unique ID and records
// the start of the volume recognition sequence (the sector after the ISO terminator). The
// caller's cursor continues at kUdfFixedEnd.
void UdfLayoutStart(TImageBuilder& b, uint32_t vrsStart);
// Lays out the file entries and identifier streams from firstSector on (depth-first walk of the
// tree) and returns the area's sector count. Names longer than the identifier can hold are cut
// here, kept unique within their folder; the stream uses the same cut names.
uint32_t UdfLayoutArea(TImageBuilder& b, uint32_t firstSector);
// Records the file data start and the last sector of the image (the closing anchor), which
// gives the partition length, and rewinds the area stream.
void UdfLayoutFinish(TImageBuilder& b, uint32_t dataStart, uint32_t lastSector);

// Sectors vrsStart .. kUdfFixedEnd - 1 of the image, everything the bridge contributes to the
// rendered metadata, zero gaps included: (kUdfFixedEnd - vrsStart) sectors.
uint32_t UdfVolumeStructureSectors(const TImageBuilder& b);
void RenderUdfVolumeStructures(const TImageBuilder& b, uint8_t* dest);
// The single structures (dest holds the sector count named above).
void RenderUdfVolumeRecognition(const TImageBuilder& b, uint8_t* dest);
void RenderUdfVolumeDescriptors(const TImageBuilder& b, uint8_t* dest);
void RenderUdfIntegrity(const TImageBuilder& b, uint8_t* dest);
void RenderUdfFileSet(const TImageBuilder& b, uint8_t* dest);
// One anchor sector; location is the image sector it is written to (256, or the last sector
// for the closing anchor).
void WriteAnchor(const TImageBuilder& b, uint8_t* sector, uint32_t location);
// The file set descriptor as it belongs in the first block of the partition (medium LBA 257)
// when the image lies behind a volume already on the medium: readers that take the file set
// from the partition's start, rather than from where the logical volume descriptor points, then
// find this image's file set too.
void WriteMediumFileSet(const TImageBuilder& b, uint8_t* sector);

// Rewinds the area stream to its first sector. The layout leaves it rewound; a producer that
// streams the same layout again calls it before the area's first sector.
void UdfStreamStart(TImageBuilder& b);
// Writes the next `sectors` sectors of the UDF area in stream order. Requests may have any size;
// an identifier split between two sectors is carried into the next call. Past the end of the
// area it writes zero sectors.
void ProduceUdfArea(TImageBuilder& b, uint8_t* dest, uint32_t sectors);
