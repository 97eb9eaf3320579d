#include "device/qvpWNASPI32.h"

#include <memory>
#include <mutex>
#include <vector>

#include "platform/DynLib.h"
#include "platform/Threads.h"

namespace qvp {

bool LoadAspiLibrary(std::string_view name, TAspiEntryPoints& entries) {
  entries = {};
  auto lib = std::make_unique<plat::TLibrary>();
  if (!lib->Load(name)) return false;
  auto support = reinterpret_cast<plat::TGetASPI32SupportInfo>(lib->Symbol("GetASPI32SupportInfo"));
  auto send = reinterpret_cast<plat::TSendASPI32Command>(lib->Symbol("SendASPI32Command"));
  if (!support || !send) return false;
  entries.SupportInfo = support;
  entries.Send = send;
  // A loaded driver library stays for the life of the process: request blocks may still refer
  // to it, and every later discovery finds it again by name.
  lib->Keep();
  static std::mutex m;
  static std::vector<std::unique_ptr<plat::TLibrary>> kept;
  std::lock_guard<std::mutex> lock(m);
  kept.push_back(std::move(lib));
  return true;
}

uint32_t AspiSendAndWait(plat::TSendASPI32Command send, plat::SRB_ExecSCSICmd& srb) {
  plat::TEvent done(false);
  srb.SRB_Flags |= plat::SRB_EVENT_NOTIFY;
  srb.SRB_PostProc = &done;
  uint32_t result = send(&srb);
  if (result == plat::SS_PENDING) done.Wait();
  done.Reset();
  srb.SRB_PostProc = nullptr;
  return result;
}

}  // namespace qvp
