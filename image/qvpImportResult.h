#pragma once
// Outcomes of a session import, shared by the image builder, the engine and the front ends.
#include <cstdint>

// Outcome of reading a session and merging it into the compilation.
enum class TImportResult : uint8_t {
  Imported,         // the session's files and folders are in the compilation
  NothingToImport,  // a blank medium, or no complete session: the compilation is unchanged
  DiscClosed,       // the medium is finalized: nothing can be appended to it
  NoVolume,         // no ISO 9660 volume where the session starts
  NoJoliet,         // the options write a Joliet tree, the session has none
  NoIso1999,        // the options write an ISO 9660:1999 tree, the session has none
  NoUdf,            // the options write the UDF bridge, the session has none
  Damaged,          // a structure points outside the medium, loops or contradicts itself
  Unsupported,      // recorded in a way this program cannot carry on (interleaved files, ...)
  TooLarge,         // the session and the compilation together exceed the tree's tables
  ReadError,        // a block of the medium or the image could not be read
  Aborted,          // Abort was called while the session was being read
  NoImage,          // the image file cannot be opened
};

// English text of an outcome (the front ends show their own texts).
const char* ImportResultText(TImportResult r);
