#pragma once
// Helpers of the tree, layout and stream tests: find records made by hand, trees built through
// the tree's own operations, and access to the rendered sectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/qvpISO9660.h"
#include "image/qvpTree.h"
#include "platform/Text.h"

using namespace img;

namespace imgtest {

// 2021-06-15 12:00:00 UTC.
constexpr uint64_t kSummerTime = 132682320000000000ull;
// 2021-01-15 12:00:00 UTC.
constexpr uint64_t kWinterTime = 132551856000000000ull;

inline plat::TFindData Record(std::u16string_view name, uint64_t size = 0,
                              uint32_t attrs = plat::kAttrArchive, std::u16string_view alt = u"",
                              uint64_t time = kSummerTime) {
  plat::TFindData fd;
  fd.FileAttributes = attrs;
  fd.LastWriteTime.Value = time;
  fd.FileSizeHigh = static_cast<uint32_t>(size >> 32);
  fd.FileSizeLow = static_cast<uint32_t>(size);
  name.copy(fd.FileName, 259);
  alt.copy(fd.AlternateFileName, 13);
  return fd;
}

inline TFileNode* AddFile(TImageBuilder& b, TDirNode* dir, std::u16string_view name, uint64_t size,
                          std::u16string_view alt = u"", std::u16string_view source = u"/src") {
  plat::TFindData fd = Record(name, size, plat::kAttrArchive, alt);
  std::u16string src(source);
  return AddEntry(b, dir, fd, false, 0, src.c_str());
}

inline TDirNode* AddDir(TImageBuilder& b, TDirNode* parent, std::u16string_view name,
                        std::u16string_view alt = u"") {
  plat::TFindData fd = Record(name, 0, plat::kAttrDirectory, alt);
  return AddSubdirectory(b, parent, fd);
}

// Lays out and renders; the rendered metadata stays in b.MetadataBuffer.
inline void Render(TImageBuilder& b) {
  PrepareImage(b);
  ASSERT_TRUE(RenderMetadata(b));
}

inline const uint8_t* Sector(const TImageBuilder& b, uint32_t lba) {
  return b.MetadataBuffer.data() + static_cast<size_t>(lba) * 2048;
}

inline uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint32_t Be32(const uint8_t* p) {
  return p[3] | p[2] << 8 | p[1] << 16 | static_cast<uint32_t>(p[0]) << 24;
}
inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Directory records of one extent, read without the writer's help.
struct TRecord {
  uint32_t Offset;  // within the extent
  uint8_t Length;
  uint32_t Extent, DataLength;
  uint8_t Flags;
  std::string Id;  // raw identifier bytes
  const uint8_t* Raw;
};
inline std::vector<TRecord> ReadRecords(const uint8_t* extent, uint32_t size) {
  std::vector<TRecord> out;
  uint32_t off = 0;
  while (off < size) {
    const uint8_t len = extent[off];
    if (len == 0) {
      off = (off / 2048 + 1) * 2048;
      continue;
    }
    const uint8_t* r = extent + off;
    out.push_back({off, len, Le32(r + 2), Le32(r + 10), r[25],
                   std::string(reinterpret_cast<const char*>(r + 33), r[32]), r});
    off += len;
  }
  return out;
}

inline std::string Str(const uint8_t* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace imgtest
