#pragma once
// The stand-alone erase, written once for the windows and the command line: the checks, the
// choice between a quick and a full erase, the erase job, and its end (a failure is told; the
// medium is flushed and ejected either way).
#include <optional>
#include <string>

#include "frontend/Outcome.h"

class TQuorvexPro;

namespace fe {

class TEraseHost {
 public:
  virtual ~TEraseHost() = default;
  // A message for the user.
  virtual void Message(const std::string& text) = 0;
  // "Provést rychlé mazání?": true quick, false full, nothing to cancel.
  virtual std::optional<bool> AskQuick() = 0;
  virtual void Eject() = 0;
  // The erase job has begun / has ended (before its failure is told).
  virtual void Started() {}
  virtual void Ended(bool /*failed*/) {}
};

class TEraseSequence {
 public:
  TEraseSequence(TQuorvexPro& qvx, TEraseHost& host) : qvx_(qvx), host_(host) {}

  // The checks and the start of the job; true when the job runs (its end comes to Done).
  bool Start(bool waitForMedium = false);
  // The component's OnEraseDone.
  void Done(bool failed);
  // The component's error text of a failed or refused erase (English, the sense decoded).
  const std::string& Reason() const { return reason_; }
  const TJobFailure& Failure() const { return failure_; }

 private:
  void Refused();  // the claim or the start refused: told, the recorder given back

  TQuorvexPro& qvx_;
  TEraseHost& host_;
  std::string reason_;
  TJobFailure failure_;
};

}  // namespace fe
