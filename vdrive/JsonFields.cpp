#include "vdrive/JsonFields.h"

namespace vdrive {

using json = nlohmann::json;

TJsonFields::TJsonFields(const json& object, std::string path)
    : object_(object), path_(std::move(path)) {
  if (!object_.is_object()) Fail("", "is not a JSON object");
}

std::string TJsonFields::Path(std::string_view key) const {
  if (key.empty()) return path_.empty() ? std::string("the file") : path_;
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

std::string TJsonFields::Element(std::string_view key, size_t index) const {
  return Path(key) + "[" + std::to_string(index) + "]";
}

void TJsonFields::Fail(std::string_view key, const std::string& problem) {
  if (error_.empty()) error_ = Path(key) + ": " + problem;
}

void TJsonFields::FailWith(const std::string& fieldAndProblem) {
  if (error_.empty()) error_ = fieldAndProblem;
}

const json* TJsonFields::Find(std::string_view key) const {
  if (!Ok() || !object_.is_object()) return nullptr;
  const auto it = object_.find(key);
  return it == object_.end() ? nullptr : &*it;
}

uint64_t TJsonFields::Unsigned(std::string_view key, uint64_t max, uint64_t def) {
  const json* v = Find(key);
  if (v == nullptr) return def;
  if (!v->is_number_unsigned()) {
    Fail(key, v->is_number() ? v->dump() + " is not a whole number from 0 up" : "is not a number");
    return def;
  }
  const uint64_t n = v->get<uint64_t>();
  if (n > max) {
    Fail(key, std::to_string(n) + " is above " + std::to_string(max));
    return def;
  }
  return n;
}

uint64_t TJsonFields::RequiredUnsigned(std::string_view key, uint64_t max) {
  if (Ok() && Find(key) == nullptr) Fail(key, "is missing");
  return Unsigned(key, max, 0);
}

bool TJsonFields::Bool(std::string_view key, bool def) {
  const json* v = Find(key);
  if (v == nullptr) return def;
  if (!v->is_boolean()) {
    Fail(key, "is neither true nor false");
    return def;
  }
  return v->get<bool>();
}

std::string TJsonFields::String(std::string_view key, std::string_view def, size_t maxLength) {
  const json* v = Find(key);
  if (v == nullptr) return std::string(def);
  if (!v->is_string()) {
    Fail(key, "is not a text");
    return std::string(def);
  }
  std::string s = v->get<std::string>();
  if (s.size() > maxLength) {
    Fail(key, "is longer than " + std::to_string(maxLength) + " bytes");
    return std::string(def);
  }
  return s;
}

std::string TJsonFields::RequiredString(std::string_view key, size_t maxLength) {
  if (Ok() && Find(key) == nullptr) Fail(key, "is missing");
  return String(key, "", maxLength);
}

const json* TJsonFields::Array(std::string_view key) {
  const json* v = Find(key);
  if (v != nullptr && !v->is_array()) {
    Fail(key, "is not a list");
    return nullptr;
  }
  return v;
}

const json* TJsonFields::Object(std::string_view key) {
  const json* v = Find(key);
  if (v != nullptr && !v->is_object() && !v->is_null()) {
    Fail(key, "is not a JSON object");
    return nullptr;
  }
  return v != nullptr && v->is_object() ? v : nullptr;
}

}  // namespace vdrive
