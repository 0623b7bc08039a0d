#include "cli/json_writer.h"

#include <cstdio>

namespace zoqcli {

std::string JsonQuote(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out.push_back('"');
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default: {
        unsigned char byte = static_cast<unsigned char>(c);
        // Controls are escaped, C1 controls (C2 80 to C2 9F) and DEL too,
        // so that the text is safe to show on a terminal.
        if (byte == 0xC2 && i + 1 < value.size() &&
            (static_cast<unsigned char>(value[i + 1]) & 0xE0) == 0x80) {
          byte = static_cast<unsigned char>(value[++i]);
        } else if (byte >= 0x20 && byte != 0x7F) {
          out.push_back(c);
          break;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
        out += escaped;
      }
    }
  }
  out.push_back('"');
  return out;
}

void JsonWriter::NewLine(size_t depth) {
  text_.push_back('\n');
  text_.append(depth * 2, ' ');
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.has_elements) text_.push_back(',');
  level.has_elements = true;
  if (static_cast<int>(levels_.size()) <= layout_depth_) NewLine(levels_.size());
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_.push_back(bracket);
  levels_.push_back(Level{});
}

void JsonWriter::Close(char bracket) {
  bool had_elements = levels_.back().has_elements;
  levels_.pop_back();
  if (had_elements && static_cast<int>(levels_.size()) < layout_depth_) NewLine(levels_.size());
  text_.push_back(bracket);
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  text_ += JsonQuote(name);
  text_ += static_cast<int>(levels_.size()) <= layout_depth_ ? ": " : ":";
  after_key_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  text_ += JsonQuote(value);
}

void JsonWriter::Int(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

std::string JsonWriter::Take() {
  std::string out;
  out.swap(text_);
  return out;
}

}  // namespace zoqcli
