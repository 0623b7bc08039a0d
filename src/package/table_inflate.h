// Inflating a stored (zlib-format) table in one call. Tables are small and
// read whole, so a whole-buffer decoder does the work at about twice the
// speed of a streamed inflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zoq {

enum class InflateOutcome {
  kDone,    // *out holds the whole plain table
  kTooBig,  // the plain table would be longer than the limit
  kBad,     // not a valid zlib stream
};

// Inflates the zlib stream at the start of `data` (bytes after its end are
// ignored) into *out, using at most `limit` bytes of output.
InflateOutcome InflateWhole(const uint8_t* data, size_t size, size_t limit,
                            std::vector<uint8_t>* out);

}  // namespace zoq
