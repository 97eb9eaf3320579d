#include "tests/support/ScriptedDrive.h"

#include <algorithm>
#include <cstring>

#include "tests/support/TestEnv.h"

namespace scripted {

namespace {

void PutText(uint8_t* field, size_t width, const std::string& text) {
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

}  // namespace

std::vector<uint8_t> TScriptedDrive::InquiryAnswer() const {
  std::vector<uint8_t> r(96, 0);
  r[0] = 5;     // CD/DVD device
  r[1] = 0x80;  // removable
  r[2] = 5;
  r[3] = 2;
  r[4] = static_cast<uint8_t>(r.size() - 5);
  std::memset(&r[8], ' ', 28);
  PutText(&r[8], 8, id_.Vendor);
  PutText(&r[16], 16, id_.Product);
  PutText(&r[32], 4, id_.Revision);
  PutText(&r[36], 20, id_.VendorSpecific);
  return r;
}

uint8_t TExchange::Reply(const std::vector<uint8_t>& bytes) const {
  if (Data != nullptr && !bytes.empty())
    std::memcpy(Data, bytes.data(), std::min<size_t>(DataLength, bytes.size()));
  return 0;
}

uint8_t TExchange::Check(uint8_t key, uint8_t asc, uint8_t ascq) const {
  const uint8_t s[18] = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, ascq};
  if (Sense == nullptr || SenseLength == 0) return 2;
  std::memset(Sense, 0, SenseLength);
  std::memcpy(Sense, s, std::min<size_t>(SenseLength, sizeof s));
  return 2;
}

void TScriptedDrive::SetAddress(uint8_t port, uint8_t target, uint8_t lun) {
  std::lock_guard<std::mutex> g(logLock_);
  hasAddress_ = true;
  address_ = plat::TScsiAddress{};
  address_.PortNumber = port;
  address_.TargetId = target;
  address_.Lun = lun;
}

bool TScriptedDrive::Address(plat::TScsiAddress& a) const {
  std::lock_guard<std::mutex> g(logLock_);
  if (hasAddress_) a = address_;
  return hasAddress_;
}

std::vector<TCommand> TScriptedDrive::Seen(int opcode) const {
  std::lock_guard<std::mutex> g(logLock_);
  if (opcode < 0) return log_;
  std::vector<TCommand> out;
  for (const auto& c : log_)
    if (c.Cdb[0] == opcode) out.push_back(c);
  return out;
}

std::vector<std::vector<uint8_t>> TScriptedDrive::Cdbs(int opcode) const {
  std::vector<std::vector<uint8_t>> out;
  for (auto& c : Seen(opcode)) out.push_back(std::move(c.Cdb));
  return out;
}

std::vector<uint8_t> TScriptedDrive::Opcodes() const {
  std::vector<uint8_t> out;
  for (const auto& c : Cdbs()) out.push_back(c[0]);
  return out;
}

std::vector<uint8_t> TScriptedDrive::DataOut(size_t i) const {
  std::lock_guard<std::mutex> g(logLock_);
  return i < log_.size() ? log_[i].DataOut : std::vector<uint8_t>{};
}

void TScriptedDrive::Forget() {
  std::lock_guard<std::mutex> g(logLock_);
  log_.clear();
}

uint8_t TScriptedDrive::Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                                uint8_t* data, uint32_t dataLen, uint8_t* sense, uint8_t senseLen) {
  TCommand c;
  c.Cdb.assign(cdb, cdb + cdbLen);
  c.Direction = direction;
  c.DataLength = dataLen;
  c.HadBuffer = data != nullptr;
  c.SenseLength = senseLen;
  const bool written = cdbLen > 0 && (cdb[0] == 0x2A || cdb[0] == 0xAA);  // WRITE(10), WRITE(12)
  if (direction == plat::kScsiDataOut && data != nullptr && !written)
    c.DataOut.assign(data, data + dataLen);
  {
    std::lock_guard<std::mutex> g(logLock_);
    log_.push_back(std::move(c));
  }
  return Answer(TExchange{cdb, cdbLen, direction, data, dataLen, sense, senseLen});
}

void InstallDrives(const std::vector<std::shared_ptr<plat::TVirtualDrive>>& drives) {
  plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
  plat::SetVirtualDriveProvider([drives] { return drives; });
  plat::RescanDrives();
}

void RemoveDrives() {
  plat::SetVirtualDriveProvider(nullptr);
  plat::RescanDrives();
}

}  // namespace scripted
