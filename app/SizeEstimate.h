#pragma once
// Sizes as the data-disc wizard counts and shows them: files and folders in KB, the medium class
// a compilation of a given size needs, and the size text with its unit.
#include <QString>

#include <cstdint>
#include <functional>

namespace app {

// A size in KB with two decimals and its unit from "B" to "EB" ("1,00 KB", "0,98 MB"): the bytes
// are divided by 1024 while they are at least 1024, and once more when the value is then at
// least 1000. "too large" past exabytes.
QString FormatSize(uint64_t kb);

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

// A file's size in KB, truncated; 0 when it cannot be read.
int64_t GetFileSizeKB(const QString& path);

// The sum of the sizes in KB (each truncated) of every file under the folder, sub-folders
// included; names that begin with a dot are skipped together with everything below them. A
// folder link that leads back to a folder above it is not followed again. `tick` is called now
// and then during a long walk (so a window can repaint).
int64_t FolderSizeKB(const QString& path, const std::function<void()>& tick = {});

}  // namespace app
