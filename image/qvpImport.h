#pragma once
// Session import into the compilation: the files and folders of a session already on the medium
// become entries that point at their data where it lies, so the new session's trees list them
// beside the new files while only the new files' data is written.
#include "image/qvpImportTypes.h"
#include "image/qvpSessionReader.h"

// Merges an imported session under the compilation as it stands (call it after the insertions):
// a folder of the compilation that has the name of an imported one takes in its entries, a file
// or folder of the compilation stands where an imported entry has its name (the old data stays on
// the medium, unreferenced), every other imported entry is added with its recorded names, date,
// size and extents. The OnAddFile handler is not called for them, and ReplaceFile plays no part.
// Refused, leaving the compilation unchanged: TooLarge when the tables could not take every
// entry, Unsupported when the UDF bridge is on and some data lies before the partition it can
// reach (LBA 257).
TImportResult MergeImportedSession(TImageBuilder& b, const TImportedSession& s);

// True when the compilation holds entries taken from a session on the medium.
bool HasImportedEntries(const TImageBuilder& b);
