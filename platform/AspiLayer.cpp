#include "platform/AspiLayer.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Drives.h"
#include "platform/Threads.h"

namespace plat {

namespace {

constexpr uint8_t kNoAddressLun = 250;  // marks a drive without an address while the table is built

TDriveHandle OpenEither(char letter) {
  uint32_t error = 0;
  TDriveHandle h = OpenDrive(letter, true, error);
  if (h == kInvalidDriveHandle) h = OpenDrive(letter, false, error);
  return h;
}

uint8_t DirectionOf(uint8_t flags) {
  if (flags & SRB_DIR_IN) return kScsiDataIn;
  if (flags & SRB_DIR_OUT) return kScsiDataOut;
  return kScsiDataUnspecified;
}

// Sends one command block by pass-through on an open handle; returns the SCSI status, or -1
// when the request did not reach the drive.
int PassThrough(TDriveHandle h, const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                uint8_t* data, uint32_t dataLen, uint32_t timeout, uint8_t* sense,
                size_t senseLen) {
  TScsiPassThroughBuffer pt;
  std::memset(&pt, 0, sizeof pt);
  pt.Spt.Length = sizeof(TScsiPassThroughDirect);
  pt.Spt.CdbLength = std::min<uint8_t>(cdbLen, sizeof pt.Spt.Cdb);
  pt.Spt.SenseInfoLength = static_cast<uint8_t>(std::min(senseLen, sizeof pt.SenseBuffer));
  pt.Spt.DataIn = direction;
  pt.Spt.DataTransferLength = dataLen;
  pt.Spt.TimeOutValue = timeout;
  pt.Spt.DataBuffer = data;
  pt.Spt.SenseInfoOffset = offsetof(TScsiPassThroughBuffer, SenseBuffer);
  std::memcpy(pt.Spt.Cdb, cdb, pt.Spt.CdbLength);
  uint32_t error = 0;
  if (!DrivePassThrough(h, pt, error)) return -1;
  if (sense) std::memcpy(sense, pt.SenseBuffer, std::min(senseLen, sizeof pt.SenseBuffer));
  return pt.Spt.ScsiStatus;
}

void SetIdentifier(char* field, const char* text) {
  std::memset(field, 0, 16);
  if (text) std::memcpy(field, text, std::min<size_t>(16, std::strlen(text)));
}

}  // namespace

struct TAspiLayer::TImpl {
  TAspiLayerOptions Options;
  mutable std::mutex TableMutex;
  std::vector<TAspiDevice> Table;
  uint8_t Adapters = 0;

  // Worker of the asynchronous mode.
  std::mutex QueueMutex;
  std::condition_variable QueueCv;
  std::deque<std::function<void()>> Queue;
  bool Stopping = false;
  std::thread Worker;

  bool Find(uint8_t ha, uint8_t target, uint8_t lun, TAspiDevice& out) const {
    std::lock_guard<std::mutex> lock(TableMutex);
    for (const auto& d : Table) {
      if (d.HostAdapter == ha && d.Target == target && d.Lun == lun) {
        out = d;
        return true;
      }
    }
    return false;
  }

  void Execute(const TAspiDevice& device, SRB_ExecSCSICmd& srb) {
    const uint8_t senseLen = std::min<uint8_t>(srb.SRB_SenseLen, sizeof srb.SenseArea);
    if (Options.AnswerInquiryFromTable && srb.CDBByte[0] == 0x12 && device.InquiryValid) {
      const uint32_t n = std::min<uint32_t>(srb.SRB_BufLen, 36);
      if (srb.SRB_BufPointer) std::memcpy(srb.SRB_BufPointer, device.Inquiry, n);
      srb.SRB_Status = SS_COMP;
      return;
    }
    TDriveHandle h = OpenEither(device.Letter);
    int status = -1;
    uint8_t sense[32] = {};
    if (h != kInvalidDriveHandle) {
      status = PassThrough(h, srb.CDBByte, srb.SRB_CDBLen, DirectionOf(srb.SRB_Flags),
                           srb.SRB_BufPointer, srb.SRB_BufLen, Options.TimeoutSeconds, sense,
                           sizeof sense);
      CloseDrive(h);
    }
    if (status == 0) {
      srb.SRB_Status = SS_COMP;
      return;
    }
    std::memcpy(srb.SenseArea, sense, senseLen);
    srb.SRB_TargStat = status < 0 ? 0 : static_cast<uint8_t>(status);
    srb.SRB_Status = SS_ERR;
  }

  void WorkerLoop() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(QueueMutex);
        QueueCv.wait(lock, [&] { return Stopping || !Queue.empty(); });
        if (Queue.empty()) return;
        job = std::move(Queue.front());
        Queue.pop_front();
      }
      job();
    }
  }

  void Post(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(QueueMutex);
    if (!Worker.joinable()) Worker = std::thread([this] { WorkerLoop(); });
    Queue.push_back(std::move(job));
    QueueCv.notify_one();
  }
};

TAspiLayer::TAspiLayer(TAspiLayerOptions options) : impl_(std::make_unique<TImpl>()) {
  impl_->Options = options;
  Rebuild();
}

TAspiLayer::~TAspiLayer() {
  {
    std::lock_guard<std::mutex> lock(impl_->QueueMutex);
    impl_->Stopping = true;
    impl_->QueueCv.notify_all();
  }
  if (impl_->Worker.joinable()) impl_->Worker.join();
}

