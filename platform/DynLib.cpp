#include "platform/DynLib.h"

#include <dlfcn.h>

#include <cctype>

#include "platform/Files.h"

namespace plat {
namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i])
      return false;
  return true;
}

}  // namespace

std::string LibraryFileName(std::string_view windowsName) {
  // Keep a folder part as it is; only the file name is translated.
  size_t cut = windowsName.find_last_of("/\\");
  const std::string folder =
      cut == std::string_view::npos ? std::string() : std::string(windowsName.substr(0, cut + 1));
  std::string_view file = cut == std::string_view::npos ? windowsName : windowsName.substr(cut + 1);
  if (EndsWithNoCase(file, ".so") || file.find(".so.") != std::string_view::npos)
    return std::string(windowsName);
  if (EndsWithNoCase(file, ".dll")) file.remove_suffix(4);
  std::string lower;
  for (char c : file)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower.rfind("lib", 0) != 0) lower = "lib" + lower;
  std::string out = folder;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out + lower + ".so";
}

TLibrary::~TLibrary() {
  if (handle_ && !keep_) dlclose(handle_);
}

bool TLibrary::Load(std::string_view name) {
  if (handle_ && !keep_) dlclose(handle_);
  handle_ = nullptr;
  error_.clear();
  const std::string file = LibraryFileName(name);
  if (file.find('/') == std::string::npos) {
    // Next to the executable first, as the original platform searches the program's folder.
    const std::string local = ExecutableFolder() + "/" + file;
    handle_ = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!handle_) handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = dlerror();
    error_ = e ? e : ("cannot load " + file);
    return false;
  }
  return true;
}

void* TLibrary::Symbol(const char* name) const {
  if (!handle_ || !name) return nullptr;
  return dlsym(handle_, name);
}

}  // namespace plat
