#pragma once
// `ardovan-vdrive attach DIR --as /dev/sr7 [DIR2 --as /dev/sr8 ...] -- COMMAND ARGS...`: runs a
// program with virtual recorders served as device nodes by the preload shim.
#include <string>
#include <vector>

namespace vdrive {

struct TAttachment {
  std::string folder;  // recorder folder, absolute
  std::string node;    // e.g. "/dev/sr7"
};

// Parses the arguments after "attach"; false with a reason when they are not usable.
bool ParseAttach(const std::vector<std::string>& args, std::vector<TAttachment>& drives,
                 std::vector<std::string>& command, std::string& error);
// The value of the shim's drives variable for the attachments.
std::string ShimDrivesValue(const std::vector<TAttachment>& drives);
// The shim library beside this program (build tree) or in the library folder (installed).
std::string FindShimLibrary();

// Runs the command in place of this process; returns only on failure (exit code 1, or 2 for a
// usage error), after printing why.
int AttachMain(const std::vector<std::string>& args);

}  // namespace vdrive
