// Compresses several independent inputs into zlib streams at once, on a few
// threads. An input longer than a chunk is cut into chunks that are
// compressed separately, each primed with the 32 KiB of input before it as
// its dictionary, ended with a sync flush (the last with the finish) and
// joined behind one zlib header with the combined Adler-32: the result is
// one ordinary zlib stream that any inflater reads, at the same level,
// window and strategy, and nearly the size of a one-pass stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <zlib.h>

namespace zoq {

// One chunk of an input compressed on its own: raw deflate primed with the
// input before it, ended with a sync flush, or with the finish when it is
// the input's last chunk.
struct DeflatedChunk {
  std::vector<uint8_t> output;
  uLong adler = 1;  // Adler-32 of the chunk's input
  size_t size = 0;  // bytes of input
};

// Compresses `size` bytes at `data` as one chunk; the `dictionary` bytes
// right before `data` prime it. False when zlib fails.
bool DeflateChunk(int level, const uint8_t* data, size_t size, size_t dictionary, bool last,
                  DeflatedChunk* chunk);

// The most input before a chunk that primes it (the deflate window).
constexpr size_t kDeflateDictionarySize = 32768;

struct DeflateJob {
  // The input: these pieces one after another. They must stay valid until
  // Run returns.
  std::vector<std::pair<const uint8_t*, size_t>> pieces;
  // The input's first chunks, already compressed with DeflateChunk at the
  // runner's chunk size (none of them the last): only the rest is
  // compressed, then all are joined.
  std::vector<DeflatedChunk> done;
  // The complete zlib stream, filled in by Run.
  std::vector<uint8_t> output;
};

class ParallelDeflate {
 public:
  static constexpr size_t kChunkSize = size_t{1} << 20;

  // `threads` 0 picks the machine's core count (at most 8).
  explicit ParallelDeflate(int level = Z_DEFAULT_COMPRESSION, int threads = 0,
                           size_t chunk_size = kChunkSize);

  // Compresses every job. False when zlib fails for any of them (the outputs
  // are then unusable).
  bool Run(std::vector<DeflateJob>* jobs);

  size_t chunk_size() const { return chunk_size_; }

 private:
  int level_;
  int threads_;
  size_t chunk_size_;
};

}  // namespace zoq
