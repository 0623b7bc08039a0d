#include "stream/sub_stream.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include "stream/byte_view.h"
#include "stream/clone_over.h"
#include "stream/file_stream.h"
#include "stream/open_mode.h"
#include "stream/stream_sites.h"

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
  // The sub-stream opens the inner stream for reading from now on.
  if (inner_->IsOpen()) inner_->Close().IgnoreError();
  // A file read only here need not fill its window past the end (stored
  // parts are mostly far smaller than the window). Exact type only, as a
  // subclass may read differently.
  if (typeid(*inner_) == typeid(CVelFileStream)) {
    static_cast<CVelFileStream*>(inner_)->LimitWindowReads(offset_ + length_);
  }
}

CVelReadOnlySubStream::~CVelReadOnlySubStream() {
  Close().IgnoreError();  // a sub-stream only reads: nothing is lost
  delete inner_;
}

Status CVelReadOnlySubStream::Open(int mode) {
  if (mode != kModeClose && mode != kModeRead) {
    // The bad mode is what the caller learns of; the stream ends closed.
    Close().IgnoreError();
    return kBadOpenMode;
  }
  // Closing writes out what is pending: when that fails, so does the open
  // (mode 0 included), rather than losing the data unreported.
  if (Status closed = Close(); !closed.ok() || mode == kModeClose) return closed;
  int code = inner_->Open(kModeRead);
  if (code != kOk) return AtSite(code, kSiteSubOpenInner);
  int access = inner_->GetAccess();
  if (access != kAccessRead && access != kAccessReadWrite) {
    inner_->Close().IgnoreError();  // the refusal is what counts
    return kSiteSubOutsideInner;
  }
  open_ = true;
  return Rewind();
}

Status CVelReadOnlySubStream::Close() {
  if (!open_) return kOk;
  open_ = false;
  return inner_->Close();
}

Status CVelReadOnlySubStream::Release() {
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

Status CVelReadOnlySubStream::PeekByte(int* out) {
  if (!open_) return kStreamNotOpen;
  if (out == nullptr) return kInvalidArgument;
  if (IsEof()) {
    *out = -1;
    return kOk;
  }
  return AtSite(inner_->PeekByte(out), kSiteSubPeek);
}

Status CVelReadOnlySubStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (!open_) return kStreamNotOpen;
  if (buffer == nullptr || count < 0) return kInvalidArgument;
  int64_t at = inner_->Tell();
  if (at < offset_) return kOk;
  int64_t n = std::min(count, offset_ + length_ - at);
  if (n <= 0) return kOk;
  return AtSite(inner_->Read(buffer, n, done), kSiteSubRead);
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

Status CVelReadOnlySubStream::Seek(int64_t offset, int origin) {
  if (!open_) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t end = offset_ + length_;
  int64_t target;
  if (!SeekTarget(offset, origin, offset_, inner_->Tell(), end, &target) || target < offset_ ||
      target > end) {
    return kSiteSubSeekRange;
  }
  return AtSite(inner_->Seek(target, kSeekSet), kSiteSubSeekInner);
}

Stream* CVelReadOnlySubStream::Clone() {
  return CloneOver(inner_, [this](Stream*& inner) { return new CVelReadOnlySubStream(inner, offset_, length_); });
}

Status CVelReadOnlySubStream::SetAccess(int access) {
  if (access != kAccessRead) return kFailed;
  return inner_->SetAccess(kAccessRead);
}

}  // namespace zoq