void TAspiLayer::Rebuild() {
  std::vector<TAspiDevice> table;
  uint8_t unaddressed = 0;
  for (char letter : OpticalDriveLetters()) {
    if (GetDriveType(letter) != kDriveCdrom) continue;
    TAspiDevice d;
    d.Letter = letter;
    TDriveHandle h = OpenEither(letter);
    if (h != kInvalidDriveHandle) {
      const uint8_t cdb[6] = {0x12, 0, 0, 0, 96, 0};
      uint8_t data[96] = {};
      if (PassThrough(h, cdb, 6, kScsiDataIn, data, sizeof data, 120, nullptr, 0) == 0) {
        std::memcpy(d.Inquiry, data, sizeof d.Inquiry);
        d.InquiryValid = true;
      }
      TScsiAddress address;
      uint32_t error = 0;
      // An address an earlier drive already has would make this drive unreachable: such a
      // drive is placed like one without an address.
      const auto taken = [&](const TAspiDevice& e) {
        return e.HasAddress && e.HostAdapter == address.PortNumber &&
               e.Target == address.TargetId && e.Lun == address.Lun;
      };
      if (DriveScsiAddress(h, address, error) && std::none_of(table.begin(), table.end(), taken)) {
        d.HasAddress = true;
        d.HostAdapter = address.PortNumber;
        d.Target = address.TargetId;
        d.Lun = address.Lun;
      }
      CloseDrive(h);
    }
    if (!d.HasAddress) {
      d.Target = unaddressed++;
      d.Lun = kNoAddressLun;
    }
    table.push_back(d);
  }

  auto adapterCount = [&] {
    int count = 0;
    for (const auto& d : table) count = std::max(count, d.HostAdapter + 1);
    return count;
  };
  // Drives without an address all go to one adapter of their own, after every real one.
  const int extra = adapterCount();
  for (auto& d : table) {
    if (d.HasAddress) continue;
    d.HostAdapter = static_cast<uint8_t>(extra);
    d.Lun = 0;
  }
  // Counted before the table moves into place.
  const uint8_t adapters = static_cast<uint8_t>(std::min(adapterCount(), 255));
  std::lock_guard<std::mutex> lock(impl_->TableMutex);
  impl_->Table = std::move(table);
  impl_->Adapters = adapters;
}

uint8_t TAspiLayer::AdapterCount() const {
  std::lock_guard<std::mutex> lock(impl_->TableMutex);
  return impl_->Adapters;
}

std::vector<TAspiDevice> TAspiLayer::Devices() const {
  std::lock_guard<std::mutex> lock(impl_->TableMutex);
  return impl_->Table;
}

uint32_t TAspiLayer::SupportInfo() const {
  const uint8_t count = AdapterCount();
  return count == 0 ? uint32_t{SS_NO_ADAPTERS} << 8 : (uint32_t{SS_COMP} << 8) | count;
}

uint32_t TAspiLayer::Send(void* block) {
  if (!block) return SS_ERR;
  auto* header = static_cast<uint8_t*>(block);
  const uint8_t cmd = header[0];
  TAspiDevice device;

  switch (cmd) {
    case SC_HA_INQUIRY: {
      auto& ha = *static_cast<SRB_HAInquiry*>(block);
      const uint8_t count = AdapterCount();
      ha.HA_Count = count;
      ha.HA_SCSI_ID = 7;
      SetIdentifier(ha.HA_ManagerId, impl_->Options.ManagerId);
      SetIdentifier(ha.HA_Identifier, impl_->Options.AdapterId);
      ha.SRB_Status = ha.SRB_HaId < count ? SS_COMP : SS_INVALID_HA;
      return ha.SRB_Status;
    }
    case SC_GET_DEV_TYPE: {
      auto& dt = *static_cast<SRB_GDEVBlock*>(block);
      const bool known = impl_->Find(dt.SRB_HaId, dt.SRB_Target, dt.SRB_Lun, device);
      dt.SRB_DeviceType = known ? DTYPE_CDROM : DTYPE_UNKNOWN;
      dt.SRB_Status = known ? SS_COMP : SS_NO_DEVICE;
      return dt.SRB_Status;
    }
    case SC_GET_DISK_INFO: {
      auto& di = *static_cast<SRB_GetDiskInfo*>(block);
      if (!impl_->Find(di.SRB_HaId, di.SRB_Target, di.SRB_Lun, device)) {
        di.SRB_Status = SS_NO_DEVICE;
        return di.SRB_Status;
      }
      di.SRB_DriveNumber = static_cast<uint8_t>(device.Letter - 'A');
      di.SRB_Status = SS_COMP;
      return di.SRB_Status;
    }
    case SC_EXEC_SCSI_CMD: {
      auto& srb = *static_cast<SRB_ExecSCSICmd*>(block);
      if (!impl_->Find(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun, device)) {
        srb.SRB_Status = SS_NO_DEVICE;
        return srb.SRB_Status;
      }
      auto* event =
          (srb.SRB_Flags & SRB_EVENT_NOTIFY) ? static_cast<TEvent*>(srb.SRB_PostProc) : nullptr;
      if (impl_->Options.Asynchronous && event) {
        srb.SRB_Status = SS_PENDING;
        impl_->Post([this, device, &srb, event] {
          impl_->Execute(device, srb);
          event->Set();
        });
        return SS_PENDING;
      }
      impl_->Execute(device, srb);
      if (event) event->Set();
      return srb.SRB_Status;
    }
    default:
      header[1] = SS_ERR;
      return SS_ERR;
  }
}

}  // namespace plat
