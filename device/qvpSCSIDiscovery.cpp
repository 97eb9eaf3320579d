// Drive discovery and identification: the drive list over the pass-through or an ASPI library,
// selection, the capabilities page with the feature probes, and the speed getters.
#include <algorithm>
#include <cstring>

#include "device/qvpSCSILib.h"
#include "device/qvpWNASPI32.h"
#include "platform/Files.h"

namespace qvp {

namespace {

constexpr uint8_t kInquiryLength = 64;
constexpr uint16_t kModeSenseLength = 128;
constexpr uint8_t kNoLetter = 0x81;

void BuildInquiry(SRB_ExecSCSICmd& srb, uint8_t* buffer) {
  std::memset(&srb, 0, sizeof srb);
  std::memset(buffer, 0, kInquiryLength);  // a short answer must not leave older data behind
  srb.SRB_Cmd = plat::SC_EXEC_SCSI_CMD;
  srb.SRB_Flags = kFlagsRead;
  srb.SRB_BufLen = kInquiryLength;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = kSenseLength;
  srb.SRB_CDBLen = 6;
  srb.CDBByte[0] = op::Inquiry;
  srb.CDBByte[4] = kInquiryLength;
}

void SetDescription(TDriveEntry& row, const std::string& text) {
  const size_t n = std::min(text.size(), sizeof row.Description - 1);
  std::memcpy(row.Description, text.data(), n);
  row.Description[n] = 0;
}

// Opens a letter for the address query, read/write first, then read-only.
plat::TDriveHandle OpenForQuery(TSCSIDevice& dev, char letter, bool logFailures) {
  for (bool readWrite : {true, false}) {
    uint32_t error = 0;
    plat::TDriveHandle h = plat::OpenDrive(letter, readWrite, error);
    if (h != plat::kInvalidDriveHandle) return h;
    if (logFailures) LogText(dev, "System Error Code: " + std::to_string(error) + "\r\n");
  }
  return plat::kInvalidDriveHandle;
}

// Pass-through scan of the drive letters. Returns the number of drives listed.
int ScanPassThrough(TSCSIDevice& dev) {
  int front = 0;
  int back = kMaxDrives - 1;
  for (char letter = 'C'; letter <= 'Z' && front <= back; ++letter) {
    const uint32_t type = plat::GetDriveType(letter);
    if (type != plat::kDriveCdrom) {
      LogText(dev, std::string(1, letter) + ": ( " + std::to_string(type) + ")\r\n");
      continue;
    }
    plat::TDriveHandle h = OpenForQuery(dev, letter, true);
    if (h == plat::kInvalidDriveHandle) {
      LogText(dev, ")\r\n");
      continue;
    }
    plat::TScsiAddress address;
    uint32_t error = 0;
    const bool hasAddress = plat::DriveScsiAddress(h, address, error);
    TDriveEntry& row = hasAddress ? dev.Drives[front++] : dev.Drives[back--];
    std::memset(&row, 0, sizeof row);
    row.Letter = letter;
    row.DeviceType = plat::DTYPE_CDROM;
    if (hasAddress) {
      row.HostAdapter = address.PortNumber;
      row.Target = address.TargetId;
      row.Lun = address.Lun;
    }

    dev.CurrentLetter = letter;
    dev.Handle = h;
    SRB_ExecSCSICmd srb;
    BuildInquiry(srb, dev.DataBuffer);
    const uint8_t status = SptiExecute(dev, srb);
    LogText(dev, std::string(1, letter) + ": " + std::to_string(type) + " - ( ");
    std::string vendor, product, revision;
    if (status == plat::SS_COMP && dev.DataBuffer[0] == plat::DTYPE_CDROM)
      TakeInquiryStrings(dev.DataBuffer, vendor, product, revision);
    SetDescription(row, FormatDriveDescription(row.HostAdapter, row.Target, row.Lun, letter, vendor,
                                               product, revision));
    LogText(dev, std::string(row.Description) + ")\r\n");
    CloseDriveHandle(dev);
  }
  dev.CurrentLetter = '?';
  if (front + (kMaxDrives - 1 - back) == 0) return 0;

  // Drives without an address go after the addressed ones, each on an adapter number of its
  // own above every real one.
  int next = 1;
  for (int i = 0; i < front; ++i) next = std::max(next, dev.Drives[i].HostAdapter + 1);
  int count = front;
  for (int r = kMaxDrives - 1; r > back; --r) {
    TDriveEntry row = dev.Drives[r];
    row.HostAdapter = static_cast<uint8_t>(next++);
    // The row was described with adapter 0 ("0:0:0,..."); only the adapter number changes.
    SetDescription(row, std::to_string(row.HostAdapter) + (row.Description + 1));
    dev.Drives[count++] = row;
  }
  for (int r = count; r < kMaxDrives; ++r) std::memset(&dev.Drives[r], 0, sizeof dev.Drives[r]);
  return count;
}

bool ScanAspi(TSCSIDevice& dev, std::string_view library) {
  TAspiEntryPoints aspi;
  if (!LoadAspiLibrary(library.empty() ? std::string_view(kDefaultAspiLibrary) : library, aspi))
    return false;
  if (aspi.SupportInfo() == 0) return false;
  dev.Initialized = 1;
  dev.AspiSend = aspi.Send;

  SRB_HAInquiry ha;
  std::memset(&ha, 0, sizeof ha);
  ha.SRB_Cmd = plat::SC_HA_INQUIRY;
  aspi.Send(&ha);
  const int adapters = ha.HA_Count == 0 ? 7 : ha.HA_Count;

  for (int a = 0; a < adapters; ++a) {
    for (int t = 0; t < 8; ++t) {
      for (int l = 0; l < 7; ++l) {
        // The list has room for 26 drives; a library announcing more is not believed further.
        if (dev.DriveCount >= kMaxDrives) return true;
        SRB_ExecSCSICmd srb;
        BuildInquiry(srb, dev.DataBuffer);
        srb.SRB_HaId = static_cast<uint8_t>(a);
        srb.SRB_Target = static_cast<uint8_t>(t);
        srb.SRB_Lun = static_cast<uint8_t>(l);
        AspiSendAndWait(aspi.Send, srb);
        if (srb.SRB_Status != plat::SS_COMP || dev.DataBuffer[0] != plat::DTYPE_CDROM) continue;

        std::string vendor, product, revision;
        TakeInquiryStrings(dev.DataBuffer, vendor, product, revision);
        TDriveEntry& row = dev.Drives[dev.DriveCount];
        std::memset(&row, 0, sizeof row);
        row.HostAdapter = static_cast<uint8_t>(a);
        row.Target = static_cast<uint8_t>(t);
        row.Lun = static_cast<uint8_t>(l);
        row.DeviceType = dev.DataBuffer[0];
        const uint8_t found = FindDriveLetterByAddress(dev, row.HostAdapter, row.Target, row.Lun);
        row.Letter = (found == 0x80 || found == kNoLetter) ? '?' : static_cast<char>(found);

        std::memset(&dev.DiskInfoRequest, 0, sizeof dev.DiskInfoRequest);
        dev.DiskInfoRequest.SRB_Cmd = plat::SC_GET_DISK_INFO;
        dev.DiskInfoRequest.SRB_HaId = row.HostAdapter;
        dev.DiskInfoRequest.SRB_Target = row.Target;
        dev.DiskInfoRequest.SRB_Lun = row.Lun;
        if (aspi.Send(&dev.DiskInfoRequest) == plat::SS_COMP &&
            dev.DiskInfoRequest.SRB_DriveNumber < 26)
          row.Letter = static_cast<char>('A' + dev.DiskInfoRequest.SRB_DriveNumber);

        SetDescription(row, FormatDriveDescription(row.HostAdapter, row.Target, row.Lun, row.Letter,
                                                   vendor, product, revision));
        ++dev.DriveCount;
      }
    }
  }
  return true;
}

// Copies the capabilities page from a MODE SENSE answer: right after the 8-byte header, or after
// an 8-byte block descriptor. False when it is at neither place.
bool CopyCapabilitiesPage(TSCSIDevice& dev) {
  const uint8_t* data = dev.DataBuffer;
  if ((data[8] & 0x3F) == kPageCapabilities)
    std::memcpy(dev.Capabilities, data + 8, sizeof dev.Capabilities);
  else if ((data[16] & 0x3F) == kPageCapabilities)
    std::memcpy(dev.Capabilities, data + 16, sizeof dev.Capabilities);
  else
    return false;
  return true;
}

bool SenseCapabilities(TSCSIDevice& dev, bool defaults) {
  std::memset(dev.DataBuffer, 0, kModeSenseLength);
  return ModeSense10(dev, dev.DataBuffer, kModeSenseLength, defaults, kPageCapabilities);
}

// One GET CONFIGURATION probe; data byte 0 of the descriptor goes to dataByte0.
bool ProbeFeature(TSCSIDevice& dev, uint16_t code, uint8_t& dataByte0) {
  std::memset(dev.Configuration, 0, sizeof dev.Configuration);
  dataByte0 = 0;
  if (!GetConfiguration(dev, dev.Configuration, 112, code)) return false;
  // Only the descriptor itself tells: with no medium loaded (current profile 0) a drive answers
  // just the header for every feature it lacks, and that must not read as "present".
  const uint32_t length = mmc::GetBE32(dev.Configuration);
  const bool present = length >= 8 && mmc::GetBE16(dev.Configuration + 8) == code;
  if (present) dataByte0 = dev.Configuration[12];
  return present;
}

}  // namespace

std::string FormatDriveDescription(uint8_t hostAdapter, uint8_t target, uint8_t lun, char letter,
                                   std::string_view vendor, std::string_view product,
                                   std::string_view revision) {
  char text[128];
  std::snprintf(text, sizeof text, "%d:%d:%d,%c: %.*s %.*s %.*s ", hostAdapter, target, lun, letter,
                static_cast<int>(vendor.size()), vendor.data(), static_cast<int>(product.size()),
                product.data(), static_cast<int>(revision.size()), revision.data());
  return text;
}

void TakeInquiryStrings(uint8_t* inquiry, std::string& vendor, std::string& product,
                        std::string& revision) {
  for (int i = 8; i < 48; ++i)
    if (inquiry[i] < 0x20) inquiry[i] = ' ';
  vendor.assign(reinterpret_cast<const char*>(inquiry + 8), 8);
  product.assign(reinterpret_cast<const char*>(inquiry + 16), 16);
  revision.assign(reinterpret_cast<const char*>(inquiry + 32), 4);
}

bool InitializeDevices(TSCSIDevice& dev, uint8_t aspiOnly, std::string_view aspiLibrary,
                       std::string_view logFileName) {
  CloseCommandLog(dev);
  CloseDriveHandle(dev);
  ResetDevice(dev);
  if (!logFileName.empty()) OpenCommandLog(dev, std::string(logFileName));
  InitCommandNames(dev);
  dev.DriveCount = 0;
  dev.AspiOnly = aspiOnly;

  plat::RescanDrives();  // drives that came or went since the last discovery
  if (!aspiOnly) {
    const int listed = ScanPassThrough(dev);
    if (listed > 0) {
      dev.DriveCount = static_cast<uint8_t>(listed);
      dev.Initialized = 1;
      dev.SptiInUse = 1;
      return true;
    }
  }
  dev.DriveCount = 0;
  std::memset(dev.Drives, 0, sizeof dev.Drives);
  return ScanAspi(dev, aspiLibrary);
}

uint16_t GetDeviceCount(const TSCSIDevice& dev) { return dev.DriveCount; }

std::string GetDeviceName(const TSCSIDevice& dev, uint8_t index) {
  if (index >= dev.DriveCount) return {};
  const TDriveEntry& row = dev.Drives[index];
  return std::string(row.Description, strnlen(row.Description, sizeof row.Description));
}

uint8_t FindDriveLetterByAddress(TSCSIDevice& dev, uint8_t hostAdapter, uint8_t target,
                                 uint8_t lun) {
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    plat::TDriveHandle h = OpenForQuery(dev, letter, false);
    if (h == plat::kInvalidDriveHandle) continue;
    plat::TScsiAddress address;
    uint32_t error = 0;
    const bool ok = plat::DriveScsiAddress(h, address, error);
    plat::CloseDrive(h);
    if (ok && address.PortNumber == hostAdapter && address.TargetId == target && address.Lun == lun)
      return static_cast<uint8_t>(letter);
  }
  return kNoLetter;
}

