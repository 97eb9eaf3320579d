#pragma once
// The burn sequence behind "Vypálit", written once for the windows and the command line: the
// medium checks, the erase of a rewritable medium that holds data, the capacity checks, the
// hand-over of the compilation (or the image file) to the burner component, the write, and the
// end of the job with its outcome. It is a plain state machine: the front end calls Press, and
// hands it the component's completion events (WriteDone, EraseDone) and the user's Storno; what
// differs between the front ends (how a line is shown, how a question is asked, whether the
// medium comes out, what the buttons do) goes through TBurnHost.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/qvpSCSIReady.h"
#include "frontend/Compilation.h"
#include "frontend/Formats.h"
#include "frontend/Outcome.h"

class TQuorvexPro;

namespace fe {

enum class TBurnMode { Compilation, Image };

enum class TBurnState {
  Idle,        // no job of this sequence has run yet
  Checking,    // the medium is there: the checks run ("Vypálit" and "< Zpět" off)
  Refused,     // a check refused the work (Failure() when the recorder was); nothing was written
  Stopped,     // the user stopped the sequence before a job began
  Erasing,     // the quick erase inside the sequence runs
  EraseEnded,  // and has ended; the burn starts again with the medium back in
  NotStarted,  // the component could not start the job
  Writing,     // the job runs
  Ended,       // the job has ended; Outcome() tells how
};

enum class TBurnOutcome {
  None,        // no job ran (yet)
  Complete,    // the disc holds the whole compilation or image
  Simulated,   // a test write succeeded; the medium is as it was
  Incomplete,  // written, but without entries that could not be added (Skipped())
  Aborted,     // the user stopped the job
  Failed,      // the job failed or could not start (Reason())
};

struct TBurnRequest {
  TBurnMode Mode = TBurnMode::Compilation;
  TCompilationList* Compilation = nullptr;  // compilation mode
  std::string VolumeId;                     // compilation mode
  std::string Boot;                         // compilation mode: El Torito image, or empty
  std::string ImageFile;                    // image mode
  bool WaitForMedium = false;               // give a medium that is becoming ready its time
  // Compilation mode: the files of the medium's last session stay in view beside the new ones
  // (only the new data is written; a rewritable medium that holds data is added to, not erased).
  bool Import = false;
  // Write options handed to the component when the sequence starts, after the drive has been
  // chosen (choosing a drive list anew resets them); absent ones stay as the component has them.
  std::optional<bool> Finalize, TestWrite, BurnProof, Verify;
  std::optional<uint16_t> SpeedKBps;
};

// What the sequence leaves to its front end.
class TBurnHost {
 public:
  virtual ~TBurnHost() = default;
  // One line at the end of the log, as it stands (time-stamped lines carry their time).
  virtual void Log(const std::string& line) = 0;
  // "Přejete si smazat data a pak pokračovat ve vypalování?"; true to erase.
  virtual bool AskEraseData() = 0;
  // EjectDisc(True), or nothing when the user keeps the medium in.
  virtual void Eject() = 0;
  // The sequence has entered `state`: buttons, timers, waits follow from it.
  virtual void StateChanged(TBurnState state) = 0;
  // Polled where the sequence may stop before a job begins (a Ctrl-C); while the medium's last
  // session is read, also from another thread.
  virtual bool StopRequested() { return false; }
  // The erase inside the sequence has ended and the medium came out: a front end that can put it
  // back itself (a virtual recorder's tray) does so and returns true.
  virtual bool LoadBack() { return false; }
  // The compilation lacks these entries (each logged already): true burns without them, and the
  // outcome is incomplete; false refuses the burn.
  virtual bool AllowIncomplete(const std::vector<TSkippedEntry>& /*skipped*/) { return false; }
  // Storno waits for a step the drive must be allowed to finish (kStepClosing, ...); once a job.
  virtual void Uninterruptible(uint8_t /*step*/) {}
  // Right before the outcome line is logged.
  virtual void Concluding(TBurnOutcome /*outcome*/, const std::string& /*reason*/) {}
  // The number separators of the log's capacity and size texts.
  virtual TNumberSeparators Numbers() const { return LocaleSeparators(); }
};

class TBurnSequence {
 public:
  TBurnSequence(TQuorvexPro& qvx, TBurnHost& host) : qvx_(qvx), host_(host) {}

  // "Vypálit": the checks and the start of the job (or of the erase, or a refusal).
  void Press(const TBurnRequest& request);
  // "Storno" while the job runs: logged and passed to the component once; false (and nothing
  // done) when it was asked for already.
  bool Storno();
  // While the job runs (with the progress display): after Storno, tells once that the job waits
  // for a step the drive must finish.
  void Poll();
  // The component's completions (OnWriteDone, OnEraseDone of an erase started here).
  void WriteDone(bool failed);
  void EraseDone(bool failed);

  TBurnState State() const { return state_; }
  TBurnOutcome Outcome() const { return outcome_; }
  // Why the job failed or could not start, in English (the log has it in Czech).
  const std::string& Reason() const { return reason_; }
  // The component's account of that failure, or of a refused claim of the recorder.
  const TJobFailure& Failure() const { return failure_; }
  // The size in KB the capacity check asked for (the compilation's estimate or the image's size).
  uint64_t RequiredKB() const { return requiredKB_; }
  // The entries the last compilation handed over lacks, with their reasons.
  const std::vector<TSkippedEntry>& Skipped() const { return skipped_; }

 private:
  void ApplyWriteOptions();
  void Log(const std::string& text);  // the time, then the text
  void Enter(TBurnState state);
  void Refuse();   // eject, refused
  void Release();  // gives the recorder back once the sequence has nothing running
  bool Claim();
  bool HandOver();  // the compilation to the component; false when the burn may not go on
  bool Import();
  bool Importing() const;
  bool Stop();  // true (and stopped) when the host asks to stop
  qvp::TMediumReadiness MediumPresent();
  bool CheckWritable();
  bool CheckRewritable();  // false also when the erase was started
  bool CheckFreeSpace(uint32_t& freeBlocks);
  void StartJob(uint32_t freeBlocks);
  void SayFormat();  // the line for a medium the job formats first
  void Conclude(TBurnOutcome outcome);

  TQuorvexPro& qvx_;
  TBurnHost& host_;
  TBurnRequest request_;
  TBurnState state_ = TBurnState::Idle;
  TBurnOutcome outcome_ = TBurnOutcome::None;
  std::string reason_;
  uint64_t requiredKB_ = 0;
  bool testWrite_ = false;
  bool abortAsked_ = false;
  bool verifyAborted_ = false;
  bool stepTold_ = false;
  TJobFailure failure_;
  std::string reasonCz_;  // the outcome's reason where no failure of the component gives it
  std::vector<TSkippedEntry> skipped_;
};

// Media on which a recorder can simulate a write (CD-R/RW, DVD-R, DVD-RW written sequentially).
bool MediumSimulates(uint8_t mediumType);

}  // namespace fe
