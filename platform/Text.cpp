#include "platform/Text.h"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <cstdint>
#include <functional>
#include <string>

namespace plat {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one code point at s[i]; advances i. Invalid or truncated sequences (overlong forms,
// surrogates, values above U+10FFFF) yield U+FFFD and skip one maximal invalid prefix.
uint32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  uint32_t cp;
  uint8_t lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kReplacement;
  }
  size_t j = i + 1;
  for (int k = 1; k < len; ++k, ++j) {
    if (j >= s.size()) {
      i = j;
      return kReplacement;
    }
    const auto b = static_cast<uint8_t>(s[j]);
    if (b < lo || b > hi) {
      i = j;
      return kReplacement;
    }
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
  }
  i = j;
  return cp;
}

// Case mapping follows Unicode's simple mappings through the C library's UTF-8 locale, not the
// process locale, so that it is the same whatever the user's settings.
locale_t CaseLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

std::wstring ToWide(std::u16string_view s) {
  std::wstring w;
  w.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      w.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00)));
      ++i;
    } else if (c == 0) {
      w.push_back(L' ');  // wcscoll stops at NUL; names carry none anyway
    } else {
      w.push_back(static_cast<wchar_t>(c));
    }
  }
  return w;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) AppendUtf16(out, DecodeUtf8(s, i));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3 / 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        AppendUtf8(out,
                   0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
        ++i;
      } else {
        AppendUtf8(out, kReplacement);
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string WideToRecording(std::u16string_view s) {
  std::string out(s.size(), '_');
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] < 0x80) out[i] = static_cast<char>(s[i]);
  return out;
}

char16_t ToUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (IsSurrogate(c)) return c;
  locale_t loc = CaseLocale();
  if (!loc) return c;
  const wint_t u = towupper_l(static_cast<wint_t>(c), loc);
  // A mapping out of the basic plane cannot be held in one unit; keep the unit then.
  return u < 0x10000 && !IsSurrogate(static_cast<char16_t>(u)) ? static_cast<char16_t>(u) : c;
}

char16_t ToLower(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (IsSurrogate(c)) return c;
  locale_t loc = CaseLocale();
  if (!loc) return c;
  const wint_t u = towlower_l(static_cast<wint_t>(c), loc);
  return u < 0x10000 && !IsSurrogate(static_cast<char16_t>(u)) ? static_cast<char16_t>(u) : c;
}

std::u16string ToUpper(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = ToUpper(c);
  return out;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = ToUpper(a[i]);
    const char16_t y = ToUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

size_t HashNoCase(std::u16string_view s) {
  // FNV-1a over the upper-cased units: equal under CompareNoCase means equal hash.
  uint64_t h = 1469598103934665603ULL;
  for (char16_t c : s) {
    const char16_t u = ToUpper(c);
    h ^= static_cast<uint8_t>(u & 0xFF);
    h *= 1099511628211ULL;
    h ^= static_cast<uint8_t>(u >> 8);
    h *= 1099511628211ULL;
  }
  return static_cast<size_t>(h);
}

int CompareLocale(std::u16string_view a, std::u16string_view b) {
  const std::wstring wa = ToWide(a);
  const std::wstring wb = ToWide(b);
  const int r = wcscoll(wa.c_str(), wb.c_str());
  if (r != 0) return r < 0 ? -1 : 1;
  // Collation may call distinct strings equal; order them by code unit so the result is total.
  const int o = a.compare(b);
  return o < 0 ? -1 : (o > 0 ? 1 : 0);
}

int CompareAsciiNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace plat
