// Test data for the stream benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stream/memory_stream.h"

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

// One timed read of `plain_size` bytes per iteration through the stream
// that `make` builds over a memory stream of `stored` (taking it over), in
// 64 KiB reads.
template <typename Make>
void ReadThroughDecorator(benchmark::State& state, const std::vector<uint8_t>& stored,
                          int64_t plain_size, Make make) {
  constexpr int64_t kChunk = 0x10000;
  std::vector<uint8_t> out(kChunk);
  for (auto _ : state) {
    Stream* inner = new CVelMemoryStream(const_cast<uint8_t*>(stored.data()),
                                         static_cast<int64_t>(stored.size()),
                                         static_cast<int64_t>(stored.size()));
    auto reader = make(inner);
    reader.Open(kModeRead);
    int64_t total = 0, done = 0;
    while (reader.Read(out.data(), kChunk, &done) == kOk && done > 0) total += done;
    if (total != plain_size) state.SkipWithError("short read");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * plain_size);
}

}  // namespace zoq::bench
