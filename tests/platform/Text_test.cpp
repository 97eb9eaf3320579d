#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace plat;

TEST(Utf16, RoundTripsIncludingSurrogatePairs) {
  const std::string czech = "Příliš žluťoučký kůň";
  const std::u16string w = Utf8ToUtf16(czech);
  EXPECT_EQ(w.size(), 20u);
  EXPECT_EQ(w[1], u'\u0159');
  EXPECT_EQ(Utf16ToUtf8(w), czech);

  const std::u16string clef = Utf8ToUtf16("\xF0\x9D\x84\x9E");  // U+1D11E
  ASSERT_EQ(clef.size(), 2u);
  EXPECT_EQ(clef[0], 0xD834);
  EXPECT_EQ(clef[1], 0xDD1E);
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xF4\x8F\xBF\xBF")), "\xF4\x8F\xBF\xBF");  // U+10FFFF
}

TEST(Utf16, InvalidInputBecomesReplacementCharacter) {
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");                              // truncated
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80x"), u"\uFFFD\uFFFD\uFFFDx");          // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82x"), u"\uFFFDx");  // cut short by an ASCII byte
  const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_EQ(Utf16ToUtf8(lone),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(Recording, OneBytePerUnit) {
  EXPECT_EQ(WideToRecording(u"Čaj_2.txt"), "_aj_2.txt");
  const std::u16string emoji = u"x\U0001F600";
  EXPECT_EQ(WideToRecording(emoji), "x__");
  EXPECT_EQ(WideToRecording(emoji).size(), emoji.size());
}

TEST(CaseFolding, CzechLettersFoldBothWays) {
  EXPECT_EQ(ToUpper(u'č'), u'Č');
  EXPECT_EQ(ToUpper(u'ř'), u'Ř');
  EXPECT_EQ(ToLower(u'Ž'), u'ž');
  EXPECT_EQ(ToLower(u'Ů'), u'ů');
  EXPECT_EQ(ToUpper(u"příliš žluťoučký"), u"PŘÍLIŠ ŽLUŤOUČKÝ");
  EXPECT_TRUE(EqualsNoCase(u"ČEŠTINA", u"čeština"));
  EXPECT_FALSE(EqualsNoCase(u"čeština", u"cestina"));
  EXPECT_EQ(HashNoCase(u"Řeřicha.TXT"), HashNoCase(u"řeŘICHA.txt"));
  EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareNoCase(u"abcd", u"ABC"), 0);
  // Surrogate units are left alone rather than mapped to something else.
  EXPECT_EQ(ToUpper(char16_t(0xD801)), char16_t(0xD801));
}

TEST(Comparison, LocaleOrderAndAsciiFolding) {
  EXPECT_LT(CompareLocale(u"a", u"b"), 0);
  EXPECT_LT(CompareLocale(u"abc", u"abd"), 0);
  EXPECT_LT(CompareLocale(u"ab", u"abc"), 0);
  EXPECT_GT(CompareLocale(u"b", u"a"), 0);
  EXPECT_EQ(CompareLocale(u"čaj", u"čaj"), 0);
  EXPECT_NE(CompareLocale(u"a", u"A"), 0);  // case-sensitive
  EXPECT_EQ(CompareLocale(u"a", u"A"), -CompareLocale(u"A", u"a"));

  EXPECT_EQ(CompareAsciiNoCase("readme.txt", "README.TXT"), 0);
  EXPECT_LT(CompareAsciiNoCase("a", "B"), 0);
  // Letters fold to upper case, so '_' sorts after every letter as in upper-case names.
  EXPECT_GT(CompareAsciiNoCase("_", "a"), 0);
  EXPECT_LT(CompareAsciiNoCase("ab", "ABC"), 0);
}
