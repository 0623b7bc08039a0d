// Reading and checking the package header at offset 0.
#pragma once

#include "zoq/package_layout.h"
#include "zoq/stream.h"

namespace zoq {

constexpr int kHeaderFixedSize = 22;  // the header is 22 + W bytes

// Reads and checks the header: 5000 magic, 5001 version, 5002 a bad field,
// 5003 cut short.
Status ReadHeader(Stream* stream, HeaderFacts* out);

}  // namespace zoq
