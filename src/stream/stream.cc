// The operations that every stream shares unless it overrides them.
#include "stream/stream_sites.h"
#include "zoq/stream.h"

namespace zoq {

Status Stream::Rewind() { return Seek(0, kSeekSet); }

Status Stream::ReadByte(int* out) {
  int code = PeekByte(out);
  if (code == kFailed) return kSiteReadByte;
  if (code != kOk) return code;
  if (*out >= 0) return SkipByte();
  return kOk;
}

Status Stream::WriteByte(uint8_t byte) { return Write(&byte, 1); }

Status Stream::SkipByte() { return Seek(1, kSeekCur); }

}  // namespace zoq
