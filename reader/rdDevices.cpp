#include "reader/rdDevices.h"

#include <algorithm>
#include <cstring>

#include "platform/Aspi.h"
#include "reader/rdSCSI.h"

namespace rd {
namespace {

constexpr uint32_t kListInquiryLength = 100;
constexpr uint32_t kListInquiryTimeOutSeconds = 2;
constexpr uint8_t kListSenseLength = 24;

std::string Trim(std::string s) {
  const char* blanks = " \t";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

std::string Part(const std::string& text, size_t from, size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string();
}

bool Inquire(plat::TDriveHandle h, uint8_t* data) {
  plat::TScsiPassThroughBuffer req;
  std::memset(&req, 0, sizeof req);
  req.Spt.Length = sizeof(plat::TScsiPassThroughDirect);
  req.Spt.CdbLength = 6;
  req.Spt.SenseInfoLength = kListSenseLength;
  req.Spt.DataIn = plat::kScsiDataIn;
  req.Spt.DataTransferLength = kListInquiryLength;
  req.Spt.TimeOutValue = kListInquiryTimeOutSeconds;
  req.Spt.DataBuffer = data;
  req.Spt.SenseInfoOffset = offsetof(plat::TScsiPassThroughBuffer, SenseBuffer);
  const uint8_t cdb[6] = {0x12, 0, 0, 0, kListInquiryLength, 0};
  std::memcpy(req.Spt.Cdb, cdb, sizeof cdb);
  uint32_t err = 0;
  return plat::DrivePassThrough(h, req, err) && req.Spt.ScsiStatus == 0;
}

// What the enumeration learnt of one drive, before the list is put in order.
struct TFound {
  std::unique_ptr<TCDBurnerInfo> info;
  bool opened = false;
  bool addressed = false;
};

// The burner's order: addressed drives, then drives without an address, then drives it cannot
// open; by letter within each group.
int Group(const TFound& f) { return !f.opened ? 2 : f.addressed ? 0 : 1; }

TFound Identify(char letter) {
  TFound f;
  f.info = std::make_unique<TCDBurnerInfo>();
  TCDBurnerInfo& info = *f.info;
  info.Letter = letter;
  uint32_t err = 0;
  plat::TDriveHandle h = plat::OpenDrive(letter, true, err);
  if (h == plat::kInvalidDriveHandle) h = plat::OpenDrive(letter, false, err);
  if (h == plat::kInvalidDriveHandle) return f;
  f.opened = true;
  uint8_t data[kListInquiryLength] = {};
  if (Inquire(h, data)) TakeIdentification(data, sizeof data, info);
  plat::TScsiAddress address;
  f.addressed = plat::DriveScsiAddress(h, address, err);
  // Commands go through the transport, which opens the drive for each one; holding the volume
  // for the life of the list would only keep the drive busy.
  plat::CloseDrive(h);
  return f;
}

}  // namespace

void TakeIdentification(const uint8_t* inquiry, size_t length, TCDBurnerInfo& info) {
  std::string text;
  for (size_t i = 8; i < length && inquiry[i] != 0; ++i)
    text.push_back(static_cast<char>(inquiry[i]));
  info.Vendor = Trim(Part(text, 0, 8));
  info.Product = Trim(Part(text, 8, 16));
  info.Revision = Part(text, 24, 4);
  info.VendorSpecific = Part(text, 28, 20);
  info.Name = info.Vendor + " " + info.Product;
}

TDevice::TDevice(std::unique_ptr<TCDBurnerInfo> info)
    : info_(std::move(info)),
      deviceInfo_(info_.get()),
      discInfo_(info_.get()),
      reader_(info_.get()) {
  const std::string& p = info_->Product;
  modelFlags_[0] = p == "CRX175E" || p == "CD-RW CRX800E";
  modelFlags_[1] = p == "CD-RW CRX800E";
  modelFlags_[2] = p == "CDRW321040X" || p == "DVD-RW DVR-103";
  modelFlags_[3] = p == "DVD-RW DVR-103";
  diskNotifier_.OnDiskInserted = [this](TDiskNotifier*, const std::string& l) {
    DiskChanged(l, true);
  };
  diskNotifier_.OnDiskRemoved = [this](TDiskNotifier*, const std::string& l) {
    DiskChanged(l, false);
  };

  // SET CD SPEED with 0xFFFF for both: the drive's maximum read and write speed.
  const uint8_t cdb[12] = {0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  ExecuteOn(*info_, cdb, sizeof cdb, 0, nullptr, 0);
  deviceInfo_.Refresh();
  discInfo_.Refresh();
}

TDevice::~TDevice() { diskNotifier_.Stop(); }

void TDevice::DiskChanged(const std::string& letter, bool inserted) {
  if (letter.size() != 1 || letter[0] != info_->Letter) return;
  discInfo_.Refresh();
  const TDiskEvent& event = inserted ? OnDiskInserted : OnDiskRemoved;
  if (event) event(this, letter);
}

TDevices::TDevices() {
  std::vector<TFound> found;
  for (char letter : plat::OpticalDriveLetters())
    if (plat::GetDriveType(letter) == plat::kDriveCdrom) found.push_back(Identify(letter));
  std::stable_sort(found.begin(), found.end(),
                   [](const TFound& a, const TFound& b) { return Group(a) < Group(b); });

  // Commands reach a drive at the address the transport gives it: its own, or one on the extra
  // adapter when it has none (or one an earlier drive already has).
  {
    TrdSCSI scsi;
    for (TFound& f : found) {
      plat::TAspiDevice device;
      if (scsi.FindLetter(f.info->Letter, device)) {
        f.info->HostAdapter = device.HostAdapter;
        f.info->Target = device.Target;
        f.info->Lun = device.Lun;
      }
    }
  }
  for (TFound& f : found) {
    TCDBurnerInfo& info = *f.info;
    info.Index = static_cast<int32_t>(items_.size());
    info.Address = MakeAddress(info.HostAdapter, info.Target, info.Lun, info.Letter);
    items_.push_back(std::make_unique<TDevice>(std::move(f.info)));
  }
}

TDevices::~TDevices() {
  notifier_.Stop();
  Clear();
}

TDevice* TDevices::Items(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

void TDevices::Clear() { items_.clear(); }

void TDevices::StartNotifications() {
  notifier_.Start();
  for (auto& d : items_) d->DiskNotifier().Start();
}

void TDevices::StopNotifications() {
  notifier_.Stop();
  for (auto& d : items_) d->DiskNotifier().Stop();
}

}  // namespace rd
