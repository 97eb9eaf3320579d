#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testenv {
namespace {

std::string& RootStorage() {
  static std::string root;
  return root;
}

void RemoveRoot() {
  if (RootStorage().empty() || getenv("ARDOVAN_KEEP_TEST_DIRS")) return;
  std::error_code ec;
  fs::remove_all(RootStorage(), ec);
}

}  // namespace

void SetUpProcess() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ardovan-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("cannot create the test folder");
  RootStorage() = buf.data();
  const std::string& r = RootStorage();
  for (const char* sub : {"config", "data", "runtime", "tmp"})
    fs::create_directories(r + "/" + sub);
  chmod((r + "/runtime").c_str(), 0700);
  SetEnv("XDG_CONFIG_HOME", r + "/config");
  SetEnv("XDG_DATA_HOME", r + "/data");
  SetEnv("XDG_RUNTIME_DIR", r + "/runtime");
  SetEnv("TMPDIR", r + "/tmp");
  SetEnv("ARDOVAN_VDRIVES", "");
  atexit(RemoveRoot);
}

const std::string& Root() { return RootStorage(); }

std::string MakeTempDir(std::string_view hint) {
  static std::atomic<int> counter{0};
  std::string p = Root() + "/" + std::string(hint) + "-" + std::to_string(counter++);
  fs::create_directories(p);
  return p;
}

std::string SourceDir() { return ARDOVAN_SOURCE_DIR; }
std::string BinaryDir() { return ARDOVAN_BINARY_DIR; }

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& content) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  auto v = ReadFile(path);
  return std::string(v.begin(), v.end());
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng() >> 24);
  return v;
}

int Run(const std::string& command, std::string* output) {
  std::string cmd = command + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  if (output) *output = std::move(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(std::string_view s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

bool HaveProgram(std::string_view name) {
  bool have = Run("command -v " + Quote(name) + " >/dev/null") == 0;
  // On a developer's machine a missing reader skips its check; in CI every dependency is
  // installed by scripts/install-deps, so a missing one must fail rather than skip quietly.
  const char* ci = getenv("CI");
  if (!have && ci && *ci) ADD_FAILURE() << name << " is missing; scripts/install-deps installs it";
  return have;
}

void SetEnv(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

}  // namespace testenv
