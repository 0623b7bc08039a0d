#include "sxc/file_stream.h"

#include <sys/types.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace zoq {
namespace {
const char kOpenError[] = "CFileStream -- Cannot open file!";
}

CFileStream::CFileStream(const std::string& path, bool writable) : path_(path), writable_(writable) {
  if (path_.empty()) throw std::runtime_error(kOpenError);
  const bool opened = writable_ ? (Open("r+b") || Open("w+b")) : Open("rb");
  if (!opened) throw std::runtime_error(kOpenError);
  size_ = MeasureSize();
}

CFileStream::~CFileStream() {
  if (file_ != nullptr) fclose(file_);
}

bool CFileStream::Open(const char* mode) {
  file_ = fopen(path_.c_str(), mode);
  position_ = 0;
  buffer_start_ = 0;
  buffer_end_ = 0;
  file_at_position_ = true;
  last_was_write_ = false;
  return file_ != nullptr;
}

int64_t CFileStream::MeasureSize() {
  if (file_ == nullptr) return 0;
  if (last_was_write_) fflush(file_);
  const int64_t here = ftello(file_);
  if (fseeko(file_, 0, SEEK_END) != 0) return size_;
  const int64_t size = ftello(file_);
  fseeko(file_, here, SEEK_SET);
  return size < 0 ? 0 : size;
}

bool CFileStream::Reset() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  if (writable_) {
    FILE* truncate = fopen(path_.c_str(), "w");
    if (truncate == nullptr) return false;
    fclose(truncate);
    if (!Open("r+b")) return false;
  } else if (!Open("rb")) {
    return false;
  }
  size_ = MeasureSize();
  return true;
}

bool CFileStream::Refresh() {
  if (file_ == nullptr) return false;
  size_ = MeasureSize();
  position_ = 0;
  buffer_end_ = 0;
  file_at_position_ = false;
  return FillBuffer();
}

void CFileStream::CloseAndDelete() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  unlink(path_.c_str());
}

int64_t CFileStream::Size() {
  size_ = MeasureSize();
  return size_;
}

bool CFileStream::AtEnd() {
  if (position_ < buffer_start_ + static_cast<int64_t>(buffer_end_) && position_ >= buffer_start_)
    return false;
  return position_ >= Size();
}

// Loads the buffer with the bytes at position_. False when none are left.
bool CFileStream::FillBuffer() {
  if (file_ == nullptr) return false;
  if (last_was_write_) {
    fflush(file_);
    last_was_write_ = false;
    file_at_position_ = false;
  }
  if (!file_at_position_ && fseeko(file_, position_, SEEK_SET) != 0) return false;
  buffer_start_ = position_;
  buffer_end_ = fread(buffer_, 1, kBufferSize, file_);
  file_at_position_ = false;  // the FILE is now ahead of position_
  return buffer_end_ > 0;
}

bool CFileStream::PeekByte(uint8_t* out) {
  const int64_t offset = position_ - buffer_start_;
  if (offset < 0 || offset >= static_cast<int64_t>(buffer_end_)) {
    if (!FillBuffer()) return false;
  }
  *out = buffer_[position_ - buffer_start_];
  return true;
}

bool CFileStream::ReadByte(uint8_t* out) {
  if (!PeekByte(out)) return false;
  ++position_;
  return true;
}

bool CFileStream::SkipByte() {
  uint8_t ignored;
  return ReadByte(&ignored);
}

Status CFileStream::Read(void* buffer, size_t count, size_t* got) {
  auto* dest = static_cast<uint8_t*>(buffer);
  size_t copied = 0;
  while (copied < count) {
    int64_t offset = position_ - buffer_start_;
    if (offset < 0 || offset >= static_cast<int64_t>(buffer_end_)) {
      if (count - copied >= kBufferSize) {
        // Large reads go straight to the caller's memory.
        if (last_was_write_) {
          fflush(file_);
          last_was_write_ = false;
        }
        if (file_ == nullptr || fseeko(file_, position_, SEEK_SET) != 0) break;
        const size_t n = fread(dest + copied, 1, count - copied, file_);
        buffer_end_ = 0;
        file_at_position_ = false;
        copied += n;
        position_ += static_cast<int64_t>(n);
        break;
      }
      if (!FillBuffer()) break;
      offset = 0;
    }
    const size_t available = buffer_end_ - static_cast<size_t>(offset);
    const size_t n = std::min(available, count - copied);
    memcpy(dest + copied, buffer_ + offset, n);
    copied += n;
    position_ += static_cast<int64_t>(n);
  }
  if (got != nullptr) *got = copied;
  return copied == count ? 0 : 1;
}

bool CFileStream::PrepareWrite() {
  if (file_ == nullptr || !writable_) return false;
  if (!last_was_write_) {
    if (fseeko(file_, position_, SEEK_SET) != 0) return false;
    buffer_end_ = 0;
    last_was_write_ = true;
  }
  return true;
}

bool CFileStream::WriteByte(uint8_t byte) { return Write(&byte, 1) == 0; }

Status CFileStream::Write(const void* buffer, size_t count) {
  if (!PrepareWrite()) return 1;
  const size_t n = fwrite(buffer, 1, count, file_);
  position_ += static_cast<int64_t>(n);
  if (position_ > size_) size_ = position_;
  return n == count ? 0 : 1;
}

bool CFileStream::Flush() {
  if (file_ == nullptr) return false;
  return fflush(file_) == 0;
}

Status CFileStream::Seek(int64_t offset, int origin) {
  if (file_ == nullptr) return 1;
  int64_t target;
  switch (origin) {
    case 0:
      if (offset < 0) return 1;
      target = offset;
      break;
    case 1:
      target = position_ + offset;
      if (target < 0) target = 0;
      if (target > Size()) target = size_;
      break;
    case 2:
      target = Size() + offset;
      if (target < 0) target = 0;
      break;
    default:
      return 1;
  }
  if (last_was_write_) {
    fflush(file_);
    last_was_write_ = false;
  }
  position_ = target;
  buffer_end_ = 0;
  file_at_position_ = false;
  return 0;
}

}  // namespace zoq
