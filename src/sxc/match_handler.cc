#include "sxc/match_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sxc/byte_coder.h"
#include "sxc/typed_value.h"

namespace zoq {
namespace {

const char* ValueKind(int value_type) {
  if (value_type == kBooleanValue) return "a boolean";
  return value_type == kIntegerValue ? "an integer" : "a number";
}

}  // namespace

MatchHandler::MatchHandler(const BinarySchema& schema, EncodeReport* report, EventLog* log)
    : schema_(schema),
      report_(report),
      log_(log),
      marks_(schema.nodes.size(), 0),
      streams_(schema.nodes.size()),
      has_stream_(schema.nodes.size(), 0) {}

std::string MatchHandler::At() const {
  const long line = line_source_ != nullptr ? line_source_(line_context_) : 0;
  return "line " + std::to_string(line) + ": ";
}

void MatchHandler::Fail(const std::string& reason) {
  failed_ = true;
  completed_ = false;
  if (report_->reason.empty()) report_->reason = reason;
}

void MatchHandler::Message(const std::string& text) {
  if (message_printed_) return;
  message_printed_ = true;
  report_->message = text;
  if (report_->print_messages) {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
  }
}

// ---- instances ----

void MatchHandler::PushFrame(const SchemaNode* node) {
  Frame frame;
  frame.node = node;
  if (node->IsElement() || frames_.empty()) {
    frame.text_owner = node;
  } else {
    const SchemaNode* below = frames_.back().text_owner;
    frame.text_owner = below != nullptr && below->mixed ? below : node;
  }
  if (node->kind == kAllNode) frame.matched.assign(node->children.size(), 0);
  frame.record_start = records_.size();
  frame.arena_start = arena_.size();
  frames_.push_back(std::move(frame));
}

void MatchHandler::DiscardTop() {
  const Frame& frame = frames_.back();
  records_.resize(frame.record_start);
  arena_.resize(frame.arena_start);
  frames_.pop_back();
}

void MatchHandler::FinishTop() {
  const Frame& frame = frames_.back();
  const SchemaNode* node = frame.node;
  const size_t start = frame.arena_start;
  if (frames_.size() == 1) {
    root_bytes_.clear();
    BuildBytes(frame, &root_bytes_);
    root_ = node;
    records_.resize(frame.record_start);
    arena_.resize(start);
    frames_.pop_back();
    return;
  }
  // The instance's bytes are built behind its children's, then moved down
  // over them: the arena is the only buffer they pass through.
  const size_t end = arena_.size();
  BuildBytes(frame, &arena_);
  const size_t length = arena_.size() - end;
  if (end != start) {
    memmove(arena_.data() + start, arena_.data() + end, length);
    arena_.resize(start + length);
  }
  records_.resize(frame.record_start);
  frames_.pop_back();
  records_.push_back(Record{node, start, length, false});
}

void MatchHandler::AppendCode(uint32_t value, std::vector<uint8_t>* out) {
  const ByteCode code = ByteCoder::Encode(value);
  if (code.length == 0) Fail(At() + "a count is too large to be stored");
  out->insert(out->end(), code.bytes, code.bytes + code.length);
}

// Runs of consecutive instances of the same node, each preceded by its length
// when the node's occurrence is not fixed.
void MatchHandler::AppendChildren(size_t first, std::vector<uint8_t>* out) {
  size_t i = first;
  while (i < records_.size() && records_[i].attribute) ++i;
  while (i < records_.size()) {
    const SchemaNode* node = records_[i].node;
    size_t end = i;
    while (end < records_.size() && records_[end].node == node) ++end;
    if (node->max_occurs == -1 || (node->max_occurs > 1 && node->max_occurs != node->min_occurs)) {
      AppendCode(static_cast<uint32_t>(end - i), out);
    }
    for (; i < end; ++i) AppendRecord(records_[i], out);
  }
}

// `out` may be the arena itself (behind the records): it may move while
// growing, so records are copied by offset, not by pointer.
void MatchHandler::AppendRecord(const Record& record, std::vector<uint8_t>* out) {
  if (record.length == 0) return;
  const size_t at = out->size();
  out->resize(at + record.length);
  memcpy(out->data() + at, arena_.data() + record.offset, record.length);
}

void MatchHandler::BuildBytes(const Frame& frame, std::vector<uint8_t>* out) {
  const SchemaNode& node = *frame.node;
  // Which nodes occur, for presence bits and counts of optional ones.
  const bool has_optional = node.optional_attribute_count > 0 || node.optional_child_count > 0;
  if (has_optional) {
    ++generation_;
    for (size_t i = frame.record_start; i < records_.size(); ++i) marks_[records_[i].node->index] = generation_;
  }
  auto present = [&](const SchemaNode* n) { return marks_[n->index] == generation_; };
  switch (node.kind) {
    case kElementNode:
    case kSequenceNode: {
      if (!has_optional) {
        AppendChildren(frame.record_start, out);
        break;
      }
      uint8_t byte = 0;
      int bits = 0;
      auto add_bit = [&](bool set) {
        byte = static_cast<uint8_t>(byte | (set ? 0x80 >> bits : 0));
        if (++bits == 8) {
          out->push_back(byte);
          byte = 0;
          bits = 0;
        }
      };
      for (const SchemaNode* a : node.attributes) {
        if (a->IsOptional()) add_bit(present(a));
      }
      for (const SchemaNode* c : node.children) {
        if (c->IsOptional()) add_bit(present(c));
      }
      if (bits > 0) out->push_back(byte);
      AppendChildren(frame.record_start, out);
      break;
    }
    case kChoiceNode: {
      size_t first = frame.record_start;
      while (first < records_.size() && records_[first].attribute) ++first;
      if (first == records_.size()) {
        out->push_back(0);
        break;
      }
      const auto& alternatives = node.children;
      const auto it = std::find(alternatives.begin(), alternatives.end(), records_[first].node);
      AppendCode(static_cast<uint32_t>(it - alternatives.begin() + 1), out);
      AppendChildren(frame.record_start, out);
      break;
    }
    case kAllNode: {
      if (node.optional_child_count > 0) {
        uint32_t count = 0;
        for (const SchemaNode* c : node.children) count += c->IsOptional() && present(c);
        AppendCode(count, out);
      }
      for (size_t i = frame.record_start; i < records_.size(); ++i) {
        const Record& r = records_[i];
        const auto it = std::find(node.children.begin(), node.children.end(), r.node);
        AppendCode(static_cast<uint32_t>(it - node.children.begin() + 1), out);
        AppendRecord(r, out);
      }
      break;
    }
    default:
      break;
  }
}

// ---- values ----

void MatchHandler::AppendValue(const SchemaNode& node, const char* text, size_t length) {
  std::string& stream = streams_[node.index];
  has_stream_[node.index] = 1;
  switch (node.value_type) {
    case kBooleanValue: {
      const bool value = ParseBooleanText(text);
      stream.push_back(value ? 1 : 0);
      break;
    }
    case kIntegerValue: {
      const int32_t value = ParseIntegerText(text);
      stream.append(reinterpret_cast<const char*>(&value), 4);
      break;
    }
    case kFloatValue:
    case kDoubleValue: {
      const double value = ParseDoubleText(text);
      stream.append(reinterpret_cast<const char*>(&value), 8);
      break;
    }
    default:
      stream.append(text, length);
      break;
  }
  if (pipeline_ != nullptr) pipeline_->Grew(node.index, stream);
}

void MatchHandler::AppendZero(const SchemaNode& node) {
  std::string& stream = streams_[node.index];
  stream.push_back('\0');
  has_stream_[node.index] = 1;
  if (pipeline_ != nullptr) pipeline_->Grew(node.index, stream);
}

size_t MatchHandler::TakePendingStart(const SchemaNode& owner) {
  const size_t start = text_in_stream_ ? text_start_ : streams_[owner.index].size();
  text_in_stream_ = false;
  return start;
}

// A value is logged where the decoder will read it: its node and its offset
// in the node's stream.
void MatchHandler::StorePendingAtStart() {
  if (frames_.empty()) return;
  const SchemaNode* owner = frames_.back().text_owner;
  const bool textual = IsTextual(owner->value_type);
  const bool ends_value = owner->mixed && textual;
  const size_t start = TakePendingStart(*owner);
  if (!pending_.empty()) AppendValue(*owner, pending_.c_str(), pending_.size());
  if (ends_value) AppendZero(*owner);
  if (ends_value || (!textual && !pending_.empty())) log_->Value(*owner, start);
  pending_.clear();
}

bool MatchHandler::StorePendingAtEnd() {
  const SchemaNode* owner = frames_.back().text_owner;
  const bool textual = IsTextual(owner->value_type);
  const bool holds_value = owner->mixed || owner->children.empty();
  const size_t start = TakePendingStart(*owner);
  if (!pending_.empty()) AppendValue(*owner, pending_.c_str(), pending_.size());
  if (holds_value && !textual && pending_.empty()) {
    // Without a value here the decoder would take the next one of the stream.
    Fail(At() + "element '" + owner->name_utf8 + "' is empty but must hold " +
         ValueKind(owner->value_type));
    return false;
  }
  if (holds_value && textual) AppendZero(*owner);
  if ((holds_value && textual) || (!textual && !pending_.empty())) log_->Value(*owner, start);
  pending_.clear();
  return true;
}

// ---- matching ----

bool MatchHandler::Match(std::string_view name) {
  if (frames_.empty()) {
    const SchemaNode* root = schema_.FindRoot(name);
    if (root == nullptr) return false;
    PushFrame(root);
    return true;
  }
  for (;;) {
    if (MatchIn(frames_.size() - 1, name)) return true;
    if (frames_.back().node->IsElement()) return false;
    FinishTop();
  }
}

bool MatchHandler::MatchIn(size_t index, std::string_view name) {
  const SchemaNode& node = *frames_[index].node;
  const int count = static_cast<int>(node.children.size());
  int first = 0, last = count;
  if (node.kind == kElementNode || node.kind == kSequenceNode) {
    first = frames_[index].position;
  } else if (node.kind == kChoiceNode && frames_[index].holds_alternative) {
    // A choice occurrence holds one alternative; another one starts a new
    // occurrence of the choice in the frame below.
    first = frames_[index].position;
    last = first + 1;
  }
  for (int i = first; i < last && i < count; ++i) {
    const SchemaNode* child = node.children[i];
    bool matched = false;
    if (child->IsElement()) {
      matched = child->name_utf8 == name;
      if (matched) {
        Frame& frame = frames_[index];
        if (i != frame.position) {
          frame.position = i;
          frame.occurrences = 0;
        }
        frame.holds_alternative = true;
        PushFrame(child);
        return true;
      }
    } else if (child->IsGroup()) {
      PushFrame(child);
      if (MatchIn(index + 1, name)) {
        Frame& frame = frames_[index];
        if (i != frame.position) {
          frame.position = i;
          frame.occurrences = 0;
        }
        frame.holds_alternative = true;
        return true;
      }
      DiscardTop();
    }
  }
  return false;
}

void MatchHandler::EnterLeadingGroups(const SchemaNode& node) {
  for (const SchemaNode* child : node.children) {
    if (child->IsElement()) return;
    if (child->IsGroup() && !child->IsOptional()) {
      PushFrame(child);
      EnterLeadingGroups(*child);
    }
  }
}

bool MatchHandler::StoreAttributes(const SchemaNode& element, const char** attributes) {
  given_.clear();
  int required_given = 0;
  for (size_t i = 0; attributes != nullptr && attributes[i] != nullptr; i += 2) {
    const std::string_view name = attributes[i];
    const char* value = attributes[i + 1];
    size_t position = 0;
    while (position < element.attributes.size() && element.attributes[position]->name_utf8 != name) {
      ++position;
    }
    if (position == element.attributes.size()) continue;  // undeclared: dropped
    const SchemaNode& attribute = *element.attributes[position];
    if (!attribute.IsOptional()) ++required_given;
    records_.push_back(Record{&attribute, arena_.size(), 0, true});
    const size_t length = strlen(value);
    const size_t start = streams_[attribute.index].size();
    if (length == 0 && !IsTextual(attribute.value_type)) {
      Fail(At() + "attribute '" + std::string(name) + "' of element '" + element.name_utf8 + "' is empty but must hold " +
           ValueKind(attribute.value_type));
      return false;
    }
    AppendValue(attribute, value, length);
    if (IsTextual(attribute.value_type)) AppendZero(attribute);
    given_.push_back({position, start});
  }
  // Only declared attributes count towards the required ones.
  const int required = static_cast<int>(element.attributes.size()) - element.optional_attribute_count;
  if (required_given < required) {
    std::string missing;
    for (const SchemaNode* a : element.attributes) {
      if (a->IsOptional()) continue;
      const bool found = std::any_of(given_.begin(), given_.end(), [&](const auto& g) {
        return element.attributes[g.first] == a;
      });
      if (!found) {
        missing = a->name_utf8;
        break;
      }
    }
    Fail(At() + "element '" + element.name_utf8 + "' lacks its required attribute '" + missing + "'");
    return false;
  }
  // The decoder reports attributes in schema order.
  std::sort(given_.begin(), given_.end());
  for (const auto& [position, start] : given_) {
    const SchemaNode& attribute = *element.attributes[position];
    log_->StartAttribute(attribute);
    log_->Value(attribute, start);
    log_->EndAttribute(attribute);
  }
  return true;
}

// ---- parser events ----

void MatchHandler::StartElement(const char* name, const char** attributes) {
  if (failed_) {
    Message(std::string("\ninvalidate node found in startElement: ") + name + "(localname)");
    if (completed_) Fail(At() + "element '" + name + "' follows the end of the root element");
    completed_ = false;
    return;
  }
  StorePendingAtStart();
  if (!Match(name)) {
    Fail(At() + "element '" + name + "' is not allowed here by the schema");
    return;
  }
  const SchemaNode& element = *frames_.back().node;
  log_->StartElement(element);
  if (!StoreAttributes(element, attributes)) return;
  EnterLeadingGroups(element);
}

void MatchHandler::EndElement(const char* name) {
  if (failed_ || frames_.empty()) {
    Message(std::string("\ninvalidate node found in endElement: ") + name + "(localname)");
    completed_ = false;
    return;
  }
  if (!StorePendingAtEnd()) return;
  while (!frames_.empty() && !frames_.back().node->IsElement()) FinishTop();
  if (frames_.empty()) {
    Fail(At() + "end tag '" + name + "' closes no element");
    return;
  }
  if (frames_.back().node->name_utf8 != name) {
    Fail(At() + "end tag '" + name + "' does not close element '" + frames_.back().node->name_utf8 + "'");
    Message(std::string("\ninvalidate node found in endElement: ") + name + "(qname)");
    return;
  }
  const SchemaNode* closed = frames_.back().node;
  FinishTop();
  log_->EndElement(*closed);
  if (!frames_.empty() && frames_.back().node->IsElement() && closed->max_occurs != -1 &&
      frames_.back().occurrences >= closed->max_occurs) {
    ++frames_.back().position;
    frames_.back().occurrences = 0;
  }
  while (!frames_.empty() && frames_.back().node->IsGroup()) {
    Frame& frame = frames_.back();
    const SchemaNode& group = *frame.node;
    if (group.kind == kSequenceNode) {
      ++frame.occurrences;
      if (closed->max_occurs != -1 && frame.occurrences >= closed->max_occurs) {
        ++frame.position;
        frame.occurrences = 0;
      }
      if (frame.position < static_cast<int>(group.children.size())) break;
    } else if (group.kind == kChoiceNode) {
      ++frame.occurrences;
      if (closed->max_occurs == -1 || frame.occurrences < closed->max_occurs) break;
    } else {
      const size_t position = static_cast<size_t>(frame.position);
      if (frame.matched[position]) {
        Fail(At() + "element '" + name + "' occurs twice in an all group");
        Message("\nerror syntax of ALL: " + group.name_utf8 + "(node name)");
        return;
      }
      frame.matched[position] = 1;
      if (++frame.matched_count < group.children.size()) break;
    }
    closed = frame.node;
    FinishTop();
  }
  if (frames_.empty()) {
    completed_ = true;
    failed_ = true;
  }
}

void MatchHandler::CharacterData(const char* text, int length) {
  if (failed_ || frames_.empty()) {
    Message("\ninvalidate characters found: " + std::string(text, static_cast<size_t>(length)));
    completed_ = false;
    return;
  }
  const SchemaNode* owner = frames_.back().text_owner;
  if (owner == nullptr || !(owner->mixed || owner->children.empty())) return;  // white space between children
  if (!IsTextual(owner->value_type)) {
    pending_.append(text, static_cast<size_t>(length));  // parsed as a whole when the value ends
    return;
  }
  // Text goes straight into its stream: the value ends at the next tag.
  std::string& stream = streams_[owner->index];
  if (!text_in_stream_) {
    text_in_stream_ = true;
    text_start_ = stream.size();
  }
  stream.append(text, static_cast<size_t>(length));
  has_stream_[owner->index] = 1;
  if (pipeline_ != nullptr) pipeline_->Grew(owner->index, stream);
}

}  // namespace zoq
