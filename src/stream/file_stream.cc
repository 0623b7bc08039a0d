#include "stream/file_stream.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/file_pool.h"
#include "stream/open_mode.h"
#include "stream/stream_sites.h"

namespace zoq {
namespace {

// pread/pwrite until done; short transfers only at end of file or on error.
int64_t ReadAt(int fd, uint8_t* buffer, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = pread(fd, buffer + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

bool WriteAt(int fd, const uint8_t* buffer, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(fd, buffer + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

int64_t FileSize(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace

CVelFileStream::CVelFileStream(std::string path, bool shared)
    : path_(std::move(path)), shared_(shared) {
  if (path_.empty()) throw std::runtime_error("CVelFileStream -- Cannot open file!");
}

CVelFileStream::~CVelFileStream() {
  // A destructor cannot report; callers that need the result close first.
  Close().IgnoreError();
}

bool CVelFileStream::SupportsAccess(int access) { return IsValidAccess(access); }

Status CVelFileStream::Open(int mode) {
  if (!IsValidOpenMode(mode) || !SupportsAccess(AccessOfMode(mode))) {
    // The bad mode is what the caller learns of; the stream ends closed.
    Close().IgnoreError();
    return kBadOpenMode;
  }
  // Closing writes out what is pending: when that fails, so does the open
  // (mode 0 included), rather than losing the data unreported.
  if (Status closed = Close(); !closed.ok() || mode == kModeClose) return closed;
  int fd = FilePool::Instance().Take(path_, mode, shared_);
  if (fd < 0) return kFileOpenFailed;
  if (!window_) {
    window_.reset(new (std::nothrow) uint8_t[kWindowSize]);
    if (!window_) {
      FilePool::Instance().GiveBack(path_, fd);
      return kOutOfMemory;
    }
    std::memset(window_.get(), 0, kWindowSize);
  }
  int64_t size = FileSize(fd);
  if (size < 0) {
    FilePool::Instance().GiveBack(path_, fd);
    window_.reset();
    return kFileOpenFailed;
  }
  fd_ = fd;
  mode_ = mode;
  access_ = AccessOfMode(mode);
  base_ = mode == kModeAppend ? size : 0;
  length_ = mode == kModeAppend ? 0 : size;
  EmptyWindowAt(0);
  return Rewind();
}

Status CVelFileStream::Close() {
  if (!IsOpen()) return kOk;
  int code = kOk;
  if (access_ != kAccessRead) code = FlushWindow();
  FilePool::Instance().GiveBack(path_, fd_);
  fd_ = -1;
  mode_ = kModeClose;
  access_ = kAccessRead;
  length_ = -1;
  position_ = 0;
  base_ = 0;
  window_.reset();
  EmptyWindowAt(0);
  return code;
}

void CVelFileStream::EmptyWindowAt(int64_t offset) {
  window_offset_ = offset;
  window_end_ = 0;
  dirty_ = false;
}

Status CVelFileStream::Clear() {
  if (int code = WriteCheck(IsOpen(), access_); code != kOk) return code;
  // Emptying the content cuts the file at base: in append mode the hidden
  // old content stays, in every other mode the file becomes empty.
  EmptyWindowAt(0);
  if (ftruncate(fd_, base_) != 0) return kSiteFileTruncate;
  length_ = 0;
  return Rewind();
}

Status CVelFileStream::Release() {
  Status code = Close();
  if (!path_.empty()) unlink(path_.c_str());
  delete this;
  return code;
}

Status CVelFileStream::FlushWindow() {
  if (!dirty_) return kOk;
  int64_t size = FileSize(fd_);
  if (size < 0 || base_ + window_offset_ > size) return kSiteFileShrunk;
  if (!WriteAt(fd_, window_.get(), window_end_, base_ + window_offset_)) return kSiteFileWrite;
  dirty_ = false;
  return kOk;
}

Status CVelFileStream::LoadWindowForRead() {
  if (position_ >= window_offset_ && position_ < window_offset_ + window_end_) return kOk;
  int code = FlushWindow();
  if (code != kOk || dirty_ || position_ > length_) return code != kOk ? code : kSiteFileWindowLoad;
  int64_t want = std::min<int64_t>(kWindowSize, length_ - position_);
  if (position_ < read_end_) want = std::min(want, read_end_ - position_);
  int64_t got = ReadAt(fd_, window_.get(), want, base_ + position_);
  EmptyWindowAt(position_);
  window_end_ = got;
  // The file shrank behind our back: the content ends where the file does.
  if (got < want) length_ = position_ + got;
  return kOk;
}

Status CVelFileStream::ReadDirect(uint8_t* dst, int64_t count, int64_t* total) {
  int code = FlushWindow();
  if (code != kOk) return code;
  // The window keeps no copy of what is read here; an empty window after
  // the new position keeps PeekByte and small reads right.
  int64_t want = std::min(count, length_ - position_);
  int64_t got = ReadAt(fd_, dst, want, base_ + position_);
  EmptyWindowAt(position_ + got);
  if (got < want) length_ = position_ + got;  // the file shrank behind our back
  position_ += got;
  *total += got;
  return kOk;
}

Status CVelFileStream::PeekByte(int* out) {
  if (int code = ReadCheck(IsOpen(), access_); code != kOk) return code;
  if (out == nullptr) return kInvalidArgument;
  *out = -1;
  if (position_ >= length_) return kOk;
  int code = LoadWindowForRead();
  if (code != kOk) return code;
  if (position_ < window_offset_ + window_end_) *out = window_[position_ - window_offset_];
  return kOk;
}

Status CVelFileStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (done) *done = 0;
  if (int code = ReadCheck(IsOpen(), access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return kSiteFileReadArgs;
  uint8_t* dst = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count && position_ < length_) {
    bool windowed = position_ >= window_offset_ && position_ < window_offset_ + window_end_;
    if (!windowed && count - total >= kWindowSize) {
      // A large read past the window goes straight into the caller's
      // buffer: one system call and no copy through the window.
      int code = ReadDirect(dst + total, count - total, &total);
      if (code != kOk) {
        if (done) *done = total;
        return code;
      }
      break;
    }
    int code = LoadWindowForRead();
    if (code != kOk) {
      if (done) *done = total;
      return code;
    }
    int64_t in_window = window_offset_ + window_end_ - position_;
    if (in_window <= 0) break;
    int64_t n = std::min(count - total, in_window);
    std::memcpy(dst + total, window_.get() + (position_ - window_offset_), static_cast<size_t>(n));
    total += n;
    position_ += n;
  }
  if (done) *done = total;
  return kOk;
}

Status CVelFileStream::Write(const void* buffer, int64_t count) {
  if (int code = WriteCheck(IsOpen(), access_); code != kOk) return code;
  if (buffer == nullptr || count < 0) return kInvalidArgument;
  const uint8_t* src = static_cast<const uint8_t*>(buffer);
  int64_t taken = 0;
  while (taken < count) {
    if (count - taken >= kWindowSize && (!dirty_ || window_end_ == 0) &&
        (base_ + position_) % kWindowSize == 0) {
      // A large write with nothing buffered, on a window boundary of the
      // file, goes straight to the file.
      int code = WriteDirect(src + taken, count - taken);
      if (code != kOk) return code;
      break;
    }
    // The window accepts the write when the position lies inside it or
    // continues its valid bytes without leaving a gap, up to its room.
    int64_t cursor = position_ - window_offset_;
    if (cursor < 0 || cursor > window_end_ || cursor >= WindowRoom()) {
      int code = FlushWindow();
      if (code != kOk) return code;
      EmptyWindowAt(position_);
      continue;
    }
    int64_t n = std::min(count - taken, WindowRoom() - cursor);
    std::memcpy(window_.get() + cursor, src + taken, static_cast<size_t>(n));
    window_end_ = std::max(window_end_, cursor + n);
    dirty_ = true;
    taken += n;
    position_ += n;
    length_ = std::max(length_, position_);
  }
  return kOk;
}

int64_t CVelFileStream::WindowRoom() const {
  return std::max(kWindowSize - (base_ + window_offset_) % kWindowSize, window_end_);
}

Status CVelFileStream::WriteDirect(const uint8_t* src, int64_t count) {
  // Writing must not leave a hole: the position lies within the content,
  // and the content is all in the file once the window is flushed.
  int code = FlushWindow();
  if (code != kOk) return code;
  int64_t size = FileSize(fd_);
  if (size < 0 || base_ + position_ > size) return kSiteFileShrunk;
  if (!WriteAt(fd_, src, count, base_ + position_)) return kSiteFileWrite;
  position_ += count;
  length_ = std::max(length_, position_);
  EmptyWindowAt(position_);
  return kOk;
}

Status CVelFileStream::Flush() {
  if (!IsOpen()) return kStreamNotOpen;
  if (access_ == kAccessRead) return kOk;  // nothing buffered to push down
  return FlushWindow();
}

Status CVelFileStream::Seek(int64_t offset, int origin) {
  if (!IsOpen()) return kStreamNotOpen;
  if (!IsValidOrigin(origin)) return kInvalidArgument;
  int64_t target;
  if (!SeekTarget(offset, origin, 0, position_, length_, &target) || target < 0 ||
      target > length_) {
    return kSiteFileSeekRange;
  }
  position_ = target;
  return kOk;
}

Status CVelFileStream::SetLength(int64_t size) {
  if (int code = WriteCheck(IsOpen(), access_); code != kOk) return code;
  if (size < 0 || size == length_) return kOk;
  if (size == 0) return Clear();
  int code = FlushWindow();
  if (code != kOk) return code;
  // ftruncate both cuts and extends (with zero bytes).
  if (ftruncate(fd_, base_ + size) != 0) return kSiteFileTruncate;
  if (size < length_) {
    EmptyWindowAt(0);
    position_ = std::min(position_, size);
  }
  length_ = size;
  return kOk;
}

Stream* CVelFileStream::Clone() {
  return new (std::nothrow) CVelFileStream(path_, shared_);
}

Status CVelFileStream::SetAccess(int access) {
  if (!IsOpen()) return kSiteFileAccessClosed;
  if (access == access_) return kOk;
  if (!SupportsAccess(access) || !MayChangeAccess(access_, access)) return kSiteFileAccessRefused;
  if (access == kAccessRead) {
    int code = FlushWindow();
    if (code != kOk) return code;
  }
  access_ = access;
  return kOk;
}

}  // namespace zoq
