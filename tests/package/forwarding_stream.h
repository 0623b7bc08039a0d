// A stream that passes every call to another one, for tests that watch or
// disturb some of the calls: subclasses override those.
#pragma once

#include "zoq/stream.h"

namespace zoq::test {

class ForwardingStream : public Stream {
 public:
  explicit ForwardingStream(Stream* inner) : inner_(inner) {}

  zoq::Status Open(int mode) override { return inner_->Open(mode); }
  zoq::Status Close() override { return inner_->Close(); }
  bool IsOpen() override { return inner_->IsOpen(); }
  zoq::Status Clear() override { return inner_->Clear(); }
  zoq::Status Release() override { return inner_->Release(); }
  int64_t GetLength() override { return inner_->GetLength(); }
  bool IsEof() override { return inner_->IsEof(); }
  int GetType() override { return inner_->GetType(); }
  zoq::Status PeekByte(int* out) override { return inner_->PeekByte(out); }
  zoq::Status Read(void* buffer, int64_t count, int64_t* done) override {
    return inner_->Read(buffer, count, done);
  }
  zoq::Status Write(const void* buffer, int64_t count) override {
    return inner_->Write(buffer, count);
  }
  zoq::Status Flush() override { return inner_->Flush(); }
  int64_t Tell() override { return inner_->Tell(); }
  zoq::Status Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  zoq::Status SetLength(int64_t size) override { return inner_->SetLength(size); }
  bool IsStorageStream() override { return inner_->IsStorageStream(); }
  Stream* Clone() override { return inner_->Clone(); }
  int GetAccess() override { return inner_->GetAccess(); }
  zoq::Status SetAccess(int access) override { return inner_->SetAccess(access); }
  bool SupportsAccess(int access) override { return inner_->SupportsAccess(access); }

 protected:
  Stream* inner_;  // not owned
};

}  // namespace zoq::test
