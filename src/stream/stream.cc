// The operations that every stream shares unless it overrides them.
#include "zoq/stream.h"

namespace zoq {

int Stream::Rewind() { return Seek(0, kSeekSet); }

int Stream::ReadByte(int* out) {
  int code = PeekByte(out);
  if (code == kFailed) return 12060026;
  if (code != kOk) return code;
  if (*out >= 0) return SkipByte();
  return kOk;
}

int Stream::WriteByte(uint8_t byte) { return Write(&byte, 1); }

int Stream::SkipByte() { return Seek(1, kSeekCur); }

}  // namespace zoq
