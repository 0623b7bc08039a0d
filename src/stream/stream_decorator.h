// The base of every transforming stream (deflate, ADM, SXC). It owns the
// stream beneath it, keeps plain (untransformed) bytes in 65,536-byte
// windows and leaves the transformation to its subclass through Decode
// (read mode) and Encode (write mode). A decorator is opened either for
// reading (mode 1) or for writing (modes 2 and 3), never both.
//
// Writing subclasses: Write fills the window and calls Encode(false) when it
// is full; Flush and Close call Encode(true) for what remains. Subclasses
// that set BuffersWholeContent keep every byte in `blocks_` and encode at
// the end, which allows seeking while writing.
//
// Reading subclasses: each Decode call puts the next plain bytes into a
// window (SetWindow), adds their number to `length_` and sets
// `end_of_input_` once the inner stream is used up. A decoder that breaks
// after producing some bytes keeps them in the window, sets
// `decode_failure_` and returns 0: the bytes are delivered first and the
// failure is answered by the next read that can deliver nothing, so a broken
// stream never looks like a clean end.
//
// Subclass destructors must call Close() so that the final Encode runs
// while the subclass still exists.
#pragma once

#include <memory>
#include <vector>

#include "zoq/stream.h"

namespace zoq {

class CVelStreamDecorator : public Stream {
 public:
  static constexpr int64_t kWindowSize = 0x10000;

  // Takes over `inner` and clears the caller's pointer; an open inner stream
  // is closed. Throws std::runtime_error for a null inner stream.
  explicit CVelStreamDecorator(Stream*& inner);
  ~CVelStreamDecorator() override;

  Status Open(int mode) override;
  Status Close() override;
  bool IsOpen() override { return inner_ != nullptr && inner_->IsOpen(); }
  Status Clear() override;
  Status Rewind() override;
  // Closes, releases the inner stream (a file beneath is deleted) and
  // destroys the decorator. Answers the close result.
  Status Release() override;
  int64_t GetLength() override;
  bool IsEof() override;
  Status PeekByte(int* out) override;
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Status Write(const void* buffer, int64_t count) override;
  Status Flush() override;
  int64_t Tell() override { return IsOpen() ? position_ : -1; }
  Status Seek(int64_t offset, int origin) override;
  Status SetLength(int64_t size) override;
  bool IsStorageStream() override { return false; }
  int GetAccess() override { return inner_ != nullptr ? inner_->GetAccess() : kAccessRead; }
  Status SetAccess(int access) override;
  bool SupportsAccess(int access) override {
    return access == kAccessRead || access == kAccessWrite;
  }

  // Forgets all transformed state. Subclasses drop their filter state and
  // then call the base.
  virtual void Reset();                    // 25
  virtual Status Decode() = 0;                // 26
  virtual Status Encode(bool final) = 0;      // 27
  // Both false by default: a coder that streams in windows.
  virtual bool BuffersWholeContent() { return false; }  // 28
  virtual bool AllowsOverwrite() { return false; }      // 29

  Stream* inner() { return inner_; }

 protected:
  bool IsReading() { return IsOpen() && GetAccess() == kAccessRead; }
  bool IsWriting() { return IsOpen() && GetAccess() == kAccessWrite; }

  // Points the window at `capacity` bytes from `start`, of which `data` are
  // valid; the cursor goes to the start.
  void SetWindow(uint8_t* start, int64_t capacity, int64_t data);
  void ClearWindow();
  // True when the cursor is on a plain byte that has not been read.
  bool WindowHasByte() const {
    return window_start_ != nullptr && cursor_ < data_end_ && position_ < length_;
  }

  Stream* inner_;
  uint8_t* window_start_ = nullptr;
  uint8_t* cursor_ = nullptr;
  uint8_t* capacity_end_ = nullptr;
  uint8_t* data_end_ = nullptr;
  bool whole_in_first_window_ = false;
  bool end_of_input_ = false;
  bool dirty_ = false;
  int decode_failure_ = kOk;  // a decoding failure not yet answered
  int64_t position_ = 0;      // in plain bytes
  int64_t length_ = 0;        // decoded so far (read) or written (write)
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;

 private:
  // Makes the next plain byte available; *available is false at the end.
  Status MakeAvailable(bool* available);
  // Moves forward by `move` plain bytes in read mode, decoding as needed.
  Status SkipForward(int64_t move);
  // Whole-content buffering: makes the block of `position_` the window.
  Status MoveToBlock();
  void WindowOnBlock(int64_t position);
};

}  // namespace zoq
