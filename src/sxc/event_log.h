// A compact record of the document an encoding run matched (elements,
// declared attributes in schema order, typed values), and a checker that
// compares a decoder's findings with it. The encoder uses the pair to make
// sure that its output decodes to exactly what it read.
#pragma once

#include <cstdint>
#include <string>

#include "sxc/decoded_events.h"

namespace zoq {

class EventLog {
 public:
  void StartElement(const SchemaNode& element) { Tagged('S', element.index); }
  void EndElement(const SchemaNode& element) { Tagged('E', element.index); }
  void StartAttribute(const SchemaNode& attribute) { Tagged('A', attribute.index); }
  void EndAttribute(const SchemaNode& attribute) { Tagged('a', attribute.index); }
  void Bool(bool value);
  void Int(int32_t value);
  void Double(double value);
  void Text(const char* utf8, size_t length);

  const std::string& bytes() const { return bytes_; }
  void Clear() { bytes_.clear(); }

 private:
  void Tagged(char tag, int32_t value);
  std::string bytes_;
};

// Replays decoded events against a log; any difference is remembered.
class EventLogChecker : public DecodedEvents {
 public:
  explicit EventLogChecker(const std::string& expected) : expected_(expected) {}

  void StartElement(const SchemaNode& e) override { Check([&](EventLog& l) { l.StartElement(e); }); }
  void EndElement(const SchemaNode& e) override { Check([&](EventLog& l) { l.EndElement(e); }); }
  void StartAttribute(const SchemaNode& a) override { Check([&](EventLog& l) { l.StartAttribute(a); }); }
  void EndAttribute(const SchemaNode& a) override { Check([&](EventLog& l) { l.EndAttribute(a); }); }
  void Bool(bool v) override { Check([&](EventLog& l) { l.Bool(v); }); }
  void Int(int32_t v) override { Check([&](EventLog& l) { l.Int(v); }); }
  void Double(double v) override { Check([&](EventLog& l) { l.Double(v); }); }
  void Text(const char* t, size_t n) override { Check([&](EventLog& l) { l.Text(t, n); }); }

  // True when every event matched and the whole log was replayed.
  bool Matches() const { return !differs_ && offset_ == expected_.size(); }

 private:
  template <typename Event>
  void Check(Event event) {
    if (differs_) return;
    scratch_.Clear();
    event(scratch_);
    const std::string& got = scratch_.bytes();
    if (expected_.compare(offset_, got.size(), got) != 0) {
      differs_ = true;
      return;
    }
    offset_ += got.size();
  }

  const std::string& expected_;
  EventLog scratch_;
  size_t offset_ = 0;
  bool differs_ = false;
};

}  // namespace zoq
