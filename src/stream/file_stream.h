// A stream over a disk file. Reads and writes go through one 65,536-byte
// window; bytes reach the file only when the window moves, on Flush,
// SetLength and Close. In append mode (3) the old content is hidden: stream
// positions start at the file's size when it was opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zoq/stream.h"

namespace zoq {

class CVelFileStream : public Stream {
 public:
  static constexpr int64_t kWindowSize = 0x10000;

  // Throws std::runtime_error for an empty path. Does not open.
  CVelFileStream(std::string path, bool shared);
  ~CVelFileStream() override;

  Status Open(int mode) override;
  Status Close() override;
  bool IsOpen() override { return fd_ >= 0; }
  Status Clear() override;
  Status Release() override;
  int64_t GetLength() override { return IsOpen() ? length_ : -1; }
  bool IsEof() override { return !IsOpen() || position_ >= length_; }
  int GetType() override { return kFileStream; }
  Status PeekByte(int* out) override;
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Status Write(const void* buffer, int64_t count) override;
  Status Flush() override;
  int64_t Tell() override { return IsOpen() ? position_ : -1; }
  Status Seek(int64_t offset, int origin) override;
  Status SetLength(int64_t size) override;
  bool IsStorageStream() override { return true; }
  Stream* Clone() override;
  int GetAccess() override { return access_; }
  Status SetAccess(int access) override;
  bool SupportsAccess(int access) override;

  const std::string& path() const { return path_; }

  // Reads through the window stop at stream position `end`: a stream that
  // serves one stored record of a larger file (a read-only sub-stream over
  // a clone) then reads that record's bytes and not the 64 KiB after its
  // start. Positions at or past `end` read as without the limit.
  void LimitWindowReads(int64_t end) { read_end_ = end; }

 private:
  // Makes the window hold `position_` for reading (flushing and refilling).
  Status LoadWindowForRead();
  // Large transfers that bypass the window. ReadDirect reads up to `count`
  // bytes at the position into `dst` and adds their number to *total.
  Status ReadDirect(uint8_t* dst, int64_t count, int64_t* total);
  Status WriteDirect(const uint8_t* src, int64_t count);
  // How many bytes from window_offset_ the window takes for writing: up to
  // the next multiple of kWindowSize in the file (or what it already
  // holds). Writes that start off a boundary, such as a record after a
  // header, then reach the file in aligned whole windows; the page cache
  // of a file written in unaligned 64 KiB pieces cost about a quarter more
  // system time to read back.
  int64_t WindowRoom() const;
  // Writes the window's valid bytes to the file when dirty.
  Status FlushWindow();
  void EmptyWindowAt(int64_t offset);

  std::string path_;
  bool shared_;
  int fd_ = -1;
  int mode_ = kModeClose;
  int access_ = kAccessRead;
  int64_t length_ = -1;
  int64_t position_ = 0;
  int64_t base_ = 0;
  std::unique_ptr<uint8_t[]> window_;
  int64_t window_offset_ = 0;  // stream position of window_[0]
  int64_t window_end_ = 0;     // valid bytes in the window
  bool dirty_ = false;
  int64_t read_end_ = INT64_MAX;
};

}  // namespace zoq
