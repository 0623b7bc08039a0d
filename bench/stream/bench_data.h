// Test data for the stream benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoq::bench {

constexpr int64_t kMiB = 1 << 20;

// Fills `out` with text-like bytes (words from a small vocabulary in a
// pseudo-random order), which compress about as well as XML parts do.
inline void FillText(uint8_t* out, int64_t size, uint32_t seed) {
  static const char* const kWords[] = {"<item ", "name=\"", "value", "\"/>\n", "part ",
                                       "revision ", "0x1F", "data ", "\t", "folder/",
                                       "schema", " 12345", "</group>\n", "text ", "=", ";"};
  uint32_t x = seed;
  int64_t at = 0;
  while (at < size) {
    x = x * 1664525u + 1013904223u;
    const char* w = kWords[(x >> 16) & 15];
    for (; *w && at < size; ++w) out[at++] = static_cast<uint8_t>(*w);
    if (((x >> 8) & 7) == 0 && at < size) out[at++] = static_cast<uint8_t>('a' + (x >> 24) % 26);
  }
}

}  // namespace zoq::bench
