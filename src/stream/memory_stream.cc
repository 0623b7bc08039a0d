#include "stream/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/open_mode.h"
#include "stream/stream_sites.h"

namespace zoq {

CVelMemoryStream::CVelMemoryStream(void* buffer, int64_t capacity, int64_t length)
    : buffer_(static_cast<uint8_t*>(buffer)), capacity_(capacity), length_(length) {
  if (buffer == nullptr || length < 0 || length > capacity) {
    throw std::runtime_error("CVelMemoryStream -- Cannot create stream - Arguments error!");
  }
}

bool CVelMemoryStream::SupportsAccess(int access) { return IsValidAccess(access); }

Status CVelMemoryStream::Open(int mode) {
  if (!IsValidOpenMode(mode) || !SupportsAccess(AccessOfMode(mode))) {
    // The bad mode is what the caller learns of; the stream ends closed.
    Close().IgnoreError();
    return kBadOpenMode;
  }
  // Closing writes out what is pending: when that fails, so does the open
  // (mode 0 included), rather than losing the data unreported.
  if (Status closed = Close(); !closed.ok() || mode == kModeClose) return closed;
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

Status CVelMemoryStream::Close() {
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

Status CVelMemoryStream::Clear() {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  length_ = 0;
  return AtSite(Rewind(), kSiteMemoryClear);
}

Status CVelMemoryStream::Release() {
  Status code = Close();
  delete this;
  return code;
}

Status CVelMemoryStream::PeekByte(int* out) {
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (out == nullptr) return kInvalidArgument;
  *out = position_ < length_ ? buffer_[start_ + position_] : -1;
  return kOk;
}

Status CVelMemoryStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return kSiteMemoryReadArgs;
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

Status CVelMemoryStream::Write(const void* buffer, int64_t count) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return kSiteMemoryWriteArgs;
  if (count > capacity_ - position_) return kSiteMemoryFull;
  std::memmove(buffer_ + start_ + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  length_ = std::max(length_, position_);
  return kOk;
}

Status CVelMemoryStream::Flush() { return WriteCheck(open_, access_); }

Status CVelMemoryStream::Seek(int64_t offset, int origin) {
  if (!open_) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t target;
  if (!SeekTarget(offset, origin, 0, position_, length_, &target) || target < 0 ||
      target > length_) {
    return kSiteMemorySeekRange;
  }
  position_ = target;
  return kOk;
}

Status CVelMemoryStream::SetLength(int64_t size) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (size < 0 || size >= capacity_) return kSiteMemorySetLength;
  length_ = size;
  position_ = std::min(position_, size);
  return kOk;
}

Stream* CVelMemoryStream::Clone() {
  return new (std::nothrow)
      CVelMemoryStream(buffer_ + start_ - hidden_, capacity_ + hidden_, length_ + hidden_);
}

Status CVelMemoryStream::SetAccess(int access) {
  if (!open_) return kSiteMemoryAccessClosed;
  if (access == access_) return kOk;
  if (!SupportsAccess(access) || !MayChangeAccess(access_, access)) return kSiteMemoryAccessRefused;
  access_ = access;
  return kOk;
}

}  // namespace zoq
