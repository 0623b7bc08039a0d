// The content model of a binary schema: a table of nodes (attributes,
// elements and the groups sequence, choice and all) and the list of root
// elements. A loaded schema is immutable and may be shared by threads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zoq {

enum NodeKind : int {
  kAttributeNode = 1,
  kElementNode = 2,
  kSequenceNode = 3,
  kChoiceNode = 4,
  kAllNode = 5,
};

// How a node's values are carried in SXC value streams.
enum ValueType : int {
  kBooleanValue = 0,  // one byte
  kIntegerValue = 1,  // int32
  kFloatValue = 2,    // IEEE double
  kDoubleValue = 3,   // IEEE double
  kTextValue = 4,     // UTF-8 with a terminating zero; 5 and 6 alike
  kText5Value = 5,
  kText6Value = 6,
};

// The three value classes that share compressed blocks.
inline bool IsBooleanOrInteger(int value_type) { return value_type == 0 || value_type == 1; }
inline bool IsFloating(int value_type) { return value_type == 2 || value_type == 3; }
inline bool IsTextual(int value_type) { return !IsBooleanOrInteger(value_type) && !IsFloating(value_type); }

using SchemaIdentifier = std::array<uint8_t, 16>;

struct SchemaNode {
  std::u16string name;    // elements and attributes
  std::string name_utf8;  // the same name, for matching parser events
  int kind = 0;
  int value_type = kTextValue;
  std::vector<const SchemaNode*> attributes;  // elements
  std::vector<const SchemaNode*> children;    // elements and groups
  // Counted once when the schema is loaded (never lazily, so that a shared
  // schema is never written to).
  int optional_attribute_count = -1;
  int optional_child_count = -1;
  int max_occurs = 1;  // -1: unbounded
  int min_occurs = 1;  // attributes: 1 required, 0 optional
  bool mixed = false;
  int index = 0;  // position in the node table; keys the value stream

  bool IsElement() const { return kind == kElementNode; }
  bool IsAttribute() const { return kind == kAttributeNode; }
  bool IsGroup() const { return kind >= kSequenceNode && kind <= kAllNode; }
  bool IsOptional() const { return min_occurs < 1; }
};

class BinarySchema {
 public:
  BinarySchema() = default;
  BinarySchema(const BinarySchema&) = delete;
  BinarySchema& operator=(const BinarySchema&) = delete;

  SchemaIdentifier identifier{};
  // Sized once; nodes are never moved afterwards, so references stay valid.
  std::vector<SchemaNode> nodes;
  // Root elements sorted by name in UTF-16 code unit order.
  std::vector<const SchemaNode*> roots;

  const SchemaNode* Node(int index) const {
    return index >= 0 && index < static_cast<int>(nodes.size()) ? &nodes[index] : nullptr;
  }
  const SchemaNode* Root(int index) const {
    return index >= 0 && index < static_cast<int>(roots.size()) ? roots[index] : nullptr;
  }
  // Position of `node` in the root list, or -1.
  int RootIndex(const SchemaNode* node) const;
  // The first root of that name in the sorted list, or null.
  const SchemaNode* FindRoot(std::string_view utf8_name) const;

  // Counts the optional attributes and children of every node and sorts the
  // root list. Called once after the table is filled.
  void Finish();
};

// Sorts root nodes by name, ordinal UTF-16 comparison.
void SortRoots(std::vector<const SchemaNode*>* roots);

}  // namespace zoq