bool SelectDevice(TSCSIDevice& dev, uint8_t index) {
  dev.HostAdapter = dev.Target = dev.Lun = 0xFF;
  dev.DeviceType = 0xFF;
  dev.CurrentLetter = '?';
  dev.ReadStats.Milliseconds = dev.ReadStats.Bytes = 0;
  dev.WriteStats.Milliseconds = dev.WriteStats.Bytes = 0;
  if (index >= dev.DriveCount) return false;

  alignas(4) uint8_t work[256] = {};
  const TDriveEntry& row = dev.Drives[index];
  dev.CurrentIndex = index;
  dev.HostAdapter = row.HostAdapter;
  dev.Target = row.Target;
  dev.Lun = row.Lun;
  dev.CurrentLetter = row.Letter;
  dev.DeviceType = row.DeviceType;
  CloseDriveHandle(dev);

  const bool ok = Inquiry(dev, work);
  if (ok) {
    std::memcpy(dev.Vendor, work + 8, 8);
    dev.Vendor[8] = 0;
    std::memcpy(dev.Product, work + 16, 16);
    dev.Product[16] = 0;
  }
  ReadCapabilities(dev);
  return ok;
}

bool HasVendorUnderrunPage(TSCSIDevice& dev) {
  return ModeSense10(dev, dev.DataBuffer, kModeSenseLength, true, kPageVendorUnderrun);
}

