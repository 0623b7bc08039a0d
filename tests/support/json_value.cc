#include "json_value.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "zoq/utf.h"

namespace zoq::test {

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : text_(text) {}

  JsonValue ParseDocument() {
    JsonValue value = ParseValue();
    SkipSpace();
    if (pos_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
  }

  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  bool Take(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  void Expect(char c) {
    if (!Take(c)) Fail(std::string("expected '") + c + "'");
  }

  bool TakeWord(const char* word) {
    size_t length = std::char_traits<char>::length(word);
    if (text_.compare(pos_, length, word) != 0) return false;
    pos_ += length;
    return true;
  }

  uint32_t Hex4() {
    if (pos_ + 4 > text_.size()) Fail("short \\u escape");
    uint32_t value = static_cast<uint32_t>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
    pos_ += 4;
    return value;
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) Fail("cut escape");
      char e = text_[pos_++];
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          char16_t units[2] = {static_cast<char16_t>(Hex4()), 0};
          size_t count = 1;
          if (units[0] >= 0xD800 && units[0] < 0xDC00 && TakeWord("\\u")) {
            units[count++] = static_cast<char16_t>(Hex4());
          }
          zoq::AppendUtf16ToUtf8Lenient(std::u16string_view(units, count), &out);
          break;
        }
        default:
          out.push_back(e);
      }
    }
    if (pos_ >= text_.size()) Fail("unterminated string");
    ++pos_;
    return out;
  }

  JsonValue ParseValue() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("missing value");
    JsonValue value;
    char c = text_[pos_];
    if (c == '{') {
      ++pos_;
      value.kind_ = JsonValue::Kind::kObject;
      if (Take('}')) return value;
      do {
        SkipSpace();
        std::string key = ParseString();
        Expect(':');
        value.members_[key] = ParseValue();
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      ++pos_;
      value.kind_ = JsonValue::Kind::kArray;
      if (Take(']')) return value;
      do {
        value.items_.push_back(ParseValue());
      } while (Take(','));
      Expect(']');
    } else if (c == '"') {
      value.kind_ = JsonValue::Kind::kString;
      value.string_ = ParseString();
    } else if (TakeWord("true")) {
      value.kind_ = JsonValue::Kind::kBool;
      value.bool_ = true;
    } else if (TakeWord("false")) {
      value.kind_ = JsonValue::Kind::kBool;
    } else if (TakeWord("null")) {
    } else {
      // Integers are read exactly; a fraction or exponent goes through a
      // double and is truncated. from_chars stops at the text's end, so a
      // number costs its own length (strtod would scan the rest of a large
      // document under the sanitizers' string checks).
      const char* begin = text_.data() + pos_;
      const char* last = text_.data() + text_.size();
      double real = 0;
      const auto [end, error] = std::from_chars(begin, last, real);
      if (error != std::errc() || end == begin) Fail("bad value");
      const std::string_view token(begin, static_cast<size_t>(end - begin));
      if (token.find_first_of(".eE") == std::string_view::npos) {
        const auto exact = std::from_chars(begin, end, value.number_);
        if (exact.ec != std::errc() || exact.ptr != end) Fail("bad value");
      } else {
        value.number_ = static_cast<int64_t>(real);
      }
      value.kind_ = JsonValue::Kind::kNumber;
      pos_ += token.size();
    }
    return value;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNull;
  auto found = members_.find(key);
  return found == members_.end() ? kNull : found->second;
}

JsonValue JsonValue::Parse(const std::string& text) { return JsonParser(text).ParseDocument(); }

JsonValue JsonValue::ParseFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return Parse(buffer.str());
}

}  // namespace zoq::test
