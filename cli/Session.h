#pragma once
// One run of the command line against the burner component: the component itself (with its
// notification queue, dispatched here), the kept settings, the drive chosen the way the program
// chooses it at start, and the wait loop that runs while a job works.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "frontend/Settings.h"

class TQuorvexPro;

namespace cli {

// Exit codes.
enum : int {
  kExitDone = 0,
  kExitFailed = 1,  // the job failed or was aborted
  kExitUsage = 2,
  kExitRefused = 3,  // a check refused the work
};

struct TGlobalOptions {
  std::optional<int> Drive;  // index in the component's drive list
  std::string LogFile;       // command log
  bool Aspi = false;         // discover the drives through the ASPI library
};

// Why a drive did not answer its selection (GetSelectAnswer), for the messages.
std::string SelectAnswerText(uint8_t answer);

// Milliseconds of platform clock that take `realMs` of real time (the clock may run scaled).
uint32_t ClockMsForRealMs(uint32_t realMs);

class TSession {
 public:
  TSession(TConsole& console, TGlobalOptions options);
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  TConsole& Console() { return console_; }
  TQuorvexPro& Qvx() { return *qvx_; }
  const fe::TSettings& Settings() const { return settings_; }
  const TGlobalOptions& Options() const { return options_; }

  // Finds the drives (once).
  void InitializeDevices();
  // Selects the drive: --drive, else "IDVyp" of the settings, else the last recorder of the list.
  // kExitDone, or the exit code after a message. With waitReady, waits while a medium that was
  // just inserted or loaded is becoming ready.
  int SelectDrive(bool waitReady);
  int DriveIndex() const { return index_; }
  // The list is empty: no recorder at all, or the ones there are named with why they cannot be
  // used. kExitRefused.
  int NoRecorder();

  // Waits (bounded, ended by Ctrl-C) while the drive reports that it is becoming ready or that
  // its medium just changed; answers whether it is ready.
  bool WaitUntilReady();
  // EjectDisc(True) unless the user asked to keep the medium in.
  void Eject(bool keep);

  // Dispatches the component's completions until finished() holds. tick() runs about every
  // 50 ms of real time; interrupt() runs once for every Ctrl-C not handled yet, also for one
  // pressed before the wait began (while a job was being set up).
  void WaitFor(const std::function<bool()>& finished, const std::function<void()>& tick,
               const std::function<void()>& interrupt);

 private:
  TConsole& console_;
  TGlobalOptions options_;
  fe::TSettings settings_;
  std::unique_ptr<TQuorvexPro> qvx_;
  bool initialized_ = false;
  int index_ = -1;
  int interruptsHandled_ = 0;
};

}  // namespace cli
