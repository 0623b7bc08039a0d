// Reading binary schema (.bsg) files.
//
// Layout (integers are 32-bit signed little-endian, strings UTF-16LE without
// terminator): 22 leading bytes that the loader does not interpret, the
// 16-byte identifier, the node count N, N node records, the root count R and
// R node indexes. A node record is: kind (uint8); for attributes and elements
// the name length, the name and the value type (uint8); for attributes the
// required byte; for elements and groups minOccurs and maxOccurs; for
// elements the mixed byte and the attribute index list; for elements and
// groups the child index list (count, then indexes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sxc/schema.h"

namespace zoq {

constexpr size_t kSchemaIdentifierOffset = 22;
constexpr size_t kSchemaNodesOffset = 38;

// Builds `out` from the bytes of a whole .bsg file. Rejects truncated or
// malformed files (short data, negative or impossible counts, unknown node
// kinds, nameless elements or attributes, an empty root list or roots that
// are not elements, groups that contain themselves) with a message in
// `error`. Attribute and child indexes outside the node table are dropped.
bool ParseBinarySchema(const uint8_t* data, size_t size, BinarySchema* out, std::string* error);

// Loads the schema file at `path` through the SchemaCache: when its
// identifier is cached already, only the first 38 bytes are read and the
// cached model is answered.
bool LoadBinarySchema(const std::string& path, std::shared_ptr<const BinarySchema>* out,
                      std::string* error);

}  // namespace zoq
