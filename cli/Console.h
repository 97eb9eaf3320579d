#pragma once
// What the command line shows and hears: log lines on standard output, messages on standard
// error, a one-line progress display on standard error when it is a terminal, questions on the
// terminal, and Ctrl-C, which only counts (the wait loops decide what it means).
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace cli {

class TConsole {
 public:
  TConsole();

  // A log line (the caller adds the time stamp where the line has one).
  void Log(const std::string& line);
  // A message for the user (standard error).
  void Message(const std::string& text);
  // Replaces the progress display; ignored when standard error is not a terminal.
  void Status(const std::string& text);
  void ClearStatus();
  bool Interactive() const { return statusOnTty_; }

  // Asks a yes/no question on the terminal: nothing when there is no terminal to ask on, or when
  // the answer was cut off (end of input, Ctrl-C).
  std::optional<bool> AskYesNo(const std::string& question);

 private:
  void ClearLocked();
  void WriteLine(std::FILE* stream, const std::string& text);
  std::mutex m_;
  bool statusOnTty_ = false;
  bool statusShown_ = false;
};

// Ctrl-C: the handler only counts. Installed once by main.
void InstallInterruptHandler();
// Number of Ctrl-C presses so far.
int InterruptCount();

}  // namespace cli
