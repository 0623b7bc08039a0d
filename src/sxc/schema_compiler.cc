#include "sxc/schema_compiler.h"

#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "sxc/schema_writer.h"
#include "zoq/utf.h"
#include "sxc/xsd_document.h"

namespace zoq {
namespace {

struct CompileError : std::runtime_error {
  CompileError(const XsdElement& at, const std::string& message)
      : std::runtime_error("line " + std::to_string(at.line) + ": " + message) {}
};

std::string Construct(const XsdElement& e) { return "<" + e.qname + ">"; }

// What elements of one type share.
struct Content {
  int value_type = kTextValue;
  bool mixed = false;
  std::vector<int> attributes;
  std::vector<int> children;
};

struct Draft {
  int kind = 0;
  std::string name;
  int value_type = kTextValue;
  bool required = false;
  int min_occurs = 1;
  int max_occurs = 1;
  const Content* content = nullptr;  // elements
  std::vector<int> children;         // groups
};

class Compiler {
 public:
  void Compile(const XsdElement& schema, BinarySchema* out);

 private:
  void CollectGlobals(const XsdElement& schema);
  int ElementNode(const XsdElement& particle, bool global);
  const Content* ContentOfElement(const XsdElement& declaration);
  const Content* ContentOfComplexType(const XsdElement& type);
  const Content* SimpleContent(int value_type);
  int GroupNode(const XsdElement& group);
  int AttributeNode(const XsdElement& attribute);
  int TypeByName(const XsdElement& at, const std::string& qname, const Content** complex);
  int SimpleTypeValue(const XsdElement& simple_type, int depth);
  void Occurs(const XsdElement& e, int* min_occurs, int* max_occurs);
  void CheckAttributes(const XsdElement& e, std::initializer_list<const char*> allowed);
  std::vector<const XsdElement*> XsdChildren(const XsdElement& e);
  int Add(Draft draft) {
    drafts_.push_back(std::move(draft));
    return static_cast<int>(drafts_.size() - 1);
  }

  std::vector<Draft> drafts_;
  std::map<std::string, const XsdElement*> elements_, complex_types_, simple_types_, attributes_;
  std::map<const XsdElement*, std::unique_ptr<Content>> type_contents_;
  std::map<int, std::unique_ptr<Content>> simple_contents_;
  std::map<std::pair<const XsdElement*, bool>, int> attribute_nodes_;
};

const std::pair<const char*, int> kBuiltIns[] = {
    {"boolean", kBooleanValue},
    {"byte", kIntegerValue},
    {"decimal", kIntegerValue},
    {"int", kIntegerValue},
    {"integer", kIntegerValue},
    {"long", kIntegerValue},
    {"negativeInteger", kIntegerValue},
    {"nonNegativeInteger", kIntegerValue},
    {"nonPositiveInteger", kIntegerValue},
    {"positiveInteger", kIntegerValue},
    {"short", kIntegerValue},
    {"unsignedLong", kIntegerValue},
    {"unsignedInt", kIntegerValue},
    {"unsignedShort", kIntegerValue},
    {"unsignedByte", kIntegerValue},
    {"float", kFloatValue},
    {"double", kDoubleValue},
    {"base64Binary", kTextValue},
    {"hexBinary", kTextValue},
    {"date", kTextValue},
    {"time", kTextValue},
    {"duration", kTextValue},
    {"gDay", kTextValue},
    {"gMonth", kTextValue},
    {"gMonthDay", kTextValue},
    {"gYear", kTextValue},
    {"gYearMonth", kTextValue},
    {"dateTime", kTextValue},
    // Every other built-in simple type travels as text.
    {"string", kTextValue},
    {"normalizedString", kTextValue},
    {"token", kTextValue},
    {"language", kTextValue},
    {"Name", kTextValue},
    {"NCName", kTextValue},
    {"NMTOKEN", kTextValue},
    {"NMTOKENS", kTextValue},
    {"ID", kTextValue},
    {"IDREF", kTextValue},
    {"IDREFS", kTextValue},
    {"ENTITY", kTextValue},
    {"ENTITIES", kTextValue},
    {"QName", kTextValue},
    {"NOTATION", kTextValue},
    {"anyURI", kTextValue},
    {"anySimpleType", kTextValue},
    {"dateTimeStamp", kTextValue},
    {"dayTimeDuration", kTextValue},
    {"yearMonthDuration", kTextValue},
};

bool IsTrue(const std::string* value) { return value != nullptr && (*value == "true" || *value == "1"); }

std::vector<const XsdElement*> Compiler::XsdChildren(const XsdElement& e) {
  std::vector<const XsdElement*> children;
  for (const auto& child : e.children) {
    if (child->namespace_uri != kXsdNamespace) {
      throw CompileError(*child, Construct(*child) + " is not an XML Schema construct");
    }
    if (child->local_name == "annotation") continue;
    children.push_back(child.get());
  }
  return children;
}

void Compiler::CheckAttributes(const XsdElement& e, std::initializer_list<const char*> allowed) {
  for (const auto& [name, value] : e.attributes) {
    if (name.rfind("xmlns", 0) == 0 || name.find(':') != std::string::npos) continue;
    bool known = false;
    for (const char* a : allowed) known = known || name == a;
    if (!known) throw CompileError(e, "the attribute '" + name + "' of " + Construct(e) + " is not supported");
  }
}

void Compiler::Occurs(const XsdElement& e, int* min_occurs, int* max_occurs) {
  auto number = [&](const std::string& text, const char* what) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
      throw CompileError(e, std::string(what) + " of " + Construct(e) + " is not a number: '" + text + "'");
    }
    return std::stoi(text);
  };
  *min_occurs = 1;
  *max_occurs = 1;
  if (const std::string* v = e.Attribute("minOccurs")) *min_occurs = number(*v, "minOccurs");
  if (const std::string* v = e.Attribute("maxOccurs")) {
    *max_occurs = *v == "unbounded" ? -1 : number(*v, "maxOccurs");
    if (*max_occurs == 0) throw CompileError(e, "maxOccurs 0 is not supported");
  }
  if (*max_occurs != -1 && *min_occurs > *max_occurs) {
    throw CompileError(e, "minOccurs is above maxOccurs in " + Construct(e));
  }
}

