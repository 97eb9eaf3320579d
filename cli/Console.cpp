#include "cli/Console.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace cli {
namespace {

volatile std::sig_atomic_t gInterrupts = 0;

extern "C" void OnInterrupt(int) {
  if (gInterrupts < 1000) gInterrupts = gInterrupts + 1;
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a question waiting for its answer is cut off by Ctrl-C.
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, nullptr);
}

int InterruptCount() { return static_cast<int>(gInterrupts); }

TConsole::TConsole() : statusOnTty_(isatty(STDERR_FILENO) == 1) {}

void TConsole::ClearLocked() {
  if (!statusShown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  statusShown_ = false;
}

void TConsole::WriteLine(std::FILE* stream, const std::string& text) {
  std::lock_guard<std::mutex> g(m_);
  ClearLocked();
  std::fputs(text.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void TConsole::Log(const std::string& line) { WriteLine(stdout, line); }

void TConsole::Message(const std::string& text) { WriteLine(stderr, text); }

void TConsole::Status(const std::string& text) {
  if (!statusOnTty_) return;
  std::lock_guard<std::mutex> g(m_);
  std::fputs("\r\033[K", stderr);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  statusShown_ = true;
}

void TConsole::ClearStatus() {
  std::lock_guard<std::mutex> g(m_);
  ClearLocked();
}

std::optional<bool> TConsole::AskYesNo(const std::string& question) {
  if (isatty(STDIN_FILENO) != 1) return std::nullopt;
  {
    std::lock_guard<std::mutex> g(m_);
    ClearLocked();
    std::fputs((question + " [a/N] ").c_str(), stderr);
    std::fflush(stderr);
  }
  std::string answer;
  char c;
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n <= 0) return std::nullopt;  // end of input, or Ctrl-C
    if (c == '\n') break;
    answer += c;
  }
  // "a"/"ano" is yes in Czech; "y"/"yes" are accepted too. Everything else is the default, No.
  for (auto& ch : answer) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return answer == "a" || answer == "ano" || answer == "y" || answer == "yes";
}

}  // namespace cli
