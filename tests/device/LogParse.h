#pragma once
// Reads a command log back: the command lines with their fields, the other lines counted.
#include <cctype>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace devtest {

struct TLogLine {
  std::string Name;
  int Opcode, Flags, CdbLength, Status, Length;
  std::vector<int> Cdb, Data;
  int Asc, Ascq;
  bool HasSystemError;
};

// Parses the command lines of a log (header and discovery lines are skipped and counted).
inline std::vector<TLogLine> ParseCommandLines(const std::string& text, int& otherLines,
                                               int& malformed) {
  static const std::regex line(
      R"(^(?:- NAL -> [0-9A-F]+ )?\d{2}:\d{2}:\d{3} (.{22}|) \(([0-9A-F]{2})\) \{([0-9A-F]{2}):([0-9A-F]{2})\} - ([0-9A-F]+):([0-9A-F]+):([0-9A-F]+) <([0-9A-F]{2})> \[([0-9A-F]{5,})\] ((?:[0-9A-F]{2} ){15})\| ((?:[0-9A-F]{2} )*)([0-9A-F]{2}):([0-9A-F]{2})(, \d+)?$)");
  std::vector<TLogLine> out;
  otherLines = malformed = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ++malformed;  // every line ends with CR LF
      break;
    }
    const std::string l = text.substr(pos, end - pos);
    pos = end + 2;
    std::smatch m;
    if (!std::regex_match(l, m, line)) {
      if (std::isdigit(static_cast<unsigned char>(l[0])) && l.size() > 2 && l[2] == ':')
        ++malformed;
      else
        ++otherLines;
      continue;
    }
    TLogLine p;
    p.Name = m[1];
    p.Opcode = std::stoi(m[2], nullptr, 16);
    p.Flags = std::stoi(m[3], nullptr, 16);
    p.CdbLength = std::stoi(m[4], nullptr, 16);
    p.Status = std::stoi(m[8], nullptr, 16);
    p.Length = std::stoi(m[9], nullptr, 16);
    std::istringstream cdb(m[10].str()), data(m[11].str());
    for (std::string b; cdb >> b;) p.Cdb.push_back(std::stoi(b, nullptr, 16));
    for (std::string b; data >> b;) p.Data.push_back(std::stoi(b, nullptr, 16));
    p.Asc = std::stoi(m[12], nullptr, 16);
    p.Ascq = std::stoi(m[13], nullptr, 16);
    p.HasSystemError = m[14].matched;
    out.push_back(p);
  }
  return out;
}

}  // namespace devtest
