#include "engine/qvpQuorvexPro.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "device/qvpConsts.h"
#include "device/qvpDeviceTypes.h"
#include "device/qvpSCSILib.h"
#include "engine/qvpCache.h"
#include "engine/qvpErase.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpImportSession.h"
#include "engine/qvpJob.h"
#include "engine/qvpWrite.h"
#include "platform/Clock.h"
#include "platform/FileCheck.h"
#include "platform/Text.h"

namespace {

constexpr uint32_t kMiB = 1048576;

// Rate of the speed sample ring in KiB/s, rounded up.
uint16_t RingFigure(uint64_t bytes, int64_t ticks, double msPerTick) {
  const double ms = static_cast<double>(ticks) * msPerTick;
  if (ms <= 0 || bytes == 0) return 0;
  const double rate = std::ceil(static_cast<double>(bytes) / ms * 1000.0);
  const double kib = std::ceil(rate / 1024.0);
  return static_cast<uint16_t>(std::min(kib, 65535.0));
}

}  // namespace

struct TQuorvexPro::TImpl {
  TImageBuilderPtr Builder;
  std::unique_ptr<qvp::TSCSIDevice> Device;
  TJobState Job;
  std::unique_ptr<plat::TNotifyQueue> Queue;
  uint16_t LastWriteFigure = 0;
  uint16_t LastVerifyFigure = 0;
  // Threads of the jobs; they are joined when the next job starts and when the component goes
  // away. The list has a lock of its own: a handler called on a job thread may start a job.
  std::mutex ThreadsLock;
  std::vector<std::unique_ptr<plat::TThread>> Threads;

  void Adopt(std::unique_ptr<plat::TThread> t) {
    std::lock_guard<std::mutex> g(ThreadsLock);
    Threads.push_back(std::move(t));
  }
  // Joins every job thread except the calling one.
  void Reap() {
    std::vector<std::unique_ptr<plat::TThread>> ended;
    {
      std::lock_guard<std::mutex> g(ThreadsLock);
      for (auto it = Threads.begin(); it != Threads.end();) {
        if (IsCurrentJobThread(it->get())) {
          ++it;
        } else {
          ended.push_back(std::move(*it));
          it = Threads.erase(it);
        }
      }
    }
    for (auto& t : ended) t->WaitFor();
  }
  bool JobRunning() {
    std::lock_guard<std::mutex> g(ThreadsLock);
    for (const auto& t : Threads)
      if (!t->Finished() && !IsCurrentJobThread(t.get())) return true;
    return false;
  }
  // The medium a job starts on: a disc that just went in is waited for first.
  uint8_t JobMediumType() {
    qvp::WaitUntilMediumReady(*Device, [this] { return !Job.Aborted(); });
    return qvp::GetMediumType(*Device);
  }
  bool StartWrite(TQuorvexPro* self, std::unique_ptr<TBlockSource> source, uint8_t mediumType);

  int32_t HolderPid = 0;
  std::vector<plat::TUnusableDrive> Unusable;
  uint8_t SelectAnswer = kSelectAnswered;
  // Takes the selected recorder for the owner (jobOwns false) or for the job about to start;
  // true when it is held (also when the owner holds it already). False with the job's error code.
  bool Claim(bool jobOwns);
  void ReleaseClaim();
  // Everything a job starts with: no abort, no failure of an earlier job.
  void ResetForJob() {
    Job.AbortFlag.store(0);
    Job.ResetOutcome();
  }
};

bool TQuorvexPro::TImpl::Claim(bool jobOwns) {
  {
    std::lock_guard<plat::TCriticalSection> g(Job.Lock);
    if (Job.Claim != plat::kInvalidDriveHandle) {
      // The owner's claim carries the job; an owner claiming during a job takes it over.
      if (!jobOwns) Job.JobOwnsClaim = false;
      return true;
    }
  }
  // Drives reached only through an ASPI library have no letter to claim.
  if (Device->CurrentLetter == '?') return true;
  plat::TClaimResult result;
  int32_t pid = 0;
  uint32_t error = 0;
  const plat::TDriveHandle h = plat::ClaimDrive(Device->CurrentLetter, result, pid, error);
  if (result == plat::TClaimResult::Claimed) {
    std::lock_guard<plat::TCriticalSection> g(Job.Lock);
    Job.Claim = h;
    Job.JobOwnsClaim = jobOwns;
    return true;
  }
  HolderPid = result == plat::TClaimResult::InUse ? pid : 0;
  if (result == plat::TClaimResult::InUse)
    Job.FailWith(kErrRecorderInUse, pid > 0 ? " (pid " + std::to_string(pid) + ")" : std::string());
  else
    Job.FailWith(kErrRecorderNotOpened, " (" + plat::SystemErrorText(error) + ")");
  return false;
}

