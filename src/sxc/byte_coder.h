// The variable-length unsigned integer code of SXC structure sections: 1 to
// 4 bytes, most significant first; the high bits of the first byte tell the
// length (0xxxxxxx, 10xxxxxx, 110xxxxx, 1110xxxx), so at most 28 value bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoq {

constexpr uint32_t kByteCoderMax = 0x0FFFFFFF;

// An encoded value: up to four bytes, returned by value so that concurrent
// coders share nothing.
struct ByteCode {
  uint8_t bytes[4];
  uint8_t length;  // 0 when the value could not be coded
};

namespace ByteCoder {

// Decodes the value at *cursor and advances it. At or past `end`, or on a
// first byte 1111xxxx, the value is 0 and nothing is consumed; when fewer
// bytes remain than the length needs, the value is 0 and the rest is
// consumed. A missing cursor or end prints "Out of ByteCoder range.\n".
uint32_t Decode(const uint8_t** cursor, const uint8_t* end);

// Shortest form of `value`. Values above 0x0FFFFFFF cannot be coded: prints
// "Out of ByteCoder range.\n" and answers length 0.
ByteCode Encode(uint32_t value);

}  // namespace ByteCoder
}  // namespace zoq
