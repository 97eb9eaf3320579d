#pragma once
// Runs ardovan-cli and ardovan-vdrive as a user would, against virtual recorders in temporary
// folders, with the program's clock scaled, and reads the discs back with independent readers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TestEnv.h"

namespace clitest {

namespace fs = std::filesystem;

struct TRun {
  int Code = -1;
  std::string Out;
  std::string Err;
  std::string All() const { return Out + Err; }
};

// Lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

// Log lines without their time stamps ("hh:mm:ss.zzz" is 12 characters); other lines unchanged.
inline std::vector<std::string> LogTexts(const std::string& out) {
  std::vector<std::string> texts;
  for (const auto& l : Lines(out)) {
    const bool stamped = l.size() > 12 && l[2] == ':' && l[5] == ':' && l[8] == '.' &&
                         l.compare(12, 5, " >>> ") == 0;
    texts.push_back(stamped ? l.substr(12) : l);
  }
  return texts;
}

inline int Count(const std::vector<std::string>& lines, const std::string& line) {
  int n = 0;
  for (const auto& l : lines) n += l == line;
  return n;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return Count(lines, line) > 0;
}

class TCliTest : public ::testing::Test {
 protected:
  void SetUp() override { work_ = testenv::MakeTempDir("cli"); }

  // A recorder folder with a blank medium (or none when medium is empty).
  std::string Recorder(const std::string& medium, const std::string& extra = "",
                       const std::string& model = "bd") {
    const std::string dir = work_ + "/recorder" + std::to_string(recorders_++);
    Tool("create " + testenv::Quote(dir) + " --model " + model);
    if (!medium.empty())
      Tool("insert " + testenv::Quote(dir) + " --medium " + medium + " " + extra);
    return dir;
  }

  // ardovan-vdrive; the command must succeed.
  std::string Tool(const std::string& args) {
    std::string out;
    EXPECT_EQ(testenv::Run(std::string(ARDOVAN_VDRIVE_TOOL) + " " + args, &out), 0) << args << "\n"
                                                                                    << out;
    return out;
  }

  // The environment every run gets: the recorders, a settings folder of the test's own, the
  // scaled clock, the C locale.
  std::string Env(const std::vector<std::string>& recorders) const {
    std::string list;
    for (const auto& r : recorders) list += (list.empty() ? "" : ":") + r;
    return "ARDOVAN_VDRIVES=" + testenv::Quote(list) +
           " XDG_CONFIG_HOME=" + testenv::Quote(work_ + "/config") +
           " ARDOVAN_CLOCK_SCALE=" + std::to_string(clockScale_) + " LC_ALL=C ";
  }

  // The kept settings file, ardovan.ini.
  void WriteSettings(const std::string& text) {
    fs::create_directories(work_ + "/config/ardovan");
    testenv::WriteFile(work_ + "/config/ardovan/ardovan.ini", text);
  }

  TRun Cli(const std::string& args, const std::vector<std::string>& recorders = {}) {
    const std::string out = work_ + "/stdout", err = work_ + "/stderr";
    TRun r;
    r.Code =
        testenv::Run("( " + Env(recorders) + testenv::Quote(ARDOVAN_CLI_EXE) + " " + args + " >" +
                     testenv::Quote(out) + " 2>" + testenv::Quote(err) + " </dev/null )");
    r.Out = testenv::ReadText(out);
    r.Err = testenv::ReadText(err);
    return r;
  }

  // A CD-R recorder whose third WRITE finds the drive busy writing for `retries` retries of
  // 100 ms (0: until the fault is cleared; the job gives up after 5,000), so that a burn's data
  // phase lasts; the clock then runs only ten times faster.
  std::string StalledRecorder(int retries) {
    const std::string r = Recorder("cd-r");
    Tool("fault " + r + " --opcode 2A --sense 2/04/08 --from 3 --times " + std::to_string(retries));
    clockScale_ = 10;
    return r;
  }

  // A shell script that runs ardovan-cli with args (and the shell redirections in `tail`) in
  // place of itself, after printing its process id when tellPid is set.
  std::string CliScript(const std::string& args, const std::vector<std::string>& recorders,
                        const std::string& tail, bool tellPid) {
    const std::string script = work_ + "/cli" + std::to_string(scripts_++) + ".sh";
    testenv::WriteFile(script, std::string(tellPid ? "echo $$\n" : "") + "exec env " +
                                   Env(recorders) + testenv::Quote(ARDOVAN_CLI_EXE) + " " + args +
                                   " " + tail + "\n");
    return script;
  }

  // ardovan-cli with args running in the background (standard error to errFile); its standard
  // output is read through Pipe, and the last line read is "exit=N".
  struct TRunning {
    FILE* Pipe = nullptr;
    pid_t Pid = 0;
    std::string Out;
    // The next line of standard output, or false at its end.
    bool ReadLine(std::string& line) {
      char buf[4096];
      if (std::fgets(buf, sizeof buf, Pipe) == nullptr) return false;
      line = buf;
      Out += line;
      return true;
    }
    // Reads to the end; the exit code.
    int Finish() {
      std::string line;
      while (ReadLine(line)) {
      }
      pclose(Pipe);
      const size_t at = Out.rfind("exit=");
      if (at == std::string::npos) return -1;
      const int code = std::atoi(Out.c_str() + at + 5);
      Out.erase(at);
      return code;
    }
  };
  TRunning Start(const std::string& args, const std::vector<std::string>& recorders,
                 const std::string& errFile) {
    const std::string script =
        CliScript(args, recorders, "2>" + testenv::Quote(errFile) + " </dev/null", true);
    TRunning r;
    r.Pipe = popen(("sh " + testenv::Quote(script) + "; echo exit=$?").c_str(), "r");
    std::string pid;
    if (r.Pipe != nullptr && r.ReadLine(pid)) r.Pid = static_cast<pid_t>(std::stol(pid));
    r.Out.clear();
    return r;
  }

