// What decoding one SXC document may cost. Deflate alone lets a stored byte
// stand for about a thousand inflated ones, and a few structure bytes can
// ask for millions of elements, so a small document could otherwise take
// gigabytes of memory and minutes of work. The budget ties both to the
// stored size: a document may inflate (sections, value directory and value
// blocks together, with the decoder's bookkeeping for its values) to a
// fixed multiple of its stored size, at least a floor that no small genuine
// document comes near, and decode to a fixed multiple of that in XML text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoq {

struct DecodeBudget {
  size_t inflated = SIZE_MAX;  // bytes inflated and kept while decoding
  size_t text = SIZE_MAX;      // bytes of output the events may produce
};

constexpr size_t kInflateFloor = size_t{32} << 20;
constexpr size_t kInflatePerStoredByte = 32;
constexpr size_t kTextPerInflatedByte = 4;

// The budget of a document stored in `stored` bytes. `max_output` > 0 is a
// caller's own text limit instead, which may also be inflated to.
DecodeBudget SxcDecodeBudget(uint64_t stored, int64_t max_output = 0);

}  // namespace zoq
