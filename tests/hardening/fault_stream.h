// A stream wrapper that fails the k-th operation of one kind. Every clone
// shares the same plan and counters, so that a failure can be aimed at any
// operation a container makes through the streams it derives from the one
// it was given.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "zoq/stream.h"

namespace zoq::hardening {

enum class Op : int { kOpen = 0, kRead, kWrite, kSeek, kSetLength, kFlush, kCount };

const char* OpName(Op op);

// Which operation fails, and how many of each kind were made.
class FaultPlan {
 public:
  // Fails the `at`-th operation of kind `op` (counting from 1); at 0 never fails.
  FaultPlan(Op op, int64_t at) : op_(op), at_(at) {}
  FaultPlan() : FaultPlan(Op::kRead, 0) {}

  // Counts one operation of `op`; true when it is the one to fail.
  bool Hit(Op op);
  int64_t Count(Op op) const;
  bool Fired() const;

 private:
  mutable std::mutex mutex_;
  Op op_;
  int64_t at_;
  std::array<int64_t, static_cast<int>(Op::kCount)> counts_{};
  bool fired_ = false;
};

// Forwards every operation to the inner stream, which it owns. A failing
// operation answers 1 without touching the inner stream (a read reports 0
// bytes done).
class FaultStream : public Stream {
 public:
  FaultStream(Stream* inner, std::shared_ptr<FaultPlan> plan) : inner_(inner), plan_(plan) {}

  zoq::Status Open(int mode) override;
  zoq::Status Close() override { return inner_->Close(); }
  bool IsOpen() override { return inner_->IsOpen(); }
  zoq::Status Clear() override { return inner_->Clear(); }
  zoq::Status Release() override;
  int64_t GetLength() override { return inner_->GetLength(); }
  bool IsEof() override { return inner_->IsEof(); }
  int GetType() override { return inner_->GetType(); }
  zoq::Status PeekByte(int* out) override;
  zoq::Status Read(void* buffer, int64_t count, int64_t* done) override;
  zoq::Status Write(const void* buffer, int64_t count) override;
  zoq::Status Flush() override;
  int64_t Tell() override { return inner_->Tell(); }
  zoq::Status Seek(int64_t offset, int origin) override;
  zoq::Status SetLength(int64_t size) override;
  bool IsStorageStream() override { return inner_->IsStorageStream(); }
  Stream* Clone() override;
  int GetAccess() override { return inner_->GetAccess(); }
  zoq::Status SetAccess(int access) override { return inner_->SetAccess(access); }
  bool SupportsAccess(int access) override { return inner_->SupportsAccess(access); }

  Stream* inner() { return inner_.get(); }

 private:
  std::unique_ptr<Stream> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

// A growable memory stream holding `bytes`, closed, wrapped in a FaultStream.
std::unique_ptr<FaultStream> FaultyMemory(const std::vector<uint8_t>& bytes,
                                          std::shared_ptr<FaultPlan> plan);

// The whole content of a stream, read through a clone (empty when that fails).
std::vector<uint8_t> ContentOf(Stream* stream);

}  // namespace zoq::hardening
