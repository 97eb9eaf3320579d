#pragma once
// Text conversions and comparisons. Names are UTF-16 inside the program; the "ANSI" code page of
// this platform is UTF-8 (paths and API strings).
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// UTF-8 <-> UTF-16, non-BMP characters as surrogate pairs. Invalid input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

// The system code page is UTF-8 here.
inline std::u16string AnsiToWide(std::string_view s) { return Utf8ToUtf16(s); }
inline std::string WideToAnsi(std::u16string_view s) { return Utf16ToUtf8(s); }

// Single-byte recording form for names that ISO 9660 stores one byte per character
// (level-1 and ISO 9660:1999 identifiers, the primary volume identifier): ASCII is kept, every
// other UTF-16 unit becomes '_', so the byte count equals the UTF-16 length.
std::string WideToRecording(std::u16string_view s);

// Simple Unicode case mapping of one UTF-16 unit (Č <-> č, Ř <-> ř, ...).
char16_t ToUpper(char16_t c);
char16_t ToLower(char16_t c);
std::u16string ToUpper(std::u16string_view s);

// Case-insensitive ordinal comparison with real case folding (<0, 0, >0).
int CompareNoCase(std::u16string_view a, std::u16string_view b);
inline bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return CompareNoCase(a, b) == 0;
}
// Hash consistent with EqualsNoCase, for name indexes.
size_t HashNoCase(std::u16string_view s);

// Case-sensitive, locale-aware comparison (the process locale's collation).
int CompareLocale(std::u16string_view a, std::u16string_view b);

// ASCII-only case-insensitive comparison of byte strings (short names).
int CompareAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace plat
