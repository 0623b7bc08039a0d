// Assembles an SXC document from an encoding run's results: the header, the
// compressed structure section and the value section (individual blocks for
// long streams, one shared block per value class for the rest, and the
// compressed directory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sxc/parallel_deflate.h"
#include "sxc/schema.h"

namespace zoq {

struct EncodedDocument {
  const SchemaNode* root = nullptr;
  const std::vector<uint8_t>* root_bytes = nullptr;
  // Per node index: the value stream, and whether the node has one.
  const std::vector<std::string>* streams = nullptr;
  const std::vector<uint8_t>* has_stream = nullptr;
  // Optional, per node index: the first chunks of long streams, already
  // compressed at ParallelDeflate's chunk size. Taken by the writer.
  std::vector<std::vector<DeflatedChunk>>* early_chunks = nullptr;
};

// False only when compression fails.
bool WriteSxcDocument(const BinarySchema& schema, const EncodedDocument& document,
                      std::vector<uint8_t>* out);

}  // namespace zoq
