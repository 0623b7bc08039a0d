#include "stream/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/open_mode.h"

namespace zoq {

CVelMemoryStream::CVelMemoryStream(void* buffer, int64_t capacity, int64_t length)
    : buffer_(static_cast<uint8_t*>(buffer)), capacity_(capacity), length_(length) {
  if (buffer == nullptr || length < 0 || length > capacity) {
    throw std::runtime_error("CVelMemoryStream -- Cannot create stream - Arguments error!");
  }
}

bool CVelMemoryStream::SupportsAccess(int access) { return IsValidAccess(access); }

int CVelMemoryStream::Open(int mode) {
  if (!IsValidOpenMode(mode) || !SupportsAccess(AccessOfMode(mode))) {
    Close();
    return kBadOpenMode;
  }
  Close();
  if (mode == kModeClose) return kOk;
  mode_ = mode;
  access_ = AccessOfMode(mode);
  open_ = true;
  if (mode == kModeAppend) {
    start_ += length_;
    capacity_ -= length_;
    hidden_ = length_;
    length_ = 0;
  }
  if (mode == kModeWrite || mode == kModeReadWriteNew) return Clear();
  return Rewind();
}

int CVelMemoryStream::Close() {
  if (!open_) return kOk;
  start_ -= hidden_;
  capacity_ += hidden_;
  length_ += hidden_;
  hidden_ = 0;
  position_ = 0;
  open_ = false;
  mode_ = kModeClose;
  access_ = kAccessRead;
  return kOk;
}

int CVelMemoryStream::Clear() {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  length_ = 0;
  return AtSite(Rewind(), 12040065);
}

int CVelMemoryStream::Release() {
  Close();
  delete this;
  return kOk;
}

int CVelMemoryStream::PeekByte(int* out) {
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (out == nullptr) return kInvalidArgument;
  *out = position_ < length_ ? buffer_[start_ + position_] : -1;
  return kOk;
}

int CVelMemoryStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return 12040150;
  int64_t n = std::max<int64_t>(0, std::min(count, length_ - position_));
  // memmove: the caller's buffer may be (part of) this stream's buffer.
  std::memmove(buffer, buffer_ + start_ + position_, static_cast<size_t>(n));
  position_ += n;
  if (done) *done = n;
  return kOk;
}

bool CVelMemoryStream::View(int64_t count, const uint8_t** data, int64_t* size) const {
  if (!open_ || access_ == kAccessWrite) return false;
  *data = buffer_ + start_ + position_;
  *size = std::max<int64_t>(0, std::min(count, length_ - position_));
  return true;
}

int CVelMemoryStream::Write(const void* buffer, int64_t count) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return 12040195;
  if (count > capacity_ - position_) return 12040204;
  std::memmove(buffer_ + start_ + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  length_ = std::max(length_, position_);
  return kOk;
}

int CVelMemoryStream::Flush() { return WriteCheck(open_, access_); }

int CVelMemoryStream::Seek(int64_t offset, int origin) {
  if (!open_) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t target;
  if (!SeekTarget(offset, origin, 0, position_, length_, &target) || target < 0 ||
      target > length_) {
    return 12040257;
  }
  position_ = target;
  return kOk;
}

int CVelMemoryStream::SetLength(int64_t size) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (size < 0 || size >= capacity_) return 12040179;
  length_ = size;
  position_ = std::min(position_, size);
  return kOk;
}

Stream* CVelMemoryStream::Clone() {
  return new (std::nothrow)
      CVelMemoryStream(buffer_ + start_ - hidden_, capacity_ + hidden_, length_ + hidden_);
}

int CVelMemoryStream::SetAccess(int access) {
  if (!open_) return 12040266;
  if (access == access_) return kOk;
  if (!SupportsAccess(access) || !MayChangeAccess(access_, access)) return 12040269;
  access_ = access;
  return kOk;
}

}  // namespace zoq
