#pragma once
// Registration of the virtual recorders in the platform's drive namespace.
#include <memory>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace vdrive {

// Installs the provider that yields the recorders named by ARDOVAN_VDRIVES (folders separated by
// ':', each made on first use with the default model and no medium; an empty value means none)
// or, when the variable is unset, the default recorder $XDG_DATA_HOME/ardovan/recorder0, made on
// first use with a blank DVD+R. Executables and tests call it at start.
void RegisterVirtualDrives();

// The recorders the provider yields right now; the same objects on every call for a folder.
std::vector<std::shared_ptr<plat::TVirtualDrive>> CurrentVirtualDrives();

// The folders the environment names, in order.
std::vector<std::string> VirtualDriveFolders();

}  // namespace vdrive
