// A growable in-memory stream. Content lives in separately allocated blocks
// of 1,024 bytes doubling up to 65,536; existing bytes never move. Close
// keeps the blocks, so the content can be reopened and read.
#pragma once

#include <memory>
#include <vector>

#include "zoq/stream.h"

namespace zoq {

class CVelDynamicMemoryStream : public Stream {
 public:
  static constexpr int64_t kFirstBlockSize = 1024;
  static constexpr int64_t kMaxBlockSize = 0x10000;

  CVelDynamicMemoryStream() = default;
  ~CVelDynamicMemoryStream() override = default;

  Status Open(int mode) override;
  Status Close() override;
  bool IsOpen() override { return open_; }
  Status Clear() override;
  Status Release() override;
  int64_t GetLength() override { return open_ ? total_ - origin_ : -1; }
  bool IsEof() override { return !open_ || position_ >= total_; }
  int GetType() override { return kDynamicMemoryStream; }
  Status PeekByte(int* out) override;
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Status Write(const void* buffer, int64_t count) override;
  Status Flush() override;
  int64_t Tell() override { return open_ ? position_ - origin_ : -1; }
  Status Seek(int64_t offset, int origin) override;
  Status SetLength(int64_t size) override;
  bool IsStorageStream() override { return true; }
  Status SkipByte() override;
  Stream* Clone() override;
  int GetAccess() override { return access_; }
  Status SetAccess(int access) override;
  bool SupportsAccess(int access) override;

  // Lends up to `count` content bytes at the position, never more than
  // the rest of the block that holds it (see byte_view.h).
  bool View(int64_t count, const uint8_t** data, int64_t* size) const;

  // Block layout, for tests and for callers that want the bytes in place.
  size_t BlockCount() const { return blocks_.size(); }
  static int64_t BlockSize(size_t index);

 private:
  // First content offset held by block `index`.
  static int64_t BlockStart(size_t index);
  // Block that holds content offset `offset` (may be past the last block).
  static size_t BlockOf(int64_t offset);
  int64_t Capacity() const { return BlockStart(blocks_.size()); }
  // Adds blocks until the capacity covers `size` bytes.
  Status Reserve(int64_t size);

  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  int64_t total_ = 0;     // content length counted from the first block
  int64_t origin_ = 0;    // content hidden by append mode
  int64_t position_ = 0;  // counted from the first block
  int mode_ = kModeClose;
  int access_ = kAccessRead;
  bool open_ = false;
};

}  // namespace zoq
