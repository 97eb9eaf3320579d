#pragma once
// ASPI libraries seen from the burner: loading one by its Windows name (kept loaded for the life
// of the process, as a driver library is) and sending a request block through its send entry,
// waiting on the block's own event when the library answers that the command is pending.
#include <cstdint>
#include <string_view>

#include "platform/Aspi.h"

namespace qvp {

struct TAspiEntryPoints {
  plat::TGetASPI32SupportInfo SupportInfo = nullptr;
  plat::TSendASPI32Command Send = nullptr;
};

// Loads the library ("WNASPI32.DLL" is libwnaspi32.so here) and fetches both entry points.
// False when the library or either entry point is missing.
bool LoadAspiLibrary(std::string_view name, TAspiEntryPoints& entries);

// Sends an execute block with completion by a fresh event; waits without time limit when the
// send answers pending. Returns what the send returned; the final status is in SRB_Status.
uint32_t AspiSendAndWait(plat::TSendASPI32Command send, plat::SRB_ExecSCSICmd& srb);

}  // namespace qvp
