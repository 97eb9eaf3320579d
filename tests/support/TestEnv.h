#pragma once
// Every test process runs in temporary folders of its own: the main of the test executables
// points XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and TMPDIR at a fresh folder and sets
// ARDOVAN_VDRIVES to empty (no virtual recorder) before any test runs. Nothing here touches the
// user's own folders.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testenv {

// The process's temporary root (removed at exit unless ARDOVAN_KEEP_TEST_DIRS is set).
const std::string& Root();
// A new, empty folder under the root.
std::string MakeTempDir(std::string_view hint = "dir");
std::string SourceDir();  // the project's source folder
std::string BinaryDir();  // the build folder

void WriteFile(const std::string& path, std::string_view content);
void WriteFile(const std::string& path, const std::vector<uint8_t>& content);
std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);

// Runs a shell command; returns its exit status and puts stdout+stderr into output.
int Run(const std::string& command, std::string* output = nullptr);
// Quotes a string for the shell.
std::string Quote(std::string_view s);
// True when a program is on PATH (in CI, where everything is installed, a missing one also
// fails the current test).
bool HaveProgram(std::string_view name);

// Sets an environment variable for the rest of the process (empty value is kept as empty).
void SetEnv(const char* name, const std::string& value);

}  // namespace testenv
