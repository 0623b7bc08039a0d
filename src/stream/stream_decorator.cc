#include "stream/stream_decorator.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/open_mode.h"
#include "stream/stream_sites.h"

namespace zoq {

CVelStreamDecorator::CVelStreamDecorator(Stream*& inner) : inner_(inner) {
  inner = nullptr;
  if (inner_ == nullptr) {
    throw std::runtime_error(
        "CVelStreamDecorator -- Cannot Decorate Stream - Stream arguments error!");
  }
  // The decorator opens the inner stream in its own modes from now on.
  if (inner_->IsOpen()) inner_->Close().IgnoreError();
}

CVelStreamDecorator::~CVelStreamDecorator() {
  // The subclass has flushed in its destructor; only the inner stream is left.
  if (inner_ != nullptr) {
    if (inner_->IsOpen()) inner_->Close().IgnoreError();  // cannot report here
    delete inner_;
  }
}

void CVelStreamDecorator::Reset() {
  blocks_.clear();
  ClearWindow();
  whole_in_first_window_ = false;
  end_of_input_ = false;
  dirty_ = false;
  decode_failure_ = kOk;
  position_ = 0;
  length_ = 0;
}

void CVelStreamDecorator::SetWindow(uint8_t* start, int64_t capacity, int64_t data) {
  window_start_ = start;
  cursor_ = start;
  capacity_end_ = start + capacity;
  data_end_ = start + data;
}

void CVelStreamDecorator::ClearWindow() {
  window_start_ = cursor_ = capacity_end_ = data_end_ = nullptr;
}

Status CVelStreamDecorator::Open(int mode) {
  if (mode < kModeClose || mode > kModeAppend) {
    // The bad mode is what the caller learns of; the stream ends closed.
    Close().IgnoreError();
    return kBadOpenMode;
  }
  // Closing writes out what is pending: when that fails, so does the open
  // (mode 0 included), rather than losing the data unreported.
  if (Status closed = Close(); !closed.ok() || mode == kModeClose) return closed;
  int code = inner_->Open(mode);
  if (code != kOk) return AtSite(code, kSiteDecoratorOpenInner);
  code = inner_->SetAccess(AccessOfMode(mode));
  if (code != kOk) {
    inner_->Close().IgnoreError();  // the failure to start is what counts
    return AtSite(code, kSiteDecoratorOpenStart);
  }
  Reset();
  return kOk;
}

Status CVelStreamDecorator::Close() {
  if (!IsOpen()) {
    Reset();
    return kOk;
  }
  int flush_code = IsWriting() ? Flush() : kOk;
  int close_code = inner_->Close();
  Reset();
  if (close_code != kOk) return AtSite(close_code, kSiteDecoratorCloseInner);
  return AtSite(flush_code, kSiteDecoratorCloseFlush);
}

Status CVelStreamDecorator::Clear() {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsWriting()) return kSiteDecoratorClearReading;
  Reset();
  return AtSite(inner_->Clear(), kSiteDecoratorClearInner);
}

Status CVelStreamDecorator::Release() {
  Status code = Close();
  Stream* inner = inner_;
  inner_ = nullptr;
  Status inner_code = inner != nullptr ? inner->Release() : Status();
  delete this;
  return code != kOk ? code : inner_code;
}

int64_t CVelStreamDecorator::GetLength() {
  if (!IsOpen()) return -1;
  if (IsWriting()) return length_;
  return end_of_input_ && decode_failure_ == kOk ? length_ : -1;
}

bool CVelStreamDecorator::IsEof() {
  if (!IsOpen()) return true;
  if (IsWriting()) return position_ >= length_;
  if (WindowHasByte()) return false;
  // A pending failure is not an end: the next Read reports it.
  if (decode_failure_ != kOk) return false;
  return end_of_input_;
}

