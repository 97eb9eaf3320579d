#include "engine/qvpImageLink.h"

#include "image/qvpISO9660.h"
#include "image/qvpImport.h"
#include "image/qvpTree.h"
#include "image/qvpTreeTypes.h"
#include "image/qvpUDFBridge.h"
#include "platform/FileCheck.h"
#include "platform/Text.h"

void TImageBuilderDeleter::operator()(TImageBuilder* b) const { delete b; }

TImageBuilderPtr NewImageBuilder() {
  TImageBuilderPtr b(new TImageBuilder());
  // The root exists from the start, so an insertion before the first ClearCompilation has a
  // place to go.
  ClearCompilation(*b);
  return b;
}

std::atomic<uint16_t>& BuilderStatus(TImageBuilder& b) { return b.Status; }

void BuilderSetReplaceFile(TImageBuilder& b, bool v) { b.ReplaceFile = v ? 1 : 0; }
bool BuilderReplaceFile(const TImageBuilder& b) { return b.ReplaceFile != 0; }
void BuilderSetJoliet(TImageBuilder& b, bool v) { b.JolietFileSystem = v ? 1 : 0; }
bool BuilderJoliet(const TImageBuilder& b) { return b.JolietFileSystem != 0; }
void BuilderSetIso1999(TImageBuilder& b, bool v) { b.ISO9660v1999FS = v ? 1 : 0; }
bool BuilderIso1999(const TImageBuilder& b) { return b.ISO9660v1999FS != 0; }
void BuilderSetUdf(TImageBuilder& b, bool v) { b.UDFBridge = v ? 1 : 0; }
bool BuilderUdf(const TImageBuilder& b) { return b.UDFBridge != 0; }
void BuilderSetVolumeId(TImageBuilder& b, const std::string& text) { SetVolumeID(b, text); }
std::string BuilderVolumeId(const TImageBuilder& b) { return b.VolumeId; }
void BuilderSetBootImage(TImageBuilder& b, const std::string& path) { SetBootImage(b, path); }
std::string BuilderBootImage(const TImageBuilder& b) { return GetBootImage(b); }

void BuilderClear(TImageBuilder& b) { ClearCompilation(b); }

TDirNode* BuilderCreateDir(TImageBuilder& b, const std::string& destPath, const std::string& name) {
  return CreateDir(b, destPath, name);
}

TFileNode* BuilderInsertFile(TImageBuilder& b, const TAddFileEvent& h, const std::string& destPath,
                             const std::string& fileName) {
  b.OnAddFile = h;
  return InsertFile(b, destPath, fileName);
}

TDirNode* BuilderInsertDir(TImageBuilder& b, const TAddFileEvent& h, const std::string& destPath,
                           const std::string& sourceDir, bool keepPath, bool recursive,
                           const std::string& fileMask) {
  b.OnAddFile = h;
  return InsertDir(b, destPath, sourceDir, keepPath, recursive, fileMask);
}

int32_t BuilderPrepare(TImageBuilder& b) { return static_cast<int32_t>(PrepareImage(b)); }
const std::vector<TOmittedEntry>& BuilderOmitted(const TImageBuilder& b) { return b.Omitted; }

bool BuilderLaidOut(const TImageBuilder& b) { return b.LaidOut != 0; }
uint32_t BuilderTotalSectors(const TImageBuilder& b) { return b.TotalSectors; }

bool BuilderRender(TImageBuilder& b, uint32_t sessionStart, uint32_t volumeSizeBase,
                   uint32_t udfBase) {
  // A volume whose folders list files of earlier sessions spans them: it reaches from LBA 0.
  if (volumeSizeBase == 0 && HasImportedEntries(b)) volumeSizeBase = sessionStart;
  b.SessionStart = sessionStart;
  b.VolumeSizeBase = volumeSizeBase;
  b.Udf.UdfBase = udfBase;
  return RenderMetadata(b);
}

bool BuilderMediumAnchor(const TImageBuilder& b, uint8_t* sector) {
  if (!b.UDFBridge) return false;
  // The anchor writer records UdfBase + location as the tag location; the one read at medium
  // LBA 256 must record 256 itself. Unsigned arithmetic wraps, so the sum is 256 for any base.
  WriteAnchor(b, sector, kUdfAnchorSector - b.Udf.UdfBase);
  WriteMediumFileSet(b, sector + kSectorSize);
  return true;
}

bool BuilderFindUnreadableSource(const TImageBuilder& b, std::string& path, uint32_t& error) {
  if (!b.BootImage.empty() && !plat::CanReadFile(b.BootImage, error)) {
    path = b.BootImage;
    return true;
  }
  for (const TFileNode* e : b.Entries) {
    // Folders, empty files and sourceless entries are never opened by the stream.
    if (e->SubDir != nullptr || e->SourcePath == nullptr || e->Size == 0 || e->FixedExtent)
      continue;
    const std::string p = plat::Utf16ToUtf8(e->SourcePath);
    if (!plat::CanReadFile(p, error)) {
      path = p;
      return true;
    }
  }
  return false;
}
