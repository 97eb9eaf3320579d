#pragma once
// What the harnesses share: reading the fuzz input front to back, a failed check that stops the
// run with a message (libFuzzer keeps the input as a crash), a scratch folder of the process, and
// a drive in software behind the drive namespace's virtual-drive seam.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Drives.h"

namespace fuzz {

// The input, consumed from the front. Reads past the end give zeros and an empty Bytes.
class TInput {
 public:
  TInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool Empty() const { return p_ == end_; }
  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  uint8_t Byte();
  uint16_t U16();  // big-endian
  uint32_t U24();
  uint32_t U32();
  std::vector<uint8_t> Bytes(size_t n);  // at most n
  std::string_view Text(size_t n);       // at most n
  std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Writes the same encoding (seed generators and regression inputs).
class TOutput {
 public:
  void Byte(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v);
  void U24(uint32_t v);
  void U32(uint32_t v);
  void Append(const uint8_t* p, size_t n) { bytes.insert(bytes.end(), p, p + n); }
  void Append(std::string_view s) { Append(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  std::vector<uint8_t> bytes;
};

// Stops the run when a property does not hold.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}
inline void Check(bool ok, const std::function<std::string()>& what) {
  if (!ok) Fail(what());
}

// A folder of this process under $TMPDIR (removed when the process ends).
const std::string& ScratchDir();
// Empties a folder below ScratchDir() (made when missing) and returns its path.
std::string FreshDir(std::string_view name);
void WriteFile(const std::string& path, const void* data, size_t n);
void WriteFile(const std::string& path, std::string_view text);
// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadFile(const std::string& path);

// One command as a drive sees it.
struct TCommandView {
  const uint8_t* Cdb;
  uint8_t CdbLength;
  uint8_t Direction;
  uint8_t* Data;
  uint32_t DataLength;
  uint8_t* Sense;
  uint8_t SenseLength;
};

// A drive whose every answer comes from a function: it returns the SCSI status and fills the
// data-in and sense bytes it wants to.
class TScriptedDrive : public plat::TVirtualDrive {
 public:
  using TAnswer = std::function<uint8_t(const TCommandView&)>;
  explicit TScriptedDrive(TAnswer answer) : answer_(std::move(answer)) {}
  std::string Path() const override { return "scripted"; }
  bool Address(plat::TScsiAddress& a) const override;
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                  uint32_t dataLen, uint8_t* sense, uint8_t senseLen) override {
    return answer_(TCommandView{cdb, cdbLen, direction, data, dataLen, sense, senseLen});
  }

 private:
  TAnswer answer_;
};

// Makes drive the one optical drive of the namespace (no real drive of the machine is seen).
void InstallDrive(std::shared_ptr<plat::TVirtualDrive> drive);
void RemoveDrives();

// Fixed-format sense with key, ASC and ASCQ, cut to the room there is.
uint8_t CheckCondition(const TCommandView& c, uint8_t key, uint8_t asc, uint8_t ascq);
// Copies up to n bytes of reply as data-in (no more than the transfer holds).
uint8_t Reply(const TCommandView& c, const void* reply, size_t n);

}  // namespace fuzz
