#pragma once
// The erase job: empties a rewritable medium on a thread of its own. DVD+RW, DVD-RAM and BD-RE
// are formatted and/or overwritten with zeros at their start; every other medium is blanked.
#include <cstdint>

#include "engine/qvpJob.h"
#include "platform/Threads.h"

namespace qvp {
struct TSCSIDevice;
}

class TEraseThread : public plat::TThread {
 public:
  // Starts at once; handler is the copy of OnEraseDone taken by EraseDisc.
  TEraseThread(TJobState& job, qvp::TSCSIDevice& device, bool quick, TEraseDoneEvent handler);
  ~TEraseThread() override;

 protected:
  void Execute() override;

 private:
  // count zero writes of 32 sectors from LBA 0; false when one is refused (or the erase is
  // aborted between two of them).
  bool WriteZeros(uint32_t count, bool keepHandleOpen);
  bool FormatThenWait(const uint8_t (&list)[12]);
  // Records the refusal of the last command as the erase's failure; returns false.
  bool Refused();

  TJobState& job_;
  qvp::TSCSIDevice& d_;
  bool quick_;
  TEraseDoneEvent handler_;
};
