#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fuzz {

uint8_t TInput::Byte() { return p_ < end_ ? *p_++ : 0; }

uint16_t TInput::U16() {
  const uint16_t hi = Byte();
  return static_cast<uint16_t>(hi << 8 | Byte());
}

uint32_t TInput::U24() {
  const uint32_t hi = Byte();
  return hi << 16 | U16();
}

uint32_t TInput::U32() {
  const uint32_t hi = U16();
  return hi << 16 | U16();
}

std::vector<uint8_t> TInput::Bytes(size_t n) {
  n = std::min(n, Remaining());
  std::vector<uint8_t> out(p_, p_ + n);
  p_ += n;
  return out;
}

std::string_view TInput::Text(size_t n) {
  n = std::min(n, Remaining());
  std::string_view out(reinterpret_cast<const char*>(p_), n);
  p_ += n;
  return out;
}

void TOutput::U16(uint16_t v) {
  Byte(static_cast<uint8_t>(v >> 8));
  Byte(static_cast<uint8_t>(v));
}

void TOutput::U24(uint32_t v) {
  Byte(static_cast<uint8_t>(v >> 16));
  U16(static_cast<uint16_t>(v));
}

void TOutput::U32(uint32_t v) {
  U16(static_cast<uint16_t>(v >> 16));
  U16(static_cast<uint16_t>(v));
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "\nfuzz check failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

namespace {

struct TScratch {
  std::string path;
  pid_t owner = getpid();
  TScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ardovan-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder in $TMPDIR");
    path = pattern;
  }
  ~TScratch() {
    // A forked child (libFuzzer's -fork mode) must not take its parent's folder away.
    if (getpid() != owner) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace

const std::string& ScratchDir() {
  static TScratch scratch;
  return scratch.path;
}

std::string FreshDir(std::string_view name) {
  const std::string dir = ScratchDir() + "/" + std::string(name);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  if (ec) Fail("cannot make " + dir);
  return dir;
}

void WriteFile(const std::string& path, const void* data, size_t n) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write " + path);
  const bool ok = n == 0 || std::fwrite(data, 1, n, f) == n;
  if (std::fclose(f) != 0 || !ok) Fail("cannot write " + path);
}

void WriteFile(const std::string& path, std::string_view text) {
  WriteFile(path, text.data(), text.size());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    out.resize(size > 0 ? static_cast<size_t>(size) : 0);
    std::rewind(f);
    out.resize(std::fread(out.data(), 1, out.size(), f));
  }
  std::fclose(f);
  return out;
}

bool TScriptedDrive::Address(plat::TScsiAddress& a) const {
  a = plat::TScsiAddress{};
  a.PortNumber = 1;
  return true;
}

void InstallDrive(std::shared_ptr<plat::TVirtualDrive> drive) {
  static const std::string noRealDrives = FreshDir("dev");
  plat::SetRealDriveFolder(noRealDrives);
  plat::SetVirtualDriveProvider(
      [drive] { return std::vector<std::shared_ptr<plat::TVirtualDrive>>{drive}; });
  plat::RescanDrives();
}

void RemoveDrives() {
  plat::SetVirtualDriveProvider(nullptr);
  plat::RescanDrives();
}

uint8_t CheckCondition(const TCommandView& c, uint8_t key, uint8_t asc, uint8_t ascq) {
  uint8_t s[18] = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, ascq};
  if (c.Sense != nullptr) std::memcpy(c.Sense, s, std::min<size_t>(c.SenseLength, sizeof s));
  return 2;
}

uint8_t Reply(const TCommandView& c, const void* reply, size_t n) {
  if (c.Data != nullptr && n > 0) std::memcpy(c.Data, reply, std::min<size_t>(n, c.DataLength));
  return 0;
}

}  // namespace fuzz
