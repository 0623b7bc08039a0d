#include "stream/bounded_inflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

namespace zoq {
namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Buffers are often inflated one after the other (the tables of a package,
// the blocks of a document); one decompressor per thread saves allocating
// its tables for each of them.
libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

}  // namespace

InflateResult InflateToLimit(const uint8_t* data, size_t size, size_t limit,
                             std::vector<uint8_t>* out) {
  out->clear();
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr) throw std::bad_alloc();
  // The whole stream is decoded in one call into a buffer of a guessed
  // size; when that is too small, into one four times as large (never past
  // the limit), from the start. Most data inflates less than 16 times, so
  // a buffer is rarely decoded more than twice. The buffer is not
  // initialised: a decode writes every byte it reports, and large untouched
  // tails cost address space only.
  constexpr size_t kFirstRoom = 64 * 1024;
  size_t room = size > SIZE_MAX / 16 ? limit : std::max(kFirstRoom, size * 16);
  room = std::min(room, limit);
  for (;;) {
    // libdeflate tells a stream that fills the buffer exactly from one that
    // needs more, so the buffer need not hold a byte beyond the limit.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[std::max<size_t>(room, 1)]);
    size_t produced = 0;
    size_t used = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor, data, size, buffer.get(), room, &used, &produced);
    if (result == LIBDEFLATE_SUCCESS) {
      out->assign(buffer.get(), buffer.get() + produced);
      return InflateResult::kOk;
    }
    if (result != LIBDEFLATE_INSUFFICIENT_SPACE) return InflateResult::kCorrupt;
    if (room >= limit) return InflateResult::kTooLarge;
    room = room > limit / 4 ? limit : room * 4;
  }
}

}  // namespace zoq
