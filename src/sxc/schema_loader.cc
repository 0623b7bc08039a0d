#include "sxc/schema_loader.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "sxc/file_stream.h"
#include "sxc/schema_cache.h"
#include "sxc/schema_stream_loader.h"
#include "zoq/utf.h"

namespace zoq {
namespace {

// Reads the fields of a .bsg file front to back; every read checks that the
// bytes are there.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size), begin_(data) {}

  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  size_t offset() const { return static_cast<size_t>(p_ - begin_); }

  bool Byte(uint8_t* out) {
    if (remaining() < 1) return false;
    *out = *p_++;
    return true;
  }
  bool Int(int32_t* out) {
    if (remaining() < 4) return false;
    *out = static_cast<int32_t>(static_cast<uint32_t>(p_[0]) | static_cast<uint32_t>(p_[1]) << 8 |
                                static_cast<uint32_t>(p_[2]) << 16 | static_cast<uint32_t>(p_[3]) << 24);
    p_ += 4;
    return true;
  }
  // A count of items of at least `item_size` bytes each that must still fit.
  bool Count(size_t item_size, int32_t* out) {
    return Int(out) && *out >= 0 && static_cast<size_t>(*out) <= remaining() / item_size;
  }
  bool Name(int32_t length, std::u16string* out) {
    if (static_cast<size_t>(length) > remaining() / 2) return false;
    out->clear();
    for (int32_t i = 0; i < length; ++i) {
      const char16_t unit = static_cast<char16_t>(p_[0] | p_[1] << 8);
      p_ += 2;
      if (unit == 0) {
        // The name ends at its first zero unit; the rest is skipped.
        p_ += 2 * static_cast<size_t>(length - i - 1);
        break;
      }
      out->push_back(unit);
    }
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  const uint8_t* begin_;
};

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

std::string NodeLabel(int i) { return "node " + std::to_string(i); }

// Index list of an element or group; indexes outside the table are dropped.
bool ReadIndexList(Reader& in, BinarySchema* schema, std::vector<const SchemaNode*>* list) {
  int32_t count;
  if (!in.Count(4, &count)) return false;
  list->reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    int32_t index = -1;
    in.Int(&index);
    if (const SchemaNode* node = schema->Node(index)) list->push_back(node);
  }
  return true;
}

bool ReadNode(Reader& in, BinarySchema* schema, int i, std::string* error) {
  SchemaNode& node = schema->nodes[i];
  const std::string truncated = "schema file is truncated in " + NodeLabel(i);
  uint8_t kind;
  if (!in.Byte(&kind)) return Fail(error, truncated);
  if (kind < kAttributeNode || kind > kAllNode) {
    return Fail(error, NodeLabel(i) + " has the unknown kind " + std::to_string(kind));
  }
  node.kind = kind;
  if (kind == kAttributeNode || kind == kElementNode) {
    int32_t length;
    uint8_t value_type;
    if (!in.Int(&length)) return Fail(error, truncated);
    if (length < 0) return Fail(error, NodeLabel(i) + " has a negative name length");
    if (!in.Name(length, &node.name) || !in.Byte(&value_type)) return Fail(error, truncated);
    if (node.name.empty()) return Fail(error, NodeLabel(i) + " has no name");
    node.name_utf8 = Utf16ToUtf8Lenient(node.name);
    node.value_type = value_type;
  }
  if (kind == kAttributeNode) {
    uint8_t required;
    if (!in.Byte(&required)) return Fail(error, truncated);
    node.min_occurs = required != 0 ? 1 : 0;
    node.max_occurs = 1;
    return true;
  }
  int32_t min_occurs, max_occurs;
  if (!in.Int(&min_occurs) || !in.Int(&max_occurs)) return Fail(error, truncated);
  node.min_occurs = min_occurs;
  node.max_occurs = max_occurs;
  if (kind == kElementNode) {
    uint8_t mixed;
    if (!in.Byte(&mixed)) return Fail(error, truncated);
    node.mixed = mixed != 0;
    if (!ReadIndexList(in, schema, &node.attributes)) return Fail(error, truncated);
  }
  if (!ReadIndexList(in, schema, &node.children)) return Fail(error, truncated);
  return true;
}

// Attribute lists must hold attributes and child lists elements or groups.
bool CheckReferences(const BinarySchema& schema, std::string* error) {
  for (const SchemaNode& node : schema.nodes) {
    for (const SchemaNode* a : node.attributes) {
      if (!a->IsAttribute()) {
        return Fail(error, NodeLabel(node.index) + " lists " + NodeLabel(a->index) +
                               " as an attribute, but it is not one");
      }
    }
    for (const SchemaNode* c : node.children) {
      if (c->IsAttribute()) {
        return Fail(error, NodeLabel(node.index) + " lists the attribute " + NodeLabel(c->index) +
                               " as a child");
      }
    }
  }
  return true;
}

// A group that contains itself through groups only would make matching and
// decoding recurse without end.
bool CheckGroupCycles(const BinarySchema& schema, std::string* error) {
  enum : uint8_t { kUnseen, kActive, kDone };
  std::vector<uint8_t> state(schema.nodes.size(), kUnseen);
  std::vector<std::pair<const SchemaNode*, size_t>> stack;
  for (const SchemaNode& start : schema.nodes) {
    if (!start.IsGroup() || state[start.index] != kUnseen) continue;
    stack.push_back({&start, 0});
    state[start.index] = kActive;
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      if (next == node->children.size()) {
        state[node->index] = kDone;
        stack.pop_back();
        continue;
      }
      const SchemaNode* child = node->children[next++];
      if (!child->IsGroup()) continue;
      if (state[child->index] == kActive) {
        return Fail(error, "group " + NodeLabel(child->index) + " contains itself");
      }
      if (state[child->index] == kUnseen) {
        state[child->index] = kActive;
        stack.push_back({child, 0});
      }
    }
  }
  return true;
}

}  // namespace