Status CVelStreamDecorator::MakeAvailable(bool* available) {
  *available = false;
  if (WindowHasByte()) {
    *available = true;
    return kOk;
  }
  if (decode_failure_ != kOk) return decode_failure_;
  if (end_of_input_) return kOk;
  int code = Decode();
  if (code != kOk) {
    decode_failure_ = code;
    return code;
  }
  *available = WindowHasByte();
  if (!*available && decode_failure_ != kOk) return decode_failure_;
  return kOk;
}

Status CVelStreamDecorator::PeekByte(int* out) {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsReading()) return kStreamWriteOnly;
  if (out == nullptr) return kInvalidArgument;
  *out = -1;
  bool available = false;
  if (MakeAvailable(&available) != kOk) return kSiteDecoratorPeek;
  if (available) *out = *cursor_;
  return kOk;
}

Status CVelStreamDecorator::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsReading()) return kStreamWriteOnly;
  if (buffer == nullptr) return kInvalidArgument;
  if (count < 0) return kSiteDecoratorReadCount;
  uint8_t* dst = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    bool available = false;
    int code = MakeAvailable(&available);
    if (code != kOk) {
      // Bytes decoded before the break go out first; the failure is
      // answered by the read that can deliver nothing more.
      if (total > 0) break;
      return code;
    }
    if (!available) break;
    int64_t n = std::min({count - total, static_cast<int64_t>(data_end_ - cursor_),
                          length_ - position_});
    std::memcpy(dst + total, cursor_, static_cast<size_t>(n));
    cursor_ += n;
    position_ += n;
    total += n;
  }
  if (done) *done = total;
  return kOk;
}

void CVelStreamDecorator::WindowOnBlock(int64_t position) {
  size_t index = static_cast<size_t>(position / kWindowSize);
  if (index == blocks_.size() && index > 0) {
    // At the very end of content that fills its last block: stay on that
    // block with the cursor at its end; the next write adds a block.
    --index;
  }
  int64_t block_start = static_cast<int64_t>(index) * kWindowSize;
  int64_t data = std::clamp<int64_t>(length_ - block_start, 0, kWindowSize);
  SetWindow(blocks_[index].get(), kWindowSize, data);
  cursor_ = window_start_ + (position - block_start);
}

Status CVelStreamDecorator::MoveToBlock() {
  size_t index = static_cast<size_t>(position_ / kWindowSize);
  if (index > blocks_.size()) return kSiteDecoratorBlockIndex;
  if (index < blocks_.size()) {
    WindowOnBlock(position_);
    return kOk;
  }
  if (blocks_.empty() || window_start_ != blocks_.back().get()) return kSiteDecoratorBlockWindow;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kWindowSize]());
  if (!block) return kOutOfMemory;
  if (length_ / kWindowSize != static_cast<int64_t>(index)) return kSiteDecoratorBlockLength;
  blocks_.push_back(std::move(block));
  SetWindow(blocks_.back().get(), kWindowSize, length_ % kWindowSize);
  return kOk;
}

Status CVelStreamDecorator::Write(const void* buffer, int64_t count) {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsWriting()) return kStreamReadOnly;
  if (buffer == nullptr || count < 0) return kSiteDecoratorWriteArgs;
  if (count == 0) return kOk;
  if (!dirty_ && length_ != 0 && !AllowsOverwrite()) return kSiteDecoratorOverwrite;
  if (window_start_ == nullptr) {
    Reset();
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kWindowSize]);
    if (!block) return kOutOfMemory;
    blocks_.push_back(std::move(block));
    SetWindow(blocks_.back().get(), kWindowSize, 0);
  }
  const uint8_t* src = static_cast<const uint8_t*>(buffer);
  int64_t taken = 0;
  while (taken < count) {
    if (cursor_ == capacity_end_) {
      int code = BuffersWholeContent() ? AtSite(MoveToBlock(), kSiteDecoratorWriteBlock)
                                       : AtSite(Encode(false), kSiteDecoratorWriteEncode);
      if (code != kOk) return code;
      if (window_start_ == nullptr || cursor_ == nullptr || data_end_ == nullptr ||
          capacity_end_ == nullptr || cursor_ < window_start_ || data_end_ < window_start_ ||
          cursor_ > capacity_end_ || data_end_ > capacity_end_ || cursor_ == capacity_end_) {
        return kSiteDecoratorWriteStalled;
      }
    }
    int64_t n = std::min(count - taken, static_cast<int64_t>(capacity_end_ - cursor_));
    std::memcpy(cursor_, src + taken, static_cast<size_t>(n));
    cursor_ += n;
    position_ += n;
    taken += n;
    if (position_ > length_) {
      length_ = position_;
      data_end_ = cursor_;
    }
    dirty_ = true;
  }
  return kOk;
}