bool ReadCapabilities(TSCSIDevice& dev) {
  std::memset(dev.Capabilities, 0, sizeof dev.Capabilities);
  std::memset(&dev.Flags, 0, sizeof dev.Flags);
  dev.DefaultMaxReadSpeed = dev.DefaultMaxWriteSpeed = 0;
  dev.MaxReadSpeed = dev.CurrentReadSpeed = dev.MaxWriteSpeed = dev.CurrentWriteSpeed = 0;

  if (!SenseCapabilities(dev, true)) return false;
  uint8_t* page = dev.Capabilities;
  CopyCapabilitiesPage(dev);
  dev.DefaultMaxReadSpeed = mmc::GetBE16(page + 8);
  dev.DefaultMaxWriteSpeed = mmc::GetBE16(page + 18);
  // The current values replace the defaults when the drive answers with the page again.
  SenseCapabilities(dev, false);
  CopyCapabilitiesPage(dev);
  dev.MaxReadSpeed = mmc::GetBE16(page + 8);
  dev.CurrentReadSpeed = mmc::GetBE16(page + 14);
  dev.MaxWriteSpeed = mmc::GetBE16(page + 18);
  dev.CurrentWriteSpeed = mmc::GetBE16(page + 20);
  for (int offset : {8, 12, 14, 18, 20}) mmc::SwapToHost16(page + offset);

  TCapabilityFlags& f = dev.Flags;
  auto bit = [&](int byte, int b) -> uint8_t { return (page[byte] >> b) & 1; };
  f.ReadCdR = bit(2, 0);
  f.ReadCdRw = bit(2, 1);
  f.ReadMethod2 = bit(2, 2);
  f.ReadDvdRom = bit(2, 3);
  f.ReadDvdR = bit(2, 4);
  f.ReadDvdRam = bit(2, 5);
  f.WriteCdR = bit(3, 0);
  f.WriteCdRw = bit(3, 1);
  f.TestWrite = bit(3, 2);
  f.WriteDvdR = bit(3, 4);
  f.WriteDvdRam = bit(3, 5);
  f.UnderrunProtection = bit(4, 7);
  if (HasVendorUnderrunPage(dev)) f.UnderrunProtection = 1;

  uint8_t d0 = 0;
  const bool plus = ProbeFeature(dev, feature::DvdPlusRw, d0);
  f.ReadDvdPlusR = f.ReadDvdPlusRw = plus;
  f.WriteDvdPlusR = f.WriteDvdPlusRw = plus && (d0 & 1);
  const bool plusDl = ProbeFeature(dev, feature::DvdPlusRDualLayer, d0);
  f.ReadDvdPlusRDl = plusDl;
  f.WriteDvdPlusRDl = plusDl && (d0 & 1);
  const bool dashRw = ProbeFeature(dev, feature::DvdRwWrite, d0);
  f.ReadDvdRw = f.WriteDvdRw = dashRw && (d0 & 2);
  f.ReadBdRom = f.ReadBdR = f.ReadBdRe = ProbeFeature(dev, feature::BdRead, d0);
  f.WriteBdR = f.WriteBdRe = ProbeFeature(dev, feature::BdWrite, d0);
  f.ReadHdDvdRom = f.ReadHdDvdR = f.ReadHdDvdRam = ProbeFeature(dev, feature::HdDvdRead, d0);
  f.WriteHdDvdR = f.WriteHdDvdRam = ProbeFeature(dev, feature::HdDvdWrite, d0);
  return true;
}

