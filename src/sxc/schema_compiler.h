// Compiles the XML Schema subset that document models need into a binary
// schema: global and local elements (name, type, ref, minOccurs, maxOccurs),
// named and anonymous complex types (mixed), sequence, choice and all with
// occurrence bounds, attributes (use, type, ref), simple content extending a
// simple type, simple types restricting built-in or named simple types, and
// the XML Schema built-in types. Annotations are ignored. Every other
// construct is refused with an error that names it and its line.
//
// Every global element becomes a root. Elements share the attribute and
// group nodes of their type; each element particle gets a node of its own
// (its occurrence bounds are part of it). A complex type whose content is a
// sequence of exactly one particle, occurring once, lists that particle
// directly. The identifier is derived from the compiled model.
#pragma once

#include <string>

#include "sxc/schema.h"

namespace zoq {

bool CompileXmlSchema(const std::string& xsd_text, BinarySchema* out, std::string* error);

// The value type of an XML Schema built-in type's local name: boolean 0,
// the integer types 1, float 2, double 3, every other built-in type 4; -1
// for a name that is not a built-in type.
int BuiltInValueType(const std::string& local_name);

}  // namespace zoq
