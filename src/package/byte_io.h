// Exact-length reads from a stream and little-endian field decoding.
#pragma once

#include <cstdint>

#include "zoq/stream.h"

namespace zoq {

// Reads exactly `count` bytes at the current position. Fewer bytes, or a
// failing read, is a failure (nonzero).
Status ReadExact(Stream* stream, void* buffer, int64_t count);

// Seeks to `offset` from the start, then reads exactly `count` bytes.
Status ReadExactAt(Stream* stream, int64_t offset, void* buffer, int64_t count);

// Unsigned little-endian integer of `width` bytes (1 to 8), widened to 64 bits.
inline uint64_t LoadLittle(const uint8_t* p, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

inline uint32_t LoadU32(const uint8_t* p) { return static_cast<uint32_t>(LoadLittle(p, 4)); }

// A W-byte offset field as the signed 64-bit value it stands for (only a
// W = 8 field can come out negative).
inline int64_t LoadOffset(const uint8_t* p, int width) {
  return static_cast<int64_t>(LoadLittle(p, width));
}

}  // namespace zoq
