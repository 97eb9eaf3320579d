// libwnaspi32.so: an ASPI driver library for this platform. The optical drives of the drive
// namespace (real and virtual) are its devices; execute requests complete on a worker thread
// and signal the request's event, as a driver completes them from its interrupt path.
#include <cstdint>

#include "platform/Aspi.h"
#include "platform/AspiLayer.h"

namespace {

plat::TAspiLayer& Layer() {
  static plat::TAspiLayer layer([] {
    plat::TAspiLayerOptions options;
    options.Asynchronous = true;
    return options;
  }());
  return layer;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() {
  // Drives come and go between discoveries; every caller that asks for the support
  // information is about to scan, so it gets the namespace as it is now.
  plat::TAspiLayer& layer = Layer();
  layer.Rebuild();
  return layer.SupportInfo();
}

__attribute__((visibility("default"))) uint32_t SendASPI32Command(void* srb) {
  return Layer().Send(srb);
}

}  // extern "C"
