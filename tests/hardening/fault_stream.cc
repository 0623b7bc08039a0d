#include "fault_stream.h"

#include <stdexcept>
#include <vector>

#include "stream/dynamic_memory_stream.h"

namespace zoq::hardening {

const char* OpName(Op op) {
  switch (op) {
    case Op::kOpen: return "open";
    case Op::kRead: return "read";
    case Op::kWrite: return "write";
    case Op::kSeek: return "seek";
    case Op::kSetLength: return "set-length";
    case Op::kFlush: return "flush";
    default: return "?";
  }
}

bool FaultPlan::Hit(Op op) {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t n = ++counts_[static_cast<int>(op)];
  if (op == op_ && n == at_) {
    fired_ = true;
    return true;
  }
  return false;
}

int64_t FaultPlan::Count(Op op) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_[static_cast<int>(op)];
}

bool FaultPlan::Fired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fired_;
}

zoq::Status FaultStream::Open(int mode) {
  // Closing (mode 0) is not a failure point: it never loses data.
  if (mode != kModeClose && plan_->Hit(Op::kOpen)) return kFailed;
  return inner_->Open(mode);
}

zoq::Status FaultStream::Release() {
  delete this;
  return kOk;
}

zoq::Status FaultStream::PeekByte(int* out) {
  if (plan_->Hit(Op::kRead)) return kFailed;
  return inner_->PeekByte(out);
}

zoq::Status FaultStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (plan_->Hit(Op::kRead)) {
    if (done != nullptr) *done = 0;
    return kFailed;
  }
  return inner_->Read(buffer, count, done);
}

zoq::Status FaultStream::Write(const void* buffer, int64_t count) {
  if (plan_->Hit(Op::kWrite)) return kFailed;
  return inner_->Write(buffer, count);
}

zoq::Status FaultStream::Flush() {
  if (plan_->Hit(Op::kFlush)) return kFailed;
  return inner_->Flush();
}

zoq::Status FaultStream::Seek(int64_t offset, int origin) {
  if (plan_->Hit(Op::kSeek)) return kFailed;
  return inner_->Seek(offset, origin);
}

zoq::Status FaultStream::SetLength(int64_t size) {
  if (plan_->Hit(Op::kSetLength)) return kFailed;
  return inner_->SetLength(size);
}

Stream* FaultStream::Clone() {
  Stream* copy = inner_->Clone();
  return copy == nullptr ? nullptr : new FaultStream(copy, plan_);
}

std::unique_ptr<FaultStream> FaultyMemory(const std::vector<uint8_t>& bytes,
                                          std::shared_ptr<FaultPlan> plan) {
  auto* memory = new CVelDynamicMemoryStream();
  const bool filled = memory->Open(kModeReadWriteNew) == kOk &&
                      (bytes.empty() ||
                       memory->Write(bytes.data(), static_cast<int64_t>(bytes.size())) == kOk) &&
                      memory->Close() == kOk;
  if (!filled) throw std::runtime_error("a memory stream could not take the test bytes");
  return std::make_unique<FaultStream>(memory, plan);
}

std::vector<uint8_t> ContentOf(Stream* stream) {
  std::vector<uint8_t> out;
  std::unique_ptr<Stream> copy(stream->Clone());
  if (!copy || copy->Open(kModeRead) != kOk) return out;
  uint8_t piece[4096];
  for (;;) {
    int64_t done = 0;
    if (copy->Read(piece, sizeof piece, &done) != kOk || done <= 0) break;
    out.insert(out.end(), piece, piece + done);
  }
  return out;
}

}  // namespace zoq::hardening
