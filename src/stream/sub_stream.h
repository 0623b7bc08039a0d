// A read-only window [offset, offset + length) onto another stream, which it
// owns. It keeps no position of its own: its position is the inner stream's
// position less the offset.
#pragma once

#include "zoq/stream.h"

namespace zoq {

class CVelReadOnlySubStream : public Stream {
 public:
  // Takes over `inner` and clears the caller's pointer. On a null inner
  // stream or a negative offset or length the inner stream is destroyed and
  // std::runtime_error is thrown. An open inner stream is closed.
  CVelReadOnlySubStream(Stream*& inner, int64_t offset, int64_t length);
  ~CVelReadOnlySubStream() override;

  Status Open(int mode) override;
  Status Close() override;
  bool IsOpen() override { return open_; }
  Status Clear() override { return kNotPossible; }
  // Destroys the sub-stream and the inner stream; a file beneath stays.
  Status Release() override;
  int64_t GetLength() override { return length_; }
  bool IsEof() override;
  int GetType() override { return kReadOnlySubStream; }
  Status PeekByte(int* out) override;
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Status Write(const void*, int64_t) override { return kNotPossible; }
  Status Flush() override { return kNotPossible; }
  int64_t Tell() override;
  Status Seek(int64_t offset, int origin) override;
  Status SetLength(int64_t) override { return kNotPossible; }
  bool IsStorageStream() override { return inner_ != nullptr && inner_->IsStorageStream(); }
  Stream* Clone() override;
  int GetAccess() override { return kAccessRead; }
  Status SetAccess(int access) override;
  bool SupportsAccess(int access) override { return access == kAccessRead; }

  // Lends what the inner stream lends, cut to the window (see byte_view.h).
  bool View(int64_t count, const uint8_t** data, int64_t* size);

  Stream* inner() { return inner_; }

 private:
  Stream* inner_;
  int64_t offset_;
  int64_t length_;
  bool open_ = false;
};

}  // namespace zoq
