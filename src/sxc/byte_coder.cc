#include "sxc/byte_coder.h"

#include <cstdio>

namespace zoq {
namespace ByteCoder {
namespace {
const char kRangeMessage[] = "Out of ByteCoder range.\n";
}

uint32_t Decode(const uint8_t** cursor, const uint8_t* end) {
  if (cursor == nullptr || *cursor == nullptr || end == nullptr) {
    fputs(kRangeMessage, stdout);
    return 0;
  }
  const uint8_t* p = *cursor;
  if (p >= end) return 0;
  const uint8_t first = *p;
  size_t length;
  uint32_t value;
  if (first < 0x80) {
    length = 1;
    value = first;
  } else if (first < 0xC0) {
    length = 2;
    value = first & 0x3F;
  } else if (first < 0xE0) {
    length = 3;
    value = first & 0x1F;
  } else if (first < 0xF0) {
    length = 4;
    value = first & 0x0F;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < length) {
    *cursor = end;
    return 0;
  }
  for (size_t i = 1; i < length; ++i) value = value << 8 | p[i];
  *cursor = p + length;
  return value;
}

ByteCode Encode(uint32_t value) {
  ByteCode code{};
  if (value < 0x80) {
    code.bytes[0] = static_cast<uint8_t>(value);
    code.length = 1;
  } else if (value <= 0x3FFF) {
    code.bytes[0] = static_cast<uint8_t>(0x80 | value >> 8);
    code.bytes[1] = static_cast<uint8_t>(value);
    code.length = 2;
  } else if (value <= 0x1FFFFF) {
    code.bytes[0] = static_cast<uint8_t>(0xC0 | value >> 16);
    code.bytes[1] = static_cast<uint8_t>(value >> 8);
    code.bytes[2] = static_cast<uint8_t>(value);
    code.length = 3;
  } else if (value <= kByteCoderMax) {
    code.bytes[0] = static_cast<uint8_t>(0xE0 | value >> 24);
    code.bytes[1] = static_cast<uint8_t>(value >> 16);
    code.bytes[2] = static_cast<uint8_t>(value >> 8);
    code.bytes[3] = static_cast<uint8_t>(value);
    code.length = 4;
  } else {
    fputs(kRangeMessage, stdout);
    code.length = 0;
  }
  return code;
}

}  // namespace ByteCoder
}  // namespace zoq
