#include "stream/dynamic_memory_stream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/open_mode.h"
#include "stream/stream_sites.h"

namespace zoq {
namespace {

// Blocks 0..6 double from 1,024 to 65,536; every later block is 65,536.
constexpr size_t kDoublingBlocks = 7;
constexpr int64_t kDoublingBytes = 1024 * ((int64_t{1} << kDoublingBlocks) - 1);  // 130,048

}  // namespace

int64_t CVelDynamicMemoryStream::BlockSize(size_t index) {
  return index < kDoublingBlocks ? kFirstBlockSize << index : kMaxBlockSize;
}

int64_t CVelDynamicMemoryStream::BlockStart(size_t index) {
  if (index <= kDoublingBlocks) return kFirstBlockSize * ((int64_t{1} << index) - 1);
  return kDoublingBytes + static_cast<int64_t>(index - kDoublingBlocks) * kMaxBlockSize;
}

size_t CVelDynamicMemoryStream::BlockOf(int64_t offset) {
  if (offset >= kDoublingBytes) {
    return kDoublingBlocks + static_cast<size_t>((offset - kDoublingBytes) / kMaxBlockSize);
  }
  // offset / 1024 + 1 lies in [2^i, 2^(i+1)) for block i.
  return static_cast<size_t>(std::bit_width(static_cast<uint64_t>(offset / kFirstBlockSize + 1)) - 1);
}

Status CVelDynamicMemoryStream::Reserve(int64_t size) {
  while (Capacity() < size) {
    int64_t block_size = BlockSize(blocks_.size());
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_size]);
    if (!block) return kOutOfMemory;
    blocks_.push_back(std::move(block));
  }
  return kOk;
}

bool CVelDynamicMemoryStream::SupportsAccess(int access) { return IsValidAccess(access); }

Status CVelDynamicMemoryStream::Open(int mode) {
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
  origin_ = mode == kModeAppend ? total_ : 0;
  if (mode == kModeWrite || mode == kModeReadWriteNew) return Clear();
  return Rewind();
}

Status CVelDynamicMemoryStream::Close() {
  if (!open_) return kOk;
  open_ = false;
  mode_ = kModeClose;
  access_ = kAccessRead;
  origin_ = 0;
  position_ = 0;
  return kOk;
}

Status CVelDynamicMemoryStream::Clear() {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (origin_ == 0) {
    blocks_.clear();
    total_ = 0;
  } else {
    // Append mode: only the visible content goes; the hidden part stays.
    total_ = origin_;
  }
  position_ = origin_;
  return kOk;
}

Status CVelDynamicMemoryStream::Release() {
  Status code = Close();
  delete this;
  return code;
}

Status CVelDynamicMemoryStream::PeekByte(int* out) {
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (out == nullptr) return kInvalidArgument;
  if (position_ >= total_) {
    *out = -1;
    return kOk;
  }
  size_t block = BlockOf(position_);
  *out = blocks_[block][position_ - BlockStart(block)];
  return kOk;
}

Status CVelDynamicMemoryStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (int code = ReadCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr) return kInvalidArgument;
  if (count < 0) return kSiteDynamicReadCount;
  uint8_t* dst = static_cast<uint8_t*>(buffer);
  int64_t want = std::min(count, total_ - position_);
  int64_t copied = 0;
  while (copied < want) {
    size_t block = BlockOf(position_);
    int64_t in_block = position_ - BlockStart(block);
    int64_t n = std::min(want - copied, BlockSize(block) - in_block);
    std::memcpy(dst + copied, blocks_[block].get() + in_block, static_cast<size_t>(n));
    copied += n;
    position_ += n;
  }
  // A short read marks the end of the delivered bytes with a 0 byte.
  if (copied < count) dst[copied] = 0;
  if (done) *done = copied;
  return kOk;
}

