#pragma once
// The compilation tree: what goes onto the disc, assembled the way the application hands it
// over. Compilation paths use "\" between components ("" or "\" is the root); disk paths are
// this platform's "/" paths in the system code page (UTF-8).
//
// Insertions report failure only by an empty result. A name over 217 characters and a handler's
// Skip give the skip mark (SkipMark(), a success without an entry).
#include <cstdint>
#include <string>
#include <string_view>

#include "image/qvpTreeTypes.h"

namespace img {

// Empties the tree and creates the root. Must run once before the first insertion.
void ClearCompilation(TImageBuilder& b);

// Directory of a compilation path, or null.
TDirNode* FindDirectory(TImageBuilder& b, std::u16string_view path);

// The primitive below every insertion: adds (or, with ReplaceFile, refreshes in place) the entry
// that fd describes in dir. sourcePath: a non-empty text replaces the stored source, null clears
// it, an empty text keeps it. fixedExtent 0 means the layout gives the entry its space.
TFileNode* AddEntry(TImageBuilder& b, TDirNode* dir, plat::TFindData& fd, bool wideOpen,
                    uint32_t fixedExtent, const char16_t* sourcePath);

// The subdirectory fd names in parent: the existing one, or a new one. Null when the directory
// cannot be made (tables full, name refused, or a file of that name is in the way).
TDirNode* AddSubdirectory(TImageBuilder& b, TDirNode* parent, plat::TFindData& fd);

// An empty directory `name` in the existing directory destPath (the existing one when present).
TDirNode* CreateDir(TImageBuilder& b, std::string_view destPath, std::string_view name);

// The disk file fileName, added to directory destPath.
TFileNode* InsertFile(TImageBuilder& b, std::string_view destPath, std::string_view fileName);

// The content of disk folder sourceDir, added under destPath. With keepPath the folder's path
// below the root is recreated first ("/home/ana/photos" gives home\ana\photos); with recursive
// every subfolder is added (scanned with "*.*") before the folder's own files (fileMask).
// Returns the directory that received the content.
TDirNode* InsertDir(TImageBuilder& b, std::string_view destPath, std::string_view sourceDir,
                    bool keepPath, bool recursive, std::string_view fileMask);

// El Torito boot image: empty clears it (success); otherwise the file must open and have one of
// the sizes 2048, 1228800, 1474560 or 2949120 bytes, else the boot image is cleared (failure).
bool SetBootImage(TImageBuilder& b, std::string_view path);
const std::string& GetBootImage(const TImageBuilder& b);
// Boot media type (0 no emulation, 1 to 3 diskettes) and the entry's sector count for a size;
// false for a size that is not accepted.
bool BootImageKind(uint32_t size, uint8_t& mediaType, uint16_t& sectorCount);

// Volume label: the text (system code page) cut to 95 bytes, and its wide form cut to 31 units.
// An empty text clears both.
void SetVolumeID(TImageBuilder& b, std::string_view text);
// The label as the primary descriptor records it: one byte per character, letters upper case,
// at most 32 characters.
std::string RecordedVolumeId(const TImageBuilder& b);

}  // namespace img
