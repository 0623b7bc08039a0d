// A compact record of the document an encoding run matched: elements,
// declared attributes in schema order, and for every value the node and the
// offset in that node's stream where it starts. A checker replays a
// decoder's walk over the same streams against it: when the walk meets the
// same elements and attributes and reads every value from the same place,
// and every stream to its end, the stored form decodes to exactly the
// matched document.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "sxc/decoded_events.h"

namespace zoq {

class EventLog {
 public:
  // Room for the events of a document of about `xml_bytes` of text, so that
  // the log is not copied as it grows (memory is taken only as it is used).
  // Only a hint: very large documents reserve for their first 64 MiB.
  void ExpectDocumentSize(size_t xml_bytes) {
    try {
      words_.reserve(std::min(xml_bytes, kMostExpected) / kBytesPerWord);
    } catch (const std::bad_alloc&) {
      // Grows as it goes instead.
    }
  }

  void StartElement(const SchemaNode& element) { Add(kStart, element.index); }
  void EndElement(const SchemaNode& element) { Add(kEnd, element.index); }
  void StartAttribute(const SchemaNode& attribute) { Add(kAttribute, attribute.index); }
  void EndAttribute(const SchemaNode& attribute) { Add(kAttributeEnd, attribute.index); }
  void Value(const SchemaNode& node, size_t offset) {
    Add(kValue, node.index);
    words_.push_back(static_cast<uint32_t>(offset));
    words_.push_back(static_cast<uint32_t>(uint64_t{offset} >> 32));
  }

  // Each entry is a word of the node index and the event's kind; a value's
  // word is followed by two of its offset.
  const std::vector<uint32_t>& words() const { return words_; }

  enum Kind : uint32_t { kStart, kEnd, kAttribute, kAttributeEnd, kValue };
  static constexpr int kKindBits = 3;
  // Markup-rich documents of the bundled model log a word per 5-7 bytes;
  // reserving for one per 4 spares them a copy of the log as it grows.
  static constexpr size_t kBytesPerWord = 4;
  static constexpr size_t kMostExpected = size_t{64} << 20;

 private:
  void Add(Kind kind, int32_t node) {
    words_.push_back(static_cast<uint32_t>(node) << kKindBits | kind);
  }
  std::vector<uint32_t> words_;
};

class EventLogChecker : public DecodedEvents {
 public:
  explicit EventLogChecker(const std::vector<uint32_t>& expected) : expected_(expected) {}

  void StartElement(const SchemaNode& e) override { Check(EventLog::kStart, e.index); }
  void EndElement(const SchemaNode& e) override { Check(EventLog::kEnd, e.index); }
  void StartAttribute(const SchemaNode& a) override { Check(EventLog::kAttribute, a.index); }
  void EndAttribute(const SchemaNode& a) override { Check(EventLog::kAttributeEnd, a.index); }
  void Value(const SchemaNode& node, size_t offset) override;
  void Bool(bool) override {}
  void Int(int32_t) override {}
  void Double(double) override {}
  void Text(const char*, size_t) override {}

  // True when every event matched and the whole log was replayed.
  bool Matches() const { return !differs_ && at_ == expected_.size(); }

 private:
  void Check(EventLog::Kind kind, int32_t node) {
    const uint32_t word = static_cast<uint32_t>(node) << EventLog::kKindBits | kind;
    if (differs_ || at_ == expected_.size() || expected_[at_] != word) {
      differs_ = true;
      return;
    }
    ++at_;
  }

  const std::vector<uint32_t>& expected_;
  size_t at_ = 0;
  bool differs_ = false;
};

}  // namespace zoq
