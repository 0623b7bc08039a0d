// A small JSON text writer: objects, arrays, strings (UTF-8 in, escaped
// out), integers and booleans. Containers nested less deeply than the
// layout depth put each element on its own indented line; deeper ones are
// written on one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zoqcli {

class JsonWriter {
 public:
  explicit JsonWriter(int layout_depth = 64) : layout_depth_(layout_depth) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the current object.
  void Key(std::string_view name);
  void String(std::string_view value);
  void Int(int64_t value);
  void Bool(bool value);
  void Null();

  // The text written so far; Take() also empties the writer's buffer so that
  // long documents can be handed out in pieces.
  const std::string& text() const { return text_; }
  std::string Take();

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine(size_t depth);

  struct Level {
    bool has_elements = false;
  };
  std::string text_;
  std::vector<Level> levels_;
  bool after_key_ = false;
  int layout_depth_;
};

// `value` as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view value);

}  // namespace zoqcli
