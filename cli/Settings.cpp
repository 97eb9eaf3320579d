#include "cli/Settings.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/Files.h"
#include "platform/Text.h"

namespace cli {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A decimal integer with an optional sign and blanks around it; nothing else.
std::optional<int> ParseInteger(std::string_view s) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  v = negative ? -v : v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int>(v);
}

// The value of key in section, or nothing.
std::optional<std::string> Lookup(std::string_view text, std::string_view section, std::string_view key) {
  bool inSection = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      inSection = plat::CompareAsciiNoCase(Trim(line.substr(1, line.size() - 2)), section) == 0;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    if (plat::CompareAsciiNoCase(Trim(line.substr(0, eq)), key) == 0) return std::string(Trim(line.substr(eq + 1)));
  }
  return std::nullopt;
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

TSettings ParseSettings(std::string_view text, const std::string& defaultTempDir) {
  TSettings s;
  constexpr std::string_view section = "Setting";
  if (auto v = Lookup(text, section, "IDVyp")) s.BurnerIndex = ParseInteger(*v).value_or(-1);
  if (auto v = Lookup(text, section, "BurnProof")) {
    if (auto n = ParseInteger(*v)) s.BurnProof = *n != 0;
  }
  const auto temp = Lookup(text, section, "TempDir");
  s.TempDir = WithTrailingSlash(temp && !temp->empty() ? *temp : defaultTempDir);
  return s;
}

TSettings ReadSettings() {
  std::ifstream in(plat::SettingsFolder() + "/" + kIniName, std::ios::binary);
  std::stringstream text;
  if (in) text << in.rdbuf();
  return ParseSettings(text.str(), plat::TempPath());
}

}  // namespace cli
