// What a verification compares with: the compilation's stream rendered again, or the image file
// opened again; and which entry of the compilation holds a block.
#include <string>
#include <utility>

#include "engine/qvpCache.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpVerify.h"
#include "image/qvpTreeTypes.h"
#include "platform/Files.h"
#include "platform/Text.h"

using namespace img;

namespace {

// The entries the layout gives sectors of data, as it gives them.
bool HoldsData(const TFileNode* e) {
  return e->SubDir == nullptr && (e->Attributes & plat::kAttrDirectory) == 0 && e->Size > 0 &&
         !e->FixedExtent;
}

void LocateEntry(const TImageBuilder& b, uint32_t sector, TVerifyReport& r) {
  r.FileId = -1;
  r.Path.clear();
  if (b.BootImageSet && sector >= b.BootImageLba &&
      sector < b.BootImageLba + SectorsOf(b.BootImageSize)) {
    r.Path = b.BootImage;
    return;
  }
  if (sector < b.DataStart || sector - b.DataStart >= b.DataSectors) return;
  const uint32_t offset = sector - b.DataStart;
  for (size_t i = 0; i < b.Entries.size(); ++i) {
    const TFileNode* e = b.Entries[i];
    if (!HoldsData(e) || offset < e->Extent || offset - e->Extent >= SectorsOf(e->Size)) continue;
    r.FileId = static_cast<int32_t>(i);
    if (e->SourcePath != nullptr) r.Path = plat::Utf16ToUtf8(e->SourcePath);
    return;
  }
}

// An image file of its own, opened anew for the pass.
class TReopenedImage : public TBlockSource {
 public:
  TReopenedImage(const std::string& path, uint64_t size) : source_(file_, size, path) {}
  bool Open(const std::string& path) { return file_.OpenRead(std::string_view(path)); }
  int32_t NextBlock(uint8_t* block, TBlockInfo& info) override {
    return source_.NextBlock(block, info);
  }
  std::string SourceName() const override { return source_.SourceName(); }
  bool TakeSourceProblem(std::string& detail) override { return source_.TakeSourceProblem(detail); }

 private:
  plat::TFile file_;
  TImageFileSource source_;
};

}  // namespace

std::shared_ptr<TVerification> CompilationVerification(TImageBuilder& b, uint32_t start,
                                                       uint32_t volumeSizeBase, uint32_t udfBase,
                                                       bool dataOnly) {
  auto v = std::make_shared<TVerification>();
  v->StartLba = start;
  v->Sectors = b.TotalSectors;
  v->DataOnly = dataOnly;
  if (b.BootImageSet) {
    v->BootFirst = b.BootImageLba;
    v->BootEnd = b.BootImageLba + static_cast<uint32_t>(SectorsOf(b.BootImageSize));
  }
  v->DataFirst = b.DataStart;
  v->DataEnd = b.DataStart + b.DataSectors;
  // The same bases give the same metadata: the rendered sectors are a function of the layout.
  v->MakeSource = [&b, start, volumeSizeBase, udfBase]() -> std::unique_ptr<TBlockSource> {
    if (!BuilderRender(b, start, volumeSizeBase, udfBase)) return nullptr;
    return NewCompilationSource(b);
  };
  v->Locate = [&b](uint32_t sector, TVerifyReport& r) { LocateEntry(b, sector, r); };
  return v;
}

std::shared_ptr<TVerification> ImageFileVerification(const std::string& path, uint64_t size) {
  auto v = std::make_shared<TVerification>();
  v->Sectors = static_cast<uint32_t>(SectorsOf(size));
  v->MakeSource = [path, size]() -> std::unique_ptr<TBlockSource> {
    auto image = std::make_unique<TReopenedImage>(path, size);
    if (!image->Open(path)) return nullptr;
    return image;
  };
  v->Locate = [path](uint32_t, TVerifyReport& r) {
    r.FileId = -1;
    r.Path = path;
  };
  return v;
}
