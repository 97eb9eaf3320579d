// The fixed structures of the UDF bridge, rendered with the metadata: each descriptor's fixed
// fields byte for byte, tags read back independently, for an image at the start of the medium
// and one that starts further on (a later session).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/qvpTree.h"
#include "image/qvpUDFBridge.h"
#include "tests/image/udf_test_support.h"

using namespace img;

using namespace udftest;

namespace {

std::vector<uint8_t> V(const uint8_t* p, size_t n) { return {p, p + n}; }

std::vector<uint8_t> Padded(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

std::vector<uint8_t> Str(const char* s) { return {s, s + std::strlen(s)}; }

const std::vector<uint8_t> kCharspec = [] {
  std::vector<uint8_t> v = {0};
  const std::vector<uint8_t> text = Str("OSTA Compressed Unicode");
  v.insert(v.end(), text.begin(), text.end());
  return Padded(v, 64);
}();

// regid: flags 0, identifier zero-filled to 23 bytes, suffix.
std::vector<uint8_t> Regid(const char* ident, std::vector<uint8_t> suffix) {
  std::vector<uint8_t> r = Padded({0}, 1);
  std::vector<uint8_t> id = Padded(Str(ident), 23);
  r.insert(r.end(), id.begin(), id.end());
  suffix.resize(8, 0);
  r.insert(r.end(), suffix.begin(), suffix.end());
  return r;
}

class UdfDescriptors : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCompilation(b);
    SetVolumeID(b, "ABCDEFGHIJKLMNOP");  // 16 characters: UDF keeps 15
    TDirNode* d = AddDir(b, b.Root, u"docs");
    AddFile(b, d, u"a.txt", 10);
    AddFile(b, b.Root, u"b.bin", 5000);
    AddFile(b, b.Root, u"c", 0);
  }

  // Lays the bridge out for an image of `last` + 1 sectors and renders its structures.
  std::vector<uint8_t> Render(uint32_t udfBase, uint32_t last = 1023) {
    UdfLayoutStart(b, 18);
    b.Udf.RecordingTime = {0x1000, 2008, 10, 20, 9, 30, 15, 0, 0, 0};
    const uint32_t area = UdfLayoutArea(b, 300);
    UdfLayoutFinish(b, 300 + area, last);
    b.Udf.UdfBase = udfBase;
    EXPECT_EQ(UdfVolumeStructureSectors(b), 259u - 18);
    std::vector<uint8_t> out(size_t{UdfVolumeStructureSectors(b)} * 2048, 0xEE);
    RenderUdfVolumeStructures(b, out.data());
    return out;
  }
  static const uint8_t* At(const std::vector<uint8_t>& v, uint32_t sector) {
    return v.data() + size_t{sector - 18} * 2048;
  }

  TImageBuilder b;
};

const std::vector<uint8_t> kStamp = {0x00, 0x10, 0xD8, 0x07, 10, 20, 9, 30, 15, 0, 0, 0};

// "ABCDEFGHIJKLMNO" in CS0: compression 16 and 15 big-endian characters.
std::vector<uint8_t> VolumeIdCs0() {
  std::vector<uint8_t> v = {16};
  for (char c = 'A'; c <= 'O'; ++c) {
    v.push_back(0);
    v.push_back(static_cast<uint8_t>(c));
  }
  return v;
}

std::vector<uint8_t> DString(std::vector<uint8_t> content, size_t size) {
  const uint8_t len = static_cast<uint8_t>(content.size());
  content.resize(size - 1, 0);
  content.push_back(len);
  return content;
}

}  // namespace

TEST_F(UdfDescriptors, RecognitionSequenceAndZeroGaps) {
  const std::vector<uint8_t> v = Render(0);
  const char* ids[] = {"BEA01", "NSR02", "TEA01"};
  for (uint32_t k = 0; k < 3; ++k) {
    std::vector<uint8_t> expected = Padded({0}, 1);
    for (const char* c = ids[k]; *c; ++c) expected.push_back(static_cast<uint8_t>(*c));
    expected.push_back(1);
    EXPECT_EQ(V(At(v, 18 + k), 2048), Padded(expected, 2048)) << ids[k];
  }
  auto zero = [&](uint32_t from, uint32_t to) {
    for (uint32_t s = from; s < to; ++s)
      for (size_t i = 0; i < 2048; ++i) ASSERT_EQ(At(v, s)[i], 0) << "sector " << s;
  };
  zero(21, 32);
  zero(38, 48);
  zero(54, 64);
  zero(66, 256);
}

