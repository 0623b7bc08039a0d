#include "stream/sub_stream.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "stream/byte_view.h"
#include "stream/clone_over.h"
#include "stream/open_mode.h"

namespace zoq {

CVelReadOnlySubStream::CVelReadOnlySubStream(Stream*& inner, int64_t offset, int64_t length)
    : inner_(inner), offset_(offset), length_(length) {
  inner = nullptr;
  if (inner_ == nullptr || offset < 0 || length < 0 || offset > INT64_MAX - length) {
    delete inner_;
    inner_ = nullptr;
    throw std::runtime_error(
        "CVelReadOnlySubStream -- Cannot Decorate Stream -- Invalid argument!");
  }
  if (inner_->IsOpen()) inner_->Close();
}

CVelReadOnlySubStream::~CVelReadOnlySubStream() {
  Close();
  delete inner_;
}

int CVelReadOnlySubStream::Open(int mode) {
  if (mode != kModeClose && mode != kModeRead) {
    Close();
    return kBadOpenMode;
  }
  Close();
  if (mode == kModeClose) return kOk;
  int code = inner_->Open(kModeRead);
  if (code != kOk) return AtSite(code, 12050066);
  int access = inner_->GetAccess();
  if (access != kAccessRead && access != kAccessReadWrite) {
    inner_->Close();
    return 12050069;
  }
  open_ = true;
  return Rewind();
}

int CVelReadOnlySubStream::Close() {
  if (!open_) return kOk;
  open_ = false;
  return inner_->Close();
}

int CVelReadOnlySubStream::Release() {
  delete this;
  return kOk;
}

bool CVelReadOnlySubStream::IsEof() {
  if (!open_) return true;
  int64_t at = inner_->Tell();
  if (at < offset_ || at >= offset_ + length_) return true;
  return inner_->IsEof();
}

int64_t CVelReadOnlySubStream::Tell() {
  if (!open_) return -1;
  return std::min(inner_->Tell() - offset_, length_);
}

int CVelReadOnlySubStream::PeekByte(int* out) {
  if (!open_) return kStreamNotOpen;
  if (out == nullptr) return kInvalidArgument;
  if (IsEof()) {
    *out = -1;
    return kOk;
  }
  return AtSite(inner_->PeekByte(out), 12050147);
}

int CVelReadOnlySubStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (!open_) return kStreamNotOpen;
  if (buffer == nullptr || count < 0) return kInvalidArgument;
  int64_t at = inner_->Tell();
  if (at < offset_) return kOk;
  int64_t n = std::min(count, offset_ + length_ - at);
  if (n <= 0) return kOk;
  return AtSite(inner_->Read(buffer, n, done), 12050171);
}

bool CVelReadOnlySubStream::View(int64_t count, const uint8_t** data, int64_t* size) {
  if (!open_) return false;
  int64_t at = inner_->Tell();
  if (at < offset_) return false;
  int64_t n = std::max<int64_t>(0, std::min(count, offset_ + length_ - at));
  if (n == 0) {
    *size = 0;
    return true;
  }
  return ViewBytes(inner_, n, data, size);
}

int CVelReadOnlySubStream::Seek(int64_t offset, int origin) {
  if (!open_) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t end = offset_ + length_;
  int64_t target;
  if (!SeekTarget(offset, origin, offset_, inner_->Tell(), end, &target) || target < offset_ ||
      target > end) {
    return 12050199;
  }
  return AtSite(inner_->Seek(target, kSeekSet), 12050200);
}

Stream* CVelReadOnlySubStream::Clone() {
  return CloneOver(inner_, [this](Stream*& inner) { return new CVelReadOnlySubStream(inner, offset_, length_); });
}

int CVelReadOnlySubStream::SetAccess(int access) {
  if (access != kAccessRead) return kFailed;
  return inner_->SetAccess(kAccessRead);
}

}  // namespace zoq
