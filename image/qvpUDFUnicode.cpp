#include "image/qvpUDFUnicode.h"

#include <cstring>

namespace img {

size_t UdfCs0Encode(std::u16string_view s, uint8_t* out) {
  if (s.empty()) return 0;
  out[0] = 16;
  uint8_t* p = out + 1;
  for (char16_t c : s) {
    *p++ = static_cast<uint8_t>(c >> 8);
    *p++ = static_cast<uint8_t>(c);
  }
  return 2 * s.size() + 1;
}

void UdfPutDString(uint8_t* field, size_t fieldLength, const uint8_t* cs0, size_t cs0Length) {
  std::memset(field, 0, fieldLength);
  if (cs0Length == 0 || fieldLength < 2) return;
  if (cs0Length > fieldLength - 1) cs0Length = fieldLength - 1;
  std::memcpy(field, cs0, cs0Length);
  field[fieldLength - 1] = static_cast<uint8_t>(cs0Length);
}

size_t UdfCutLength(std::u16string_view s, size_t max) {
  if (s.size() <= max) return s.size();
  size_t n = max;
  // Do not keep a high surrogate without the low one that follows it.
  if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
  return n;
}

std::u16string UdfShortenName(std::u16string_view name, uint32_t attempt) {
  if (attempt == 0 && name.size() <= kUdfMaxNameLength) return std::u16string(name);
  std::u16string suffix;
  if (attempt > 0) {
    suffix = u"~";
    for (char c : std::to_string(attempt)) suffix += static_cast<char16_t>(c);
  }
  std::u16string_view base = name, ext;
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string_view::npos && dot > 0 && name.size() - dot <= 16) {
    base = name.substr(0, dot);
    ext = name.substr(dot);
  }
  const size_t budget = kUdfMaxNameLength - suffix.size() - ext.size();
  std::u16string out(base.substr(0, UdfCutLength(base, budget)));
  out += suffix;
  out += ext;
  return out;
}

}  // namespace img
