#include "cli/Session.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/qvpEvents.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Readiness.h"
#include "frontend/Texts.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace cli {

uint32_t ClockMsForRealMs(uint32_t realMs) {
  const double ms = std::ceil(static_cast<double>(realMs) * plat::ClockScale());
  return static_cast<uint32_t>(std::clamp(ms, 1.0, 4.0e9));
}

TSession::TSession(TConsole& console, TGlobalOptions options)
    : console_(console),
      options_(std::move(options)),
      settings_(fe::ReadSettings(plat::SettingsFolder())),
      qvx_(std::make_unique<TQuorvexPro>(true)) {
  // The component as the main window carries it; the kept buffer-underrun choice applies.
  qvx_->SetVolumeID("Data");
  qvx_->SetCacheSize(32);
  qvx_->SetUDFBridge(false);
  qvx_->SetBurnProof(settings_.BurnProof);
}

TSession::~TSession() = default;

void TSession::InitializeDevices() {
  if (initialized_) return;
  initialized_ = true;
  qvx_->InitializeDevices(options_.Aspi ? 1 : 0, std::string(), options_.LogFile);
}

std::string SelectAnswerText(uint8_t answer) {
  switch (answer) {
    case kSelectBusy:
      return "it keeps answering BUSY";
    case kSelectRefused:
      return "it refuses to identify itself";
    case kSelectNoAnswer:
      return "no command reaches it";
    case kSelectNoSuchDrive:
      return "there is no such drive";
    default:
      return "it does not answer";
  }
}

int TSession::NoRecorder() {
  const auto unusable = qvx_->GetUnusableRecorders();
  if (unusable.empty()) {
    console_.Message(fe::text::kNoRecorder);
    return kExitRefused;
  }
  // Recorders there are, but none that works: each is named with its reason, so a damaged one
  // is not taken for none at all.
  for (const plat::TUnusableDrive& d : unusable)
    console_.Message("ardovan-cli: the recorder " + d.Path + " cannot be used: " + d.Reason);
  return kExitRefused;
}

int TSession::SelectDrive(bool waitReady) {
  InitializeDevices();
  const int count = qvx_->GetDeviceCount();
  if (count == 0) return NoRecorder();
  auto name = [this](int i) {
    return "drive " + std::to_string(i) + " (" + qvx_->GetDeviceName(static_cast<uint8_t>(i)) + ")";
  };
  int index;
  if (options_.Drive) {
    index = *options_.Drive;
    if (index < 0 || index >= count) {
      console_.Message("ardovan-cli: there is no drive " + std::to_string(index) +
                       " (the list has " + std::to_string(count) + "; see: ardovan-cli drives)");
      return kExitUsage;
    }
  } else {
    index = settings_.BurnerIndex;
    if (index < -1 || index >= count) {
      console_.Message("ardovan-cli: the drive " + std::to_string(index) +
                       " kept in the settings file " + fe::SettingsPath(plat::SettingsFolder()) +
                       " no longer exists (the list has " + std::to_string(count) +
                       "; choose one with --drive, see: ardovan-cli drives)");
      return kExitRefused;
    }
    if (index == -1) {
      // The last recorder of the list wins; the index found is not kept. A drive that does not
      // answer is not taken for one that is no recorder.
      std::vector<std::string> silent;
      for (int i = 0; i < count; ++i) {
        if (!qvx_->SelectDevice(static_cast<uint8_t>(i))) {
          silent.push_back("ardovan-cli: " + name(i) +
                           " does not answer: " + SelectAnswerText(qvx_->GetSelectAnswer()));
          continue;
        }
        qvx_->TestUnitReady();
        if (qvx_->IsWriter()) index = i;
      }
      if (index == -1) {
        if (silent.empty()) console_.Message(fe::text::kNoRecorder);
        for (const std::string& line : silent) console_.Message(line);
        return kExitRefused;
      }
    }
  }
  if (!qvx_->SelectDevice(static_cast<uint8_t>(index & 0xFF))) {
    console_.Message("ardovan-cli: " + name(index) +
                     " does not answer: " + SelectAnswerText(qvx_->GetSelectAnswer()));
    return kExitRefused;
  }
  qvx_->TestUnitReady();
  index_ = index;
  if (waitReady) WaitUntilReady();
  return kExitDone;
}

bool TSession::WaitUntilReady() {
  return fe::MediumReady(*qvx_, true, [] { return InterruptCount() > 0; });
}

void TSession::Eject(bool keep) {
  if (!keep) qvx_->EjectDisc(true);
}

void TSession::WaitFor(const std::function<bool()>& finished, const std::function<void()>& tick,
                       const std::function<void()>& interrupt) {
  plat::TNotifyQueue* queue = qvx_->NotifyQueue();
  while (!finished()) {
    for (const int now = InterruptCount(); interruptsHandled_ < now; ++interruptsHandled_)
      interrupt();
    queue->WaitAndDispatch(ClockMsForRealMs(50));
    if (!finished() && tick) tick();
  }
}

}  // namespace cli
