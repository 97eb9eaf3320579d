#include "image/qvpOSTA_UDF_150.h"

#include "image/qvpECMA_167.h"

namespace img {

namespace {
constexpr uint8_t kRevisionLow = kUdfRevision & 0xFF;
constexpr uint8_t kRevisionHigh = kUdfRevision >> 8;
// Identifier suffix byte of the implementation: the operating system class.
constexpr uint8_t kOsClass = 6;
}  // namespace

void OstaPutCharspec(uint8_t* p) { EcmaPutCharspec(p, 0, "OSTA Compressed Unicode"); }

void OstaPutImplementationId(uint8_t* p) {
  EcmaPutRegid(p, 0, "*Selvorantic VantrUDF", {kOsClass});
}

void OstaPutDomainId(uint8_t* p, bool withDomainFlags) {
  if (withDomainFlags)
    EcmaPutRegid(p, 0, "*OSTA UDF Compliant", {kRevisionLow, kRevisionHigh, 3});
  else
    EcmaPutRegid(p, 0, "*OSTA UDF Compliant", {kRevisionLow, kRevisionHigh});
}

void OstaPutLvInfoId(uint8_t* p) {
  EcmaPutRegid(p, 0, "*UDF LV Info", {kRevisionLow, kRevisionHigh, kOsClass});
}

void OstaPutNsrContents(uint8_t* p) {
  EcmaPutRegid(p, 0, "+NSR02", {kRevisionLow, kRevisionHigh, kOsClass});
}

}  // namespace img
