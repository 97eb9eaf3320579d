// The burn sequence of the data-disc wizard, on a terminal: medium checks, the erase of a
// rewritable medium that holds data, the capacity checks, the hand-over of the compilation (or
// the image file) to the burner component, and the write with its time-stamped log, progress
// display and end-of-job handling.
#include <algorithm>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "device/qvpSCSILib.h"
#include "engine/qvpImageLink.h"
#include "engine/qvpQuorvexPro.h"
#include "platform/Files.h"

namespace cli {
namespace {

class TBurnSequence {
 public:
  TBurnSequence(TSession& s, const TBurnOptions& o) : s_(s), o_(o), qvx_(s.Qvx()), con_(s.Console()) {}

  // Compilation mode.
  TCompilationList List;
  // Image mode: the image file.
  std::optional<std::string> Image;

  int Run() {
    for (;;) {
      const int rc = Pass();
      if (rc != kAgain) return rc;
    }
  }

 private:
  static constexpr int kAgain = -1;

  void Log(const std::string& text) { con_.Log(LogLine(text)); }

  int Refuse() {
    s_.Eject(o_.NoEject);
    return kExitRefused;
  }

  int Interrupted() {
    con_.Message("Aborted by user");
    return kExitFailed;
  }

  // One press of "Vypálit".
  int Pass() {
    Log(text::kStart);
    if (InterruptCount() > 0) return Interrupted();
    if (!qvx_.IsUnitReady()) {
      Log(text::kNoMedium);
      return kExitRefused;
    }
    if (qvx_.IsDiscWritable()) {
      Log(text::kWritable);
    } else {
      Log(text::kNotWritable);
      return Refuse();
    }
    Log(text::kMediumKind);
    if (qvx_.IsErasable()) {
      Log(text::kRewritable);
      Log(text::kCheckRewritable);
      if (qvx_.GetTotalBlocks() > qvx_.GetFreeBlocks()) {
        Log(text::kHoldsData);
        // One erase per run: a medium that still holds data after it is not erased again.
        bool erase = false;
        if (!erased_) erase = o_.Erase || con_.AskYesNo(text::kEraseQuestion).value_or(false);
        if (InterruptCount() > 0) return Interrupted();
        if (!erase) {
          Log(text::kDataKept);
          return Refuse();
        }
        Log(text::kErasing);
        return EraseThenAgain();
      }
    }

    const uint32_t freeBlocks = qvx_.GetFreeBlocks();
    const uint64_t sizeKB = Image ? FileSizeKB(*Image) : List.TotalSizeKB();
    Log(text::kCheckSpace);
    // The line shows the medium's whole capacity; what decides is the free space, so an
    // appendable disc that already holds sessions is not overfilled.
    Log(text::kCapacity + FormatGrouped(static_cast<double>(qvx_.GetTotalBlocks()) / 512.0, 2) + " MB...");
    if (sizeKB > static_cast<uint64_t>(freeBlocks) * 2) {
      Log(text::kNoSpace + FormatSize(sizeKB) + ")");
      return Refuse();
    }
    if (InterruptCount() > 0) return Interrupted();

    bool started;
    if (!Image) {
      StartCompilation(qvx_, o_.Compilation);
      Log(text::kPreparing);
      incomplete_ = !FillCompilation(qvx_, List, [this](const std::string& line) { con_.Log(line); });
      Log(text::kInitializing);
      const int32_t prepared = qvx_.PrepareImage();
      if (InterruptCount() > 0) return Interrupted();
      // The size estimate counts file contents only; the laid-out image must fit as well, up to
      // the end of its last 64 KiB block, which the write fills too.
      const uint64_t sectors =
          prepared > 0 ? std::max<uint64_t>(static_cast<uint64_t>(prepared), BuilderTotalSectors(qvx_.Builder())) : 0;
      if (sectors > freeBlocks) {
        Log(text::kNoSpace + FormatSize(sectors * 2) + ")");
        return Refuse();
      }
      BindWriteDone();
      started = qvx_.BurnData();
      if (started) {
        Log(text::kBurning);
      } else {
        Log(text::kWriteFailed + qvx_.GetLastErrorText());
      }
    } else {
      qvx_.ClearCompilation();
      BindWriteDone();
      started = qvx_.BurnImage(*Image);
      if (started) {
        Log(text::kWritingImage);
      } else {
        Log(text::kImageFailed + qvx_.GetLastErrorText());
      }
    }
    if (!started) {
      // A job whose buffer failed while it filled has reported its end already; let it be
      // handled as every end is.
      qvx_.NotifyQueue()->DispatchPending();
      return kExitFailed;
    }
    return WaitForWrite();
  }

  void BindWriteDone() {
    writeDone_ = false;
    writeFailed_ = false;
    qvx_.OnWriteDone = [this](TQuorvexPro*, uint8_t, bool failed) {
      con_.ClearStatus();
      // Logged whatever the outcome; a failure shows through the status lines before it.
      Log(text::kWriteDone);
      con_.Log("");
      if (failed) error_ = qvx_.GetLastErrorText();
      qvx_.FlushDriveCache();
      s_.Eject(o_.NoEject);
      writeFailed_ = failed;
      writeDone_ = true;
    };
  }

