#include "stream/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "coded.h"

namespace zoq {
namespace {

TEST(MemoryStreamTest, ConstructorRejectsBadArguments) {
  char buf[8];
  EXPECT_THROW(CVelMemoryStream(nullptr, 8, 0), std::runtime_error);
  EXPECT_THROW(CVelMemoryStream(buf, 8, -1), std::runtime_error);
  try {
    CVelMemoryStream(buf, 8, 9);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CVelMemoryStream -- Cannot create stream - Arguments error!");
  }
}

TEST(MemoryStreamTest, ReadsTheCallersBytes) {
  char buf[16] = "abcdefghij";
  CVelMemoryStream s(buf, sizeof buf, 10);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  EXPECT_EQ(s.GetLength(), 10);
  char out[20];
  int64_t done = 0;
  ASSERT_EQ(s.Seek(4, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 20), "efghij");
  ASSERT_EQ(s.Read(out, 20, &done), kOk);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(s.Read(nullptr, 1, &done), 12040150);
  EXPECT_EQ(s.Write("x", 1), kStreamReadOnly);
  EXPECT_EQ(s.Flush(), kStreamReadOnly);
  EXPECT_EQ(s.Seek(11, kSeekSet), 12040257);
  EXPECT_EQ(s.Seek(1, kSeekEnd), 12040257);
}

TEST(MemoryStreamTest, AppendModeHidesThenKeepsContent) {
  char buf[32] = "0123456789";
  CVelMemoryStream s(buf, sizeof buf, 10);
  ASSERT_EQ(s.Open(kModeAppend), kOk);
  EXPECT_EQ(s.GetLength(), 0);
  EXPECT_EQ(s.Tell(), 0);
  ASSERT_EQ(s.Write("abcde", 5), kOk);
  ASSERT_EQ(s.Close(), kOk);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  EXPECT_EQ(s.GetLength(), 15);
  EXPECT_EQ(test::ReadOnce(&s, 15), "0123456789abcde");
}

TEST(MemoryStreamTest, CapacityLimits) {
  char buf[16] = {};
  CVelMemoryStream s(buf, 16, 0);
  ASSERT_EQ(s.Open(kModeWrite), kOk);
  char data[17];
  std::memset(data, 'q', sizeof data);
  EXPECT_EQ(s.Write(data, 17), 12040204);
  EXPECT_EQ(s.GetLength(), 0);  // nothing written
  EXPECT_EQ(s.Write(data, 16), kOk);
  EXPECT_EQ(s.SetLength(16), 12040179);
  EXPECT_EQ(s.SetLength(-1), 12040179);
  EXPECT_EQ(s.SetLength(4), kOk);
  EXPECT_EQ(s.Tell(), 4);
  EXPECT_EQ(s.Write(nullptr, 1), 12040195);
  EXPECT_EQ(s.Write(data, -1), 12040195);
  int b;
  EXPECT_EQ(s.PeekByte(&b), kStreamWriteOnly);
}

TEST(MemoryStreamTest, ModesAndAccess) {
  char buf[8] = "abcdefg";
  CVelMemoryStream s(buf, 8, 7);
  EXPECT_EQ(s.SetAccess(kAccessRead), 12040266);
  ASSERT_EQ(s.Open(kModeReadWriteNew), kOk);  // starts empty
  EXPECT_EQ(s.GetLength(), 0);
  ASSERT_EQ(s.Open(kModeReadWrite), kOk);
  EXPECT_EQ(s.GetLength(), 0);
  ASSERT_EQ(s.Write("xy", 2), kOk);
  ASSERT_EQ(s.SetAccess(kAccessRead), kOk);
  EXPECT_EQ(s.SetAccess(kAccessWrite), 12040269);
  ASSERT_EQ(s.Rewind(), kOk);
  int b = 0;
  ASSERT_EQ(s.ReadByte(&b), kOk);
  EXPECT_EQ(b, 'x');
  EXPECT_EQ(s.Open(9), kBadOpenMode);
  EXPECT_FALSE(s.IsOpen());
}

TEST(MemoryStreamTest, CloneSharesTheBuffer) {
  char buf[8] = "abc";
  CVelMemoryStream s(buf, 8, 3);
  std::unique_ptr<Stream> clone(s.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_FALSE(clone->IsOpen());
  ASSERT_EQ(clone->Open(kModeAppend), kOk);
  ASSERT_EQ(clone->Write("d", 1), kOk);
  EXPECT_EQ(std::string(buf, 4), "abcd");
}

}  // namespace
}  // namespace zoq
