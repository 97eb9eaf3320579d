#pragma once
// The verification's lines, for the burn sequence of both front ends and for the command line's
// verify: how the pass ended, and the name of the progress it shows.
#include <string>

#include "engine/qvpEvents.h"

namespace fe {

namespace text {
inline constexpr const char* kVerifyPassed = " >>> Ověření dat proběhlo v pořádku...";
inline constexpr const char* kVerifyFailed = " >>> Ověření dat selhalo: blok ";  // + N
inline constexpr const char* kVerifyFailedFile = ", soubor ";                    // + P
// P of a block that belongs to no file: directories, the UDF area, padding.
inline constexpr const char* kVerifyNoFile = "(systémová data disku)";
inline constexpr const char* kVerifyAborted = " >>> Ověření dat bylo přerušeno...";
inline constexpr const char* kVerifyNotDone = " >>> Ověření dat nebylo možné provést...";
// The outcome of a burn whose verification was stopped: the disc was written whole.
inline constexpr const char* kOutcomeVerifyAborted =
    " >>> Ověření dat bylo přerušeno – disk byl vypálen celý, ale neověřen.";
// The command line's progress during the pass.
inline constexpr const char* kVerifying = "Ověřování...";
}  // namespace text

// The log line (without its time) of a verification that ran; empty when none ran.
std::string VerifyResultText(const TVerifyReport& r);

}  // namespace fe