void Compiler::CollectGlobals(const XsdElement& schema) {
  for (const XsdElement* e : XsdChildren(schema)) {
    std::map<std::string, const XsdElement*>* table = nullptr;
    if (e->local_name == "element") {
      table = &elements_;
    } else if (e->local_name == "complexType") {
      table = &complex_types_;
    } else if (e->local_name == "simpleType") {
      table = &simple_types_;
    } else if (e->local_name == "attribute") {
      table = &attributes_;
    } else {
      throw CompileError(*e, Construct(*e) + " is not supported");
    }
    const std::string* name = e->Attribute("name");
    if (name == nullptr || name->empty()) throw CompileError(*e, "a global " + Construct(*e) + " needs a name");
    if (!table->emplace(*name, e).second) {
      throw CompileError(*e, "'" + *name + "' is declared twice as " + Construct(*e));
    }
  }
}

int BuiltInOrMinus(const std::string& local) { return BuiltInValueType(local); }

// Resolves a type name: answers the value type, and for complex types their
// content in `complex`.
int Compiler::TypeByName(const XsdElement& at, const std::string& qname, const Content** complex) {
  std::string uri, local;
  if (!at.ResolveQName(qname, &uri, &local)) {
    throw CompileError(at, "the prefix of the type '" + qname + "' is not declared");
  }
  *complex = nullptr;
  if (uri == kXsdNamespace) {
    const int builtin = BuiltInOrMinus(local);
    if (builtin < 0) throw CompileError(at, "the type '" + qname + "' is not supported");
    return builtin;
  }
  if (auto it = complex_types_.find(local); it != complex_types_.end()) {
    *complex = ContentOfComplexType(*it->second);
    return kTextValue;
  }
  if (auto it = simple_types_.find(local); it != simple_types_.end()) return SimpleTypeValue(*it->second, 0);
  throw CompileError(at, "the type '" + qname + "' is not declared");
}

