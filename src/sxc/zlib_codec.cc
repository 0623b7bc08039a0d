#include "sxc/zlib_codec.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "stream/bounded_inflate.h"

namespace zoq {

size_t InflateLimitFor(size_t size) {
  constexpr size_t kSlack = 1024;  // headers and a short stream's fixed costs
  if (size > (SIZE_MAX - kSlack) / kMaxInflateRatio) return SIZE_MAX;
  return size * kMaxInflateRatio + kSlack;
}

InflateStatus InflateBounded(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out) {
  switch (InflateToLimit(data, size, limit, out)) {
    case InflateResult::kOk:
      return InflateStatus::kOk;
    case InflateResult::kTooLarge:
      return InflateStatus::kTooLarge;
    case InflateResult::kCorrupt:
      break;
  }
  return InflateStatus::kCorrupt;
}

bool InflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  return InflateBounded(data, size, InflateLimitFor(size), out) == InflateStatus::kOk;
}

Deflater::Deflater(int level) { ok_ = deflateInit(&stream_, level) == Z_OK; }

Deflater::~Deflater() {
  if (ok_) deflateEnd(&stream_);
}

bool Deflater::Run(const uint8_t* data, size_t size, int flush, std::vector<uint8_t>* out) {
  if (!ok_) return false;
  stream_.next_in = const_cast<Bytef*>(data);
  size_t in_left = size;
  for (;;) {
    const uInt in_chunk = static_cast<uInt>(std::min<size_t>(in_left, 1u << 30));
    stream_.avail_in = in_chunk;
    const bool last_chunk = in_chunk == in_left;
    const int mode = last_chunk ? flush : Z_NO_FLUSH;
    int status;
    do {
      const size_t before = out->size();
      const size_t room = std::max<size_t>(deflateBound(&stream_, stream_.avail_in), 1024);
      out->resize(before + room);
      stream_.next_out = out->data() + before;
      stream_.avail_out = static_cast<uInt>(room);
      status = deflate(&stream_, mode);
      out->resize(before + room - stream_.avail_out);
      if (status == Z_STREAM_ERROR) return ok_ = false;
    } while (stream_.avail_out == 0 || (mode == Z_FINISH && status != Z_STREAM_END));
    in_left -= in_chunk;
    if (last_chunk) return true;
  }
}

bool Deflater::Add(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (size == 0) return ok_;
  return Run(data, size, Z_NO_FLUSH, out);
}

bool Deflater::Finish(std::vector<uint8_t>* out) { return Run(nullptr, 0, Z_FINISH, out); }

bool DeflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>* out, int level) {
  Deflater deflater(level);
  return deflater.Add(data, size, out) && deflater.Finish(out);
}

}  // namespace zoq
