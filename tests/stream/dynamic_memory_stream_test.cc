#include "stream/dynamic_memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

TEST(DynamicMemoryStreamTest, BlocksDoubleUpTo64K) {
  CVelDynamicMemoryStream s;
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.GetAccess(), kAccessRead);
  ASSERT_EQ(s.Open(kModeWrite), kOk);
  std::string content = test::Pattern(100000);
  ASSERT_EQ(s.Write(content.data(), content.size()), kOk);
  ASSERT_EQ(s.BlockCount(), 7u);
  int64_t expected = 1024;
  for (size_t i = 0; i < 7; ++i, expected = std::min<int64_t>(expected * 2, 65536)) {
    EXPECT_EQ(CVelDynamicMemoryStream::BlockSize(i), expected) << i;
  }
  EXPECT_EQ(CVelDynamicMemoryStream::BlockSize(7), 65536);
  ASSERT_EQ(s.Write(content.data(), content.size()), kOk);  // 200,000 bytes
  EXPECT_EQ(s.BlockCount(), 9u);

  // Close keeps the content; reading crosses every block edge.
  ASSERT_EQ(s.Close(), kOk);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  EXPECT_EQ(s.GetLength(), 200000);
  EXPECT_EQ(test::ReadOnce(&s, 200000), content + content);
}

TEST(DynamicMemoryStreamTest, ShortReadMarksEndWithZero) {
  CVelDynamicMemoryStream s;
  ASSERT_EQ(s.Open(kModeReadWriteNew), kOk);
  ASSERT_EQ(s.Write("abc", 3), kOk);
  ASSERT_EQ(s.Rewind(), kOk);
  char out[8];
  std::memset(out, 'z', sizeof out);
  int64_t done = 0;
  ASSERT_EQ(s.Read(out, 8, &done), kOk);
  EXPECT_EQ(done, 3);
  EXPECT_EQ(out[3], '\0');
  EXPECT_EQ(out[4], 'z');
  EXPECT_EQ(s.Read(nullptr, 1, &done), kInvalidArgument);
  EXPECT_EQ(s.Read(out, -1, &done), 12020202);
  EXPECT_EQ(s.Write(nullptr, 1), 12020260);
}

TEST(DynamicMemoryStreamTest, SeekOverwriteAndSkip) {
  CVelDynamicMemoryStream s;
  ASSERT_EQ(s.Open(kModeReadWriteNew), kOk);
  EXPECT_EQ(s.Seek(0, kSeekSet), kOk);  // no blocks: only 0 works
  EXPECT_EQ(s.Seek(1, kSeekSet), 12020343);
  std::string content = test::Pattern(5000);
  ASSERT_EQ(s.Write(content.data(), content.size()), kOk);
  ASSERT_EQ(s.Seek(-2000, kSeekEnd), kOk);
  EXPECT_EQ(s.Tell(), 3000);
  ASSERT_EQ(s.Write("XY", 2), kOk);  // overwrites across no edge
  content.replace(3000, 2, "XY");
  ASSERT_EQ(s.Seek(1022, kSeekSet), kOk);
  ASSERT_EQ(s.Write("edge", 4), kOk);  // across the 1,024 boundary
  content.replace(1022, 4, "edge");
  EXPECT_EQ(s.GetLength(), 5000);
  EXPECT_EQ(s.Seek(1, kSeekEnd), 12020372);
  EXPECT_EQ(s.Seek(-6000, kSeekCur), 12020386);
  ASSERT_EQ(s.Seek(-1, kSeekEnd), kOk);
  EXPECT_EQ(s.SkipByte(), kOk);
  EXPECT_EQ(s.SkipByte(), 12020408);
  ASSERT_EQ(s.Rewind(), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 5000), content);
}

TEST(DynamicMemoryStreamTest, SetLengthClearsNewBytes) {
  CVelDynamicMemoryStream s;
  ASSERT_EQ(s.Open(kModeReadWriteNew), kOk);
  ASSERT_EQ(s.Write("abcdef", 6), kOk);
  ASSERT_EQ(s.SetLength(2), kOk);
  EXPECT_EQ(s.Tell(), 2);
  ASSERT_EQ(s.SetLength(3000), kOk);
  EXPECT_EQ(s.GetLength(), 3000);
  ASSERT_EQ(s.Rewind(), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 3000), std::string("ab") + std::string(2998, '\0'));
}

TEST(DynamicMemoryStreamTest, AppendModeAndClear) {
  CVelDynamicMemoryStream s;
  ASSERT_EQ(s.Open(kModeWrite), kOk);
  ASSERT_EQ(s.Write("old", 3), kOk);
  ASSERT_EQ(s.Open(kModeAppend), kOk);
  EXPECT_EQ(s.GetLength(), 0);
  EXPECT_EQ(s.Tell(), 0);
  ASSERT_EQ(s.Write("new", 3), kOk);
  EXPECT_EQ(s.Tell(), 3);
  // Clearing in append mode empties only what this opening added.
  ASSERT_EQ(s.Clear(), kOk);
  ASSERT_EQ(s.Write("NEW", 3), kOk);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 6), "oldNEW");
  EXPECT_EQ(s.Clear(), kStreamReadOnly);
}

TEST(DynamicMemoryStreamTest, CloneCopiesContent) {
  CVelDynamicMemoryStream s;
  ASSERT_EQ(s.Open(kModeWrite), kOk);
  std::string content = test::Pattern(70000);
  ASSERT_EQ(s.Write(content.data(), content.size()), kOk);
  std::unique_ptr<Stream> clone(s.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_FALSE(clone->IsOpen());
  ASSERT_EQ(s.Clear(), kOk);  // the copy does not share blocks
  ASSERT_EQ(clone->Open(kModeRead), kOk);
  EXPECT_EQ(test::ReadOnce(clone.get(), 70000), content);
  EXPECT_EQ(clone->SetAccess(kAccessWrite), 12020433);
  CVelDynamicMemoryStream closed;
  EXPECT_EQ(closed.SetAccess(kAccessRead), 12020430);
}

}  // namespace
}  // namespace zoq
