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
  std::string text(" ");
  text.append(label).append("(");
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (i > 0) text.append(", ");
    text.append("#").append(std::to_string(nodes[i]->index));
  }
  return text.append(")");
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
    text.append(schema.roots[i]->name_utf8).append("=#").append(std::to_string(schema.roots[i]->index));
  }
  text += "\n";
  for (const SchemaNode& node : schema.nodes) {
    text.append("#").append(std::to_string(node.index)).append(" ").append(KindName(node.kind));
    if (node.IsAttribute()) {
      text.append(" ").append(node.name_utf8).append(" ").append(ValueTypeName(node.value_type));
      text.append(node.IsOptional() ? " optional\n" : " required\n");
      continue;
    }
    if (node.IsElement()) {
      text.append(" ").append(node.name_utf8).append(" ").append(ValueTypeName(node.value_type));
      if (node.mixed) text.append(" mixed");
    }
    text.append(" [").append(std::to_string(node.min_occurs)).append("..");
    text.append(node.max_occurs == -1 ? std::string("*") : std::to_string(node.max_occurs)).append("]");
    if (!node.attributes.empty()) text.append(IndexList("attrs", node.attributes));
    if (!node.children.empty()) text.append(IndexList("children", node.children));
    text.append("\n");
  }
  return text;
}

}  // namespace zoq