Status CVelStreamDecorator::Flush() {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsWriting()) return kStreamReadOnly;
  if (dirty_) {
    int code = Encode(true);
    if (code != kOk) return AtSite(code, kSiteDecoratorFlushEncode);
  }
  return AtSite(inner_->Flush(), kSiteDecoratorFlushInner);
}

Status CVelStreamDecorator::SetLength(int64_t) {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsWriting()) return kStreamReadOnly;
  return kNotSupported;
}

Status CVelStreamDecorator::SetAccess(int access) {
  if (access != kAccessRead && access != kAccessWrite) return kFailed;
  return inner_->SetAccess(access);
}

Status CVelStreamDecorator::SkipForward(int64_t move) {
  while (move > 0) {
    bool available = false;
    int code = MakeAvailable(&available);
    if (code != kOk) return AtSite(code, kSiteDecoratorSkipDecode);
    if (!available) return kSiteDecoratorSkipPastEnd;
    int64_t step = std::min({move, static_cast<int64_t>(data_end_ - cursor_),
                             length_ - position_});
    cursor_ += step;
    position_ += step;
    move -= step;
  }
  return kOk;
}

Status CVelStreamDecorator::Seek(int64_t offset, int origin) {
  if (!IsOpen()) return kStreamNotOpen;
  int64_t base;
  switch (origin) {
    case kSeekSet: base = 0; break;
    case kSeekCur: base = position_; break;
    case kSeekEnd:
      if (!IsWriting()) return kNotPossible;
      base = length_;
      break;
    default: return kInvalidArgument;
  }
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) return kInvalidArgument;
  int64_t move = target - position_;
  if (move == 0) return kOk;
  if (window_start_ != nullptr && move >= window_start_ - cursor_ && move <= data_end_ - cursor_) {
    cursor_ += move;
    position_ = target;
    return kOk;
  }
  if (target < 0) return kSiteDecoratorSeekBeforeStart;
  if (IsWriting()) {
    if (!BuffersWholeContent()) return kSiteDecoratorSeekBack;
    if (target > length_) return kSiteDecoratorSeekPastEnd;
    position_ = target;
    WindowOnBlock(target);
    return kOk;
  }
  if (move > 0) return SkipForward(move);
  int code = inner_->Rewind();
  if (code != kOk) return code;
  Reset();
  return SkipForward(target);
}

Status CVelStreamDecorator::Rewind() {
  if (!IsOpen()) return kStreamNotOpen;
  if (IsReading()) {
    if (whole_in_first_window_ && end_of_input_ && window_start_ != nullptr &&
        decode_failure_ == kOk) {
      cursor_ = window_start_;
      position_ = 0;
      return kOk;
    }
    int code = inner_->Rewind();
    if (code != kOk) return AtSite(code, kSiteDecoratorRewindInner);
    Reset();
    return kOk;
  }
  if (length_ == 0) {
    int code = inner_->Rewind();
    if (code != kOk) return AtSite(code, kSiteDecoratorRewindDecode);
    Reset();
    return kOk;
  }
  if (!BuffersWholeContent()) return kNotSupported;
  position_ = 0;
  WindowOnBlock(0);
  return kOk;
}

}  // namespace zoq
