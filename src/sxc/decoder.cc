#include "sxc/decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "sxc/byte_coder.h"
#include "sxc/sxc_format.h"
#include "sxc/zlib_codec.h"

namespace zoq {
namespace {

// Deeper nesting than this is taken as hostile input rather than a document
// (the decoder recurses once per element and group).
constexpr int kMaxDepth = 2000;

struct DecodeFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& reason) { throw DecodeFailure(reason); }

int32_t LoadInt(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// Reads the file front to back.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  const uint8_t* Take(size_t n, const char* what) {
    if (remaining() < n) Fail(std::string("the document is truncated in its ") + what);
    const uint8_t* at = p_;
    p_ += n;
    return at;
  }
  int32_t Int(const char* what) { return LoadInt(Take(4, what)); }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

std::string NodeName(const SchemaNode& node) {
  return node.name_utf8.empty() ? "node " + std::to_string(node.index) : node.name_utf8;
}

}  // namespace

SxcDecoder::SxcDecoder(const BinarySchema& schema, DecodedEvents* events, DecodeBudget budget)
    : schema_(schema), events_(events), budget_(budget) {}

SxcDecoder::~SxcDecoder() = default;

template <typename Walk>
bool SxcDecoder::Guarded(const Walk& walk, std::string* error) {
  try {
    walk();
    size_t value_bytes = 0;
    for (const ValueItem& item : items_) value_bytes += item.size;
    events_->ExpectSize(static_cast<size_t>(end_ - cursor_), value_bytes, budget_.text);
    events_->StartDocument();
    DecodeRoot();
    events_->EndDocument();
    CheckOutput();
    return true;
  } catch (const DecodeFailure& failure) {
    if (error != nullptr) *error = failure.what();
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = "out of memory";
  }
  return false;
}

bool SxcDecoder::Decode(const uint8_t* data, size_t size, std::string* error) {
  return Guarded([&] { ReadHeaderAndSections(data, size); }, error);
}

bool SxcDecoder::DecodeParts(const std::vector<uint8_t>& structure, const std::vector<std::string>& streams,
                             const std::vector<uint8_t>& has_stream, std::string* error) {
  return Guarded(
      [&] {
        cursor_ = structure.data();
        end_ = cursor_ + structure.size();
        item_of_node_.assign(schema_.nodes.size(), -1);
        for (size_t i = 0; i < streams.size() && i < item_of_node_.size(); ++i) {
          if (!has_stream[i]) continue;
          items_.push_back(ValueItem{static_cast<int>(i),
                                     reinterpret_cast<const uint8_t*>(streams[i].data()),
                                     streams[i].size(), 0});
          item_of_node_[i] = static_cast<int>(items_.size() - 1);
        }
      },
      error);
}

bool SxcDecoder::AllValuesRead() const {
  for (const ValueItem& item : items_) {
    if (item.cursor != item.size) return false;
  }
  return true;
}