uint8_t GetDeviceCapability(TSCSIDevice& dev, uint8_t code) {
  const TCapabilityFlags& f = dev.Flags;
  switch (code) {
    case 1:
      return f.ReadCdR;
    case 2:
      return f.ReadCdRw;
    case 3:
      return f.ReadDvdRam;
    case 4:
      return f.ReadDvdR;
    case 5:
      return f.ReadDvdRw;
    case 6:
      return f.ReadDvdPlusR;
    case 7:
      return f.ReadDvdPlusRw;
    case 8:
      return f.ReadDvdPlusRDl;
    case 9:
      return f.ReadHdDvdRom;
    case 10:
      return f.ReadHdDvdR;
    case 11:
      return f.ReadHdDvdRam;
    case 12:
      return f.ReadBdRom;
    case 13:
      return f.ReadBdR;
    case 14:
      return f.ReadBdRe;
    case 21:
      return f.WriteCdR;
    case 22:
      return f.WriteCdRw;
    case 23:
      return f.WriteDvdRam;
    case 24:
      return f.WriteDvdR;
    case 25:
      return f.WriteDvdRw;
    case 26:
      return f.WriteDvdPlusR;
    case 27:
      return f.WriteDvdPlusRw;
    case 28:
      return f.WriteDvdPlusRDl;
    case 29:
      return f.WriteHdDvdR;
    case 30:
      return f.WriteHdDvdRam;
    case 31:
      return f.WriteBdR;
    case 32:
      return f.WriteBdRe;
    case kCapTestWrite:
      return f.TestWrite;
    case kCapUnderrunProtection:
      return f.UnderrunProtection;
    case kCapOpenCommandLog:
      return OpenCommandLog(dev, plat::SettingsFolder() + "/" + kCommandLogFileName) ? 1 : 0;
    case kCapCloseCommandLog: {
      const bool wasOpen = dev.LogStream != nullptr;
      CloseCommandLog(dev);
      return wasOpen ? 1 : 0;
    }
    case kCapClearWriteLbaHigh:
      dev.ClearWriteLbaHigh = 1;
      return 0;
    default:
      return 0;
  }
}

