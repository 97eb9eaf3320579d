#pragma once
// A virtual recorder in a temporary folder, driven command by command as the device layer does.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Drives.h"
#include "tests/support/TestEnv.h"
#include "vdrive/Media.h"
#include "vdrive/Model.h"
#include "vdrive/Recorder.h"
#include "vdrive/Sense.h"
#include "vdrive/Store.h"
#include "vdrive/Tool.h"

namespace vdtest {

using vdrive::TSense;

inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

class TDrive {
 public:
  // A new recorder of the model; with a medium name, that blank medium is loaded.
  explicit TDrive(const std::string& model = "bd", const std::string& medium = "",
                  uint32_t blocks = 0, bool formatted = false) {
    dir = testenv::MakeTempDir("recorder");
    std::string error;
    EXPECT_TRUE(vdrive::CreateRecorder(dir, model, false, error)) << error;
    if (!medium.empty()) Insert(medium, blocks, formatted);
    Reopen();
  }

  void Insert(const std::string& medium, uint32_t blocks = 0, bool formatted = false) {
    std::string error;
    const auto kind = vdrive::ParseMediumKind(medium);
    ASSERT_TRUE(kind.has_value()) << medium;
    std::optional<uint32_t> b;
    if (blocks) b = blocks;
    ASSERT_TRUE(vdrive::InsertBlank(dir, *kind, b, formatted, error)) << error;
  }

  // Changes the recorder's model in drive.json (the recorder picks it up at its next command).
  template <typename F>
  void EditModel(F change) {
    std::string text, error;
    vdrive::TDriveModel m;
    ASSERT_TRUE(vdrive::ReadTextFile(dir + "/drive.json", text));
    ASSERT_TRUE(vdrive::ModelFromJson(text, m, error)) << error;
    change(m);
    ASSERT_TRUE(vdrive::WriteFileAtomic(dir + "/drive.json", vdrive::ModelToJson(m)));
  }

  // A new recorder object on the same folder, as after a restart of the program.
  void Reopen() {
    rec.reset();
    std::string error;
    rec = vdrive::TVirtualRecorder::Open(dir, &error);
    ASSERT_TRUE(rec) << error;
  }

  uint8_t Cmd(std::initializer_list<uint8_t> cdb, uint8_t direction = plat::kScsiDataUnspecified,
              uint8_t* data = nullptr, uint32_t len = 0) {
    uint8_t c[16] = {};
    size_t n = 0;
    for (uint8_t b : cdb) c[n++] = b;
    std::fill(std::begin(sense), std::end(sense), 0);
    status = rec->Execute(c, static_cast<uint8_t>(n), direction, data, len, sense, sizeof sense);
    return status;
  }
  bool Ok(std::initializer_list<uint8_t> cdb) { return Cmd(cdb) == 0; }
  std::vector<uint8_t> In(std::initializer_list<uint8_t> cdb, uint32_t len) {
    std::vector<uint8_t> d(len, 0);
    Cmd(cdb, plat::kScsiDataIn, d.data(), len);
    return d;
  }
  bool Out(std::initializer_list<uint8_t> cdb, std::vector<uint8_t> data) {
    return Cmd(cdb, plat::kScsiDataOut, data.data(), static_cast<uint32_t>(data.size())) == 0;
  }
  // Sense of the last command as key/ASC/ASCQ.
  TSense Sense() const {
    return TSense{static_cast<uint8_t>(sense[2] & 0x0F), sense[12], sense[13]};
  }

