#include "image/qvpTreeOmitted.h"

#include <cstdio>

#include "image/qvpTreeTypes.h"
#include "platform/Text.h"

std::string OmitReasonText(const TOmittedEntry& e) {
  const std::string detail = e.Detail.empty() ? std::string() : " (" + e.Detail + ")";
  switch (e.Reason) {
    case TOmitReason::SameName:
      return "an entry of the same name is already in that folder of the compilation";
    case TOmitReason::FolderInTheWay:
      return "a folder of the same name is already in that folder of the compilation";
    case TOmitReason::FileInTheWay:
      return "a file of the same name is already in that folder of the compilation";
    case TOmitReason::NameNotUtf8:
      return "the name is not valid UTF-8 text";
    case TOmitReason::NameTooLong:
      return "the name is longer than 217 characters";
    case TOmitReason::PathTooLong:
      return "the path is longer than the system allows";
    case TOmitReason::TooManyEntries:
      return "the compilation already holds 200,000 entries";
    case TOmitReason::TooManyFolders:
      return "the compilation already holds 65,000 folders";
    case TOmitReason::FolderUnreadable:
      return "the folder cannot be read" + detail;
    case TOmitReason::FileUnreadable:
      return "the file cannot be read" + detail;
    case TOmitReason::SpecialFile:
      return "not a regular file" + detail;
    case TOmitReason::LinkLoop:
      return "a folder link that leads back into its own path" + detail;
    case TOmitReason::MoreOmitted:
      return "more entries were left out" + detail;
  }
  return "left out";
}

void RecordOmission(TImageBuilder& b, std::string_view path, TOmitReason reason,
                    std::string detail) {
  if (b.Omitted.size() < kMaxOmittedListed) {
    b.Omitted.push_back(TOmittedEntry{PrintablePath(path), reason, std::move(detail)});
    return;
  }
  // A runaway folder must not fill the memory with its list: the last line counts the rest.
  ++b.OmittedBeyondList;
  if (b.Omitted.size() == kMaxOmittedListed)
    b.Omitted.push_back(TOmittedEntry{"", TOmitReason::MoreOmitted, ""});
  b.Omitted.back().Detail = std::to_string(b.OmittedBeyondList);
}

std::string PrintablePath(std::string_view bytes) {
  if (plat::Utf16ToUtf8(plat::Utf8ToUtf16(bytes)) == bytes) return std::string(bytes);
  std::string out;
  size_t i = 0;
  while (i < bytes.size()) {
    // The longest valid UTF-8 sequence starting here (1 to 4 bytes), else one escaped byte.
    size_t n = 0;
    for (size_t len = 4; len >= 1 && n == 0; --len) {
      if (i + len > bytes.size()) continue;
      const std::string_view part = bytes.substr(i, len);
      if (plat::Utf16ToUtf8(plat::Utf8ToUtf16(part)) == part) n = len;
    }
    if (n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(bytes[i]));
      out += esc;
      ++i;
    }
  }
  return out;
}
