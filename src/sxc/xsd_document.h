// A small element tree of an XML Schema document, as the schema compiler
// needs it: names with their namespace resolved, attributes, children and
// the line of each element.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zoq {

constexpr char kXsdNamespace[] = "http://www.w3.org/2001/XMLSchema";

struct XsdElement {
  std::string qname;       // as written, with its prefix
  std::string local_name;  // without the prefix
  std::string namespace_uri;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::unique_ptr<XsdElement>> children;
  XsdElement* parent = nullptr;
  long line = 0;

  // The value of an attribute, or null.
  const std::string* Attribute(const std::string& name) const;
  // The namespace that `prefix` stands for here ("" for the default
  // namespace); false when it is not declared.
  bool ResolvePrefix(const std::string& prefix, std::string* uri) const;
  // Splits a QName value and resolves its prefix.
  bool ResolveQName(const std::string& value, std::string* uri, std::string* local) const;
  bool IsXsd(const char* local) const { return namespace_uri == kXsdNamespace && local_name == local; }
};

// Parses XML text into a tree. False, with "line N: ..." in `error`, when
// the text is not well-formed or uses undeclared prefixes.
bool ParseXsdDocument(const std::string& text, std::unique_ptr<XsdElement>* root, std::string* error);

}  // namespace zoq
