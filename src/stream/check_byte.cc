#include "stream/check_byte.h"

#include <cstring>

namespace zoq {

uint8_t FoldCheckByte(const uint8_t* bytes, size_t count, uint8_t acc) {
  uint64_t lanes[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    uint64_t words[4];
    std::memcpy(words, bytes + i, 32);
    for (int k = 0; k < 4; ++k) lanes[k] ^= words[k];
  }
  uint64_t wide = lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3];
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    wide ^= word;
  }
  for (int shift = 0; shift < 64; shift += 8) acc ^= static_cast<uint8_t>(wide >> shift);
  for (; i < count; ++i) acc ^= bytes[i];
  return acc;
}

}  // namespace zoq
