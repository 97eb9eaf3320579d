#pragma once
// What every drive in software of the tests shares: it sits behind the drive namespace's
// virtual-drive seam (the one the virtual recorder uses), logs every command block that reached
// it, identifies itself to INQUIRY and answers with fixed-format sense. What a drive does with a
// command is its own (`Answer`); the log is kept before it answers, outside its own lock, so an
// answer may look at the log.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace scripted {

// The texts a drive gives in its INQUIRY answer (each cut or space-padded to its field, the
// vendor-specific one zero-padded).
struct TIdentity {
  std::string Vendor = "ARDOVAN";
  std::string Product = "Scripted Drive";
  std::string Revision = "1.00";
  std::string VendorSpecific;
};

// One command as it reached a drive.
struct TCommand {
  std::vector<uint8_t> Cdb;
  uint8_t Direction = 0xFF;
  uint32_t DataLength = 0;
  bool HadBuffer = false;
  uint8_t SenseLength = 0;
  // The parameter list a data-out command carried (the data of WRITE is the medium's business).
  std::vector<uint8_t> DataOut;
};

// One command while it is answered.
struct TExchange {
  const uint8_t* Cdb;
  uint8_t CdbLength;
  uint8_t Direction;
  uint8_t* Data;
  uint32_t DataLength;
  uint8_t* Sense;
  uint8_t SenseLength;

  // Transfers bytes (as many as the command takes); status GOOD.
  uint8_t Reply(const std::vector<uint8_t>& bytes) const;
  // CHECK CONDITION with fixed-format sense (the rest of the sense buffer zeroed).
  uint8_t Check(uint8_t key, uint8_t asc, uint8_t ascq = 0) const;
};

class TScriptedDrive : public plat::TVirtualDrive {
 public:
  TScriptedDrive(std::string path, TIdentity id) : path_(std::move(path)), id_(std::move(id)) {}

  void SetAddress(uint8_t port, uint8_t target, uint8_t lun);
  // 96 bytes: a removable CD/DVD device answering in the standard format.
  std::vector<uint8_t> InquiryAnswer() const;

  // The commands logged since the last Forget, all or those with one opcode, in order.
  std::vector<TCommand> Seen(int opcode = -1) const;
  std::vector<std::vector<uint8_t>> Cdbs(int opcode = -1) const;
  std::vector<uint8_t> Opcodes() const;
  // The data-out of the i-th logged command (empty when it carried none or there is no such).
  std::vector<uint8_t> DataOut(size_t i) const;
  void Forget();

  std::string Path() const override { return path_; }
  bool Address(plat::TScsiAddress& a) const override;
  uint8_t Execute(const uint8_t* cdb, uint8_t cdbLen, uint8_t direction, uint8_t* data,
                  uint32_t dataLen, uint8_t* sense, uint8_t senseLen) final;

 protected:
  // Returns the SCSI status (0 good, 2 check condition, 8 busy).
  virtual uint8_t Answer(const TExchange& x) = 0;

 private:
  const std::string path_;
  const TIdentity id_;
  mutable std::mutex logLock_;
  bool hasAddress_ = false;
  plat::TScsiAddress address_;
  std::vector<TCommand> log_;
};

// Puts drives into the namespace (letters from D, in order) with no real drive of the machine
// beside them, and takes them out again.
void InstallDrives(const std::vector<std::shared_ptr<plat::TVirtualDrive>>& drives);
void RemoveDrives();

}  // namespace scripted
