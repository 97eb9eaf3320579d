#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Files.h"
#include "platform/Text.h"

using plat::MatchMask;
using plat::TShortNameGenerator;

namespace {

std::string Gen(TShortNameGenerator& g, const char* utf8) {
  return plat::Utf16ToUtf8(g.Next(plat::Utf8ToUtf16(utf8)));
}

// Shape of a short name: at most 8 + 3 characters, one dot at most, nothing lowercase or blank.
bool LooksLike83(const std::string& s) {
  const size_t dot = s.find('.');
  const std::string base = s.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : s.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos)
    return false;
  for (char c : s)
    if ((c >= 'a' && c <= 'z') || c == ' ' || static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

TEST(ShortNames, GeneratedLikeTheOriginalPlatform) {
  TShortNameGenerator g;
  EXPECT_EQ(Gen(g, "Long File Name.txt"), "LONGFI~1.TXT");
  EXPECT_EQ(Gen(g, "Long File Names.txt"), "LONGFI~2.TXT");
  EXPECT_EQ(Gen(g, "Long File Name.text"), "LONGFI~1.TEX");  // another extension counts anew
  EXPECT_EQ(Gen(g, "Long File Name.TEXT"), "LONGFI~2.TEX");
  EXPECT_EQ(Gen(g, "archive.tar.gz"), "ARCHIV~1.GZ");  // last extension only
  EXPECT_EQ(Gen(g, "my file.txt"), "MYFILE~1.TXT");    // blanks removed
  EXPECT_EQ(Gen(g, "a+b=c[1].txt"), "A_B_C_~1.TXT");   // invalid characters become _
  EXPECT_EQ(Gen(g, "v1.2.3"), "V12~1.3");              // dots of the stem dropped
  EXPECT_EQ(Gen(g, ".bashrc"), "BASHRC~1");            // a leading dot is no extension
  EXPECT_EQ(Gen(g, "index.html"), "INDEX~1.HTM");
  EXPECT_EQ(Gen(g, "Příliš.txt"), "P__LI_~1.TXT");       // non-ASCII becomes _
  EXPECT_EQ(Gen(g, "\xF0\x9F\x98\x80.txt"), "_~1.TXT");  // a surrogate pair is one character
  EXPECT_EQ(Gen(g, "README."), "README~1");              // no 8.3 form for an empty extension
}

TEST(ShortNames, Valid83NamesKeepNoAlternate) {
  TShortNameGenerator g;
  for (const char* name : {"readme.txt", "README", "README.TXT", "a", "12345678.123", "$x~1.(_)"})
    EXPECT_EQ(Gen(g, name), "") << name;
  for (const char* name :
       {"123456789.txt", "a.html", "a b.txt", "a.b.c", "a+b", ".profile", "čaj.txt", "x."})
    EXPECT_FALSE(TShortNameGenerator::IsValid83(plat::Utf8ToUtf16(name))) << name;
}

TEST(ShortNames, GeneratedNamesNeverTakeAValidName) {
  TShortNameGenerator g;
  // The valid name comes first in this order: it must still push the generated one along.
  EXPECT_EQ(Gen(g, "LONGFI~1.TXT"), "");
  EXPECT_EQ(Gen(g, "Long File Name.txt"), "LONGFI~2.TXT");
  // Reserved ahead of time (a valid name that comes later in the folder).
  TShortNameGenerator h;
  h.Reserve(u"longfi~1.txt");
  EXPECT_EQ(Gen(h, "Long File Name.txt"), "LONGFI~2.TXT");
}

TEST(ShortNames, ManyClashesStayUniqueAndShort) {
  TShortNameGenerator g;
  std::set<std::string> seen;
  std::string tenth, hundredth;
  for (int i = 0; i < 10000; ++i) {
    const std::string name = "Holiday photo number " + std::to_string(i) + ".jpeg";
    const std::string s = Gen(g, name.c_str());
    ASSERT_TRUE(LooksLike83(s)) << s;
    ASSERT_TRUE(seen.insert(s).second) << "duplicate " << s;
    if (i == 9) tenth = s;
    if (i == 99) hundredth = s;
  }
  // The stem gives way to the counter as it grows.
  EXPECT_EQ(tenth, "HOLID~10.JPE");
  EXPECT_EQ(hundredth, "HOLI~100.JPE");

  // Stems that differ only in the sixth character meet once the counter has two digits.
  TShortNameGenerator h;
  std::set<std::string> mixed;
  for (int i = 0; i < 3000; ++i) {
    const std::string name =
        std::string("abcde") + static_cast<char>('a' + i % 26) + "long" + std::to_string(i);
    ASSERT_TRUE(mixed.insert(Gen(h, name.c_str())).second);
  }
}

TEST(MaskMatching, WindowsStyleMasks) {
  EXPECT_TRUE(MatchMask(u"README", u"*.*"));
  EXPECT_TRUE(MatchMask(u"a.b.c", u"*.*"));
  EXPECT_TRUE(MatchMask(u"anything", u"*"));
  EXPECT_TRUE(MatchMask(u"photo.JPG", u"*.jpg"));
  EXPECT_TRUE(MatchMask(u"Čaj.txt", u"čaj.*"));
  EXPECT_TRUE(MatchMask(u"abc", u"abc.*"));
  EXPECT_TRUE(MatchMask(u"a.c", u"?.c"));
  EXPECT_FALSE(MatchMask(u"ab.c", u"?.c"));
  EXPECT_FALSE(MatchMask(u".c", u"?.c"));
  EXPECT_TRUE(MatchMask(u"axxbyyc", u"a*b*c"));
  EXPECT_TRUE(MatchMask(u"abcbc", u"*bc"));  // needs a backtrack
  EXPECT_FALSE(MatchMask(u"abcb", u"*bc"));
  EXPECT_TRUE(MatchMask(u"README", u"*."));
  EXPECT_FALSE(MatchMask(u"a.txt", u"*."));
  EXPECT_FALSE(MatchMask(u"a.txt", u"*.doc"));
  EXPECT_FALSE(MatchMask(u"a.txt", u""));
}
