// The check byte of stored data: the exclusive-or of all its bytes.
#ifndef ZOQ_STREAM_CHECK_BYTE_H_
#define ZOQ_STREAM_CHECK_BYTE_H_

#include <cstddef>
#include <cstdint>

namespace zoq {

// The exclusive-or of `count` bytes folded into `acc`, 64 bytes a step.
uint8_t FoldCheckByte(const uint8_t* bytes, size_t count, uint8_t acc);

}  // namespace zoq

#endif  // ZOQ_STREAM_CHECK_BYTE_H_
