#include "package/checked_read.h"

#include <memory>

#include "zoq/codes.h"

namespace zoq {

constexpr int64_t kPiece = 65536;

Status CheckedRead(Stream* stream, void* buffer, int64_t count, int64_t* done) {
  *done = 0;
  int code = stream->Read(buffer, count, done);
  if (code != kOk) return code;
  if (*done < count) {
    int next = -1;
    if (stream->PeekByte(&next) != kOk) return kDecodeFailed;
    // A byte that is still there after a short read means the read stopped
    // early for another reason; the caller simply reads again.
  }
  return kOk;
}

Status ReadAllChecked(Stream* stream, std::vector<uint8_t>* out, int64_t limit, int too_big) {
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  for (;;) {
    int64_t done = 0;
    int code = CheckedRead(stream, piece.get(), kPiece, &done);
    if (code != kOk) return code;
    if (done <= 0) return kOk;
    if (static_cast<int64_t>(out->size()) + done > limit) return too_big;
    out->insert(out->end(), piece.get(), piece.get() + done);
  }
}

Status CopyChecked(Stream* source, Stream* sink, int64_t* copied) {
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  for (;;) {
    int64_t done = 0;
    int code = CheckedRead(source, piece.get(), kPiece, &done);
    if (code != kOk) return code;
    if (done <= 0) return kOk;
    code = sink->Write(piece.get(), done);
    if (code != kOk) return code;
    *copied += done;
  }
}

}  // namespace zoq
