#pragma once
// Sizes as the compilation counts them: files and folders in KB, and the medium class a
// compilation of a given size needs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fe {

// What a file takes in KB: its size rounded up to whole KB, so a file under 1 KB still counts;
// 0 when its size cannot be read.
uint64_t KBOfBytes(uint64_t bytes);
uint64_t FileSizeKB(const std::string& path);

struct TFolderSize {
  uint64_t KB = 0;
  // Folder links that lead back to a folder above them: left out, named here (UTF-8 paths).
  std::vector<std::string> LoopingLinks;
};

// Every file under the folder, each counted as FileSizeKB counts it; names that begin with a dot
// are skipped with everything below them. Every folder is walked once: a link to a folder met
// already (through another path) adds nothing, a link back to a folder above it is named in
// LoopingLinks. `tick` is called now and then during a long walk (so a window can repaint).
TFolderSize FolderSize(const std::string& path, const std::function<void()>& tick = {});

// The medium a compilation needs: size bar maximum, medium name and capacity text.
struct TMediumClass {
  int64_t FromKB;  // the class applies from this size up
  int BarMaximum;
  const char* Medium;
  const char* Capacity;
};
// The class of a compilation of totalKB: the last one whose threshold it reaches (each threshold
// equals the bar maximum of the class below it).
const TMediumClass& MediumClassFor(int64_t totalKB);

}  // namespace fe
