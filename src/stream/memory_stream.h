// A stream over a caller's fixed buffer. The stream never allocates, copies
// or frees the buffer. In append mode (3) the content already present is
// hidden until Close, which makes appended bytes part of the content.
#pragma once

#include "zoq/stream.h"

namespace zoq {

class CVelMemoryStream : public Stream {
 public:
  // Throws std::runtime_error for a null buffer, a negative length or a
  // length above the capacity. Does not open.
  CVelMemoryStream(void* buffer, int64_t capacity, int64_t length);
  ~CVelMemoryStream() override = default;

  Status Open(int mode) override;
  Status Close() override;
  bool IsOpen() override { return open_; }
  Status Clear() override;
  Status Release() override;
  int64_t GetLength() override { return open_ ? length_ : -1; }
  bool IsEof() override { return !open_ || position_ >= length_; }
  int GetType() override { return kMemoryStream; }
  Status PeekByte(int* out) override;
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Status Write(const void* buffer, int64_t count) override;
  Status Flush() override;
  int64_t Tell() override { return open_ ? position_ : -1; }
  Status Seek(int64_t offset, int origin) override;
  Status SetLength(int64_t size) override;
  bool IsStorageStream() override { return true; }
  Stream* Clone() override;
  int GetAccess() override { return access_; }
  Status SetAccess(int access) override;
  bool SupportsAccess(int access) override;

  // Lends up to `count` content bytes at the position (see byte_view.h).
  bool View(int64_t count, const uint8_t** data, int64_t* size) const;

 private:
  uint8_t* buffer_;
  int64_t start_ = 0;  // where position 0 lies in buffer_
  int64_t capacity_;   // bytes available from start_
  int64_t length_;     // content bytes from start_
  int64_t hidden_ = 0; // content hidden by append mode
  int64_t position_ = 0;
  int mode_ = kModeClose;
  int access_ = kAccessRead;
  bool open_ = false;
};

}  // namespace zoq
