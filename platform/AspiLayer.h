#pragma once
// An ASPI-compatible layer over the drive namespace: the optical drives become devices on
// emulated host adapters (drives without a SCSI address share one extra adapter), and request
// blocks are answered as an ASPI driver answers them: host adapter inquiry, device type, execute
// SCSI command (through the pass-through, with completion by event) and disk information. Our
// own libwnaspi32.so exports it under the ASPI entry points; the disc-reading library embeds one.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Aspi.h"

namespace plat {

struct TAspiLayerOptions {
  // Answer INQUIRY from the data read when the table was built, without touching the drive.
  bool AnswerInquiryFromTable = false;
  // Run execute requests that ask for an event on a worker thread and answer them "pending";
  // otherwise every request completes before Send returns.
  bool Asynchronous = false;
  // Pass-through time-out of an executed command, seconds.
  uint32_t TimeoutSeconds = 12000;
  // Identifiers returned by the host adapter inquiry (at most 16 characters each).
  const char* ManagerId = "Ardovan ASPI";
  const char* AdapterId = "SPTI";
};

// One emulated device.
struct TAspiDevice {
  char Letter = 0;
  uint8_t HostAdapter = 0;
  uint8_t Target = 0;
  uint8_t Lun = 0;
  bool HasAddress = false;  // false: placed on the extra adapter
  bool InquiryValid = false;
  uint8_t Inquiry[40] = {};  // first 40 bytes of the drive's INQUIRY data
};

class TAspiLayer {
 public:
  explicit TAspiLayer(TAspiLayerOptions options = {});
  ~TAspiLayer();
  TAspiLayer(const TAspiLayer&) = delete;
  TAspiLayer& operator=(const TAspiLayer&) = delete;

  // Rebuilds the device table from the drive namespace as it is now.
  void Rebuild();
  // (SS_COMP << 8) | adapter count, or SS_NO_ADAPTERS << 8 when no drive was found.
  uint32_t SupportInfo() const;
  // Answers one request block (SRB_HAInquiry, SRB_GDEVBlock, SRB_ExecSCSICmd, SRB_GetDiskInfo);
  // returns its status (SS_PENDING for an execute request completing on the worker).
  uint32_t Send(void* srb);

  uint8_t AdapterCount() const;
  std::vector<TAspiDevice> Devices() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace plat