void SxcDecoder::ReadHeaderAndSections(const uint8_t* data, size_t size) {
  Cursor in(data, size);
  in.Take(sizeof kSxcSignature, "signature");  // read, not compared
  if (in.Int("header") > kSxcVersion) Fail("the document has an unknown format version");
  if (memcmp(in.Take(16, "header"), schema_.identifier.data(), 16) != 0) {
    Fail("the document was written for another schema");
  }
  in.Take(1, "header");  // reserved
  const uint8_t flags = *in.Take(1, "header");
  if (flags & kIgnoredPairB) in.Take(8, "header");
  if (flags & kIgnoredPairA) in.Take(8, "header");
  int32_t structure_size = 0, blocks_size = 0, directory_size = 0;
  if (flags & kHasStructure) {
    in.Int("header");  // offset, implied by the order of the sections
    structure_size = in.Int("header");
  }
  if (flags & kHasValues) {
    in.Int("header");
    blocks_size = in.Int("header");
    in.Int("header");
    directory_size = in.Int("header");
  }
  if ((flags & kHasStructure) && structure_size > 0) {
    const uint8_t* compressed = in.Take(static_cast<size_t>(structure_size), "structure section");
    Inflate(compressed, static_cast<size_t>(structure_size), InflateLimitFor(structure_size),
            "the structure section", &structure_);
  }
  cursor_ = structure_.data();
  end_ = cursor_ + structure_.size();
  item_of_node_.assign(schema_.nodes.size(), -1);
  if ((flags & kHasValues) && blocks_size > 0) {
    const uint8_t* blocks = in.Take(static_cast<size_t>(blocks_size), "value blocks");
    in.Take(1, "value directory");
    const bool compressed = *in.Take(1, "value directory") != 0;
    if (directory_size <= 2) Fail("the value directory is empty");
    const size_t rest = static_cast<size_t>(directory_size) - 2;
    const uint8_t* directory_bytes = in.Take(rest, "value directory");
    std::vector<uint8_t> directory;
    if (compressed) {
      Inflate(directory_bytes, rest, InflateLimitFor(rest), "the value directory", &directory);
      if (directory.empty()) Fail("the value directory is corrupt");
    } else {
      directory.assign(directory_bytes, directory_bytes + rest);
    }
    BuildValueItems(blocks, static_cast<size_t>(blocks_size), directory);
  }
}

void SxcDecoder::BuildValueItems(const uint8_t* blocks, size_t blocks_size,
                                 const std::vector<uint8_t>& directory) {
  const char kMalformed[] = "the value directory is malformed";
  Cursor dir(directory.data(), directory.size());
  const int32_t individual_count = dir.Int("value directory");
  const int32_t group_count = dir.Int("value directory");
  if (individual_count < 0 || group_count < 0 ||
      static_cast<size_t>(individual_count) > dir.remaining() / 8 ||
      static_cast<size_t>(group_count) > dir.remaining() / 8) {
    Fail(kMalformed);
  }
  size_t offset = 0;
  // A block inflates to at most what its directory entries declare (a
  // group) or what its stored size allows (a single stream).
  auto take_block = [&](int32_t block_size, size_t declared) -> const std::vector<uint8_t>& {
    if (block_size < 0 || static_cast<size_t>(block_size) > blocks_size - offset) Fail(kMalformed);
    Charge(sizeof(std::vector<uint8_t>));
    std::vector<uint8_t> inflated;
    Inflate(blocks + offset, static_cast<size_t>(block_size),
            std::min(declared, InflateLimitFor(static_cast<size_t>(block_size))), "a value block",
            &inflated);
    offset += static_cast<size_t>(block_size);
    blocks_.push_back(std::move(inflated));
    return blocks_.back();
  };
  auto add_item = [&](int32_t node, const uint8_t* data, size_t size) {
    Charge(sizeof(ValueItem));
    items_.push_back(ValueItem{node, data, size, 0});
    if (node >= 0 && static_cast<size_t>(node) < item_of_node_.size() && item_of_node_[node] < 0) {
      item_of_node_[node] = static_cast<int>(items_.size() - 1);
    }
  };
  // Room for every block: what the directory claims is charged as it is
  // taken, so reserve no more than the budget can still pay for.
  blocks_.reserve(std::min(static_cast<size_t>(individual_count) + static_cast<size_t>(group_count),
                           (budget_.inflated - charged_) / sizeof(std::vector<uint8_t>)));
  for (int32_t i = 0; i < individual_count; ++i) {
    const int32_t node = dir.Int("value directory");
    const std::vector<uint8_t>& block = take_block(dir.Int("value directory"), SIZE_MAX);
    add_item(node, block.data(), block.size());
  }
  std::vector<std::pair<int32_t, size_t>> members;
  for (int32_t g = 0; g < group_count; ++g) {
    const int32_t member_count = dir.Int("value directory");
    const int32_t block_size = dir.Int("value directory");
    if (member_count < 0 || static_cast<size_t>(member_count) > dir.remaining() / 8) Fail(kMalformed);
    members.clear();
    size_t declared = 0;  // int32 sizes: no overflow for any count that fits in memory
    Charge(static_cast<size_t>(member_count) * sizeof(members[0]));
    for (int32_t m = 0; m < member_count; ++m) {
      const int32_t node = dir.Int("value directory");
      const int32_t data_size = dir.Int("value directory");
      if (data_size < 0) Fail(kMalformed);
      members.emplace_back(node, static_cast<size_t>(data_size));
      declared += static_cast<size_t>(data_size);
    }
    const std::vector<uint8_t>& block = take_block(block_size, declared);
    if (block.size() != declared) Fail(kMalformed);
    size_t used = 0;
    for (const auto& [node, data_size] : members) {
      add_item(node, block.data() + used, data_size);
      used += data_size;
    }
  }
}