  int WaitForWrite() {
    s_.WaitFor([this] { return writeDone_; }, [this] { UpdateProgress(); },
               [this] {
                 if (!abortRequested_) {
                   abortRequested_ = true;
                   Log(text::kStorno);
                   qvx_.Abort();
                 } else {
                   con_.Message("Still aborting: waiting for the recorder to close the track...");
                 }
               });
    qvx_.OnWriteDone = nullptr;
    if (writeFailed_) {
      con_.Message(error_);
      return kExitFailed;
    }
    // The burn goes on without what could not be added, as the window does; a script must
    // still learn that the disc lacks part of what it asked for.
    if (incomplete_) {
      con_.Message("ardovan-cli: the disc was burned without the files and folders that could not be added");
      return kExitFailed;
    }
    return kExitDone;
  }

  void UpdateProgress() {
    const uint16_t status = qvx_.GetStatus();
    const TProgressSample p = SampleProgress(qvx_, status);
    const auto logged = statusLog_.Update(status);
    if (logged.Name) {
      Log(" >>> " + *logged.Name);
      if (logged.Abort) qvx_.Abort();
    }
    std::string display = p.Name;
    if (p.Line) display += "  " + *p.Line;
    if (status == kStatusWriting || status == kStatusClosingTrack) {
      display += "  software buffer " + std::to_string(Percent(p.CacheUsed, p.CacheSize)) + "%";
      display += "  drive buffer " + std::to_string(Percent(p.DriveUsed, p.DriveSize)) + "%";
    }
    con_.Status(display);
  }

  // The quick erase inside the sequence; after it the medium is loaded again and the sequence
  // starts over, as the user would by pressing "Vypálit" again.
  int EraseThenAgain() {
    bool done = false, failed = false;
    qvx_.OnEraseDone = [&](TQuorvexPro*, uint8_t, bool f) {
      con_.ClearStatus();
      if (f) {
        Log(text::kEraseFailedInBurn);
      } else {
        Log(text::kEraseDoneInBurn);
        qvx_.FlushDriveCache();
        s_.Eject(o_.NoEject);
      }
      failed = f;
      done = true;
    };
    erased_ = true;
    qvx_.EraseDisc(true);
    s_.WaitFor([&] { return done; }, [this] { con_.Status(StatusName(qvx_.GetStatus())); },
               [this] { con_.Message("An erase cannot be stopped; waiting for the recorder to finish..."); });
    qvx_.OnEraseDone = nullptr;
    if (failed) {
      con_.Message(qvx_.GetLastErrorText());
      return kExitFailed;
    }
    if (InterruptCount() > 0) return Interrupted();
    if (!o_.NoEject) qvp::LoadMedium(qvx_.Device(), false);
    s_.WaitUntilReady();
    return kAgain;
  }

  TSession& s_;
  const TBurnOptions& o_;
  TQuorvexPro& qvx_;
  TConsole& con_;
  TStatusLog statusLog_;
  bool erased_ = false;
  bool abortRequested_ = false;
  bool writeDone_ = false;
  bool writeFailed_ = false;
  bool incomplete_ = false;
  std::string error_;
};

// Options of the write, on the component.
int ApplyBurnOptions(TSession& s, const TBurnOptions& o) {
  TQuorvexPro& qvx = s.Qvx();
  std::string error;
  if (!ApplyCompilationOptions(qvx, o.Compilation, error)) {
    s.Console().Message(error);
    return kExitUsage;
  }
  qvx.SetFinalizeDisc(o.Finalize);
  qvx.SetTestWrite(o.TestWrite);
  if (o.NoBurnProof) qvx.SetBurnProof(false);
  return kExitDone;
}

}  // namespace

int RunBurn(TSession& s, const TBurnOptions& o, const std::vector<std::string>& paths) {
  TBurnSequence seq(s, o);
  if (const int rc = BuildCompilation(paths, seq.List, s.Console())) return rc;
  // After the selection: finding the drives resets the write options on the device record.
  if (const int rc = s.SelectDrive(true)) return rc;
  if (const int rc = ApplyBurnOptions(s, o)) return rc;
  if (o.SpeedKBps) s.Qvx().SetSpeed(0, *o.SpeedKBps);
  return seq.Run();
}

int RunBurnImage(TSession& s, const TBurnOptions& o, const std::string& image) {
  if (!plat::FileExists(image)) {
    s.Console().Message("ardovan-cli: no such image file: " + image);
    return kExitUsage;
  }
  TBurnSequence seq(s, o);
  seq.Image = image;
  if (const int rc = s.SelectDrive(true)) return rc;
  if (const int rc = ApplyBurnOptions(s, o)) return rc;
  if (o.SpeedKBps) s.Qvx().SetSpeed(0, *o.SpeedKBps);
  return seq.Run();
}

}  // namespace cli
