// The process-wide cache of loaded schemas, keyed by their 16-byte
// identifier. Every codec that loads a file with a known identifier shares
// the cached model. Safe for concurrent use.
#pragma once

#include <memory>

#include "sxc/schema.h"

namespace zoq {

class SchemaCache {
 public:
  static std::shared_ptr<const BinarySchema> Find(const SchemaIdentifier& identifier);
  // Adds `schema` unless its identifier is present already; answers the entry
  // that the cache holds afterwards.
  static std::shared_ptr<const BinarySchema> Insert(std::shared_ptr<const BinarySchema> schema);
  static size_t Size();
  // Drops every entry (tests and benchmarks only; codecs keep their own
  // references alive).
  static void Clear();
};

}  // namespace zoq
