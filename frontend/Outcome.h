#pragma once
// How the front ends tell what went wrong: the failure that ended a job (the component's error
// code, its text and the sense of the refused command), in the command line's English and in the
// windows' Czech; the reasons of entries a compilation left out; the refusals of a session
// import; and the steps of a job that the drive must be allowed to finish.
#include <cstdint>
#include <string>

#include "device/qvpSense.h"
#include "image/qvpImportResult.h"
#include "image/qvpTreeOmitted.h"

class TQuorvexPro;

namespace fe {

struct TJobFailure {
  uint32_t Code = 0;      // engine error code (kErr...); 0 when a drive command was refused
  std::string Text;       // the component's text of it
  qvp::TSense Sense;      // the sense of the refused command that ended the job
  int32_t HolderPid = 0;  // with kErrRecorderInUse: the program that holds the recorder, or 0
  bool InUse() const;
};

// The component's account of its last failure; its error code is consumed.
TJobFailure TakeFailure(TQuorvexPro& qvx);
// English: the component's text, with the sense decoded beside "Hardware Error %u".
std::string FailureText(const TJobFailure& f);
// Czech, for the windows' log and messages (the technical detail stays as the component gives it).
std::string FailureTextCz(const TJobFailure& f);

// Czech reason of an entry the compilation left out.
std::string OmitReasonCz(const TOmittedEntry& e);
// The path shown for it ("…" for the line that counts the entries beyond the list).
std::string OmittedPath(const TOmittedEntry& e);

// Czech refusal of a session import that did not give Imported or NothingToImport.
std::string ImportRefusalCz(TImportResult r);
inline bool ImportGoesOn(TImportResult r) {
  return r == TImportResult::Imported || r == TImportResult::NothingToImport;
}

// A step that an abort waits for (kStepClosing, ...): the log line and the command line's text.
std::string UninterruptibleLine(uint8_t step);
std::string UninterruptibleText(uint8_t step);

namespace text {
// A burn refused before anything was sent: prefix + the Czech failure + "... ".
inline constexpr const char* kNotStartedPrefix = " >>> Vypalování se neprovede: ";
// The compilation lacks entries and the user did not agree to burn without them.
inline constexpr const char* kIncompletePrefix =
    " >>> Kompilace není úplná (nepřidáno: ";  // + n + suffix
inline constexpr const char* kIncompleteSuffix = "), vypalování se neprovede... ";
inline constexpr const char* kIncompleteQuestion =
    "Některé soubory a složky nelze do kompilace přidat (jsou vypsány v průběhu vypalování). "
    "Přejete si přesto vypálit disk bez nich?";
inline constexpr const char* kNotRegularPrefix = "není obyčejný soubor (";  // + kind + ")"
}  // namespace text

}  // namespace fe
