#pragma once
// The recorders the shim serves as device nodes: read from the environment the launcher sets,
// recognised by path or by the identity of the file their descriptors are open on (so a
// descriptor stays a recorder across dup, fork and exec), and driven command by command.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sgshim {

// Environment of a process the launcher starts: "NODE=FOLDER" entries separated by ':'.
constexpr const char* kDrivesVariable = "ARDOVAN_SGSHIM_DRIVES";
// Optional: a file that receives one line per notable event (refusals, unknown ioctls).
constexpr const char* kLogVariable = "ARDOVAN_SGSHIM_LOG";
// The regular file in a recorder folder that stands for the node: every descriptor of the node
// is open on it, which is how any process recognises one.
constexpr const char* kBackingFile = "sgnode";
// Device major number of SCSI CD-ROM nodes.
constexpr unsigned kSrMajor = 11;

struct TNode {
  std::string name;     // as clients open it, e.g. "/dev/sr7"
  std::string folder;   // the recorder folder
  std::string backing;  // folder + "/" + kBackingFile
  unsigned minor = 0;
  unsigned host = 0;  // SCSI host number reported for it; no real host has it
  dev_t dev = 0;
  ino_t ino = 0;
};

// Parses the drives variable; false with a reason for a malformed entry.
bool ParseDrives(const std::string& text, std::vector<TNode>& nodes, std::string& error);
// The minor number a node name implies: its trailing digits ("/dev/sr7" -> 7), else 64 + index.
unsigned MinorOf(const std::string& name, size_t index);

// False when the drives variable is unset: every interposer then forwards at once.
bool Active();
const std::vector<TNode>& Nodes();
int NodeOfPath(const char* path);  // node index or -1: one string compare per node
int NodeOfFd(int fd);              // node index or -1

// Shim code runs with this set on its thread; interposers called meanwhile (by the recorder's
// own file work) forward to the C library at once.
bool Inside();
class TInside {
 public:
  TInside();
  ~TInside();
  TInside(const TInside&) = delete;
  TInside& operator=(const TInside&) = delete;

 private:
  bool was_;
};

// One command block to node's recorder. Returns the SCSI status (0 good, 2 check condition,
// 8 busy) or -1 when the recorder cannot be opened; sense receives 18 bytes of fixed-format
// sense data on check condition.
struct TCommandResult {
  int status = -1;
  uint8_t sense[18] = {};
  uint32_t dataIn = 0;  // bytes returned
};
TCommandResult RunCommand(int node, const uint8_t* cdb, uint8_t cdbLen, uint8_t direction,
                          uint8_t* data, uint32_t dataLen);
// The facts a stat of the node reports.
void FillStat(int node, struct stat& st);
// Saves the recorders' unsaved progress (before another program image takes over).
void SaveAll();
// What a program started from here needs to stay under the shim: "NAME=value" entries of the
// shim's variables as they were at start, and the shim library's own path for LD_PRELOAD.
const std::vector<std::string>& ShimEnvironment();
const std::string& ShimLibrary();

// Appends a line to the log file, when one is configured.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace sgshim
