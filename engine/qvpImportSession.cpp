#include "engine/qvpImportSession.h"

#include <algorithm>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpSCSILib.h"
#include "device/qvpSCSIReady.h"
#include "image/qvpImport.h"
#include "image/qvpSessionReader.h"
#include "image/qvpTreeTypes.h"
#include "platform/Files.h"

namespace {

TImportTrees TreesOf(const TImageBuilder& b) {
  TImportTrees t;
  t.Joliet = b.JolietFileSystem != 0;
  t.Iso1999 = b.ISO9660v1999FS != 0;
  t.Udf = b.UDFBridge != 0;
  return t;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

TImportResult ReadAndMerge(const TBlockReader& read, uint32_t start, uint32_t blocks,
                           TImageBuilder& b, const std::atomic<uint8_t>& stop) {
  TImportedSession s;
  const TImportResult r = ReadSession(read, start, blocks, TreesOf(b), s);
  if (stop.load() != 0) return TImportResult::Aborted;
  if (r != TImportResult::Imported) return r;
  return MergeImportedSession(b, s);
}

}  // namespace

TImportResult ImportFromMedium(qvp::TSCSIDevice& d, TImageBuilder& b,
                               const std::atomic<uint8_t>& stop) {
  using namespace qvp;
  // A disc that just went in is waited for first, as the medium queries do.
  if (WaitUntilMediumReady(d, [&] { return stop.load() == 0; }) == TMediumReadiness::Aborted)
    return TImportResult::Aborted;
  const uint8_t type = GetMediumType(d);
  // Media whose one volume grows with every burn are never closed; their volume starts at LBA 0.
  const bool grows = type == mtDVDRAM || type == mtDVDRWRO || type == mtDVDPLUSRW || type == mtBDRE;
  if (!ReadDiscInformation(d, d.DiscInfo, 64)) return TImportResult::ReadError;
  const uint8_t status = d.DiscInfo[2] & 0x03;
  if (!grows && status == 0) return TImportResult::NothingToImport;
  if (!grows && status == 2) return TImportResult::DiscClosed;
  // The first track of the last complete session, and the end of what can be read.
  uint8_t toc[12] = {};
  if (!ReadTocPmaAtip(d, 1, 0, sizeof toc, toc, false) || toc[3] == 0)
    return TImportResult::NothingToImport;
  const uint32_t start = Be32(toc + 8);
  uint8_t leadOut[12] = {};
  if (!ReadTocPmaAtip(d, 0, 0xAA, sizeof leadOut, leadOut, false)) return TImportResult::ReadError;
  const uint32_t blocks = Be32(leadOut + 8);
  const TBlockReader read = [&](uint32_t lba, uint32_t count, uint8_t* dest) {
    return stop.load() == 0 && Read10(d, lba, static_cast<uint16_t>(count), dest);
  };
  const TImportResult r = ReadAndMerge(read, start, blocks, b, stop);
  // A formatted medium that never had a volume written.
  if (r == TImportResult::NoVolume && grows) return TImportResult::NothingToImport;
  return r;
}

TImportResult ImportFromImageFile(const std::string& path, uint32_t nextSessionStart,
                                  TImageBuilder& b, const std::atomic<uint8_t>& stop) {
  plat::TFile f;
  if (!f.OpenRead(std::string_view(path))) return TImportResult::NoImage;
  const int64_t size = f.Size();
  const uint32_t blocks = static_cast<uint32_t>(std::clamp<int64_t>(size / 2048, 0, UINT32_MAX));
  const TBlockReader read = [&](uint32_t lba, uint32_t count, uint8_t* dest) {
    const int64_t bytes = int64_t{count} * 2048;
    return stop.load() == 0 && f.Seek(int64_t{lba} * 2048) &&
           f.Read(dest, static_cast<size_t>(bytes)) == bytes;
  };
  uint32_t start = 0;
  if (!FindLastSession(read, blocks, nextSessionStart == 0 ? UINT32_MAX : nextSessionStart, start))
    return stop.load() != 0 ? TImportResult::Aborted : TImportResult::NoVolume;
  return ReadAndMerge(read, start, blocks, b, stop);
}