bool ParseBinarySchema(const uint8_t* data, size_t size, BinarySchema* out, std::string* error) {
  if (size < kSchemaNodesOffset + 4) return Fail(error, "schema file is too short");
  memcpy(out->identifier.data(), data + kSchemaIdentifierOffset, out->identifier.size());
  Reader in(data + kSchemaNodesOffset, size - kSchemaNodesOffset);
  int32_t count;
  // The smallest record (a nameless attribute) takes 7 bytes.
  if (!in.Count(7, &count)) return Fail(error, "schema file has an impossible node count");
  out->nodes.clear();
  out->nodes.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) out->nodes[i].index = i;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadNode(in, out, i, error)) return false;
  }
  int32_t root_count;
  if (!in.Int(&root_count)) return Fail(error, "schema file is truncated before its root list");
  if (root_count <= 0) return Fail(error, "schema file declares no root element");
  if (static_cast<size_t>(root_count) > in.remaining() / 4) {
    return Fail(error, "schema file is truncated in its root list");
  }
  out->roots.clear();
  for (int32_t k = 0; k < root_count; ++k) {
    int32_t index = -1;
    in.Int(&index);
    const SchemaNode* root = out->Node(index);
    if (root == nullptr) return Fail(error, "root " + std::to_string(k) + " names no node");
    if (!root->IsElement()) return Fail(error, "root " + std::to_string(k) + " is not an element");
    out->roots.push_back(root);
  }
  if (!CheckReferences(*out, error) || !CheckGroupCycles(*out, error)) return false;
  out->Finish();
  return true;
}

bool LoadSchemaFromStream(CFileStream& file, std::shared_ptr<const BinarySchema>* out,
                          std::string* error) {
  SchemaIdentifier identifier;
  size_t got = 0;
  if (file.Seek(kSchemaIdentifierOffset, 0) != 0 ||
      file.Read(identifier.data(), identifier.size(), &got) != 0) {
    return Fail(error, "schema file is too short");
  }
  if (auto cached = SchemaCache::Find(identifier)) {
    *out = std::move(cached);
    return true;
  }
  const int64_t size = file.Size();
  if (size > (int64_t{1} << 30)) return Fail(error, "schema file is too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (file.Seek(0, 0) != 0 || file.Read(bytes.data(), bytes.size(), &got) != 0) {
    return Fail(error, "schema file could not be read");
  }
  auto schema = std::make_shared<BinarySchema>();
  if (!ParseBinarySchema(bytes.data(), bytes.size(), schema.get(), error)) return false;
  *out = SchemaCache::Insert(std::move(schema));
  return true;
}

bool LoadBinarySchema(const std::string& path, std::shared_ptr<const BinarySchema>* out,
                      std::string* error) {
  try {
    CFileStream file(path, false);
    return LoadSchemaFromStream(file, out, error);
  } catch (const std::runtime_error&) {
    return Fail(error, "cannot open the schema file " + path);
  }
}

}  // namespace zoq