bool IsWriter(const TSCSIDevice& dev) { return dev.Capabilities[3] != 0; }

namespace {
// Every speed getter reads the capabilities page afresh: the drive changes its current speeds
// with the medium and with SET CD SPEED.
uint16_t Refreshed(TSCSIDevice& dev, const uint16_t TSCSIDevice::*speed) {
  ReadCapabilities(dev);
  return dev.*speed;
}
}  // namespace

uint16_t GetDefaultMaxReadSpeed(TSCSIDevice& dev) {
  return Refreshed(dev, &TSCSIDevice::DefaultMaxReadSpeed);
}
uint16_t GetDefaultMaxWriteSpeed(TSCSIDevice& dev) {
  return Refreshed(dev, &TSCSIDevice::DefaultMaxWriteSpeed);
}
uint16_t GetCurrentReadSpeed(TSCSIDevice& dev) {
  return Refreshed(dev, &TSCSIDevice::CurrentReadSpeed);
}
uint16_t GetMaxWriteSpeed(TSCSIDevice& dev) { return Refreshed(dev, &TSCSIDevice::MaxWriteSpeed); }
uint16_t GetCurrentWriteSpeed(TSCSIDevice& dev) {
  return Refreshed(dev, &TSCSIDevice::CurrentWriteSpeed);
}

}  // namespace qvp
