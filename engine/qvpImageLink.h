#pragma once
// The component's side of the image builder, kept in a unit of its own: the builder's record and
// operations reach the rest of the engine only through these functions, so the component's
// public header stays free of the builder's types.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/qvpBlockSource.h"
#include "image/qvpTreeEvents.h"
#include "image/qvpTreeOmitted.h"

namespace img {
struct TImageBuilder;
struct TDirNode;
struct TFileNode;
}  // namespace img
using img::TAddFileEvent;
using img::TDirNode;
using img::TFileNode;
using img::TImageBuilder;
using img::TOmittedEntry;

struct TImageBuilderDeleter {
  void operator()(TImageBuilder* b) const;
};
using TImageBuilderPtr = std::unique_ptr<TImageBuilder, TImageBuilderDeleter>;

// A new builder with an empty compilation.
TImageBuilderPtr NewImageBuilder();
std::atomic<uint16_t>& BuilderStatus(TImageBuilder& b);

// Options.
void BuilderSetReplaceFile(TImageBuilder& b, bool v);
bool BuilderReplaceFile(const TImageBuilder& b);
void BuilderSetJoliet(TImageBuilder& b, bool v);
bool BuilderJoliet(const TImageBuilder& b);
void BuilderSetIso1999(TImageBuilder& b, bool v);
bool BuilderIso1999(const TImageBuilder& b);
void BuilderSetUdf(TImageBuilder& b, bool v);
bool BuilderUdf(const TImageBuilder& b);
void BuilderSetVolumeId(TImageBuilder& b, const std::string& text);
std::string BuilderVolumeId(const TImageBuilder& b);
void BuilderSetBootImage(TImageBuilder& b, const std::string& path);
std::string BuilderBootImage(const TImageBuilder& b);

// Compilation. The insertions copy the component's OnAddFile handler into the tree first.
void BuilderClear(TImageBuilder& b);
TDirNode* BuilderCreateDir(TImageBuilder& b, const std::string& destPath, const std::string& name);
TFileNode* BuilderInsertFile(TImageBuilder& b, const TAddFileEvent& h, const std::string& destPath,
                             const std::string& fileName);
TDirNode* BuilderInsertDir(TImageBuilder& b, const TAddFileEvent& h, const std::string& destPath,
                           const std::string& sourceDir, bool keepPath, bool recursive,
                           const std::string& fileMask);
int32_t BuilderPrepare(TImageBuilder& b);
const std::vector<TOmittedEntry>& BuilderOmitted(const TImageBuilder& b);

// Write job.
bool BuilderLaidOut(const TImageBuilder& b);
uint32_t BuilderTotalSectors(const TImageBuilder& b);
// Sets where the image starts on the medium and renders the metadata; false without a layout.
// With imported entries a volumeSizeBase of 0 becomes sessionStart: the volume spans the earlier
// sessions its folders point into.
bool BuilderRender(TImageBuilder& b, uint32_t sessionStart, uint32_t volumeSizeBase,
                   uint32_t udfBase);
// With the UDF bridge on, renders into sector (2048 bytes) the anchor that belongs at medium LBA
// 256 for the rendered image: tag location 256, extents at the image's own volume descriptor
// sequences. False (sector untouched) without the bridge.
// The second sector (medium LBA 257) is the file set descriptor of the rendered image as it
// belongs in the partition's first block (sector has room for kMediumAnchorSectors sectors).
constexpr uint32_t kMediumAnchorSectors = 2;
bool BuilderMediumAnchor(const TImageBuilder& b, uint8_t* sector);
// The first source (boot image or file with data) that cannot be opened for reading: its path
// (UTF-8) and the errno value. False when every one opens.
bool BuilderFindUnreadableSource(const TImageBuilder& b, std::string& path, uint32_t& error);
// The image stream of the rendered compilation, block by block.
std::unique_ptr<TBlockSource> NewCompilationSource(TImageBuilder& b);
