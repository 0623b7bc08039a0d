// Opening reads headers and tables only, never a data record.
#include <memory>
#include <mutex>

#include <gtest/gtest.h>

#include "zoq/container.h"
#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

struct ReadLog {
  std::mutex mutex;
  std::vector<std::pair<int64_t, int64_t>> ranges;  // [start, end) of every read
};

// Forwards to a stream and notes the byte range of every read.
class CountingStream : public Stream {
 public:
  CountingStream(Stream* inner, std::shared_ptr<ReadLog> log) : inner_(inner), log_(log) {}
  zoq::Status Open(int mode) override { return inner_->Open(mode); }
  zoq::Status Close() override { return inner_->Close(); }
  bool IsOpen() override { return inner_->IsOpen(); }
  zoq::Status Clear() override { return inner_->Clear(); }
  zoq::Status Release() override {
    delete this;
    return kOk;
  }
  int64_t GetLength() override { return inner_->GetLength(); }
  bool IsEof() override { return inner_->IsEof(); }
  int GetType() override { return inner_->GetType(); }
  zoq::Status PeekByte(int* out) override { return inner_->PeekByte(out); }
  zoq::Status Read(void* buffer, int64_t count, int64_t* done) override {
    int64_t at = inner_->Tell();
    int code = inner_->Read(buffer, count, done);
    std::lock_guard<std::mutex> lock(log_->mutex);
    log_->ranges.emplace_back(at, at + *done);
    return code;
  }
  zoq::Status Write(const void* buffer, int64_t count) override { return inner_->Write(buffer, count); }
  zoq::Status Flush() override { return inner_->Flush(); }
  int64_t Tell() override { return inner_->Tell(); }
  zoq::Status Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  zoq::Status SetLength(int64_t size) override { return inner_->SetLength(size); }
  bool IsStorageStream() override { return inner_->IsStorageStream(); }
  Stream* Clone() override {
    Stream* copy = inner_->Clone();
    return copy ? new CountingStream(copy, log_) : nullptr;
  }
  int GetAccess() override { return inner_->GetAccess(); }
  zoq::Status SetAccess(int access) override { return inner_->SetAccess(access); }
  bool SupportsAccess(int access) override { return inner_->SupportsAccess(access); }

 private:
  std::unique_ptr<Stream> inner_;
  std::shared_ptr<ReadLog> log_;
};

TestRecord Part(const std::string& path, size_t size, int type = 1) {
  TestRecord r;
  r.type = type;
  r.path = path;
  for (size_t i = 0; i < size; ++i) r.data.push_back(static_cast<uint8_t>(i * 7 + path.size()));
  return r;
}

TEST(OpenIoTest, OpeningTouchesNoDataRecord) {
  std::vector<TestEntry> entries;
  for (int e = 0; e < 3; ++e) {
    TestEntry entry;
    entry.table_flags = static_cast<uint8_t>(e);
    for (int p = 0; p < 5; ++p) {
      entry.records.push_back(Part("/d" + std::to_string(p) + "/p.bin", 3000, e == 0 ? 1 : 3));
    }
    entries.push_back(entry);
  }
  BuiltPackage built = BuildPackage(entries);
  MemoryStreamArgs args;
  args.buffer = built.bytes.data();
  args.capacity = args.length = static_cast<int64_t>(built.bytes.size());
  Stream* memory = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &args, &memory, kMemoryStream), kOk);
  auto log = std::make_shared<ReadLog>();
  CountingStream counting(memory, log);

  auto container = MakeContainer();
  ASSERT_EQ(container->OpenStream(&counting, true), kOk);
  std::vector<std::u16string> parts;
  ASSERT_EQ(container->ListParts(u"/", &parts), kOk);
  EXPECT_EQ(parts.size(), 5u);
  ASSERT_FALSE(log->ranges.empty());
  for (size_t e = 0; e < built.record_starts.size(); ++e) {
    for (int64_t start : built.record_starts[e]) {
      for (const auto& [from, to] : log->ranges) {
        EXPECT_FALSE(from < start + 3000 && to > start) << "read " << from << "-" << to;
      }
    }
  }
  // Asking for information reads the data record's head, not its data.
  log->ranges.clear();
  PartInfo info;
  ASSERT_EQ(container->GetPartInfoByPath(&info, u"/d0/p.bin", 0), kOk);
  EXPECT_EQ(info.total_size, 9000);
  for (const auto& [from, to] : log->ranges) {
    EXPECT_LE(to - from, 16) << "read " << from << "-" << to;
  }
  EXPECT_EQ(container->Close(), kOk);
}

}  // namespace
}  // namespace zoq::test
