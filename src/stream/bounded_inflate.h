// Inflating a whole zlib-format buffer with a cap on what it may produce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zoq {

enum class InflateResult {
  kOk,        // *out holds everything the stream inflates to
  kTooLarge,  // the stream would produce more than the limit
  kCorrupt,   // not a complete, valid zlib stream
};

// Inflates the zlib stream at the start of data[0, size) into *out,
// producing at most `limit` bytes: a stream that inflates to exactly
// `limit` bytes is whole, one that would go past it fails with kTooLarge,
// and memory stays within the limit (plus the result) whatever the stream
// claims. Bytes after the end of the stream are ignored. Unless kOk, *out
// is empty.
InflateResult InflateToLimit(const uint8_t* data, size_t size, size_t limit,
                             std::vector<uint8_t>* out);

}  // namespace zoq
