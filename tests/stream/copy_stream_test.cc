#include <gtest/gtest.h>

#include <memory>

#include "stream/check_byte.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "temp_dir.h"

namespace zoq {
namespace {

// A memory stream that fails every read after `good_reads` successful ones
// and cannot tell its length, like a decoder that breaks.
class FailingStream : public CVelMemoryStream {
 public:
  FailingStream(void* buffer, int64_t size, int good_reads)
      : CVelMemoryStream(buffer, size, size), good_reads_(good_reads) {}
  zoq::Status Read(void* buffer, int64_t count, int64_t* done) override {
    if (good_reads_-- <= 0) {
      if (done) *done = 0;
      return kDecodeFailed;
    }
    return CVelMemoryStream::Read(buffer, count, done);
  }
  int64_t GetLength() override { return -1; }

 private:
  int good_reads_;
};

// Reports an unknown length, like a decorator before its end.
class UnknownLengthStream : public CVelMemoryStream {
 public:
  using CVelMemoryStream::CVelMemoryStream;
  int64_t GetLength() override { return -1; }
};

std::unique_ptr<CVelDynamicMemoryStream> OpenDynamic(int mode) {
  auto s = std::make_unique<CVelDynamicMemoryStream>();
  EXPECT_EQ(s->Open(mode), kOk);
  return s;
}

TEST(CopyStreamTest, CopiesEverythingOrACount) {
  std::string content = test::Pattern(150000);
  CVelMemoryStream source(content.data(), content.size(), content.size());
  ASSERT_EQ(source.Open(kModeRead), kOk);
  ASSERT_EQ(source.Seek(100, kSeekSet), kOk);  // copying starts at the start anyway

  auto all = OpenDynamic(kModeReadWriteNew);
  uint8_t x = 0xAA;
  ASSERT_EQ(CopyStream(all.get(), &source, &x, kSeekSet, 0), kOk);
  EXPECT_EQ(all->GetLength(), 150000);
  uint8_t expect = 0;
  for (char c : content) expect ^= static_cast<uint8_t>(c);
  EXPECT_EQ(x, expect);

  auto part = OpenDynamic(kModeReadWriteNew);
  ASSERT_EQ(CopyStream(part.get(), &source, nullptr, kSeekSet, 70001), kOk);
  EXPECT_EQ(part->GetLength(), 70001);
  // Appending after existing content with origin 2.
  ASSERT_EQ(CopyStream(part.get(), &source, nullptr, kSeekEnd, 10), kOk);
  EXPECT_EQ(part->GetLength(), 70011);
  // A count beyond the source copies what there is.
  auto more = OpenDynamic(kModeReadWriteNew);
  ASSERT_EQ(CopyStream(more.get(), &source, nullptr, kSeekSet, 1 << 20), kOk);
  EXPECT_EQ(more->GetLength(), 150000);
}

// The word-wise fold gives the byte-wise exclusive-or at every length and
// alignment, the tails and several 64-byte steps included.
TEST(CheckByteTest, FoldMatchesByteByByte) {
  uint8_t bytes[400];
  for (int i = 0; i < 400; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  for (size_t start = 0; start < 17; ++start) {
    for (size_t count = 0; start + count <= 400; ++count) {
      uint8_t expected = 0x5a;
      for (size_t i = 0; i < count; ++i) expected ^= bytes[start + i];
      ASSERT_EQ(FoldCheckByte(bytes + start, count, 0x5a), expected) << start << " " << count;
    }
  }
}

TEST(CopyStreamTest, ArgumentAndStateChecks) {
  char buf[4] = "abc";
  CVelMemoryStream source(buf, 4, 3);
  auto dest = OpenDynamic(kModeWrite);
  EXPECT_EQ(CopyStream(nullptr, &source, nullptr, 0, 0), kInvalidArgument);
  EXPECT_EQ(CopyStream(dest.get(), &source, nullptr, 0, -1), kInvalidArgument);
  EXPECT_EQ(CopyStream(dest.get(), &source, nullptr, 0, 0), kStreamNotOpen);
  ASSERT_EQ(source.Open(kModeRead), kOk);
  CVelDynamicMemoryStream read_only;
  ASSERT_EQ(read_only.Open(kModeRead), kOk);
  EXPECT_EQ(CopyStream(&read_only, &source, nullptr, 0, 0), kStreamReadOnly);
  auto write_only = OpenDynamic(kModeWrite);
  EXPECT_EQ(CopyStream(dest.get(), write_only.get(), nullptr, 0, 0), kStreamWriteOnly);
}

TEST(CopyStreamTest, ReadOrWriteFailureIs6004) {
  // Larger than the copy's chunks, so that the failing read comes mid-copy.
  std::string content = test::Pattern(700000);
  FailingStream source(content.data(), content.size(), 2);
  ASSERT_EQ(source.Open(kModeRead), kOk);
  auto dest = OpenDynamic(kModeWrite);
  EXPECT_EQ(CopyStream(dest.get(), &source, nullptr, kSeekSet, 0), kCopyFailed);

  char small[10] = {};
  CVelMemoryStream tiny(small, 10, 0);
  ASSERT_EQ(tiny.Open(kModeWrite), kOk);
  CVelMemoryStream big(content.data(), content.size(), content.size());
  ASSERT_EQ(big.Open(kModeRead), kOk);
  EXPECT_EQ(CopyStream(&tiny, &big, nullptr, kSeekSet, 0), kCopyFailed);
}

TEST(CopyStreamTest, FileToFile) {
  test::TempDir dir;
  std::string content = test::Pattern(300000);
  test::WriteFile(dir.File("a"), content);
  CVelFileStream a(dir.File("a"), false), b(dir.File("b"), false);
  ASSERT_EQ(a.Open(kModeRead), kOk);
  ASSERT_EQ(b.Open(kModeWrite), kOk);
  ASSERT_EQ(CopyStream(&b, &a, nullptr, kSeekSet, 0), kOk);
  ASSERT_EQ(b.Close(), kOk);
  EXPECT_EQ(test::ReadFile(dir.File("b")), content);
}

TEST(ReadWholeStreamTest, KnownAndUnknownLength) {
  std::string content = test::Pattern(100000);
  for (bool unknown : {false, true}) {
    std::unique_ptr<Stream> s(
        unknown ? new UnknownLengthStream(content.data(), content.size(), content.size())
                : new CVelMemoryStream(content.data(), content.size(), content.size()));
    ASSERT_EQ(s->Open(kModeRead), kOk);
    ASSERT_EQ(s->Seek(5, kSeekSet), kOk);
    uint8_t* data = nullptr;
    int64_t size = -1;
    ASSERT_EQ(ReadWholeStream(s.get(), &data, &size), kOk);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 100000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), content);
    EXPECT_EQ(data[size], 0);
    delete[] data;
  }
}

TEST(ReadWholeStreamTest, FailureLeavesNothing) {
  std::string content = test::Pattern(700000);
  FailingStream s(content.data(), content.size(), 1);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  uint8_t* data = reinterpret_cast<uint8_t*>(0x1);
  int64_t size = 7;
  EXPECT_NE(ReadWholeStream(&s, &data, &size), kOk);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0);
  CVelMemoryStream closed(content.data(), 10, 10);
  EXPECT_EQ(ReadWholeStream(&closed, &data, &size), kStreamNotOpen);
}

}  // namespace
}  // namespace zoq