bool CVelDynamicMemoryStream::View(int64_t count, const uint8_t** data, int64_t* size) const {
  if (!open_ || access_ == kAccessWrite) return false;
  *size = 0;
  if (position_ >= total_ || count <= 0) return true;
  size_t block = BlockOf(position_);
  int64_t in_block = position_ - BlockStart(block);
  *data = blocks_[block].get() + in_block;
  *size = std::min({count, total_ - position_, BlockSize(block) - in_block});
  return true;
}

Status CVelDynamicMemoryStream::Write(const void* buffer, int64_t count) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return kSiteDynamicWriteArgs;
  int64_t end;
  if (__builtin_add_overflow(position_, count, &end)) return kInvalidArgument;
  int code = Reserve(end);
  if (code != kOk) return code;
  const uint8_t* src = static_cast<const uint8_t*>(buffer);
  while (position_ < end) {
    size_t block = BlockOf(position_);
    int64_t in_block = position_ - BlockStart(block);
    int64_t n = std::min(end - position_, BlockSize(block) - in_block);
    std::memcpy(blocks_[block].get() + in_block, src, static_cast<size_t>(n));
    src += n;
    position_ += n;
  }
  total_ = std::max(total_, position_);
  return kOk;
}

Status CVelDynamicMemoryStream::Flush() { return WriteCheck(open_, access_); }

Status CVelDynamicMemoryStream::Seek(int64_t offset, int origin) {
  if (!open_) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t target;
  if (!SeekTarget(offset, origin, origin_, position_, total_, &target)) return kSiteDynamicSeekRange;
  if (blocks_.empty() && target != origin_) return origin == kSeekEnd ? kSiteDynamicSeekEndEmpty : kSiteDynamicSeekEmpty;
  if (target > total_) return offset > 0 ? kSiteDynamicSeekRange : kSiteDynamicSeekPastEnd;
  if (target < origin_) return kSiteDynamicSeekBeforeStart;
  position_ = target;
  return kOk;
}

Status CVelDynamicMemoryStream::SetLength(int64_t size) {
  if (int code = WriteCheck(open_, access_); code != kOk) return code;
  int64_t end;
  if (size < 0 || __builtin_add_overflow(origin_, size, &end)) return kInvalidArgument;
  int code = Reserve(end);
  if (code != kOk) return code;
  // Bytes that come into the content are cleared, so nothing cut off
  // earlier reappears.
  for (int64_t at = total_; at < end;) {
    size_t block = BlockOf(at);
    int64_t in_block = at - BlockStart(block);
    int64_t n = std::min(end - at, BlockSize(block) - in_block);
    std::memset(blocks_[block].get() + in_block, 0, static_cast<size_t>(n));
    at += n;
  }
  total_ = end;
  position_ = std::min(position_, total_);
  return kOk;
}

Status CVelDynamicMemoryStream::SkipByte() {
  if (!open_) return kStreamNotOpen;
  if (position_ >= total_) return kSiteDynamicSkipAtEnd;
  ++position_;
  return kOk;
}

Stream* CVelDynamicMemoryStream::Clone() {
  try {
    std::unique_ptr<CVelDynamicMemoryStream> copy(new CVelDynamicMemoryStream());
    for (size_t i = 0; i < blocks_.size(); ++i) {
      int64_t size = BlockSize(i);
      if (size < 1 || !blocks_[i]) {
        throw std::runtime_error("CVelDynamicMemoryStream -- Data Error!");
      }
      std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size]);
      if (!block) throw std::runtime_error("CVelDynamicMemoryStream -- Memory Operation Failed!");
      std::memcpy(block.get(), blocks_[i].get(), static_cast<size_t>(size));
      copy->blocks_.push_back(std::move(block));
    }
    copy->total_ = total_;
    return copy.release();
  } catch (const std::exception&) {
    return nullptr;
  }
}

Status CVelDynamicMemoryStream::SetAccess(int access) {
  if (!open_) return kSiteDynamicAccessClosed;
  if (access == access_) return kOk;
  if (!SupportsAccess(access) || !MayChangeAccess(access_, access)) return kSiteDynamicAccessRefused;
  access_ = access;
  return kOk;
}

}  // namespace zoq
