#include "image/qvpSysUtilsW.h"

#include "image/qvpTreeTypes.h"

namespace img {

size_t WStrLen(const char16_t* s) {
  if (s == nullptr) return 0;
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::u16string_view WStr(const char16_t* s) {
  return std::u16string_view(s == nullptr ? u"" : s, WStrLen(s));
}

std::vector<std::u16string_view> SplitCompilationPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == u'\\') ++i;
    size_t j = i;
    while (j < path.size() && path[j] != u'\\') ++j;
    if (j > i) parts.push_back(path.substr(i, j - i));
    i = j;
  }
  return parts;
}

std::u16string DirectoryPath(const TDirNode* dir) {
  std::vector<const TDirNode*> chain;
  for (const TDirNode* d = dir; d != nullptr && d->Parent != d; d = d->Parent) chain.push_back(d);
  std::u16string path = u"\\";
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path.append((*it)->LongName, (*it)->LongNameLen);
    path += u'\\';
  }
  return path;
}

std::vector<std::string_view> DiskPathComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    size_t j = i;
    while (j < path.size() && path[j] != '/') ++j;
    std::string_view part = path.substr(i, j - i);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    i = j;
  }
  return parts;
}

}  // namespace img
