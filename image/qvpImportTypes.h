#pragma once
// Entries taken over from a session already on the medium (session import): what the tree keeps
// of each beside the usual node fields, so the new session records them as they were recorded
// and points at their data where it already lies.
#include <cstdint>

#include "image/qvpImportResult.h"
#include "image/qvpTreeTypes.h"

// One extent of a file's data: absolute medium LBA and length in bytes.
struct TImportedExtent {
  uint32_t Lba;
  uint32_t Length;
};

// Kept in the tree's arena and pointed at by TFileNode::Imported. Such an entry also has its
// fixed-extent flag set (its data is not laid out again); an entry that a later insertion
// overwrites in place loses that flag and with it everything here.
struct TImportedData {
  const char* IsoName;         // primary-tree identifier as recorded; null: a generated 8.3 name
  const char16_t* JolietName;  // Joliet identifier as recorded; null: from the long name
  const TImportedExtent*
      Extents;  // data extents in recorded order; null for folders and empty files
  uint32_t ExtentCount;
  uint8_t IsoNameLen;
  uint8_t JolietNameLen;
};

// The imported data of an entry, or null for an entry of the user's compilation.
inline const TImportedData* ImportedOf(const TFileNode* e) {
  return e != nullptr && e->FixedExtent ? e->Imported : nullptr;
}