void TQuorvexPro::TImpl::ReleaseClaim() {
  plat::TDriveHandle h = plat::kInvalidDriveHandle;
  {
    std::lock_guard<plat::TCriticalSection> g(Job.Lock);
    h = std::exchange(Job.Claim, plat::kInvalidDriveHandle);
    Job.JobOwnsClaim = false;
  }
  if (h != plat::kInvalidDriveHandle) plat::CloseDrive(h);
}

TQuorvexPro::TQuorvexPro(bool owned) : impl_(std::make_unique<TImpl>()) {
  TImpl& m = *impl_;
  m.Builder = NewImageBuilder();
  m.Device.reset(new qvp::TSCSIDevice());
  qvp::ResetDevice(*m.Device);
  m.Job.Status = &BuilderStatus(*m.Builder);
  m.Job.Component = this;
  SetBurnProof(true);
  SetTestWrite(false);
  SetFinalizeDisc(false);
  SetReplaceFile(false);
  SetCacheSize(32);
  SetJolietFileSystem(true);
  SetUDFBridge(false);
  OnWriteDone = nullptr;
  OnEraseDone = nullptr;
  if (owned) {
    m.Queue = std::make_unique<plat::TNotifyQueue>();
    m.Queue->SetHandler([this](const plat::TMessage& msg) { return WindowProc(msg); });
    m.Job.Window = m.Queue.get();
  }
  m.Device->CloseAfterCommand = 1;
}

TQuorvexPro::~TQuorvexPro() {
  TImpl& m = *impl_;
  if (m.JobRunning()) Abort();
  m.Reap();
  m.ReleaseClaim();
  qvp::ReleaseDevice(*m.Device);
}

plat::TNotifyQueue* TQuorvexPro::NotifyQueue() { return impl_->Queue.get(); }

intptr_t TQuorvexPro::WindowProc(const plat::TMessage& m) {
  switch (m.Msg) {
    case kMsgEraseDone:
      if (OnEraseDone) OnEraseDone(this, 0, m.LParam != 0);
      break;
    case kMsgWriteDone:
      if (OnWriteDone) OnWriteDone(this, 0, m.LParam != 0);
      break;
    case kMsgVerifyDone:
      if (OnVerifyDone) OnVerifyDone(this, 0, static_cast<int32_t>(m.WParam), m.LParam != 0);
      break;
    case kMsgSmartRefsDone:
      if (OnGenerateSmartReferencesDone)
        OnGenerateSmartReferencesDone(this, m.WParam != 0, static_cast<int32_t>(m.LParam));
      break;
    default:
      break;
  }
  return 0;
}

std::string TQuorvexPro::Version() { return qvp::kLibraryVersion; }

// ---- Properties ----

bool TQuorvexPro::GetBurnProof() const { return qvp::GetBurnProof(*impl_->Device); }
void TQuorvexPro::SetBurnProof(bool v) { qvp::SetBurnProof(*impl_->Device, v); }
bool TQuorvexPro::GetTestWrite() const { return qvp::GetTestWrite(*impl_->Device); }
void TQuorvexPro::SetTestWrite(bool v) { qvp::SetTestWrite(*impl_->Device, v); }
bool TQuorvexPro::GetFinalizeDisc() const { return qvp::GetFinalizeDisc(*impl_->Device); }
void TQuorvexPro::SetFinalizeDisc(bool v) { qvp::SetFinalizeDisc(*impl_->Device, v); }
bool TQuorvexPro::GetReplaceFile() const { return BuilderReplaceFile(*impl_->Builder); }
void TQuorvexPro::SetReplaceFile(bool v) { BuilderSetReplaceFile(*impl_->Builder, v); }
std::string TQuorvexPro::GetVolumeID() const { return BuilderVolumeId(*impl_->Builder); }
void TQuorvexPro::SetVolumeID(const std::string& v) { BuilderSetVolumeId(*impl_->Builder, v); }

