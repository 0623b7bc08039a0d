// The content model of a schema as readable text: identifier, sorted roots,
// then one line per node (kind, name, value type, occurrences, mixed,
// attribute and child indexes).
#pragma once

#include <string>

#include "sxc/schema.h"

namespace zoq {

std::string DumpBinarySchema(const BinarySchema& schema);
// "bool", "int", "float", "double", "text", "text5", "text6" (else "typeN").
std::string ValueTypeName(int value_type);

}  // namespace zoq
