#pragma once
// The event the compilation tree fires for every file or folder it is about to add. It is the
// one handler type of the program for that purpose: the burner component publishes it as its
// OnAddFile and copies it into the tree before each insertion, so the application's handler is
// the very function the tree calls.
#include <functional>

#include "platform/Files.h"

namespace img {

// Sender is an untyped object pointer; the tree fires the event with Sender = nullptr. Path is
// the item's source path (null for folders); the handler may change the find record or set Skip
// to leave the item out.
using TAddFileEvent =
    std::function<void(void* Sender, const char16_t* Path, plat::TFindData& fd, bool& Skip)>;

}  // namespace img
