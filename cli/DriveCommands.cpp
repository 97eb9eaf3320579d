// drives, info, eject, load: the drive list and the report on the selected recorder.
#include "cli/Commands.h"
#include "cli/Session.h"
#include "engine/qvpQuorvexPro.h"
#include "frontend/Outcome.h"
#include "frontend/Report.h"
#include "frontend/Texts.h"

namespace cli {

int RunDrives(TSession& s) {
  s.InitializeDevices();
  TQuorvexPro& qvx = s.Qvx();
  const int count = qvx.GetDeviceCount();
  if (count == 0) s.NoRecorder();
  for (int i = 0; i < count; ++i) {
    const auto index = static_cast<uint8_t>(i);
    const std::string name = qvx.GetDeviceName(index);
    const bool answers = qvx.SelectDevice(index);
    const std::string mark =
        !answers         ? "  [does not answer: " + SelectAnswerText(qvx.GetSelectAnswer()) + "]"
        : qvx.IsWriter() ? "  [recorder]"
                         : "";
    s.Console().Log(std::to_string(i) + ": " + name + mark);
  }
  return kExitDone;
}

int RunInfo(TSession& s) {
  if (const int rc = s.SelectDrive(true)) return rc;
  for (const auto& line : fe::ReportLines(fe::CollectMediumFacts(s.Qvx()))) s.Console().Log(line);
  return kExitDone;
}

int RunEject(TSession& s) {
  if (const int rc = s.SelectDrive(false)) return rc;
  if (s.Qvx().EjectDisc(false)) return kExitDone;
  s.Console().Message(fe::FailureText(fe::TakeFailure(s.Qvx())));
  return kExitFailed;
}

int RunLoad(TSession& s) {
  if (const int rc = s.SelectDrive(false)) return rc;
  if (s.Qvx().LoadDisc(false)) return kExitDone;
  s.Console().Message(fe::FailureText(fe::TakeFailure(s.Qvx())));
  return kExitFailed;
}

}  // namespace cli
