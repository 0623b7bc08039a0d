#include "sxc/zlib_codec.h"

#include <algorithm>
#include <climits>

namespace zoq {

bool InflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  out->clear();
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  size_t in_left = size;
  size_t produced = 0;
  out->resize(std::max<size_t>(1024, std::min<size_t>(size * 4, size_t{1} << 26)));
  int status = Z_OK;
  while (status == Z_OK) {
    if (produced == out->size()) out->resize(out->size() * 2);
    const uInt in_chunk = static_cast<uInt>(std::min<size_t>(in_left, UINT_MAX));
    const uInt out_chunk = static_cast<uInt>(std::min<size_t>(out->size() - produced, UINT_MAX));
    stream.avail_in = in_chunk;
    stream.next_out = out->data() + produced;
    stream.avail_out = out_chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    in_left -= in_chunk - stream.avail_in;
    produced += out_chunk - stream.avail_out;
    if (status == Z_BUF_ERROR && stream.avail_out != 0) break;  // input ran out
    if (status == Z_BUF_ERROR) status = Z_OK;
  }
  inflateEnd(&stream);
  out->resize(produced);
  return status == Z_STREAM_END;
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
