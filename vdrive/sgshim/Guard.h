#pragma once
// Safety: a program under the shim never reaches a real device. Opening any block or character
// device other than the harmless ones (null, zero, random, terminals) is refused, and the files
// in which programs look up SCSI devices by address answer that there are none.
#include <sys/types.h>

namespace sgshim {

// True (with errno EACCES) when path names a device node a shimmed program must not open.
bool RefusePath(int dirfd, const char* path);
// The same check on a descriptor already opened (a path that changed under us).
bool RefuseDescriptor(int fd, const char* path);
// A descriptor with the shim's answer for the kernel's SCSI device lists, -2 for other paths.
int AnswerProcFile(const char* path, int flags);

}  // namespace sgshim