uint32_t TQuorvexPro::GetCacheSize() const { return impl_->Job.CacheBytes / kMiB; }
void TQuorvexPro::SetCacheSize(uint32_t mib) {
  // The slot table holds 10,000 blocks, one of them the block in the making.
  mib = std::min(mib, kMaxCacheMiB);
  impl_->Job.CacheBytes = std::max(mib * kMiB, kMinCacheBytes);
}

bool TQuorvexPro::GetJolietFileSystem() const { return BuilderJoliet(*impl_->Builder); }
void TQuorvexPro::SetJolietFileSystem(bool v) { BuilderSetJoliet(*impl_->Builder, v); }
bool TQuorvexPro::GetISO9660v1999FS() const { return BuilderIso1999(*impl_->Builder); }
void TQuorvexPro::SetISO9660v1999FS(bool v) { BuilderSetIso1999(*impl_->Builder, v); }
bool TQuorvexPro::GetUDFBridge() const { return BuilderUdf(*impl_->Builder); }
void TQuorvexPro::SetUDFBridge(bool v) { BuilderSetUdf(*impl_->Builder, v); }
std::string TQuorvexPro::GetBootImage() const { return BuilderBootImage(*impl_->Builder); }

void TQuorvexPro::SetBootImage(const std::string& fileName) {
  if (fileName.empty()) return;
  const int64_t size = plat::GetFileSize(fileName);
  if (size != 2048 && size != 1228800 && size != 1474560 && size != 2949120) return;
  if (!plat::FileExists(fileName)) return;
  BuilderSetBootImage(*impl_->Builder, fileName);
}

// ---- Drives and options ----

bool TQuorvexPro::InitializeDevices(uint8_t AspiOnly, const std::string& AspiLibrary,
                                    const std::string& LogFileName) {
  TImpl& m = *impl_;
  const bool found = qvp::InitializeDevices(*m.Device, AspiOnly, AspiLibrary, LogFileName);
  // Drives of the system that did not make it into the list, with the reason.
  m.Unusable = plat::UnusableDrives();
  for (char letter : plat::OpticalDriveLetters()) {
    if (plat::VirtualDriveAt(letter) != nullptr) continue;
    bool listed = false;
    for (int i = 0; i < m.Device->DriveCount; ++i)
      listed = listed || m.Device->Drives[i].Letter == letter;
    if (listed) continue;
    uint32_t error = 0;
    const plat::TDriveHandle h = plat::OpenDrive(letter, false, error);
    if (h != plat::kInvalidDriveHandle) {
      plat::CloseDrive(h);
      continue;
    }
    m.Unusable.push_back(
        plat::TUnusableDrive{plat::DrivePath(letter), plat::SystemErrorText(error)});
  }
  return found;
}
uint16_t TQuorvexPro::GetDeviceCount() { return qvp::GetDeviceCount(*impl_->Device); }
std::string TQuorvexPro::GetDeviceName(uint8_t Index) {
  return qvp::GetDeviceName(*impl_->Device, Index);
}
bool TQuorvexPro::SelectDevice(uint8_t Index) {
  // A recorder held for the owner is given back when another one is chosen.
  if (Index >= impl_->Device->DriveCount ||
      impl_->Device->Drives[Index].Letter != impl_->Device->CurrentLetter)
    ReleaseRecorder();
  mediumWaitTimedOut_ = false;  // another drive is waited for afresh
  qvp::TSCSIDevice& d = *impl_->Device;
  const bool ok = qvp::SelectDevice(d, Index);
  // The identification asked once more tells how the recorder failed to answer (the commands
  // that followed the first one left their own sense behind).
  alignas(4) uint8_t inquiry[64];
  if (ok)
    impl_->SelectAnswer = kSelectAnswered;
  else if (Index >= d.DriveCount)
    impl_->SelectAnswer = kSelectNoSuchDrive;
  else if (qvp::Inquiry(d, inquiry))
    impl_->SelectAnswer = kSelectBusy;  // it answers now: it was busy a moment ago
  else if (d.Busy != 0)
    impl_->SelectAnswer = kSelectBusy;
  else if (!qvp::LastSenseOf(d).Empty())
    impl_->SelectAnswer = kSelectRefused;
  else
    impl_->SelectAnswer = kSelectNoAnswer;
  return ok;
}
uint8_t TQuorvexPro::GetDeviceCapability(uint8_t Code) {
  return qvp::GetDeviceCapability(*impl_->Device, Code);
}
bool TQuorvexPro::IsWriter() { return qvp::IsWriter(*impl_->Device); }
bool TQuorvexPro::TestUnitReady() { return qvp::TestUnitReadyAlwaysTrue(*impl_->Device); }
bool TQuorvexPro::IsUnitReady() { return Settle() == qvp::TMediumReadiness::Ready; }
uint16_t TQuorvexPro::GetDefaultMaxReadSpeed() { return qvp::GetDefaultMaxReadSpeed(*impl_->Device); }
uint16_t TQuorvexPro::GetDefaultMaxWriteSpeed() { return qvp::GetDefaultMaxWriteSpeed(*impl_->Device); }
uint16_t TQuorvexPro::GetMaxWriteSpeed() { return qvp::GetMaxWriteSpeed(SettledDevice()); }
uint16_t TQuorvexPro::GetCurrentReadSpeed() { return qvp::GetCurrentReadSpeed(SettledDevice()); }
uint16_t TQuorvexPro::GetCurrentWriteSpeed() { return qvp::GetCurrentWriteSpeed(SettledDevice()); }
bool TQuorvexPro::SetSpeed(uint16_t ReadSpeed, uint16_t WriteSpeed) {
  return qvp::SetSpeed(SettledDevice(), ReadSpeed, WriteSpeed);
}
bool TQuorvexPro::EjectDisc(bool Immediate) {
  // A disc that just went in: the eject meets the unit attention or a drive still loading it.
  if (qvp::EjectMedium(*impl_->Device, Immediate)) return true;
  if (!qvp::FailedWhileSettling(*impl_->Device)) return false;
  return qvp::EjectMedium(SettledDevice(), Immediate);
}
bool TQuorvexPro::FlushDriveCache() { return qvp::FlushDriveCache(*impl_->Device); }

