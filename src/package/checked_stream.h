// The streams between a part's stored bytes and the reader of its content:
// a tap over one data record that checks its bytes against the record's
// check byte as they pass, and the stream handed out at the top of the
// decoding stack, which turns a decoder's silent early end into 6008 and,
// when asked, answers a check byte mismatch at the end of the content.
#pragma once

#include <memory>
#include <vector>

#include "zoq/stream.h"

namespace zoq {

// Forwards every operation to the stream beneath it, which it owns.
class ForwardingStream : public Stream {
 public:
  explicit ForwardingStream(Stream* inner) : inner_(inner) {}

  Status Open(int mode) override { return inner_->Open(mode); }
  Status Close() override { return inner_->Close(); }
  bool IsOpen() override { return inner_->IsOpen(); }
  Status Clear() override { return inner_->Clear(); }
  Status Rewind() override { return inner_->Rewind(); }
  // Destroying the stack closes it; the package file beneath is never
  // deleted.
  Status Release() override;
  int64_t GetLength() override { return inner_->GetLength(); }
  bool IsEof() override { return inner_->IsEof(); }
  int GetType() override { return inner_->GetType(); }
  Status PeekByte(int* out) override { return inner_->PeekByte(out); }
  Status Read(void* buffer, int64_t count, int64_t* done) override {
    return inner_->Read(buffer, count, done);
  }
  Status Write(const void* buffer, int64_t count) override { return inner_->Write(buffer, count); }
  Status Flush() override { return inner_->Flush(); }
  int64_t Tell() override { return inner_->Tell(); }
  Status Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  Status SetLength(int64_t size) override { return inner_->SetLength(size); }
  bool IsStorageStream() override { return inner_->IsStorageStream(); }
  int GetAccess() override { return inner_->GetAccess(); }
  Status SetAccess(int access) override { return inner_->SetAccess(access); }
  bool SupportsAccess(int access) override { return inner_->SupportsAccess(access); }

 protected:
  std::unique_ptr<Stream> inner_;
};

// Sits directly on a data record's stored bytes and folds every byte read
// for the first time into the exclusive-or of the record. Decoders above it
// may stop before the end of the stored bytes (a zlib stream ends early) or
// read some twice; Finish reads what was never read and compares.
class CheckByteTap : public ForwardingStream {
 public:
  CheckByteTap(Stream* stored, int64_t size, uint8_t check_byte)
      : ForwardingStream(stored), size_(size), expected_(check_byte) {}

  Status Read(void* buffer, int64_t count, int64_t* done) override;
  // A clone checks nothing: only the tap the stack was built on reports.
  Stream* Clone() override { return inner_->Clone(); }

  // 0 when the stored bytes match the check byte, 5022 when they do not,
  // 5025 when they cannot be read to their stored length.
  Status Finish();

 private:
  int64_t size_;
  uint8_t expected_;
  int64_t checked_ = 0;  // bytes [0, checked_) are folded into xor_
  uint8_t xor_ = 0;
  int verdict_ = -1;  // Finish's answer once known
};

// The stream handed out as a part's content.
class CheckedStream : public ForwardingStream {
 public:
  explicit CheckedStream(Stream* inner) : ForwardingStream(inner) {}

  // Answers the check of these taps (part of the stack beneath) at the end
  // of the content.
  void Watch(CheckByteTap* tap) {
    taps_.push_back(tap);
    check_ = true;
  }
  // Answers `code` at the end of the content (a check made beforehand).
  void SetVerdict(int code) {
    verdict_ = code;
    check_ = true;
  }

  // A short read that is not the end of the content answers 6008; the end
  // answers the stored-data check when one was asked for.
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Stream* Clone() override;

  // The stored-data check: 0, 5022 or 5025 (0 when none was asked for).
  Status StoredCheck();

 private:
  std::vector<CheckByteTap*> taps_;  // owned by the stack beneath
  bool check_ = false;
  int verdict_ = -1;  // the check's answer once known
};

}  // namespace zoq
