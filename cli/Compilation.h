#pragma once
// The compilation as the command line assembles it from the user's paths: each path made
// absolute, checked as the compilation list checks a drop (the program's refusal messages), and
// a path that names no file or folder told as a mistake in the command.
#include <string>
#include <vector>

#include "frontend/Compilation.h"

namespace cli {

class TConsole;

enum class TAdd { Added, Refused, Missing };
// Adds a file or folder to the list. A path already listed, and a file whose name is longer than
// 130 characters, are Refused with the program's message in `message`; a path that does not exist
// or is no file or folder (a FIFO, a socket, a device) is Missing, with the CLI's message.
TAdd AddPath(fe::TCompilationList& list, const std::string& path, std::string& message);

// Builds the list from the user's paths; prints the refusals. kExitDone or kExitUsage.
int BuildCompilation(const std::vector<std::string>& paths, fe::TCompilationList& list,
                     TConsole& console);

// Sets the compilation options on the component; a refused boot image is told. kExitDone or
// kExitUsage.
int ApplyCompilationOptions(TQuorvexPro& qvx, const fe::TCompilationOptions& o, TConsole& console);

}  // namespace cli