// ---- Medium queries ----

// Each query first waits out a medium change (SettledDevice), so the first question after a disc
// went in is answered about that disc rather than as "no medium".
uint8_t TQuorvexPro::GetMediumType() { return qvp::GetMediumType(SettledDevice()); }
uint32_t TQuorvexPro::GetFreeBlocks() { return qvp::GetFreeBlocks(SettledDevice()); }
uint32_t TQuorvexPro::GetTotalBlocks() { return qvp::GetTotalBlocks(SettledDevice()); }
bool TQuorvexPro::IsErasable() { return qvp::IsErasable(SettledDevice()); }
bool TQuorvexPro::IsDiscWritable() { return qvp::IsDiscWritable(SettledDevice()); }
int32_t TQuorvexPro::GetSessionCount() { return qvp::GetCompleteSessionCount(SettledDevice()); }

// ---- Compilation ----

void TQuorvexPro::ClearCompilation() { BuilderClear(*impl_->Builder); }

TDirNode* TQuorvexPro::CreateDir(const std::string& DestPath, const std::string& Name) {
  return BuilderCreateDir(*impl_->Builder, DestPath, Name);
}

TFileNode* TQuorvexPro::InsertFile(const std::string& DestPath, const std::string& FileName) {
  return BuilderInsertFile(*impl_->Builder, OnAddFile, DestPath, FileName);
}

TDirNode* TQuorvexPro::InsertDir(const std::string& DestPath, const std::string& SourceDir,
                                 bool KeepPath, bool Recursive, const std::string& FileMask) {
  return BuilderInsertDir(*impl_->Builder, OnAddFile, DestPath, SourceDir, KeepPath, Recursive,
                          FileMask);
}

int32_t TQuorvexPro::PrepareImage() { return BuilderPrepare(*impl_->Builder); }

// ---- Jobs ----

bool TQuorvexPro::TImpl::StartWrite(TQuorvexPro* self, std::unique_ptr<TBlockSource> source,
                                    uint8_t mediumType) {
  Job.WriteDone = self->OnWriteDone;
  Job.OutOfMemory.store(false);
  auto cache = std::make_unique<TCacheThread>(Job, std::move(source));
  {
    std::unique_lock<plat::TCriticalSection> g(Job.Lock);
    Job.Changed.wait(g, [&] { return Job.BufferReady.load() || Job.Aborted(); });
  }
  const bool failed = !Job.BufferReady.load() || Job.Aborted();
  Adopt(std::move(cache));
  if (failed) {
    // The buffer failed while it filled (a source missing, no memory, or Abort): the job ends here.
    Job.ReleaseJobClaim();
    Job.SetStatus(kStatusIdle);
    Job.DeliverWriteDone(Job.WriteDone, true);
    return false;
  }
  Adopt(std::make_unique<TWriteThread>(Job, *Device, mediumType));
  return true;
}

