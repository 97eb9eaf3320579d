// Identification and capabilities: INQUIRY, GET CONFIGURATION features and profiles, mode pages
// 2Ah/05h/30h at the offsets the program reads, speed selection, and the refusals of each.
#include "tests/vdrive/Harness.h"

namespace vdtest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes& v, size_t from, size_t n) {
  return Bytes(v.begin() + long(from), v.begin() + long(from + n));
}

Bytes ModeSense(TDrive& d, uint8_t pageByte) {
  return d.In({0x5A, 0, pageByte, 0, 0, 0, 0, 0, 255, 0}, 255);
}

class Identify : public VdriveTest {};

TEST_F(Identify, InquiryHonoursTheAllocationLength) {
  TDrive d("bd");
  Bytes full = d.In({0x12, 0, 0, 0, 96, 0}, 96);
  EXPECT_EQ(Slice(full, 0, 8), (Bytes{0x05, 0x80, 0x05, 0x02, 91, 0, 0, 0}));
  EXPECT_EQ(std::string(full.begin() + 8, full.begin() + 36), "ARDOVAN VBD-R12 BD-RE   1.00");
  Bytes five(96, 0xEE);
  d.Cmd({0x12, 0, 0, 0, 5, 0}, plat::kScsiDataIn, five.data(), 96);
  EXPECT_EQ(Slice(five, 0, 6), (Bytes{0x05, 0x80, 0x05, 0x02, 91, 0xEE}));
  d.In({0x12, 0, 0x80, 0, 96, 0}, 96);  // a page without EVPD
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_EQ(Slice(d.In({0x12, 1, 0, 0, 96, 0}, 96), 0, 6), (Bytes{0x05, 0, 0, 2, 0x00, 0x80}));
}

