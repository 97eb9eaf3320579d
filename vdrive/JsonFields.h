#pragma once
// Strict reading of the recorder's JSON files. A recorder folder is input like any other: a
// value of the wrong type, out of range or negative is refused with the field named
// ("medium.tracks[2].nwa: ..."), never converted into some other number.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace vdrive {

class TJsonFields {
 public:
  // Fields of object; path names it in errors ("" for the top level of a file).
  TJsonFields(const nlohmann::json& object, std::string path);

  // Absent fields give the default; the first wrong one is remembered and later reads give
  // defaults.
  uint64_t Unsigned(std::string_view key, uint64_t max, uint64_t def);
  uint64_t RequiredUnsigned(std::string_view key, uint64_t max);
  bool Bool(std::string_view key, bool def);
  std::string String(std::string_view key, std::string_view def, size_t maxLength);
  std::string RequiredString(std::string_view key, size_t maxLength);
  // The array or object under key; null when absent (or wrong, which is an error).
  const nlohmann::json* Array(std::string_view key);
  const nlohmann::json* Object(std::string_view key);

  // "medium.tracks[2]" for Element("tracks", 2) of the "medium" fields.
  std::string Path(std::string_view key) const;
  std::string Element(std::string_view key, size_t index) const;
  // Records a problem of key, or a whole "field: problem" text (the first one only).
  void Fail(std::string_view key, const std::string& problem);
  void FailWith(const std::string& fieldAndProblem);
  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  const nlohmann::json* Find(std::string_view key) const;

  const nlohmann::json& object_;
  std::string path_;
  std::string error_;
};

}  // namespace vdrive