  // --- MMC helpers ---
  bool Write(uint32_t lba, uint32_t count, uint8_t fill = 0xA5) {
    std::vector<uint8_t> d(size_t(count) * 2048, fill);
    return Out({0x2A, 0, B3(lba), B2(lba), B1(lba), B0(lba), 0, B1(count), B0(count), 0}, d);
  }
  bool WritePattern(uint32_t lba, const std::vector<uint8_t>& data) {
    const uint32_t count = static_cast<uint32_t>(data.size() / 2048);
    return Out({0x2A, 0, B3(lba), B2(lba), B1(lba), B0(lba), 0, B1(count), B0(count), 0}, data);
  }
  std::vector<uint8_t> Read(uint32_t lba, uint32_t count) {
    return In({0x28, 0, B3(lba), B2(lba), B1(lba), B0(lba), 0, B1(count), B0(count), 0},
              count * 2048);
  }
  std::vector<uint8_t> DiscInfo() { return In({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 34); }
  std::vector<uint8_t> TrackInfo(uint32_t track) {
    return In({0x52, 1, B3(track), B2(track), B1(track), B0(track), 0, 0, 48, 0}, 48);
  }
  bool CloseTrack(uint16_t number, bool immediate = false) {
    return Ok({0x5B, uint8_t(immediate ? 1 : 0), 1, 0, B1(number), B0(number), 0, 0, 0, 0});
  }
  bool CloseFunction(uint8_t function, uint16_t number = 0, bool immediate = false) {
    return Ok({0x5B, uint8_t(immediate ? 1 : 0), function, 0, B1(number), B0(number), 0, 0, 0, 0});
  }
  bool Sync(bool immediate = false) {
    return Ok({0x35, uint8_t(immediate ? 2 : 0), 0, 0, 0, 0, 0, 0, 0, 0});
  }
  bool Reserve(uint32_t blocks) {
    return Ok({0x53, 0, 0, 0, 0, B3(blocks), B2(blocks), B1(blocks), B0(blocks), 0});
  }
  bool Format(std::vector<uint8_t> list, uint8_t byte1 = 0x11) {
    return Out({0x04, byte1, 0, 0, 0, 0}, std::move(list));
  }
  bool Blank(bool quick) {
    return Ok({0xA1, uint8_t(0x10 | (quick ? 1 : 0)), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  }

  // Mode page 5 as the drive has it, changed and selected back.
  std::vector<uint8_t> Page5() {
    auto d = In({0x5A, 0, 0x05, 0, 0, 0, 0, 0, 255, 0}, 255);
    const size_t h = d[8] == 0x05 ? 8 : 16;
    return std::vector<uint8_t>(d.begin() + static_cast<long>(h),
                                d.begin() + static_cast<long>(h) + 52);
  }
  bool SelectPage5(const std::vector<uint8_t>& page) {
    std::vector<uint8_t> list(8, 0);
    list.insert(list.end(), page.begin(), page.end());
    const uint16_t n = static_cast<uint16_t>(list.size());
    return Out({0x55, 0x10, 0, 0, 0, 0, 0, B1(n), B0(n), 0}, list);
  }
  // Write type, multi-session bits (3 = next session allowed), test write.
  bool SetWriteParameters(uint8_t writeType, uint8_t multiSession, bool test = false) {
    auto p = Page5();
    p[2] = static_cast<uint8_t>((p[2] & 0xE0) | (test ? 0x10 : 0) | writeType);
    p[3] = static_cast<uint8_t>((p[3] & 0x3F) | multiSession << 6);
    return SelectPage5(p);
  }

  // Polls until the drive no longer reports a long operation, with the clock running very fast
  // meanwhile (tests otherwise run it at real speed, so a NOT READY period is seen for sure).
  void WaitReady() {
    const double scale = plat::ClockScale();
    plat::SetClockScale(1e6);
    struct TRestore {
      double s;
      ~TRestore() { plat::SetClockScale(s); }
    } restore{scale};
    for (int i = 0; i < 100000; ++i) {
      Cmd({0, 0, 0, 0, 0, 0});
      const TSense s = Sense();
      if (status == 0 || !((s.key == 2 && s.asc == 0x04) || s.key == 6)) return;
      plat::Sleep(50);
    }
    FAIL() << "the drive stays busy";
  }

  static uint8_t B3(uint32_t v) { return static_cast<uint8_t>(v >> 24); }
  static uint8_t B2(uint32_t v) { return static_cast<uint8_t>(v >> 16); }
  static uint8_t B1(uint32_t v) { return static_cast<uint8_t>(v >> 8); }
  static uint8_t B0(uint32_t v) { return static_cast<uint8_t>(v); }

  std::string dir;
  std::shared_ptr<vdrive::TVirtualRecorder> rec;
  uint8_t status = 0;
  uint8_t sense[32] = {};
};

#ifdef ARDOVAN_VDRIVE_TOOL
// ardovan-vdrive as users run it: its exit code, and its output in out.
inline int Tool(const std::string& args, std::string* out = nullptr) {
  return testenv::Run(std::string(ARDOVAN_VDRIVE_TOOL) + " " + args, out);
}
#endif

// Tests run the platform clock at real speed: a long operation (half a second and more) is sure to
// be under way when the next command comes; WaitReady runs the clock fast to its end.
class VdriveTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetClockScale(1); }
};

inline std::ostream& operator<<(std::ostream& os, const TSense& s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%X/%02X/%02X", s.key, s.asc, s.ascq);
  return os << buf;
}

}  // namespace vdtest

namespace vdrive {
inline std::ostream& operator<<(std::ostream& os, const TSense& s) {
  return vdtest::operator<<(os, s);
}
}  // namespace vdrive