TEST_F(UdfDescriptors, VolumeDescriptorSequencesFieldByField) {
  const std::vector<uint8_t> v = Render(0);
  const std::vector<uint8_t> impl = Regid("*Selvorantic VantrUDF", {6});
  for (uint32_t first : {32u, 48u}) {
    const uint8_t* pvd = At(v, first);
    ExpectTag(pvd, 1, first, 496);
    EXPECT_EQ(Get32(pvd + 16), 1u);
    EXPECT_EQ(Get32(pvd + 20), 0u);
    EXPECT_EQ(V(pvd + 24, 32), DString(VolumeIdCs0(), 32));
    const std::vector<uint8_t> levels = {1, 0, 1, 0, 2, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(V(pvd + 56, 16), levels);
    EXPECT_EQ(V(pvd + 72, 128), DString({8, '0', 'C', 'F', 'E', '9', '0', 'C', 'B'}, 128));
    EXPECT_EQ(V(pvd + 200, 64), kCharspec);
    EXPECT_EQ(V(pvd + 264, 64), kCharspec);
    EXPECT_EQ(V(pvd + 328, 48), std::vector<uint8_t>(48, 0));
    EXPECT_EQ(V(pvd + 376, 12), kStamp);
    EXPECT_EQ(V(pvd + 388, 32), impl);
    EXPECT_EQ(V(pvd + 420, 2048 - 420), std::vector<uint8_t>(2048 - 420, 0));

    const uint8_t* lvd = At(v, first + 1);
    ExpectTag(lvd, 6, first + 1, 430);
    EXPECT_EQ(Get32(lvd + 16), 2u);
    EXPECT_EQ(V(lvd + 20, 64), kCharspec);
    EXPECT_EQ(V(lvd + 84, 128), DString(VolumeIdCs0(), 128));
    EXPECT_EQ(Get32(lvd + 212), 2048u);
    EXPECT_EQ(V(lvd + 216, 32), Regid("*OSTA UDF Compliant", {0x50, 0x01, 3}));
    const std::vector<uint8_t> fsd = {0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(V(lvd + 248, 16), fsd);
    EXPECT_EQ(Get32(lvd + 264), 6u);
    EXPECT_EQ(Get32(lvd + 268), 1u);
    EXPECT_EQ(V(lvd + 272, 32), impl);
    const std::vector<uint8_t> integrity = {0, 0x20, 0, 0, 64, 0, 0, 0};
    EXPECT_EQ(V(lvd + 432, 8), integrity);
    const std::vector<uint8_t> map = {1, 6, 1, 0, 0, 0};
    EXPECT_EQ(V(lvd + 440, 6), map);
    EXPECT_EQ(V(lvd + 446, 2048 - 446), std::vector<uint8_t>(2048 - 446, 0));

    const uint8_t* pd = At(v, first + 2);
    ExpectTag(pd, 5, first + 2, 496);
    const std::vector<uint8_t> head = {3, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(V(pd + 16, 8), head);
    EXPECT_EQ(V(pd + 24, 32), Regid("+NSR02", {0x50, 0x01, 6}));
    EXPECT_EQ(Get32(pd + 184), 1u);
    EXPECT_EQ(Get32(pd + 188), 257u);
    EXPECT_EQ(Get32(pd + 192), 1023u - 257);
    EXPECT_EQ(V(pd + 196, 32), impl);

    const uint8_t* usd = At(v, first + 3);
    ExpectTag(usd, 7, first + 3, 8);
    EXPECT_EQ(Get32(usd + 16), 4u);
    EXPECT_EQ(V(usd + 20, 2048 - 20), std::vector<uint8_t>(2048 - 20, 0));

    const uint8_t* iuvd = At(v, first + 4);
    ExpectTag(iuvd, 4, first + 4, 496);
    EXPECT_EQ(Get32(iuvd + 16), 5u);
    EXPECT_EQ(V(iuvd + 20, 32), Regid("*UDF LV Info", {0x50, 0x01, 6}));
    EXPECT_EQ(V(iuvd + 52, 64), kCharspec);
    EXPECT_EQ(V(iuvd + 116, 128), DString(VolumeIdCs0(), 128));
    EXPECT_EQ(V(iuvd + 244, 108), std::vector<uint8_t>(108, 0));
    EXPECT_EQ(V(iuvd + 352, 32), impl);

    const uint8_t* td = At(v, first + 5);
    ExpectTag(td, 8, first + 5, 496);
    EXPECT_EQ(V(td + 16, 2048 - 16), std::vector<uint8_t>(2048 - 16, 0));
  }
  // The reserve copy differs only in its tags.
  for (uint32_t k = 0; k < 16; ++k)
    EXPECT_EQ(V(At(v, 32 + k) + 16, 2032), V(At(v, 48 + k) + 16, 2032)) << k;
}

TEST_F(UdfDescriptors, IntegrityAnchorAndFileSet) {
  const std::vector<uint8_t> v = Render(0);
  const uint8_t* lvid = At(v, 64);
  ExpectTag(lvid, 9, 64, 120);
  EXPECT_EQ(V(lvid + 16, 12), kStamp);
  EXPECT_EQ(Get32(lvid + 28), 1u);
  EXPECT_EQ(Get64(lvid + 40), 16u + 2 + 3);  // next unique ID: 16 + directories + files
  const std::vector<uint8_t> counts = {1, 0, 0, 0, 48, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(V(lvid + 72, 12), counts);
  EXPECT_EQ(Get32(lvid + 84), 1023u - 257);
  EXPECT_EQ(V(lvid + 88, 32), Regid("*Selvorantic VantrUDF", {6}));
  const std::vector<uint8_t> tail = {3,    0,    0,    0,    2,    0,    0, 0,
                                     0x50, 0x01, 0x50, 0x01, 0x50, 0x01, 0, 0};
  EXPECT_EQ(V(lvid + 120, 16), tail);
  ExpectTag(At(v, 65), 8, 65, 496);

  const uint8_t* anchor = At(v, 256);
  const std::vector<uint8_t> a = {0x02, 0x00, 0x02, 0x00, 0xCF, 0x00, 0x01, 0x00, 0x01, 0xD7, 0xF0,
                                  0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x20, 0x00,
                                  0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00};
  EXPECT_EQ(V(anchor, 2048), Padded(a, 2048));

  const uint8_t* fsd = At(v, 257);
  ExpectTag(fsd, 256, 0, 496);
  EXPECT_EQ(V(fsd + 16, 12), kStamp);
  const std::vector<uint8_t> levels = {3, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(V(fsd + 28, 20), levels);
  EXPECT_EQ(V(fsd + 48, 64), kCharspec);
  EXPECT_EQ(V(fsd + 112, 128), DString(VolumeIdCs0(), 128));
  EXPECT_EQ(V(fsd + 240, 64), kCharspec);
  EXPECT_EQ(V(fsd + 304, 32), DString(VolumeIdCs0(), 32));
  EXPECT_EQ(V(fsd + 336, 64), std::vector<uint8_t>(64, 0));
  const std::vector<uint8_t> root = {0, 8, 0, 0, 300 - 257, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(V(fsd + 400, 16), root);
  EXPECT_EQ(V(fsd + 416, 32), Regid("*OSTA UDF Compliant", {0x50, 0x01}));
  EXPECT_EQ(V(fsd + 448, 2048 - 448), std::vector<uint8_t>(2048 - 448, 0));
  ExpectTag(At(v, 258), 8, 1, 496);
}

TEST_F(UdfDescriptors, LaterSessionShiftsEveryRecordedLocation) {
  const std::vector<uint8_t> v = Render(1000, 1500);
  for (uint32_t k = 0; k < 6; ++k) {
    EXPECT_EQ(Get32(At(v, 32 + k) + 12), 1032u + k);
    EXPECT_EQ(Get32(At(v, 48 + k) + 12), 1048u + k);
  }
  EXPECT_EQ(Get32(At(v, 33) + 252), 1000u);  // file set descriptor block
  EXPECT_EQ(Get32(At(v, 33) + 436), 1064u);  // integrity sequence
  EXPECT_EQ(Get32(At(v, 34) + 188), 257u);   // partition start stays
  EXPECT_EQ(Get32(At(v, 34) + 192), 1000u + 1500 - 257);
  EXPECT_EQ(Get32(At(v, 64) + 12), 1064u);
  EXPECT_EQ(Get32(At(v, 64) + 84), 1000u + 1500 - 257);
  EXPECT_EQ(Get32(At(v, 65) + 12), 1065u);
  ExpectTag(At(v, 256), 2, 1256, 496);
  EXPECT_EQ(Get32(At(v, 256) + 20), 1032u);
  EXPECT_EQ(Get32(At(v, 256) + 28), 1048u);
  ExpectTag(At(v, 257), 256, 1000, 496);
  EXPECT_EQ(Get32(At(v, 257) + 404), 1000u + 300 - 257);
  ExpectTag(At(v, 258), 8, 1001, 496);

  // The closing anchor: the same descriptor at the last sector.
  uint8_t closing[2048];
  WriteAnchor(b, closing, 1500);
  ExpectTag(closing, 2, 2500, 496);
  EXPECT_EQ(V(closing + 16, 2032), V(At(v, 256) + 16, 2032));
}

TEST_F(UdfDescriptors, EmptyVolumeIdIsRecordedAsEmptyDStrings) {
  SetVolumeID(b, "");
  const std::vector<uint8_t> v = Render(0);
  EXPECT_EQ(V(At(v, 32) + 24, 32), std::vector<uint8_t>(32, 0));
  EXPECT_EQ(V(At(v, 33) + 84, 128), std::vector<uint8_t>(128, 0));
  EXPECT_EQ(V(At(v, 257) + 304, 32), std::vector<uint8_t>(32, 0));
  // Non-ASCII letters are kept as UTF-16 (15 of them).
  SetVolumeID(b, "Žluťoučký kůň úpěl ďábelské ódy");
  const std::vector<uint8_t> w = Render(0);
  const uint8_t* id = At(w, 32) + 24;
  EXPECT_EQ(id[31], 31);
  EXPECT_EQ(DecodeCs0(id, 31), u"Žluťoučký kůň ú");
}
