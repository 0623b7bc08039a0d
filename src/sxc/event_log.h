// A compact record of the document an encoding run matched: elements,
// declared attributes in schema order, and for every value the node and the
// offset in that node's stream where it starts. A checker replays a
// decoder's walk over the same streams against it: when the walk meets the
// same elements and attributes and reads every value from the same place,
// and every stream to its end, the stored form decodes to exactly the
// matched document.
#pragma once

#include <cstdint>
#include <string>

#include "sxc/decoded_events.h"

namespace zoq {

class EventLog {
 public:
  void StartElement(const SchemaNode& element) { Add('S', element.index, 0); }
  void EndElement(const SchemaNode& element) { Add('E', element.index, 0); }
  void StartAttribute(const SchemaNode& attribute) { Add('A', attribute.index, 0); }
  void EndAttribute(const SchemaNode& attribute) { Add('a', attribute.index, 0); }
  void Value(const SchemaNode& node, size_t offset) { Add('V', node.index, offset); }

  const std::string& bytes() const { return bytes_; }

 private:
  void Add(char tag, int32_t node, uint64_t offset);
  std::string bytes_;
};

class EventLogChecker : public DecodedEvents {
 public:
  explicit EventLogChecker(const std::string& expected) : expected_(expected) {}

  void StartElement(const SchemaNode& e) override { Check('S', e.index, 0); }
  void EndElement(const SchemaNode& e) override { Check('E', e.index, 0); }
  void StartAttribute(const SchemaNode& a) override { Check('A', a.index, 0); }
  void EndAttribute(const SchemaNode& a) override { Check('a', a.index, 0); }
  void Value(const SchemaNode& node, size_t offset) override { Check('V', node.index, offset); }
  void Bool(bool) override {}
  void Int(int32_t) override {}
  void Double(double) override {}
  void Text(const char*, size_t) override {}

  // True when every event matched and the whole log was replayed.
  bool Matches() const { return !differs_ && offset_ == expected_.size(); }

 private:
  void Check(char tag, int32_t node, uint64_t offset);

  const std::string& expected_;
  size_t offset_ = 0;
  bool differs_ = false;
};

}  // namespace zoq
