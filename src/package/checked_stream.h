// A stream that hands out decoded part content: it forwards to the decoding
// stack beneath it (which it owns) and answers 6008 when a read stops short
// because the decoder failed, where the stack itself would end silently.
#pragma once

#include <memory>

#include "zoq/stream.h"

namespace zoq {

class CheckedStream : public Stream {
 public:
  explicit CheckedStream(Stream* inner) : inner_(inner) {}

  int Open(int mode) override { return inner_->Open(mode); }
  int Close() override { return inner_->Close(); }
  bool IsOpen() override { return inner_->IsOpen(); }
  int Clear() override { return inner_->Clear(); }
  int Rewind() override { return inner_->Rewind(); }
  int Release() override;
  int64_t GetLength() override { return inner_->GetLength(); }
  bool IsEof() override { return inner_->IsEof(); }
  int GetType() override { return inner_->GetType(); }
  int PeekByte(int* out) override { return inner_->PeekByte(out); }
  int Read(void* buffer, int64_t count, int64_t* done) override;
  int Write(const void* buffer, int64_t count) override { return inner_->Write(buffer, count); }
  int Flush() override { return inner_->Flush(); }
  int64_t Tell() override { return inner_->Tell(); }
  int Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  int SetLength(int64_t size) override { return inner_->SetLength(size); }
  bool IsStorageStream() override { return inner_->IsStorageStream(); }
  Stream* Clone() override;
  int GetAccess() override { return inner_->GetAccess(); }
  int SetAccess(int access) override { return inner_->SetAccess(access); }
  bool SupportsAccess(int access) override { return inner_->SupportsAccess(access); }

 private:
  std::unique_ptr<Stream> inner_;
};

}  // namespace zoq