void SxcDecoder::Inflate(const uint8_t* data, size_t size, size_t limit, const char* what,
                         std::vector<uint8_t>* out) {
  const size_t left = budget_.inflated - charged_;
  switch (InflateBounded(data, size, std::min(limit, left), out)) {
    case InflateStatus::kOk:
      Charge(out->size());
      return;
    case InflateStatus::kTooLarge:
      if (left <= limit) FailInflateLimit();
      Fail(std::string(what) + " inflates to more than the document declares or its stored size allows");
    case InflateStatus::kCorrupt:
      Fail(std::string(what) + " is corrupt");
  }
}

void SxcDecoder::Charge(size_t bytes) {
  if (bytes > budget_.inflated - charged_) FailInflateLimit();
  charged_ += bytes;
}

void SxcDecoder::FailInflateLimit() {
  limit_reached_ = true;
  Fail("the document inflates to more than " + std::to_string(budget_.inflated) +
       " bytes, its decoding limit");
}

void SxcDecoder::FailTextLimit() {
  limit_reached_ = true;
  Fail("the document decodes to more than " + std::to_string(budget_.text) +
       " bytes of XML text, its decoding limit");
}

uint32_t SxcDecoder::ReadCode() { return ByteCoder::Decode(&cursor_, end_); }

bool SxcDecoder::TakePresence(int bits, const uint8_t** presence) {
  *presence = nullptr;
  if (bits < 1) return true;
  const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
  if (static_cast<size_t>(end_ - cursor_) < bytes) return false;
  *presence = cursor_;
  cursor_ += bytes;
  return true;
}

namespace {
bool PresenceBit(const uint8_t* presence, int bit) {
  return (presence[bit / 8] >> (7 - bit % 8)) & 1;
}
}  // namespace

void SxcDecoder::DecodeRoot() {
  uint32_t index = 0;
  if (schema_.roots.size() >= 2) index = ReadCode();
  const SchemaNode* root = schema_.Root(static_cast<int>(index));
  if (root == nullptr) Fail("the document names no root element of the schema");
  DecodeElement(*root, nullptr);
}

int64_t SxcDecoder::Occurrences(const SchemaNode& particle) {
  const int children = static_cast<int>(particle.children.size());
  if (particle.kind == kAllNode) {
    if (particle.optional_child_count == 0) return children;
    return int64_t{children} - particle.optional_child_count + ReadCode();
  }
  if ((particle.max_occurs == particle.min_occurs && particle.max_occurs != -1) ||
      particle.max_occurs == 1) {
    return particle.max_occurs;
  }
  return ReadCode();
}

void SxcDecoder::DecodeParticle(const SchemaNode& particle, const SchemaNode* owner) {
  if (particle.IsElement()) {
    DecodeElement(particle, owner);
  } else if (particle.IsGroup()) {
    DecodeGroup(particle, owner);
  }
}

void SxcDecoder::DecodeRepetitions(const SchemaNode& particle, const SchemaNode* owner,
                                   int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* cursor = cursor_;
    const uint64_t started = elements_started_;
    DecodeParticle(particle, owner);
    if (cursor_ == cursor && elements_started_ == started) break;
  }
}

