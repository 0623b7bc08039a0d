// A small JSON reader for the conformance expectations: objects, arrays,
// strings (with \u escapes, kept as UTF-8), integers, booleans and null.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zoq::test {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  int64_t number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool Has(const std::string& key) const { return members.count(key) != 0; }
  const JsonValue& operator[](const std::string& key) const;
  bool IsNull() const { return kind == kNull; }
};

// Parses a whole document; false on malformed input.
bool ParseJson(const std::string& text, JsonValue* out);

}  // namespace zoq::test
