#pragma once
// A recorder folder as the recorder-state harness's input: which files are there, the texts of
// drive.json, medium.json and faults.json, and medium.img as a size (sparse) with its first bytes.
//   byte: bit 0 drive.json, bit 1 medium.json, bit 2 faults.json, bit 3 medium.img present
//   three texts, each a 2-byte length and the bytes
//   4-byte image size, then the image's first bytes (the rest of the input)
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

namespace fuzz {

struct TRecorderFiles {
  bool drivePresent = true, mediumPresent = true, faultsPresent = true, imagePresent = true;
  std::string drive, medium, faults;
  uint64_t imageSize = 0;
  std::vector<uint8_t> imageHead;
};

inline TRecorderFiles ReadRecorderFiles(TInput& in) {
  TRecorderFiles f;
  const uint8_t present = in.Byte();
  f.drivePresent = present & 1;
  f.mediumPresent = present & 2;
  f.faultsPresent = present & 4;
  f.imagePresent = present & 8;
  for (std::string* text : {&f.drive, &f.medium, &f.faults}) *text = std::string(in.Text(in.U16()));
  f.imageSize = in.U32();
  f.imageHead = in.Bytes(f.imageSize);
  return f;
}

inline void WriteRecorderFiles(TOutput& out, const TRecorderFiles& f) {
  out.Byte(static_cast<uint8_t>((f.drivePresent ? 1 : 0) | (f.mediumPresent ? 2 : 0) |
                                (f.faultsPresent ? 4 : 0) | (f.imagePresent ? 8 : 0)));
  for (const std::string* text : {&f.drive, &f.medium, &f.faults}) {
    out.U16(static_cast<uint16_t>(text->size()));
    out.Append(*text);
  }
  out.U32(static_cast<uint32_t>(f.imageSize));
  out.Append(f.imageHead.data(), f.imageHead.size());
}

}  // namespace fuzz