bool TQuorvexPro::BurnData() {
  TImpl& m = *impl_;
  m.Reap();
  TImageBuilder& b = *m.Builder;
  m.ResetForJob();
  // A compilation changed since its layout would stream a stale sector map.
  if (!BuilderLaidOut(b)) {
    m.Job.FailWith(kErrDataNotPrepared, std::string());
    return false;
  }
  m.Job.ImageSource = false;
  m.Job.ImageFile.Close();
  // Every source must open before the first command: a write-once disc is never spent on a
  // compilation that cannot be read.
  std::string unreadable;
  uint32_t error = 0;
  if (BuilderFindUnreadableSource(b, unreadable, error)) {
    {
      std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
      m.Job.CurrentSource = unreadable;
    }
    m.Job.FailWith(kErrOpenFile, std::string());
    return false;
  }
  if (!m.Claim(true)) return false;
  const uint8_t type = m.JobMediumType();
  m.Job.TotalSectors.store(BuilderTotalSectors(b));
  PrepareDataWrite(m.Job, *m.Device, type, BuilderUdf(b));
  if (!BuilderRender(b, m.Job.SessionStart, m.Job.VolumeSizeBase, m.Job.UdfBase)) {
    m.Job.FailWith(kErrDataNotPrepared, std::string());
    m.Job.ReleaseJobClaim();
    return false;
  }
  m.Job.MediumAnchor.assign(kMediumAnchorSectors * kSectorBytes, 0);
  if (!BuilderMediumAnchor(b, m.Job.MediumAnchor.data())) m.Job.MediumAnchor.clear();
  return m.StartWrite(this, NewCompilationSource(b), type);
}

bool TQuorvexPro::BurnImage(const std::string& FileName) {
  TImpl& m = *impl_;
  m.Reap();
  m.Job.ImageSource = true;
  m.Job.MediumAnchor.clear();
  m.Job.TotalSectors.store(0);
  m.ResetForJob();
  m.Job.ImageFile.Close();
  {
    std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
    m.Job.CurrentSource = FileName;
  }
  // A FIFO or a device would be read until it ends (or forever), a folder not at all: only a
  // regular file is an image. It is checked before the open, which would wait on a FIFO.
  const plat::TFileIdentity id = plat::IdentityOf(FileName);
  if (id.Kind != plat::TFileKind::Regular && id.Kind != plat::TFileKind::Missing) {
    m.Job.FailWith(kErrImageNotRegular, std::string(" (") + plat::FileKindName(id.Kind) + ")");
    return false;
  }
  if (!m.Job.ImageFile.OpenRead(std::string_view(FileName))) {
    m.Job.FailWith(kErrOpenFile, std::string());
    return false;
  }
  const int64_t size = m.Job.ImageFile.Size();
  m.Job.ImageSize = size > 0 ? static_cast<uint64_t>(size) : 0;
  // Nothing to write would leave a blank disc behind a success.
  if (m.Job.ImageSize == 0) {
    m.Job.ImageFile.Close();
    m.Job.FailWith(kErrImageEmpty, std::string());
    return false;
  }
  m.Job.TotalSectors.store(static_cast<uint32_t>(SectorsOf(m.Job.ImageSize)));
  if (!m.Claim(true)) {
    m.Job.ImageFile.Close();
    return false;
  }
  const uint8_t type = m.JobMediumType();
  // An image is written from LBA 0. A write-once disc (or a sequential rewritable one) that
  // already holds data takes writes only at its next writable address, so the write would fail
  // on its first block with a raw device code. Such a disc is refused here with a reason the
  // user can act on (erase it, or use a blank one). Rewritable media that are overwritten in
  // place (DVD+RW, DVD-RAM, BD-RE, restricted overwrite DVD-RW) simply get the image over what
  // they held.
  if (!qvp::IsOverwritable(type) && qvp::GetDiscStatus(*m.Device) != qvp::kDiscBlank &&
      qvp::GetDiscStatus(*m.Device) != qvp::kDiscStatusUnknown) {
    m.Job.ImageFile.Close();
    m.Job.FailWith(kErrDiscNotBlank, std::string());
    m.Job.ReleaseJobClaim();
    return false;
  }
  ResetWriteFigures(m.Job, *m.Device);
  return m.StartWrite(this, std::make_unique<TImageFileSource>(m.Job.ImageFile, m.Job.ImageSize, FileName),
                      type);
}

