// A small JSON reader for the tests: the conformance expectations and the
// tool's --json output. Strings keep \u escapes as UTF-8; numbers are read
// as 64-bit integers (exact), fractions truncated.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zoq::test {

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsObject() const { return kind_ == Kind::kObject; }
  bool IsArray() const { return kind_ == Kind::kArray; }
  bool IsString() const { return kind_ == Kind::kString; }
  bool IsNumber() const { return kind_ == Kind::kNumber; }

  bool AsBool() const { return bool_; }
  int64_t AsInt() const { return number_; }
  const std::string& AsString() const { return string_; }
  const std::vector<JsonValue>& Items() const { return items_; }
  const std::map<std::string, JsonValue>& Members() const { return members_; }

  bool Has(const std::string& key) const { return members_.count(key) != 0; }
  // The member, or a null value when it is missing.
  const JsonValue& operator[](const std::string& key) const;

  // Throw std::runtime_error for malformed text or an unreadable file.
  static JsonValue Parse(const std::string& text);
  static JsonValue ParseFile(const std::string& path);

 private:
  friend class JsonParser;
  Kind kind_ = Kind::kNull;
  bool bool_ = false;
  int64_t number_ = 0;
  std::string string_;
  std::vector<JsonValue> items_;
  std::map<std::string, JsonValue> members_;
};

}  // namespace zoq::test
