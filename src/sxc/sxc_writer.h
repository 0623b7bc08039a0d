// Assembles an SXC document from an encoding run's results: the header, the
// compressed structure section and the value section (individual blocks for
// long streams, one shared block per value class for the rest, and the
// compressed directory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sxc/schema.h"

namespace zoq {

struct EncodedDocument {
  const SchemaNode* root = nullptr;
  const std::vector<uint8_t>* root_bytes = nullptr;
  // Per node index: the value stream, and whether the node has one.
  const std::vector<std::string>* streams = nullptr;
  const std::vector<uint8_t>* has_stream = nullptr;
};

// False only when compression fails.
bool WriteSxcDocument(const BinarySchema& schema, const EncodedDocument& document,
                      std::vector<uint8_t>* out);

}  // namespace zoq