TEST_F(Identify, UnknownCommandsTrayAndRezero) {
  TDrive d("bd");
  EXPECT_FALSE(d.Ok({0xAB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x20, 0x00}));
  EXPECT_EQ(d.sense[0], 0x70);
  EXPECT_EQ(d.sense[7], 10);
  EXPECT_FALSE(d.Ok({0x00, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x3A, 0x00}));
  EXPECT_FALSE(d.Ok({0x01, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x3A, 0x00}));
  EXPECT_TRUE(d.Ok({0x1B, 0, 0, 0, 0x02, 0}));  // open the tray
  EXPECT_FALSE(d.Ok({0x00, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{2, 0x3A, 0x02}));

  TDrive cd("bd", "cd-r");
  EXPECT_TRUE(cd.Ok({0x01, 0, 0, 0, 0, 0}));
  cd.EditModel([](vdrive::TDriveModel& m) { m.rejectsRezero = true; });
  EXPECT_FALSE(cd.Ok({0x01, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cd.Sense(), (TSense{5, 0x20, 0x00}));
  // Medium removal prevented: the tray stays shut until allowed again.
  EXPECT_TRUE(cd.Ok({0x1E, 0, 0, 0, 1, 0}));
  EXPECT_FALSE(cd.Ok({0x1B, 0, 0, 0, 0x02, 0}));
  EXPECT_EQ(cd.Sense(), (TSense{5, 0x53, 0x02}));
  EXPECT_TRUE(cd.Ok({0x1E, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(cd.Ok({0x1B, 0, 0, 0, 0x02, 0}));
  // Loading it again: becoming ready, and the medium may have changed.
  EXPECT_TRUE(cd.Ok({0x1B, 1, 0, 0, 0x03, 0}));
  EXPECT_FALSE(cd.Ok({0x00, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cd.Sense(), (TSense{6, 0x28, 0x00}));
  EXPECT_FALSE(cd.Ok({0x00, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cd.Sense(), (TSense{2, 0x04, 0x01}));
  cd.WaitReady();
  EXPECT_TRUE(cd.Ok({0x00, 0, 0, 0, 0, 0}));
}

TEST_F(Identify, ConfigurationProfilesAndCurrentFeatures) {
  TDrive d("bd");
  // No medium: current profile 0, the DVD-R/-RW write feature with BUF, test write and DVD-RW.
  EXPECT_EQ(d.In({0x46, 0x02, 0x00, 0x2F, 0, 0, 0, 0, 112, 0}, 16),
            (Bytes{0, 0, 0, 12, 0, 0, 0, 0, 0x00, 0x2F, 0x04, 0x04, 0x46, 0, 0, 0}));
  const Bytes profiles = d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 112, 0}, 68);
  EXPECT_EQ(Slice(profiles, 0, 12), (Bytes{0, 0, 0, 64, 0, 0, 0, 0, 0x00, 0x00, 0x03, 56}));
  Bytes numbers;
  for (size_t i = 12; i < 68; i += 4) numbers.push_back(profiles[i + 1]);
  EXPECT_EQ(numbers, (Bytes{0x43, 0x41, 0x40, 0x2B, 0x1B, 0x1A, 0x14, 0x13, 0x12, 0x11, 0x10, 0x0A,
                            0x09, 0x08}));

  d.Insert("dvd-rw");
  d.WaitReady();
  const Bytes list = d.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 112, 0}, 68);
  EXPECT_EQ(Be16(&list[6]), 0x0014u);
  EXPECT_EQ(Slice(list, 36, 8), (Bytes{0x00, 0x14, 0x01, 0x00, 0x00, 0x13, 0x00, 0x00}));
  EXPECT_EQ(d.In({0x46, 0x02, 0x00, 0x2F, 0, 0, 0, 0, 112, 0}, 12)[10], 0x05);
  EXPECT_EQ(d.In({0x46, 0x02, 0x00, 0x2A, 0, 0, 0, 0, 112, 0}, 12)[10], 0x04);
  // RT 1: only current features, in ascending order.
  const Bytes current = d.In({0x46, 0x01, 0, 0, 0, 0, 0, 0x04, 0x00, 0}, 1024);
  std::vector<uint16_t> codes;
  for (size_t i = 8; i + 4 <= 4 + Be32(current.data());) {
    codes.push_back(Be16(&current[i]));
    EXPECT_EQ(current[i + 2] & 1, 1);
    i += 4 + current[i + 3];
  }
  EXPECT_EQ(codes, (std::vector<uint16_t>{0x0000, 0x0001, 0x0002, 0x0003, 0x001F, 0x0021, 0x0023,
                                          0x002F, 0x0100, 0x0107}));

  TDrive dvd("dvd");
  EXPECT_EQ(dvd.In({0x46, 0x02, 0x00, 0x40, 0, 0, 0, 0, 112, 0}, 12),
            (Bytes{0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0}));
  TDrive legacy("legacy", "cd-rw");
  legacy.In({0x46, 0x02, 0, 0, 0, 0, 0, 0, 112, 0}, 112);
  EXPECT_EQ(legacy.Sense(), (TSense{5, 0x20, 0x00}));
}

TEST_F(Identify, CapabilitiesPageAtTheOffsetsRead) {
  TDrive d("bd");
  Bytes m = ModeSense(d, 0x2A);
  EXPECT_EQ(Slice(m, 6, 2), (Bytes{0, 0}));  // no block descriptor
  const uint8_t* p = &m[8];
  EXPECT_EQ(Slice(m, 8, 7), (Bytes{0x2A, 58, 0x3F, 0x37, 0xF0, 0x03, 0x29}));
  EXPECT_EQ(Be16(p + 8), 8467u);   // 48x CD read
  EXPECT_EQ(Be16(p + 12), 4096u);  // buffer in KB
  EXPECT_EQ(Be16(p + 18), 8467u);  // 48x CD-R write
  EXPECT_EQ(Be16(p + 20), 8467u);
  EXPECT_EQ(Be16(p + 30), 7u);  // write speed descriptors
  EXPECT_EQ(Be16(p + 34), 8467u);
  EXPECT_EQ(Be16(p + 58), 706u);  // 4x
  EXPECT_EQ(Be16(&m[0]), 8u + 60u - 2u);

  TDrive legacy("legacy");
  m = ModeSense(legacy, 0x2A);
  EXPECT_EQ(Slice(m, 6, 2), (Bytes{0, 8}));
  EXPECT_EQ(Slice(m, 13, 3), (Bytes{0x00, 0x08, 0x00}));  // 2048-byte blocks
  EXPECT_EQ(m[16], 0x2A);
  EXPECT_EQ(m[16 + 4], 0x70);  // no BUF bit: protection comes through page 30h
  m = ModeSense(legacy, 0x30);
  EXPECT_EQ(legacy.status, 0);
  EXPECT_EQ(Slice(m, 16, 2), (Bytes{0x30, 0x06}));
  ModeSense(d, 0x30);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  ModeSense(d, 0xEA);  // saved values
  EXPECT_EQ(d.Sense(), (TSense{5, 0x39, 0x00}));
  ModeSense(d, 0x1A);
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
}

TEST_F(Identify, SpeedsSnapToTheMediumClass) {
  TDrive d("bd", "cd-r");
  auto currentWrite = [&] { return Be16(&ModeSense(d, 0x2A)[8 + 20]); };
  auto setSpeed = [&](uint16_t w) {
    return d.Ok({0xBB, 1, 0xFF, 0xFF, uint8_t(w >> 8), uint8_t(w), 0, 0, 0, 0, 0, 0});
  };
  ASSERT_TRUE(setSpeed(7056));
  EXPECT_EQ(currentWrite(), 7056u);  // 40x
  EXPECT_EQ(Be16(&ModeSense(d, 0x2A)[8 + 28]), 7056u);
  EXPECT_EQ(Be16(&ModeSense(d, 0xAA)[8 + 20]), 8467u);  // default values keep the maximum
  ASSERT_TRUE(setSpeed(7000));
  EXPECT_EQ(currentWrite(), 5645u);  // 32x
  ASSERT_TRUE(setSpeed(1));
  EXPECT_EQ(currentWrite(), 706u);  // the slowest
  ASSERT_TRUE(setSpeed(0xFFFF));
  EXPECT_EQ(currentWrite(), 8467u);
  EXPECT_FALSE(d.Ok({0xBB, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));

  d.Insert("dvd+r");
  d.WaitReady();
  EXPECT_EQ(currentWrite(), 22160u);  // 16x DVD
  // SET STREAMING: 6000 kB per second snaps to 4x.
  Bytes perf(28, 0);
  perf[11] = 0x10;
  perf[14] = 0x10;  // read 4096 kB
  perf[18] = 0x03;
  perf[19] = 0xE8;
  perf[22] = 0x17;
  perf[23] = 0x70;  // write 6000 kB
  perf[26] = 0x03;
  perf[27] = 0xE8;
  ASSERT_TRUE(d.Out({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, perf));
  EXPECT_EQ(currentWrite(), 5540u);
  EXPECT_FALSE(d.Out({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0}, Bytes(20, 0)));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x1A, 0x00}));
  Bytes backwards = perf;
  backwards[4] = 1;  // start after end
  EXPECT_FALSE(d.Out({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, backwards));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));
  TDrive legacy("legacy");
  EXPECT_FALSE(legacy.Out({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, perf));
  EXPECT_EQ(legacy.Sense(), (TSense{5, 0x20, 0x00}));
}

TEST_F(Identify, WriteParametersPageIsValidated) {
  TDrive d("bd", "cd-r");
  const Bytes sensed = ModeSense(d, 0x05);
  ASSERT_EQ(Slice(sensed, 8, 2), (Bytes{0x05, 0x32}));
  // The page the program builds for a CD-R left open with buffer-underrun protection.
  const Bytes templ = {0x05, 0x32, 0x42, 0xC4, 0x08, 0,    0,    0,    0,    0,    0,    0,    0,
                       0,    0,    0x96, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                       0,    0,    0,    0,    0,    0x90, 0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21,
                       0x20, 0x00, 0x00, 0x08, 0x00, 0x00, 0x8D, 0x40, 0x00, 0x00, 0x82};
  Bytes page = Slice(sensed, 8, 52);
  std::copy(templ.begin(), templ.end(), page.begin());
  page[2] = 0x41;
  page[3] = 0xC4;
  ASSERT_TRUE(d.SelectPage5(page)) << d.Sense();
  EXPECT_EQ(Slice(ModeSense(d, 0x05), 10, 2), (Bytes{0x41, 0xC4}));
  EXPECT_EQ(ModeSense(d, 0x45)[10], 0x7F);  // changeable: BUFE, LS_V, test write, write type

  Bytes bad = page;
  bad[2] = 0x45;  // write type 5
  EXPECT_FALSE(d.SelectPage5(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  bad = page;
  bad[3] = 0x84;  // multi-session 10b
  EXPECT_FALSE(d.SelectPage5(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  bad = page;
  bad[6] = 1;  // reserved
  EXPECT_FALSE(d.SelectPage5(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));
  bad = page;
  bad[4] = 0x08;
  bad[3] = 0xC0;  // mode 1 data in an audio track
  EXPECT_FALSE(d.SelectPage5(bad));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  Bytes list(8, 0);
  list.insert(list.end(), page.begin(), page.begin() + 34);
  list[9] = 0x20;  // page length
  EXPECT_FALSE(d.Out({0x55, 0x10, 0, 0, 0, 0, 0, 0, 42, 0}, list));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x00}));
  list = Bytes(8, 0);
  list.insert(list.end(), page.begin(), page.end());
  EXPECT_FALSE(d.Out({0x55, 0x00, 0, 0, 0, 0, 0, 0, 60, 0}, list));  // no page format
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(d.Out({0x55, 0x11, 0, 0, 0, 0, 0, 0, 60, 0}, list));  // save pages
  EXPECT_EQ(d.Sense(), (TSense{5, 0x24, 0x00}));
  EXPECT_FALSE(d.Out({0x55, 0x10, 0, 0, 0, 0, 0, 0, 6, 0}, list));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x1A, 0x00}));

  // DVD-R takes incremental or disc-at-once only.
  d.Insert("dvd-r");
  d.WaitReady();
  EXPECT_FALSE(d.SetWriteParameters(1, 0));
  EXPECT_EQ(d.Sense(), (TSense{5, 0x26, 0x02}));
  EXPECT_TRUE(d.SetWriteParameters(0, 3));
  // Media that do not use the page take it as it comes.
  d.Insert("bd-r");
  d.WaitReady();
  EXPECT_TRUE(d.SetWriteParameters(1, 0));
}

TEST_F(Identify, BufferFillsWithWritesAndEmptiesOnFlush) {
  TDrive d("bd", "cd-r");
  ASSERT_TRUE(d.Ok({0xBB, 1, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, 0, 0}));  // slowest: 4x
  Bytes b = d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(b, (Bytes{0, 10, 0, 0, 0x00, 0x40, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00}));
  ASSERT_TRUE(d.Write(0, 1024));  // 2 MiB: seconds of work at 4x
  b = d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_LE(Be32(&b[8]), 0x00400000u - 0x00100000u);
  ASSERT_TRUE(d.Sync());
  b = d.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(Be32(&b[8]), 0x00400000u);
  b = d.In({0x5C, 1, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(Be32(&b[8]), 2048u);  // in blocks
}

}  // namespace
}  // namespace vdtest
