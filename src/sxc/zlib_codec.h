// zlib-format compression of SXC sections and value blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

namespace zoq {

// Inflates one complete zlib stream. False when the data is corrupt or ends
// before the stream does; `out` then holds what was produced.
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
