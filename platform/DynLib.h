#pragma once
// Libraries loaded by name at run time.
#include <string>
#include <string_view>

namespace plat {

// "WNASPI32.DLL" -> "libwnaspi32.so"; names already ending in ".so" are kept.
std::string LibraryFileName(std::string_view windowsName);

class TLibrary {
 public:
  TLibrary() = default;
  ~TLibrary();  // unloads unless Keep() was called
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;
  // Looks next to the executable first, then the system's search path.
  bool Load(std::string_view name);
  void* Symbol(const char* name) const;
  bool IsLoaded() const { return handle_ != nullptr; }
  void Keep() { keep_ = true; }  // stays loaded for the life of the process
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  bool keep_ = false;
  std::string error_;
};

}  // namespace plat
