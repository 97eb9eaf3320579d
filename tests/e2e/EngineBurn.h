#pragma once
// Burns through the whole engine onto virtual recorders, then reads the exported medium with
// readers no one here wrote (xorriso, 7z, isoinfo, udfinfo): every file must equal its source.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/qvpQuorvexPro.h"
#include "platform/Clock.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Media.h"
#include "vdrive/Tool.h"
#include "vdrive/VirtualDrives.h"

namespace engine_e2e {

namespace fs = std::filesystem;
using vdrive::TMediumKind;

// Byte-for-byte comparison of two files; empty when equal.
inline std::string Compare(const std::string& a, const std::string& b) {
  const auto x = testenv::ReadFile(a);
  if (!fs::exists(b)) return "missing " + b;
  const auto y = testenv::ReadFile(b);
  if (x != y)
    return "differs: " + b + " (" + std::to_string(x.size()) + " / " + std::to_string(y.size()) +
           " bytes)";
  return {};
}

// Every regular file below src is below out under the same relative path with the same bytes,
// and out holds no other file.
inline void ExpectSameTree(const std::string& src, const std::string& out,
                           const std::string& what) {
  SCOPED_TRACE(what);
  size_t expected = 0, found = 0;
  for (const auto& e : fs::recursive_directory_iterator(src)) {
    if (!e.is_regular_file()) continue;
    ++expected;
    EXPECT_EQ(Compare(e.path().string(), out + "/" + fs::relative(e.path(), src).string()), "");
  }
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) ++found;
  EXPECT_EQ(found, expected);
}

inline std::string Sh(const std::string& cmd) {
  std::string out;
  const int rc = testenv::Run(cmd, &out);
  EXPECT_EQ(rc, 0) << cmd << "\n" << out.substr(0, 3000);
  return out;
}

// The Joliet tree of the session whose descriptors start at sbsector (the first when 0).
inline std::string ExtractJoliet(const std::string& iso, uint32_t sbsector = 0) {
  const std::string out = testenv::MakeTempDir("xorriso");
  fs::remove(out);
  const std::string load = sbsector ? " -load sbsector " + std::to_string(sbsector) : "";
  Sh("xorriso -abort_on FAILURE -return_with FAILURE 32 -osirrox on -indev " + testenv::Quote(iso) +
     load + " -extract / " + testenv::Quote(out) + " 2>&1");
  return out;
}

inline std::string ExtractUdf(const std::string& iso) {
  const std::string out = testenv::MakeTempDir("7z");
  Sh("7z x -y -tudf -o" + testenv::Quote(out) + " " + testenv::Quote(iso));
  return out;
}

// A folder with nested folders, Czech names and files of awkward sizes.
inline std::string MakeSourceFolder(uint32_t seed, size_t bigFile = 300000) {
  const std::string dir = testenv::MakeTempDir("src");
  fs::create_directories(dir + "/Dokumenty/Fotky z léta");
  testenv::WriteFile(dir + "/prázdný.txt", std::string());
  testenv::WriteFile(dir + "/jeden bajt.bin", testenv::RandomBytes(1, seed));
  testenv::WriteFile(dir + "/Dokumenty/přes sektor.dat", testenv::RandomBytes(2049, seed + 1));
  testenv::WriteFile(dir + "/Dokumenty/Fotky z léta/velký soubor.raw",
                     testenv::RandomBytes(bigFile, seed + 2));
  testenv::WriteFile(dir + "/Dokumenty/Fotky z léta/blok.bin",
                     testenv::RandomBytes(65536, seed + 3));
  return dir;
}

class EngineBurn : public ::testing::Test {
 protected:
  std::string rec;
  std::unique_ptr<TQuorvexPro> q;
  int events = 0;
  bool failed = false;

  void SetUp() override {
    for (const char* p : {"xorriso", "7z"})
      if (!testenv::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
    plat::SetRealDriveFolder(testenv::MakeTempDir("dev"));
    plat::SetClockScale(1000);
  }
  void TearDown() override {
    q.reset();
    testenv::SetEnv("ARDOVAN_VDRIVES", "");
    plat::RescanDrives();
    plat::SetClockScale(1);
  }

  // A recorder of the model, found and selected by a component with an owner.
  void Use(const std::string& model) {
    q.reset();
    rec = testenv::MakeTempDir(model);
    std::string error;
    ASSERT_TRUE(vdrive::CreateRecorder(rec, model, false, error)) << error;
    testenv::SetEnv("ARDOVAN_VDRIVES", rec);
    vdrive::RegisterVirtualDrives();
    plat::RescanDrives();
    q = std::make_unique<TQuorvexPro>(true);
    ASSERT_TRUE(q->InitializeDevices(0, "", ""));
    ASSERT_EQ(q->GetDeviceCount(), 1);
    ASSERT_TRUE(q->SelectDevice(0));
    q->OnWriteDone = [this](TQuorvexPro* s, uint8_t, bool f) {
      EXPECT_EQ(s, q.get());
      ++events;
      failed = f;
    };
    q->SetCacheSize(2);
    q->SetUDFBridge(true);
  }
  void Insert(TMediumKind kind, bool formatted = false) {
    std::string error;
    ASSERT_TRUE(vdrive::InsertBlank(rec, kind, std::nullopt, formatted, error)) << error;
    WaitReady();
  }
  void WaitReady() {
    for (int i = 0; i < 20000 && !q->IsUnitReady(); ++i) plat::Sleep(100);
    ASSERT_TRUE(q->IsUnitReady());
  }
  // Dispatches the component's messages until the job's one event has arrived.
  void WaitForWrite() {
    for (int i = 0; i < 600000 && events == 0; ++i) q->NotifyQueue()->WaitAndDispatch(1000);
    ASSERT_EQ(events, 1);
    q->NotifyQueue()->WaitAndDispatch(100);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(q->GetStatus(), 0);
    events = 0;
  }
  void Compile(const std::string& src, const std::string& label) {
    q->ClearCompilation();
    q->SetVolumeID(label);
    ASSERT_NE(q->InsertDir("\\", src, false, true, "*.*"), nullptr);
    ASSERT_GT(q->PrepareImage(), 0);
  }
  void BurnData() {
    ASSERT_TRUE(q->BurnData()) << q->GetLastErrorText();
    WaitForWrite();
    EXPECT_FALSE(failed) << q->GetLastErrorText();
  }
  void BurnImage(const std::string& iso) {
    ASSERT_TRUE(q->BurnImage(iso)) << q->GetLastErrorText();
    WaitForWrite();
    EXPECT_FALSE(failed) << q->GetLastErrorText();
  }
  std::string Export() {
    const std::string out = testenv::MakeTempDir("export") + "/medium.iso";
    std::string error;
    EXPECT_TRUE(vdrive::ExportMedium(rec, out, std::nullopt, error)) << error;
    return out;
  }
};

}  // namespace engine_e2e
