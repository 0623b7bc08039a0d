// Opening reads headers and tables only, never a data record.
#include <memory>
#include <mutex>

#include <gtest/gtest.h>

#include "zoq/container.h"
#include "forwarding_stream.h"
#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

struct ReadLog {
  std::mutex mutex;
  std::vector<std::pair<int64_t, int64_t>> ranges;  // [start, end) of every read
};

// Forwards to a stream it owns and notes the byte range of every read.
class CountingStream : public ForwardingStream {
 public:
  CountingStream(Stream* inner, std::shared_ptr<ReadLog> log)
      : ForwardingStream(inner), owned_(inner), log_(log) {}
  zoq::Status Release() override {
    delete this;
    return kOk;
  }
  zoq::Status Read(void* buffer, int64_t count, int64_t* done) override {
    int64_t at = inner_->Tell();
    int code = inner_->Read(buffer, count, done);
    std::lock_guard<std::mutex> lock(log_->mutex);
    log_->ranges.emplace_back(at, at + *done);
    return code;
  }
  Stream* Clone() override {
    Stream* copy = inner_->Clone();
    return copy ? new CountingStream(copy, log_) : nullptr;
  }

 private:
  std::unique_ptr<Stream> owned_;
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
  std::unique_ptr<Stream> memory = MemoryReader(built.bytes.data(), built.bytes.size());
  ASSERT_NE(memory, nullptr);
  auto log = std::make_shared<ReadLog>();
  CountingStream counting(memory.release(), log);

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
