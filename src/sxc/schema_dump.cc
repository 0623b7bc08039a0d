#include "sxc/schema_dump.h"

#include <cstdio>

namespace zoq {
namespace {

const char* KindName(int kind) {
  switch (kind) {
    case kAttributeNode:
      return "attribute";
    case kElementNode:
      return "element";
    case kSequenceNode:
      return "sequence";
    case kChoiceNode:
      return "choice";
    case kAllNode:
      return "all";
    default:
      return "unknown";
  }
}

std::string IndexList(const char* label, const std::vector<const SchemaNode*>& nodes) {
  std::string text = std::string(" ") + label + "(";
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (i > 0) text += ", ";
    text += "#" + std::to_string(nodes[i]->index);
  }
  return text + ")";
}

}  // namespace

std::string ValueTypeName(int value_type) {
  switch (value_type) {
    case kBooleanValue:
      return "bool";
    case kIntegerValue:
      return "int";
    case kFloatValue:
      return "float";
    case kDoubleValue:
      return "double";
    case kTextValue:
      return "text";
    case kText5Value:
      return "text5";
    case kText6Value:
      return "text6";
    default:
      return "type" + std::to_string(value_type);
  }
}

std::string DumpBinarySchema(const BinarySchema& schema) {
  std::string text = "identifier ";
  for (uint8_t byte : schema.identifier) {
    char hex[3];
    snprintf(hex, sizeof hex, "%02x", byte);
    text += hex;
  }
  text += "\nroots (sorted): ";
  for (size_t i = 0; i < schema.roots.size(); ++i) {
    if (i > 0) text += ", ";
    text += schema.roots[i]->name_utf8 + "=#" + std::to_string(schema.roots[i]->index);
  }
  text += "\n";
  for (const SchemaNode& node : schema.nodes) {
    text += "#" + std::to_string(node.index) + " " + KindName(node.kind);
    if (node.IsAttribute()) {
      text += " " + node.name_utf8 + " " + ValueTypeName(node.value_type) +
              (node.IsOptional() ? " optional" : " required") + "\n";
      continue;
    }
    if (node.IsElement()) {
      text += " " + node.name_utf8 + " " + ValueTypeName(node.value_type);
      if (node.mixed) text += " mixed";
    }
    text += " [" + std::to_string(node.min_occurs) + ".." +
            (node.max_occurs == -1 ? std::string("*") : std::to_string(node.max_occurs)) + "]";
    if (!node.attributes.empty()) text += IndexList("attrs", node.attributes);
    if (!node.children.empty()) text += IndexList("children", node.children);
    text += "\n";
  }
  return text;
}

}  // namespace zoq
