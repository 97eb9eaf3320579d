#pragma once
// Reading the file system of a session already on a medium: the volume descriptors at its start,
// its ISO 9660 tree and the Joliet, ISO 9660:1999 and UDF trees the caller asks for. Everything
// goes through a block-reading callback, so the same code reads a drive and an image file, and
// the functions here are pure over that callback.
//
// Every address and length is checked against the medium's size before it is followed, every
// tree is walked with loop, depth and size limits, and every UDF descriptor's tag is verified: a
// damaged or foreign disc gives a refusal, never a crash or a read outside the medium.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/qvpImportTypes.h"

// Reads count 2048-byte blocks from medium LBA lba into dest; false when they cannot be read
// (or when the reading is to stop).
using TBlockReader = std::function<bool(uint32_t lba, uint32_t count, uint8_t* dest)>;

// The trees the new session will write besides the ISO 9660 one: each must be in the session.
struct TImportTrees {
  bool Joliet = false;
  bool Iso1999 = false;
  bool Udf = false;
};

// One file or folder of the session, with its name in every tree that was read.
struct TImportedNode {
  std::string IsoName;  // primary-tree identifier as recorded; empty when it records long names
  std::u16string JolietName;  // Joliet identifier as recorded; empty when Joliet was not read
  std::u16string LongName;    // the name the compilation knows it by
  bool Directory = false;
  bool Hidden = false;
  uint8_t Date[7] =
      {};  // recorded date: years since 1900, month, day, hour, minute, second, offset
  uint64_t Size = 0;
  std::vector<TImportedExtent> Extents;  // files: the data, in recorded order
  std::vector<TImportedNode> Children;   // folders: their entries
};

struct TImportedSession {
  uint32_t Start = 0;  // medium LBA of the session's first sector
  bool HasJoliet = false;
  bool HasIso1999 = false;
  bool HasUdf = false;
  uint32_t Files = 0;
  uint32_t Directories = 0;  // the root not counted
  TImportedNode Root;
};

// Largest folder stream and deepest folder nesting the reader follows, and the most it reads of
// one session (2 GiB: ten times what the largest compilation's trees take).
constexpr uint32_t kImportMaxDirectoryBytes = 64u << 20;
constexpr uint32_t kImportMaxDepth = 1024;
constexpr uint32_t kImportMaxSectorsRead = 1u << 20;

// Reads the session whose system area begins at medium LBA `start` of a medium of mediumBlocks
// blocks. Imported on success (out filled), otherwise the refusal.
TImportResult ReadSession(const TBlockReader& read, uint32_t start, uint32_t mediumBlocks,
                          TImportTrees want, TImportedSession& out);

// The start of the last session of a medium image that begins before `before`: from the session
// at LBA 0, each next one is the first volume descriptor set found after the previous volume's
// end. False when there is no volume at LBA 0.
bool FindLastSession(const TBlockReader& read, uint32_t mediumBlocks, uint32_t before,
                     uint32_t& start);