  // How often the recorder's armed faults have fired so far (kept in faults.json).
  static int Fired(const std::string& recorder) {
    const std::string faults = testenv::ReadText(recorder + "/faults.json");
    const size_t at = faults.find("\"fired\":");
    return at == std::string::npos ? 0 : std::atoi(faults.c_str() + at + 8);
  }
  // Waits (60 s at most) until an armed fault of the recorder has fired: the program is then at
  // the command the fault stalls.
  static bool WaitUntilFired(const std::string& recorder) {
    for (int i = 0; i < 60000 && Fired(recorder) == 0; ++i) usleep(1000);
    return Fired(recorder) > 0;
  }

  // What the recorder holds, as an image file.
  std::string Export(const std::string& recorder) {
    const std::string iso = work_ + "/export" + std::to_string(exports_++) + ".iso";
    Tool("export " + testenv::Quote(recorder) + " --output " + testenv::Quote(iso));
    return iso;
  }

  std::string Path(const std::string& name) const { return work_ + "/" + name; }

  std::string work_;
  int recorders_ = 0;
  int exports_ = 0;
  int scripts_ = 0;
  double clockScale_ = 1000;
};

// Disc path ("/folder/file") -> source file on disk.
using TExpected = std::map<std::string, std::string>;

// The files of a source folder as they lie on the disc when the folder is burned (a top-level
// folder of its name).
inline void AddFolder(TExpected& e, const std::string& folder) {
  const std::string top = fs::path(folder).filename().string();
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator();
       ++it)
    if (it->is_regular_file())
      e["/" + top + "/" + fs::relative(it->path(), folder).string()] = it->path().string();
}

inline bool SameFile(const std::string& a, const std::string& b) {
  return testenv::ReadFile(a) == testenv::ReadFile(b) && fs::exists(a) && fs::exists(b);
}

// Extracts the image with xorriso (Joliet names), 7z (the ISO or the UDF view) and isoinfo (one
// file at a time through its Joliet names) and checks every file against its source, and that
// nothing else is on the disc.
inline void ExpectReadBack(const std::string& iso, const TExpected& expected, bool udf,
                           const std::string& scratch) {
  auto checkTree = [&](const std::string& root, const std::string& reader) {
    SCOPED_TRACE(reader);
    size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it)
      if (it->is_regular_file()) ++files;
    EXPECT_EQ(files, expected.size());
    for (const auto& [inside, source] : expected)
      EXPECT_TRUE(SameFile(root + inside, source)) << inside;
  };
  std::string out;
  const std::string q = testenv::Quote(iso);

  const std::string xo = scratch + "/xorriso";
  ASSERT_EQ(testenv::Run("xorriso -abort_on FAILURE -indev " + q + " -osirrox on -extract / " +
                             testenv::Quote(xo),
                         &out),
            0)
      << out;
  testenv::Run("chmod -R u+w " + testenv::Quote(xo));
  checkTree(xo, "xorriso");

  const std::string sz = scratch + "/7z";
  ASSERT_EQ(testenv::Run("7z x -y -t" + std::string(udf ? "udf" : "iso") + " -o" +
                             testenv::Quote(sz) + " " + q,
                         &out),
            0)
      << out;
  checkTree(sz, udf ? "7z, UDF" : "7z, ISO 9660");

  // isoinfo, through the ISO 9660 names (the sources' names are valid 8.3 names, so the disc
  // name is the upper-case source name; a name without extension shows with its final dot cut).
  SCOPED_TRACE("isoinfo");
  ASSERT_EQ(testenv::Run("isoinfo -f -i " + q, &out), 0) << out;
  std::map<std::string, std::string> isoNames;
  for (const auto& listed : Lines(out)) {
    std::string key = listed;
    for (auto& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!key.empty() && key.back() == '.') key.pop_back();
    isoNames[key] = listed;
  }
  const std::string one = scratch + "/isoinfo.bin";
  for (const auto& [inside, source] : expected) {
    std::string key = inside;
    for (auto& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(isoNames.count(key)) << inside << "\n" << out;
    ASSERT_EQ(testenv::Run("isoinfo -i " + q + " -x " + testenv::Quote(isoNames[key]) + " > " +
                           testenv::Quote(one)),
              0);
    EXPECT_TRUE(SameFile(one, source)) << inside;
  }
}

// Writes a file of deterministic bytes.
inline std::string MakeFile(const std::string& path, size_t size, uint32_t seed) {
  fs::create_directories(fs::path(path).parent_path());
  testenv::WriteFile(path, testenv::RandomBytes(size, seed));
  return path;
}

}  // namespace clitest
