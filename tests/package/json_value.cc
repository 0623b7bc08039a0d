#include "json_value.h"

#include <cctype>
#include <string_view>

#include "package/utf.h"

namespace zoq::test {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  bool Document(JsonValue* out) {
    if (!Value(out)) return false;
    Space();
    return pos_ == s_.size();
  }

 private:
  void Space() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  bool Literal(const char* word) {
    size_t n = std::char_traits<char>::length(word);
    if (s_.compare(pos_, n, word) != 0) return false;
    pos_ += n;
    return true;
  }

  bool Value(JsonValue* out) {
    Space();
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') return Object(out);
    if (c == '[') return Array(out);
    if (c == '"') {
      out->kind = JsonValue::kString;
      return String(&out->text);
    }
    if (Literal("true")) {
      out->kind = JsonValue::kBool;
      out->boolean = true;
      return true;
    }
    if (Literal("false")) {
      out->kind = JsonValue::kBool;
      return true;
    }
    if (Literal("null")) {
      out->kind = JsonValue::kNull;
      return true;
    }
    return Number(out);
  }

  bool Number(JsonValue* out) {
    size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    if (pos_ == start) return false;
    out->kind = JsonValue::kNumber;
    out->number = std::stoll(s_.substr(start, pos_ - start));
    return true;
  }

  bool Hex4(uint32_t* out) {
    if (pos_ + 4 > s_.size()) return false;
    *out = static_cast<uint32_t>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
    pos_ += 4;
    return true;
  }

  bool String(std::string* out) {
    ++pos_;  // opening quote
    out->clear();
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      switch (e) {
        case 'n': out->push_back('\n'); break;
        case 't': out->push_back('\t'); break;
        case 'r': out->push_back('\r'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'u': {
          uint32_t high = 0;
          uint32_t low = 0;
          if (!Hex4(&high)) return false;
          char16_t units[2] = {static_cast<char16_t>(high), 0};
          size_t count = 1;
          if (high >= 0xD800 && high <= 0xDBFF && s_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            if (!Hex4(&low)) return false;
            units[count++] = static_cast<char16_t>(low);
          }
          AppendUtf8(std::u16string_view(units, count), out);
          break;
        }
        default: out->push_back(e);
      }
    }
    return false;
  }

  bool Array(JsonValue* out) {
    out->kind = JsonValue::kArray;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
    for (;;) {
      JsonValue item;
      if (!Value(&item)) return false;
      out->items.push_back(std::move(item));
      Space();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == ']') return ++pos_, true;
      if (s_[pos_++] != ',') return false;
    }
  }

  bool Object(JsonValue* out) {
    out->kind = JsonValue::kObject;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
    for (;;) {
      Space();
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"' || !String(&key)) return false;
      Space();
      if (pos_ >= s_.size() || s_[pos_++] != ':') return false;
      JsonValue value;
      if (!Value(&value)) return false;
      out->members[key] = std::move(value);
      Space();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == '}') return ++pos_, true;
      if (s_[pos_++] != ',') return false;
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNullValue;
  auto it = members.find(key);
  return it == members.end() ? kNullValue : it->second;
}

bool ParseJson(const std::string& text, JsonValue* out) {
  *out = JsonValue{};
  return Parser(text).Document(out);
}

}  // namespace zoq::test