bool TQuorvexPro::EraseDisc(bool Quick) {
  TImpl& m = *impl_;
  m.Reap();
  m.ResetForJob();
  if (!m.Claim(true)) return false;
  m.Job.SetStatus(kStatusErasing);
  m.Adopt(std::make_unique<TEraseThread>(m.Job, *m.Device, Quick, OnEraseDone));
  return true;
}

void TQuorvexPro::Abort() {
  TJobState& j = impl_->Job;
  j.ErrorCode.store(kErrAborted);
  j.SetStatus(kStatusAborting);
  j.RequestAbort();
}

// ---- Figures ----

uint16_t TQuorvexPro::GetStatus() const { return impl_->Job.GetStatus(); }
int32_t TQuorvexPro::GetTotalSectors() const { return static_cast<int32_t>(impl_->Job.TotalSectors.load()); }
int32_t TQuorvexPro::GetWrittenSectors() const {
  return static_cast<int32_t>(impl_->Job.WrittenSectors.load());
}

uint16_t TQuorvexPro::GetWriteSpeed() {
  const TDriveFigures& f = impl_->Job.Drive;
  const uint16_t figure = RingFigure(f.SampleBytes.load(), f.SampleTicks.load(), f.MsPerTick.load());
  return std::exchange(impl_->LastWriteFigure, figure);
}

uint16_t TQuorvexPro::GetVerifySpeed() {
  const TDriveFigures& f = impl_->Job.Drive;
  const uint16_t figure = RingFigure(f.SampleBytes.load(), f.SampleTicks.load(), f.MsPerTick.load());
  return std::exchange(impl_->LastVerifyFigure, figure);
}

int32_t TQuorvexPro::GetCacheUsed() const { return impl_->Job.Count.load() * static_cast<int32_t>(kBlockSize); }
int32_t TQuorvexPro::GetDriveBufferSize() const {
  return static_cast<int32_t>(impl_->Job.Drive.BufferLength.load());
}
int32_t TQuorvexPro::GetDriveBufferUsed() const {
  const TDriveFigures& f = impl_->Job.Drive;
  return static_cast<int32_t>(f.BufferLength.load() - f.BufferBlank.load());
}
int32_t TQuorvexPro::GetVerifyTotalSectors() const {
  return static_cast<int32_t>(impl_->Job.QueuedDataSectors.load());
}
int32_t TQuorvexPro::GetVerifiedSectors() const { return 0; }
int32_t TQuorvexPro::GetSmartRefsDone() const { return 0; }
int32_t TQuorvexPro::GetSmartRefsTotal() const { return 0; }

std::string TQuorvexPro::GetLastErrorText() {
  TImpl& m = *impl_;
  std::string source;
  {
    std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
    source = m.Job.CurrentSource;
  }
  std::string detail;
  {
    std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
    detail = m.Job.FailureDetail;
  }
  const uint32_t code = m.Job.ErrorCode.exchange(kErrNone);
  // The refused command that ended the job, not whatever a later closing command left behind.
  const bool jobSense = m.Job.FailureSenseUnread.exchange(false);
  uint16_t device = 0;
  if (code == kErrNone) {
    device = std::exchange(m.Device->LastAscAscq, uint16_t{0});
    if (jobSense) device = qvp::TSense::FromPacked(m.Job.FailureSense.load()).Code();
  }
  const std::string text = ErrorTextFor(code, device, source, detail);
  const size_t n = std::min(text.size(), sizeof m.Device->ErrorText - 1);
  std::copy_n(text.data(), n, m.Device->ErrorText);
  m.Device->ErrorText[n] = '\0';
  return text;
}

bool TQuorvexPro::LoadDisc(bool Immediate) { return qvp::LoadMedium(*impl_->Device, Immediate); }

char TQuorvexPro::GetDeviceLetter(uint8_t Index) const {
  const qvp::TSCSIDevice& d = *impl_->Device;
  return Index < d.DriveCount ? d.Drives[Index].Letter : '\0';
}

