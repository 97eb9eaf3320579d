// Alternate 8.3 names and mask matching, the way the original platform's file system makes them.
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/Files.h"
#include "platform/Text.h"

namespace plat {
namespace {

// Characters a short name may hold besides ASCII letters and digits.
bool IsShortNameSymbol(char16_t c) {
  switch (c) {
    case u'$':
    case u'%':
    case u'\'':
    case u'-':
    case u'_':
    case u'@':
    case u'~':
    case u'`':
    case u'!':
    case u'(':
    case u')':
    case u'{':
    case u'}':
    case u'^':
    case u'#':
    case u'&':
      return true;
    default:
      return false;
  }
}

bool IsShortNameChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         IsShortNameSymbol(c);
}

// One character of a generated name: upper case; anything a short name cannot hold becomes '_'
// (every non-ASCII character too, so the short name is plain ASCII).
char16_t ShortNameChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  return IsShortNameChar(c) ? c : u'_';
}

// Converted characters of s, without blanks and dots.
std::u16string CleanPart(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c == u' ' || c == u'.') continue;
    // A surrogate pair is one character and becomes one '_'.
    if (c >= 0xDC00 && c <= 0xDFFF) continue;
    out.push_back(ShortNameChar(c));
  }
  return out;
}

size_t Digits(uint32_t n) {
  size_t d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

bool MatchPlain(std::u16string_view name, std::u16string_view mask) {
  // Wildcard matching with one backtrack point (the last '*'): linear in practice.
  size_t n = 0, m = 0, starM = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == u'*') {
      starM = m++;
      starN = n;
    } else if (m < mask.size() && (mask[m] == u'?' || ToUpper(mask[m]) == ToUpper(name[n]))) {
      ++m;
      ++n;
    } else if (starM != std::u16string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchMask(std::u16string_view name, std::u16string_view mask) {
  if (mask.empty()) return false;
  if (MatchPlain(name, mask)) return true;
  // A trailing ".*" also matches a name without an extension ("*.*" matches "README"), and a
  // trailing "." asks for names without one.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == u".*" &&
      name.find(u'.') == std::u16string_view::npos)
    return MatchPlain(name, mask.substr(0, mask.size() - 2));
  if (mask.back() == u'.' && name.find(u'.') == std::u16string_view::npos)
    return MatchPlain(name, mask.substr(0, mask.size() - 1));
  return false;
}

struct TShortNameGenerator::TImpl {
  // Upper-case short names given so far (and those of valid 8.3 names, which are taken).
  std::unordered_set<std::u16string> taken;
  // Next number to try per six-character stem and extension, so clashes never rescan.
  std::unordered_map<std::u16string, uint32_t> nextNumber;
};

TShortNameGenerator::TShortNameGenerator() : impl_(new TImpl) {}
TShortNameGenerator::~TShortNameGenerator() { delete impl_; }

bool TShortNameGenerator::IsValid83(std::u16string_view name) {
  if (name.empty() || name.size() > 12) return false;
  if (name == u"." || name == u"..") return true;
  const size_t dot = name.find(u'.');
  if (dot != name.rfind(u'.')) return false;  // more than one dot
  const std::u16string_view base = name.substr(0, dot);
  const std::u16string_view ext =
      dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::u16string_view::npos && ext.empty()) return false;  // "NAME." has no 8.3 form
  for (char16_t c : base)
    if (!IsShortNameChar(c)) return false;
  for (char16_t c : ext)
    if (!IsShortNameChar(c)) return false;
  return true;
}

void TShortNameGenerator::Reserve(std::u16string_view name) {
  if (IsValid83(name)) impl_->taken.insert(ToUpper(name));
}

std::u16string TShortNameGenerator::Next(std::u16string_view longName) {
  if (IsValid83(longName)) {
    impl_->taken.insert(ToUpper(longName));
    return {};
  }
  // Leading dots and blanks never start a short name; the extension is what follows the last dot
  // after them.
  size_t start = 0;
  while (start < longName.size() && (longName[start] == u'.' || longName[start] == u' ')) ++start;
  const std::u16string_view rest = longName.substr(start);
  const size_t dot = rest.rfind(u'.');
  std::u16string base = CleanPart(dot == std::u16string_view::npos ? rest : rest.substr(0, dot));
  std::u16string ext =
      dot == std::u16string_view::npos ? std::u16string() : CleanPart(rest.substr(dot + 1));
  if (ext.size() > 3) ext.resize(3);
  if (base.empty()) base.push_back(u'_');
  if (base.size() > 6) base.resize(6);

  std::u16string key = base;
  key.push_back(u'.');
  key += ext;
  uint32_t& next = impl_->nextNumber.try_emplace(key, 1).first->second;
  for (uint32_t n = next;; ++n) {
    // With more digits the stem gives way so the name stays within eight characters.
    const size_t digits = Digits(n);
    const size_t keep = 7 > digits ? 7 - digits : 0;
    std::u16string candidate = base.substr(0, keep < base.size() ? keep : base.size());
    candidate.push_back(u'~');
    for (char c : std::to_string(n)) candidate.push_back(static_cast<char16_t>(c));
    if (!ext.empty()) {
      candidate.push_back(u'.');
      candidate += ext;
    }
    if (impl_->taken.insert(candidate).second) {
      next = n + 1;
      return candidate;
    }
  }
}

}  // namespace plat
