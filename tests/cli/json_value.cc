#include "json_value.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zoqtest {

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

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
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
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'u': {
          uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && TakeWord("\\u")) {
            uint32_t low = Hex4();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, cp);
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
      const char* begin = text_.c_str() + pos_;
      char* end = nullptr;
      value.number_ = std::strtod(begin, &end);
      if (end == begin) Fail("bad value");
      value.kind_ = JsonValue::Kind::kNumber;
      pos_ += static_cast<size_t>(end - begin);
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

}  // namespace zoqtest
