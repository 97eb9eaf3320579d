#pragma once
// Session import through the engine: the last session of the medium in the recorder (found by
// READ TOC, read with READ(10)), or the last session of a medium image file, read by the session
// reader and merged into the compilation. The builder's options decide which trees the session
// must have: those the new session will write.
#include <atomic>
#include <cstdint>
#include <string>

#include "image/qvpImportTypes.h"

struct TImageBuilder;
namespace qvp {
struct TSCSIDevice;
}

// The medium in the selected recorder. A set stop flag ends the reading (Aborted).
TImportResult ImportFromMedium(qvp::TSCSIDevice& d, TImageBuilder& b,
                               const std::atomic<uint8_t>& stop);

// The image file: the last session that begins before nextSessionStart (the image's last one
// when it is 0).
TImportResult ImportFromImageFile(const std::string& path, uint32_t nextSessionStart,
                                  TImageBuilder& b, const std::atomic<uint8_t>& stop);
