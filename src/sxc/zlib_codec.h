// zlib-format compression of SXC sections and value blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

namespace zoq {

// The most one stored byte of a zlib stream can inflate to: deflate's
// densest code repeats 258 bytes for about two bits, about 1032 to 1.
constexpr size_t kMaxInflateRatio = 1032;

// What a stream of `size` stored bytes can inflate to at the most.
size_t InflateLimitFor(size_t size);

enum class InflateStatus {
  kOk,
  kCorrupt,   // not a zlib stream, damaged, or it ends early
  kTooLarge,  // it inflates to more than the limit allows
};

// Inflates one complete zlib stream into `out`, producing at most `limit`
// bytes: memory follows the limit, never what the stream would produce.
// Bytes after the end of the stream are ignored. Unless kOk, `out` is empty.
InflateStatus InflateBounded(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out);

// Inflates one complete zlib stream, bounded by InflateLimitFor(size).
// False when the data is corrupt or ends before the stream does.
bool InflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

// Compresses pieces of data, appended one after another, into one zlib
// stream at the given level.
class Deflater {
 public:
  explicit Deflater(int level = Z_DEFAULT_COMPRESSION);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compressed bytes are appended to `out`.
  bool Add(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
  bool Finish(std::vector<uint8_t>* out);

 private:
  bool Run(const uint8_t* data, size_t size, int flush, std::vector<uint8_t>* out);

  z_stream stream_{};
  bool ok_ = false;
};

// One-shot compression of `size` bytes; appends the stream to `out`.
bool DeflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                int level = Z_DEFAULT_COMPRESSION);

}  // namespace zoq
