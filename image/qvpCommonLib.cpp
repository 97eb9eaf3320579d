#include "image/qvpCommonLib.h"

namespace img {

size_t PutUcs2BE(uint8_t* p, std::u16string_view text) {
  for (char16_t c : text) {
    *p++ = static_cast<uint8_t>(c >> 8);
    *p++ = static_cast<uint8_t>(c);
  }
  return text.size() * 2;
}

size_t PutUpperAscii(uint8_t* p, std::string_view text) {
  for (char c : text) {
    *p++ = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return text.size();
}

}  // namespace img