uint16_t TQuorvexPro::GetRequestedReadSpeed() const { return impl_->Device->RequestedReadSpeed; }
uint16_t TQuorvexPro::GetRequestedWriteSpeed() const { return impl_->Device->RequestedWriteSpeed; }

uint32_t TQuorvexPro::GetImageSectors() const {
  const TImageBuilder& b = *impl_->Builder;
  return BuilderLaidOut(b) ? BuilderTotalSectors(b) : 0;
}

TImageFileResult TQuorvexPro::MakeImageFile(const std::string& Output, TImageFileJob& Job) {
  return WriteImageFile(*impl_->Builder, impl_->Job.CacheBytes, Output, Job);
}

// ---- Session import ----

namespace {

template <typename TRead>
TImportResult RunImport(TJobState& job, TRead read) {
  job.AbortFlag.store(0);
  job.SetStatus(kStatusImportingSession);
  const TImportResult r = read(job.AbortFlag);
  if (job.Aborted()) {
    // Abort asked for the reading to stop; no job has ended, so nothing else is left to do.
    job.AbortFlag.store(0);
    job.ErrorCode.store(kErrNone);
  }
  job.SetStatus(kStatusIdle);
  return r;
}

}  // namespace

TImportResult TQuorvexPro::ImportSession() {
  TImpl& m = *impl_;
  return RunImport(m.Job, [&](const std::atomic<uint8_t>& stop) {
    return ImportFromMedium(*m.Device, *m.Builder, stop);
  });
}

TImportResult TQuorvexPro::ImportSessionFromImage(const std::string& ImageFile,
                                                  uint32_t SessionStart) {
  TImpl& m = *impl_;
  return RunImport(m.Job, [&](const std::atomic<uint8_t>& stop) {
    return ImportFromImageFile(ImageFile, SessionStart, *m.Builder, stop);
  });
}

TImageFileResult TQuorvexPro::MakeSessionImageFile(const std::string& Output, uint32_t SessionStart,
                                                   TImageFileJob& Job) {
  return WriteImageFile(*impl_->Builder, impl_->Job.CacheBytes, Output, Job, SessionStart);
}

std::string TQuorvexPro::ImportResultText(TImportResult r) { return ::ImportResultText(r); }

TImageBuilder& TQuorvexPro::Builder() { return *impl_->Builder; }
qvp::TSCSIDevice& TQuorvexPro::Device() { return *impl_->Device; }

// ---- Outcomes the front ends can act on ----

bool TQuorvexPro::ClaimRecorder() {
  TImpl& m = *impl_;
  m.Job.ResetOutcome();
  return m.Claim(false);
}

void TQuorvexPro::ReleaseRecorder() {
  TImpl& m = *impl_;
  {
    std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
    if (m.Job.Claim == plat::kInvalidDriveHandle || m.Job.JobOwnsClaim) return;
  }
  // A running job keeps the recorder to its end and gives it back then.
  if (m.JobRunning()) {
    std::lock_guard<plat::TCriticalSection> g(m.Job.Lock);
    m.Job.JobOwnsClaim = true;
    return;
  }
  m.ReleaseClaim();
}

int32_t TQuorvexPro::GetRecorderHolderPid() const { return impl_->HolderPid; }

uint32_t TQuorvexPro::GetLastErrorCode() const { return impl_->Job.ErrorCode.load(); }

TQuorvexPro::TSenseCode TQuorvexPro::GetLastSense() const {
  return qvp::LastSenseOf(*impl_->Device);
}

TQuorvexPro::TSenseCode TQuorvexPro::GetFailureSense() const {
  const TJobState& j = impl_->Job;
  if (j.FailureSenseSet.load()) return qvp::TSense::FromPacked(j.FailureSense.load());
  return GetLastSense();
}

std::string TQuorvexPro::DescribeSense(const qvp::TSense& s) { return qvp::FormatSense(s); }

uint8_t TQuorvexPro::GetUninterruptibleStep() const { return impl_->Job.Uninterruptible.load(); }

const std::vector<TOmittedEntry>& TQuorvexPro::GetOmittedEntries() const {
  return BuilderOmitted(*impl_->Builder);
}

std::vector<plat::TUnusableDrive> TQuorvexPro::GetUnusableRecorders() const {
  return impl_->Unusable;
}

uint8_t TQuorvexPro::GetSelectAnswer() const { return impl_->SelectAnswer; }
