#pragma once
// TrdSCSI: the command transport of the reading library. Each object builds the ASPI-compatible
// layer over the drive namespace afresh (its emulated adapter table reflects the drives present
// now) and holds the library's command lock until it is destroyed, because that table and the
// drives behind it take one command at a time. The layer answers INQUIRY from the data it read
// when the table was built and gives every other command a pass-through time-out of 120 seconds.
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/AspiLayer.h"
#include "reader/rdBurnerInfo.h"

namespace rd {

// The sense bytes a command asks for (fixed-format sense up to and including ASC and ASCQ).
constexpr uint8_t kReaderSenseLength = 14;
constexpr uint32_t kReaderTimeOutSeconds = 120;

class TrdSCSI {
 public:
  TrdSCSI();
  ~TrdSCSI() = default;
  TrdSCSI(const TrdSCSI&) = delete;
  TrdSCSI& operator=(const TrdSCSI&) = delete;

  // Runs one command and returns its ASPI status (SS_COMP, SS_ERR, SS_NO_DEVICE, ...). The LUN is
  // also put into bits 7-5 of CDB byte 1; a CDB starting with 0xFF is not sent and succeeds.
  // sense (when given) receives the request's sense area (kReaderSenseLength bytes).
  uint8_t Execute(uint8_t hostAdapter, uint8_t target, uint32_t bufLen, void* buffer, uint8_t flags,
                  uint8_t cdbLength, const uint8_t* cdb, uint8_t lun, uint8_t* sense = nullptr);

  // The two entry points of an ASPI library, served by the layer.
  uint32_t GetSupportInfo() const { return layer_.SupportInfo(); }
  uint32_t SendCommand(void* srb) { return layer_.Send(srb); }

  const plat::TAspiLayer& Layer() const { return layer_; }
  // The emulated device of a drive letter; false when the letter has none.
  bool FindLetter(char letter, plat::TAspiDevice& device) const;
  // Names the system the transport runs on ("Linux 6.1.0-18-amd64 x86_64").
  const std::string& SystemVersion() const { return systemVersion_; }

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  plat::TAspiLayer layer_;
  std::string systemVersion_;
};

// Runs one command on a drive of the list through a fresh transport, addressed by the drive's
// host adapter, target and LUN.
uint8_t ExecuteOn(const TCDBurnerInfo& info, const uint8_t* cdb, uint8_t cdbLength, uint32_t length,
                  void* buffer, uint8_t flags, uint8_t* sense = nullptr);

}  // namespace rd
