#pragma once
// What a descriptor of a recorder node does, as the kernel's SCSI CD-ROM driver would: open with
// exclusive claims, ioctls, block reads and writes through the page-sized view of the medium,
// and record locks that never collide with the shim's own claim.
#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <initializer_list>

#include "vdrive/sgshim/Nodes.h"

namespace sgshim {

// Opens node as the kernel would for flags; -1 with errno (EBUSY for a second exclusive opener,
// ENOMEDIUM without a medium unless O_NONBLOCK, EROFS for writing to a medium that needs
// recording commands).
int OpenNode(int node, int flags);
// An ioctl on a descriptor of node: -1 with errno, or the ioctl's result.
int NodeIoctl(int node, int fd, unsigned long request, void* arg);
// Block reads and writes at pos (the descriptor's own offset, moved on, when advance is set).
ssize_t NodeRead(int node, int fd, void* buf, size_t n, off_t pos, bool advance);
ssize_t NodeWrite(int node, int fd, const void* buf, size_t n, off_t pos, bool advance);
off_t NodeSeek(int node, int fd, off_t offset, int whence);
// fcntl record-lock commands on a node descriptor.
int NodeLock(int fd, int cmd, struct flock* lock);
bool IsLockCommand(int cmd);

// A command as the kernel's CD-ROM layer sends it for its own ioctls: 0, or -errno mapped from
// the sense data the way that layer does (unit attention and becoming ready are retried).
int Packet(int node, std::initializer_list<uint8_t> cdb, uint8_t direction, uint8_t* data,
           uint32_t len, TCommandResult* result = nullptr);
// Bytes of the medium a block read can reach (0 without a readable medium).
uint64_t MediumBytes(int node);
// CD-ROM layer ioctls; handled is false for requests that are not theirs.
int CdromIoctl(int node, unsigned long request, void* arg, bool& handled);

// The largest transfer one command may carry, and the reserved buffer size reported.
constexpr uint32_t kMaxTransfer = 16u << 20;
constexpr int kReservedSize = 1 << 20;

}  // namespace sgshim
