#include "sxc/xsd_document.h"

#include <expat.h>

namespace zoq {
namespace {

struct Builder {
  XML_Parser parser;
  std::unique_ptr<XsdElement> root;
  XsdElement* current = nullptr;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* builder = static_cast<Builder*>(data);
  auto element = std::make_unique<XsdElement>();
  element->qname = name;
  element->line = static_cast<long>(XML_GetCurrentLineNumber(builder->parser));
  for (size_t i = 0; attributes[i] != nullptr; i += 2) {
    element->attributes.emplace_back(attributes[i], attributes[i + 1]);
  }
  element->parent = builder->current;
  XsdElement* raw = element.get();
  if (builder->current == nullptr) {
    builder->root = std::move(element);
  } else {
    builder->current->children.push_back(std::move(element));
  }
  builder->current = raw;
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
  auto* builder = static_cast<Builder*>(data);
  builder->current = builder->current->parent;
}

bool ResolveNames(XsdElement* element, std::string* error) {
  const size_t colon = element->qname.find(':');
  const std::string prefix = colon == std::string::npos ? "" : element->qname.substr(0, colon);
  element->local_name = colon == std::string::npos ? element->qname : element->qname.substr(colon + 1);
  if (!element->ResolvePrefix(prefix, &element->namespace_uri)) {
    *error = "line " + std::to_string(element->line) + ": the prefix '" + prefix + "' is not declared";
    return false;
  }
  for (auto& child : element->children) {
    if (!ResolveNames(child.get(), error)) return false;
  }
  return true;
}

}  // namespace

const std::string* XsdElement::Attribute(const std::string& name) const {
  for (const auto& [key, value] : attributes) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool XsdElement::ResolvePrefix(const std::string& prefix, std::string* uri) const {
  if (prefix == "xml") {
    *uri = "http://www.w3.org/XML/1998/namespace";
    return true;
  }
  const std::string key = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  for (const XsdElement* e = this; e != nullptr; e = e->parent) {
    if (const std::string* value = e->Attribute(key)) {
      *uri = *value;
      return true;
    }
  }
  uri->clear();
  return prefix.empty();
}

bool XsdElement::ResolveQName(const std::string& value, std::string* uri, std::string* local) const {
  const size_t colon = value.find(':');
  const std::string prefix = colon == std::string::npos ? "" : value.substr(0, colon);
  *local = colon == std::string::npos ? value : value.substr(colon + 1);
  return ResolvePrefix(prefix, uri);
}

bool ParseXsdDocument(const std::string& text, std::unique_ptr<XsdElement>* root, std::string* error) {
  Builder builder;
  builder.parser = XML_ParserCreate(nullptr);
  if (builder.parser == nullptr) {
    *error = "out of memory";
    return false;
  }
  XML_SetUserData(builder.parser, &builder);
  XML_SetElementHandler(builder.parser, OnStart, OnEnd);
  const bool ok = XML_Parse(builder.parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  if (!ok) {
    *error = "line " + std::to_string(XML_GetCurrentLineNumber(builder.parser)) + ": " +
             XML_ErrorString(XML_GetErrorCode(builder.parser));
  }
  XML_ParserFree(builder.parser);
  if (!ok) return false;
  if (!ResolveNames(builder.root.get(), error)) return false;
  *root = std::move(builder.root);
  return true;
}

}  // namespace zoq
