#include "package/checked_stream.h"

#include <algorithm>

#include "stream/check_byte.h"
#include "package/checked_read.h"
#include "zoq/codes.h"

namespace zoq {

Status ForwardingStream::Release() {
  delete this;
  return kOk;
}

Status CheckByteTap::Read(void* buffer, int64_t count, int64_t* done) {
  const int64_t at = inner_->Tell();
  int64_t got = 0;
  int code = inner_->Read(buffer, count, &got);
  if (done != nullptr) *done = got;
  // Only bytes that continue the checked run count; a reread or a jump
  // ahead leaves the rest to Finish.
  if (at >= 0 && at <= checked_ && at + got > checked_) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    xor_ = FoldCheckByte(bytes + (checked_ - at), static_cast<size_t>(got - (checked_ - at)), xor_);
    checked_ = at + got;
  }
  return code;
}

Status CheckByteTap::Finish() {
  if (verdict_ >= 0) return verdict_;
  if (checked_ < size_) {
    const bool was_open = inner_->IsOpen();
    if (!was_open && inner_->Open(kModeRead) != kOk) return verdict_ = kBitStreamReadFailed;
    const int64_t back = inner_->Tell();
    if (inner_->Seek(checked_, kSeekSet) != kOk) return verdict_ = kBitStreamReadFailed;
    uint8_t piece[16384];
    while (checked_ < size_) {
      int64_t got = 0;
      if (inner_->Read(piece, std::min<int64_t>(sizeof piece, size_ - checked_), &got) != kOk ||
          got <= 0) {
        return verdict_ = kBitStreamReadFailed;
      }
      xor_ = FoldCheckByte(piece, static_cast<size_t>(got), xor_);
      checked_ += got;
    }
    // The verdict stands on the bytes read; putting the stream back as the
    // caller had it is a courtesy that cannot change it.
    if (!was_open) {
      inner_->Close().IgnoreError();
    } else if (back >= 0) {
      inner_->Seek(back, kSeekSet).IgnoreError();
    }
  }
  verdict_ = xor_ == expected_ ? int{kOk} : int{kChecksumFailed};
  return verdict_;
}

Status CheckedStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done == nullptr) return kInvalidArgument;
  int code = CheckedRead(inner_.get(), buffer, count, done);
  if (code != kOk || *done > 0 || count <= 0) return code;
  return StoredCheck();
}

Status CheckedStream::StoredCheck() {
  if (!check_) return kOk;
  if (verdict_ < 0) {
    verdict_ = kOk;
    for (CheckByteTap* tap : taps_) {
      const int code = tap->Finish();
      if (code != kOk) {
        verdict_ = code;
        break;
      }
    }
  }
  return verdict_;
}

Stream* CheckedStream::Clone() {
  // The clone reads the same content; a check already made goes with it.
  Stream* copy = inner_->Clone();
  if (copy == nullptr) return nullptr;
  auto* clone = new CheckedStream(copy);
  if (check_) clone->SetVerdict(StoredCheck());
  return clone;
}

}  // namespace zoq