int Compiler::SimpleTypeValue(const XsdElement& simple_type, int depth) {
  if (depth > 64) throw CompileError(simple_type, "the simple type derives from itself");
  CheckAttributes(simple_type, {"name", "id", "final"});
  const auto children = XsdChildren(simple_type);
  if (children.size() != 1 || !children[0]->IsXsd("restriction")) {
    throw CompileError(children.empty() ? simple_type : *children[0],
                       "only simple types that restrict another type are supported, not " +
                           (children.empty() ? Construct(simple_type) : Construct(*children[0])));
  }
  const XsdElement& restriction = *children[0];
  if (const std::string* base = restriction.Attribute("base")) {
    std::string uri, local;
    if (!restriction.ResolveQName(*base, &uri, &local)) {
      throw CompileError(restriction, "the prefix of the type '" + *base + "' is not declared");
    }
    if (uri == kXsdNamespace) {
      const int builtin = BuiltInOrMinus(local);
      if (builtin < 0) throw CompileError(restriction, "the type '" + *base + "' is not supported");
      return builtin;
    }
    auto it = simple_types_.find(local);
    if (it == simple_types_.end()) {
      throw CompileError(restriction, "the simple type '" + *base + "' is not declared");
    }
    return SimpleTypeValue(*it->second, depth + 1);
  }
  for (const XsdElement* facet : XsdChildren(restriction)) {
    if (facet->IsXsd("simpleType")) return SimpleTypeValue(*facet, depth + 1);
  }
  throw CompileError(restriction, Construct(restriction) + " names no base type");
}

const Content* Compiler::SimpleContent(int value_type) {
  auto& slot = simple_contents_[value_type];
  if (!slot) {
    slot = std::make_unique<Content>();
    slot->value_type = value_type;
  }
  return slot.get();
}

const Content* Compiler::ContentOfElement(const XsdElement& declaration) {
  const XsdElement* inline_type = nullptr;
  for (const XsdElement* child : XsdChildren(declaration)) {
    if (child->IsXsd("complexType") || child->IsXsd("simpleType")) {
      if (inline_type != nullptr) throw CompileError(*child, "an element has two inline types");
      inline_type = child;
    } else {
      throw CompileError(*child, Construct(*child) + " is not supported inside " + Construct(declaration));
    }
  }
  const std::string* type = declaration.Attribute("type");
  if (type != nullptr && inline_type != nullptr) {
    throw CompileError(declaration, "an element has both a type attribute and an inline type");
  }
  if (type != nullptr) {
    const Content* complex = nullptr;
    const int value_type = TypeByName(declaration, *type, &complex);
    return complex != nullptr ? complex : SimpleContent(value_type);
  }
  if (inline_type == nullptr) return SimpleContent(kTextValue);  // no type: text
  if (inline_type->IsXsd("complexType")) return ContentOfComplexType(*inline_type);
  return SimpleContent(SimpleTypeValue(*inline_type, 0));
}

const Content* Compiler::ContentOfComplexType(const XsdElement& type) {
  auto& slot = type_contents_[&type];
  if (slot) return slot.get();  // known, or being compiled (recursive types)
  slot = std::make_unique<Content>();
  Content* content = slot.get();
  CheckAttributes(type, {"name", "mixed", "id", "final", "block"});
  content->mixed = IsTrue(type.Attribute("mixed"));
  bool have_particle = false;
  for (const XsdElement* child : XsdChildren(type)) {
    if (child->IsXsd("sequence") || child->IsXsd("choice") || child->IsXsd("all")) {
      if (have_particle || !content->attributes.empty()) {
        throw CompileError(*child, Construct(*child) + " must be the first and only particle of its type");
      }
      have_particle = true;
      int min_occurs, max_occurs;
      Occurs(*child, &min_occurs, &max_occurs);
      const auto particles = XsdChildren(*child);
      if (child->IsXsd("sequence") && min_occurs == 1 && max_occurs == 1 && particles.size() <= 1) {
        // A sequence of one particle, once: the particle stands directly in the element.
        CheckAttributes(*child, {"minOccurs", "maxOccurs", "id"});
        for (const XsdElement* particle : particles) {
          if (particle->IsXsd("element")) {
            content->children.push_back(ElementNode(*particle, false));
          } else if (particle->IsXsd("sequence") || particle->IsXsd("choice")) {
            content->children.push_back(GroupNode(*particle));
          } else {
            throw CompileError(*particle, Construct(*particle) + " is not supported inside " + Construct(*child));
          }
        }
      } else {
        content->children = {GroupNode(*child)};
      }
    } else if (child->IsXsd("attribute")) {
      const int node = AttributeNode(*child);
      if (node >= 0) content->attributes.push_back(node);
    } else if (child->IsXsd("simpleContent")) {
      const auto parts = XsdChildren(*child);
      if (parts.size() != 1 || !parts[0]->IsXsd("extension")) {
        throw CompileError(parts.empty() ? *child : *parts[0],
                           "simple content must extend a simple type with <extension>");
      }
      const XsdElement& extension = *parts[0];
      const std::string* base = extension.Attribute("base");
      if (base == nullptr) throw CompileError(extension, Construct(extension) + " names no base type");
      const Content* complex = nullptr;
      content->value_type = TypeByName(extension, *base, &complex);
      if (complex != nullptr) throw CompileError(extension, "simple content must extend a simple type");
      for (const XsdElement* a : XsdChildren(extension)) {
        if (!a->IsXsd("attribute")) throw CompileError(*a, Construct(*a) + " is not supported in simple content");
        const int node = AttributeNode(*a);
        if (node >= 0) content->attributes.push_back(node);
      }
    } else {
      throw CompileError(*child, Construct(*child) + " is not supported");
    }
  }
  return content;
}