void SxcDecoder::DecodeElement(const SchemaNode& element, const SchemaNode* owner) {
  const uint8_t* presence;
  if (!TakePresence(element.optional_attribute_count + element.optional_child_count, &presence)) {
    return;  // a truncated structure stops this element only
  }
  if (++depth_ > kMaxDepth) Fail("the document nests deeper than " + std::to_string(kMaxDepth));
  int bit = 0;
  ++elements_started_;
  events_->StartElement(element);
  CheckOutput();
  for (const SchemaNode* attribute : element.attributes) {
    const bool present = !attribute->IsOptional() || PresenceBit(presence, bit++);
    if (!present) continue;
    events_->StartAttribute(*attribute);
    DecodeValue(*attribute);
    events_->EndAttribute(*attribute);
  }
  if (element.mixed || element.children.empty()) DecodeValue(element);
  for (const SchemaNode* child : element.children) {
    const bool present = !child->IsOptional() || PresenceBit(presence, bit++);
    if (!present) continue;
    DecodeRepetitions(*child, &element, Occurrences(*child));
  }
  events_->EndElement(element);
  --depth_;
  if (owner != nullptr && owner->mixed) DecodeValue(*owner);
}

void SxcDecoder::DecodeGroup(const SchemaNode& group, const SchemaNode* owner) {
  if (++depth_ > kMaxDepth) Fail("the document nests deeper than " + std::to_string(kMaxDepth));
  const int children = static_cast<int>(group.children.size());
  switch (group.kind) {
    case kSequenceNode: {
      const uint8_t* presence;
      if (!TakePresence(group.optional_child_count, &presence)) break;
      int bit = 0;
      for (const SchemaNode* child : group.children) {
        const bool present = !child->IsOptional() || PresenceBit(presence, bit++);
        if (!present) continue;
        DecodeRepetitions(*child, owner, Occurrences(*child));
      }
      break;
    }
    case kChoiceNode: {
      const uint32_t index = ReadCode();
      if (index == 0 || index > static_cast<uint32_t>(children)) break;
      const SchemaNode& child = *group.children[index - 1];
      DecodeRepetitions(child, owner, Occurrences(child));
      break;
    }
    case kAllNode: {
      const uint32_t index = ReadCode();
      if (index > static_cast<uint32_t>(children)) break;
      if (index == 0) Fail("an all group names no child");
      const SchemaNode& child = *group.children[index - 1];
      DecodeRepetitions(child, owner, Occurrences(child));
      break;
    }
    default:
      break;
  }
  --depth_;
}

void SxcDecoder::DecodeValue(const SchemaNode& node) {
  const int slot = item_of_node_.empty() ? -1 : item_of_node_[node.index];
  if (slot < 0) Fail("the document holds no values for " + NodeName(node));
  ValueItem& item = items_[slot];
  CheckOutput();
  events_->Value(node, item.cursor);
  const uint8_t* p = item.data + item.cursor;
  const size_t left = item.size - item.cursor;
  auto need = [&](size_t n) {
    if (left < n) Fail("the values of " + NodeName(node) + " run out");
    item.cursor += n;
  };
  switch (node.value_type) {
    case kBooleanValue:
      need(1);
      events_->Bool(*p != 0);
      break;
    case kIntegerValue:
      need(4);
      events_->Int(LoadInt(p));
      break;
    case kFloatValue:
    case kDoubleValue: {
      need(8);
      double value;
      memcpy(&value, p, 8);
      events_->Double(value);
      break;
    }
    case kTextValue:
    case kText5Value:
    case kText6Value: {
      const void* zero = left == 0 ? nullptr : memchr(p, 0, left);
      if (zero == nullptr) Fail("the values of " + NodeName(node) + " run out");
      const size_t n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
      if (n > 0) events_->Text(reinterpret_cast<const char*>(p), n);
      item.cursor += n + 1;
      break;
    }
    default:
      break;
  }
}

}  // namespace zoq
