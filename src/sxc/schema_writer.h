// Writing binary schema (.bsg) files: the inverse of the loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sxc/schema.h"

namespace zoq {

// The 22 leading bytes of the files we write: "ZOQ-BSG", a zero, the format
// version 1 (uint16 little-endian), then zeros.
constexpr char kBsgMagic[] = "ZOQ-BSG";

// The node records and root list (everything after the node count's
// position, the count included), as they appear in the file.
std::vector<uint8_t> SerializeSchemaBody(const BinarySchema& schema);

// The whole file: leading block, identifier, body.
std::vector<uint8_t> SerializeBinarySchema(const BinarySchema& schema);

// Sets the identifier from the body: the first 16 bytes of its SHA-256, so
// equal models get equal identifiers on every run.
void DeriveSchemaIdentifier(BinarySchema* schema);

}  // namespace zoq
