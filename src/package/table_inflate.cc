#include "package/table_inflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>

namespace zoq {
namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Tables of a package are inflated one after the other; one decompressor
// per thread saves allocating its tables for each of them.
libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

}  // namespace

InflateOutcome InflateWhole(const uint8_t* data, size_t size, size_t limit,
                            std::vector<uint8_t>* out) {
  out->clear();
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr) return InflateOutcome::kBad;
  // Tables usually inflate 3 to 7 times; start above that and grow by
  // fours, so that a table is decoded at most a few times.
  size_t room = std::min(limit, std::max<size_t>(4096, size * 8));
  for (;;) {
    out->resize(room);
    size_t in_used = 0;
    size_t produced = 0;
    libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor, data, size, out->data(), room, &in_used, &produced);
    if (result == LIBDEFLATE_SUCCESS) {
      out->resize(produced);
      return InflateOutcome::kDone;
    }
    if (result != LIBDEFLATE_INSUFFICIENT_SPACE) break;
    if (room >= limit) {
      out->clear();
      return InflateOutcome::kTooBig;
    }
    room = limit / 4 < room ? limit : room * 4;
  }
  out->clear();
  return InflateOutcome::kBad;
}

}  // namespace zoq