int Compiler::GroupNode(const XsdElement& group) {
  CheckAttributes(group, {"minOccurs", "maxOccurs", "id"});
  Draft draft;
  draft.kind = group.IsXsd("sequence") ? kSequenceNode : group.IsXsd("choice") ? kChoiceNode : kAllNode;
  Occurs(group, &draft.min_occurs, &draft.max_occurs);
  if (draft.kind == kAllNode && draft.max_occurs != 1) {
    throw CompileError(group, "an <all> group may occur at most once");
  }
  const int index = Add(draft);
  std::vector<int> children;
  for (const XsdElement* particle : XsdChildren(group)) {
    if (particle->IsXsd("element")) {
      const int child = ElementNode(*particle, false);
      if (draft.kind == kAllNode && drafts_[child].max_occurs != 1) {
        throw CompileError(*particle, "elements of an <all> group may occur at most once");
      }
      children.push_back(child);
    } else if (draft.kind != kAllNode &&
               (particle->IsXsd("sequence") || particle->IsXsd("choice"))) {
      children.push_back(GroupNode(*particle));
    } else {
      throw CompileError(*particle, Construct(*particle) + " is not supported inside " + Construct(group));
    }
  }
  drafts_[index].children = std::move(children);
  return index;
}

int Compiler::ElementNode(const XsdElement& particle, bool global) {
  CheckAttributes(particle, {"name", "type", "ref", "minOccurs", "maxOccurs", "id", "default", "fixed",
                             "form", "nillable", "block", "final"});
  if (IsTrue(particle.Attribute("nillable"))) throw CompileError(particle, "nillable elements are not supported");
  Draft draft;
  draft.kind = kElementNode;
  if (global) {
    if (particle.Attribute("minOccurs") || particle.Attribute("maxOccurs")) {
      throw CompileError(particle, "a global element cannot have minOccurs or maxOccurs");
    }
  } else {
    Occurs(particle, &draft.min_occurs, &draft.max_occurs);
  }
  const XsdElement* declaration = &particle;
  if (const std::string* ref = particle.Attribute("ref")) {
    if (particle.Attribute("name") || particle.Attribute("type") || !XsdChildren(particle).empty()) {
      throw CompileError(particle, "an element reference cannot have a name or a type of its own");
    }
    std::string uri, local;
    particle.ResolveQName(*ref, &uri, &local);
    auto it = elements_.find(local);
    if (it == elements_.end()) throw CompileError(particle, "the element '" + *ref + "' is not declared");
    declaration = it->second;
  }
  const std::string* name = declaration->Attribute("name");
  if (name == nullptr || name->empty()) throw CompileError(particle, "an element needs a name or a ref");
  draft.name = *name;
  const int index = Add(draft);
  drafts_[index].content = ContentOfElement(*declaration);
  return index;
}

