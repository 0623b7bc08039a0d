#include "package/checked_stream.h"

#include "package/checked_read.h"

namespace zoq {

int CheckedStream::Release() {
  // Destroying the stack closes it; the package file beneath is never
  // deleted.
  delete this;
  return kOk;
}

int CheckedStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done == nullptr) return kInvalidArgument;
  return CheckedRead(inner_.get(), buffer, count, done);
}

Stream* CheckedStream::Clone() {
  Stream* copy = inner_->Clone();
  return copy == nullptr ? nullptr : new CheckedStream(copy);
}

}  // namespace zoq
