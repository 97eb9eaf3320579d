#pragma once
// What a file is and whether it can be read: the identity a source had when it was compiled
// (to tell later whether it changed or was replaced), its kind (a FIFO or a device is never
// streamed), and a read check done before anything is written.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace plat {

// Longest path the system opens, in bytes (without the terminating NUL).
constexpr size_t kMaxPathBytes = 4095;

enum class TFileKind : uint8_t {
  Missing,
  Regular,
  Directory,
  Fifo,
  Socket,
  CharDevice,
  BlockDevice,
  Other
};
// "FIFO", "socket", "character device", ... ("missing" for Missing).
const char* FileKindName(TFileKind kind);
// The kind of the st_mode file type bits.
TFileKind FileKindOfMode(uint32_t mode);

struct TFileIdentity {
  TFileKind Kind = TFileKind::Missing;
  uint64_t Volume = 0;  // device of the file system
  uint64_t Id = 0;      // inode
  uint64_t Size = 0;
  TFileTime WriteTime;  // last modification
  uint32_t Error = 0;   // errno value when Kind is Missing
};

// Facts of the file at path, following links.
TFileIdentity IdentityOf(std::string_view path);
// Facts of an open file.
TFileIdentity IdentityOfOpen(int fd);

// Opens the file for reading and closes it again, without waiting on a FIFO; false with the
// errno value in lastError when it cannot be opened, or when it is not a regular file (EINVAL).
bool CanReadFile(std::string_view path, uint32_t& lastError);
// Whether this program may read the file (one cheap system call, for every file of a
// compilation); false with the errno value in lastError.
bool CanAccessForReading(std::string_view path, uint32_t& lastError);
// The system's text for an errno value ("Permission denied").
std::string SystemErrorText(uint32_t error);

}  // namespace plat