int Compiler::AttributeNode(const XsdElement& attribute) {
  CheckAttributes(attribute, {"name", "type", "ref", "use", "default", "fixed", "form", "id"});
  const std::string* use = attribute.Attribute("use");
  if (use != nullptr && *use != "optional" && *use != "required" && *use != "prohibited") {
    throw CompileError(attribute, "unknown use '" + *use + "'");
  }
  if (use != nullptr && *use == "prohibited") return -1;
  const bool required = use != nullptr && *use == "required";
  const XsdElement* declaration = &attribute;
  if (const std::string* ref = attribute.Attribute("ref")) {
    std::string uri, local;
    attribute.ResolveQName(*ref, &uri, &local);
    auto it = attributes_.find(local);
    if (it == attributes_.end()) throw CompileError(attribute, "the attribute '" + *ref + "' is not declared");
    declaration = it->second;
  }
  auto [slot, inserted] = attribute_nodes_.emplace(std::make_pair(declaration, required), -1);
  if (!inserted) return slot->second;
  const std::string* name = declaration->Attribute("name");
  if (name == nullptr || name->empty()) throw CompileError(attribute, "an attribute needs a name or a ref");
  Draft draft;
  draft.kind = kAttributeNode;
  draft.name = *name;
  draft.required = required;
  draft.value_type = kTextValue;
  const XsdElement* inline_type = nullptr;
  for (const XsdElement* child : XsdChildren(*declaration)) {
    if (!child->IsXsd("simpleType")) throw CompileError(*child, Construct(*child) + " is not supported in an attribute");
    inline_type = child;
  }
  if (const std::string* type = declaration->Attribute("type")) {
    const Content* complex = nullptr;
    draft.value_type = TypeByName(*declaration, *type, &complex);
    if (complex != nullptr) throw CompileError(*declaration, "an attribute needs a simple type");
  } else if (inline_type != nullptr) {
    draft.value_type = SimpleTypeValue(*inline_type, 0);
  }
  slot->second = Add(draft);
  return slot->second;
}

void Compiler::Compile(const XsdElement& schema, BinarySchema* out) {
  if (!schema.IsXsd("schema")) {
    throw CompileError(schema, "the document is not an XML Schema (its root is " + Construct(schema) + ")");
  }
  CollectGlobals(schema);
  if (elements_.empty()) throw CompileError(schema, "the schema declares no global element");
  std::vector<int> roots;
  for (const XsdElement* e : XsdChildren(schema)) {
    if (e->IsXsd("element")) roots.push_back(ElementNode(*e, true));
  }
  out->nodes.clear();
  out->nodes.resize(drafts_.size());
  for (size_t i = 0; i < drafts_.size(); ++i) {
    const Draft& draft = drafts_[i];
    SchemaNode& node = out->nodes[i];
    node.index = static_cast<int>(i);
    node.kind = draft.kind;
    node.name = Utf8ToUtf16Lenient(draft.name);
    node.name_utf8 = draft.name;
    node.value_type = draft.value_type;
    node.min_occurs = draft.kind == kAttributeNode ? (draft.required ? 1 : 0) : draft.min_occurs;
    node.max_occurs = draft.max_occurs;
    std::vector<int> children = draft.children;
    if (draft.kind == kElementNode) {
      node.value_type = draft.content->value_type;
      node.mixed = draft.content->mixed;
      for (int a : draft.content->attributes) node.attributes.push_back(&out->nodes[a]);
      children = draft.content->children;
    }
    for (int c : children) node.children.push_back(&out->nodes[c]);
  }
  out->roots.clear();
  for (int r : roots) out->roots.push_back(&out->nodes[r]);
  out->Finish();
  DeriveSchemaIdentifier(out);
}

}  // namespace

int BuiltInValueType(const std::string& local_name) {
  for (const auto& [name, value_type] : kBuiltIns) {
    if (local_name == name) return value_type;
  }
  return -1;
}

bool CompileXmlSchema(const std::string& xsd_text, BinarySchema* out, std::string* error) {
  std::unique_ptr<XsdElement> root;
  if (!ParseXsdDocument(xsd_text, &root, error)) return false;
  try {
    Compiler compiler;
    compiler.Compile(*root, out);
    return true;
  } catch (const CompileError& failure) {
    *error = failure.what();
    return false;
  }
}

}  // namespace zoq
