#include "stream/byte_view.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/sub_stream.h"
#include "temp_dir.h"

namespace zoq {
namespace {

// The view of up to `count` bytes at the position, or "<none>" when the
// stream lends nothing; checks that the position stays.
std::string View(Stream* stream, int64_t count) {
  int64_t before = stream->Tell();
  const uint8_t* data = nullptr;
  int64_t size = -1;
  if (!ViewBytes(stream, count, &data, &size)) return "<none>";
  EXPECT_EQ(stream->Tell(), before);
  return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
}

TEST(ByteViewTest, MemoryStreamLendsItsBufferInPlace) {
  std::string content = "0123456789";
  CVelMemoryStream mem(content.data(), 20, 10);
  EXPECT_EQ(View(&mem, 4), "<none>");  // closed
  ASSERT_EQ(mem.Open(kModeRead), kOk);
  ASSERT_EQ(mem.Seek(3, kSeekSet), kOk);
  const uint8_t* data = nullptr;
  int64_t size = 0;
  ASSERT_TRUE(ViewBytes(&mem, 4, &data, &size));
  EXPECT_EQ(data, reinterpret_cast<const uint8_t*>(content.data()) + 3);  // no copy
  EXPECT_EQ(size, 4);
  EXPECT_EQ(View(&mem, 100), "3456789");
  ASSERT_EQ(mem.Seek(0, kSeekEnd), kOk);
  EXPECT_EQ(View(&mem, 100), "");
  ASSERT_EQ(mem.Open(kModeWrite), kOk);
  EXPECT_EQ(View(&mem, 4), "<none>");  // write-only
}

TEST(ByteViewTest, DynamicMemoryStreamLendsOneBlockAtATime) {
  std::string content = test::Pattern(5000);
  CVelDynamicMemoryStream mem;
  ASSERT_EQ(mem.Open(kModeWrite), kOk);
  ASSERT_EQ(mem.Write(content.data(), content.size()), kOk);
  EXPECT_EQ(View(&mem, 4), "<none>");
  ASSERT_EQ(mem.Open(kModeRead), kOk);
  ASSERT_EQ(mem.Seek(1000, kSeekSet), kOk);
  EXPECT_EQ(View(&mem, 10000), content.substr(1000, 24));  // the first block ends at 1,024
  ASSERT_EQ(mem.Seek(1024, kSeekSet), kOk);
  EXPECT_EQ(View(&mem, 10000), content.substr(1024, 2048));
  ASSERT_EQ(mem.Seek(4000, kSeekSet), kOk);
  EXPECT_EQ(View(&mem, 10000), content.substr(4000));  // ends with the content
  EXPECT_EQ(View(&mem, 0), "");
}

TEST(ByteViewTest, SubStreamLendsWithinItsWindowOnly) {
  std::string content = test::Pattern(1000);
  Stream* inner = new CVelMemoryStream(content.data(), 1000, 1000);
  CVelReadOnlySubStream sub(inner, 100, 50);
  ASSERT_EQ(sub.Open(kModeRead), kOk);
  EXPECT_EQ(View(&sub, 1000), content.substr(100, 50));
  ASSERT_EQ(sub.Seek(40, kSeekSet), kOk);
  EXPECT_EQ(View(&sub, 1000), content.substr(140, 10));
  ASSERT_EQ(sub.Seek(0, kSeekEnd), kOk);
  EXPECT_EQ(View(&sub, 1000), "");
}

// A subclass may read differently (here: never), so it lends nothing.
class SilentMemoryStream : public CVelMemoryStream {
 public:
  using CVelMemoryStream::CVelMemoryStream;
  zoq::Status Read(void*, int64_t, int64_t* done) override {
    if (done) *done = 0;
    return kOk;
  }
};

TEST(ByteViewTest, SubclassesAndFilesAreNeverLent) {
  std::string content = "abcdef";
  SilentMemoryStream silent(content.data(), 6, 6);
  ASSERT_EQ(silent.Open(kModeRead), kOk);
  EXPECT_EQ(View(&silent, 4), "<none>");

  test::TempDir dir;
  test::WriteFile(dir.File("f"), "file content");
  auto* file = new CVelFileStream(dir.File("f"), false);
  ASSERT_EQ(file->Open(kModeRead), kOk);
  EXPECT_EQ(View(file, 4), "<none>");
  Stream* inner = file;
  CVelReadOnlySubStream sub(inner, 2, 5);
  ASSERT_EQ(sub.Open(kModeRead), kOk);
  EXPECT_EQ(View(&sub, 4), "<none>");
  const uint8_t* data = nullptr;
  int64_t size = 0;
  EXPECT_FALSE(ViewBytes(nullptr, 4, &data, &size));
}

}  // namespace
}  // namespace zoq
