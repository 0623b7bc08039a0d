#include "sxc/file_stream.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_util.h"

namespace zoq {
namespace {

TEST(CFileStreamTest, MissingOrEmptyPathThrows) {
  try {
    CFileStream stream("/nonexistent/dir/file", false);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "CFileStream -- Cannot open file!");
  }
  EXPECT_THROW(CFileStream("", true), std::runtime_error);
}

TEST(CFileStreamTest, ReadingPastTheEndFails) {
  const std::string path = test::TempPath(".bin");
  test::WriteFile(path, "ab");
  CFileStream stream(path, false);
  uint8_t byte = 0;
  ASSERT_TRUE(stream.ReadByte(&byte));
  EXPECT_EQ(byte, 'a');
  ASSERT_TRUE(stream.PeekByte(&byte));
  EXPECT_EQ(byte, 'b');
  ASSERT_TRUE(stream.ReadByte(&byte));
  EXPECT_FALSE(stream.ReadByte(&byte)) << "no invented byte 255 at the end";
  EXPECT_TRUE(stream.AtEnd());
  char buffer[8];
  size_t got = 9;
  EXPECT_EQ(stream.Seek(1, 0), kOk);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer, &got), 1);
  EXPECT_EQ(got, 1u);
  remove(path.c_str());
}

TEST(CFileStreamTest, WriteSeekReadAndReset) {
  const std::string path = test::TempPath(".bin");
  {
    CFileStream stream(path, true);  // created by "w+b"
    ASSERT_EQ(stream.Write("hello world", 11), 0);
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Seek(-5, 2), 0);
    char buffer[5];
    size_t got;
    ASSERT_EQ(stream.Read(buffer, 5, &got), 0);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(stream.Seek(-100, 2), 0);
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Seek(-1, 0), 1);
    EXPECT_EQ(stream.Seek(100, 1), 0);
    EXPECT_EQ(stream.Tell(), 11) << "relative seeks stop at the end";
    EXPECT_EQ(stream.Seek(0, 0), kOk);
    ASSERT_TRUE(stream.WriteByte('J'));
    ASSERT_TRUE(stream.Flush());
  }
  EXPECT_EQ(test::ReadFile(path), "Jello world");
  {
    CFileStream stream(path, true);  // reopened by "r+b": content kept
    EXPECT_EQ(stream.Size(), 11);
    ASSERT_TRUE(stream.Reset());
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Write("x", 1), kOk);
  }
  EXPECT_EQ(test::ReadFile(path), "x");
  CFileStream stream(path, true);
  stream.CloseAndDelete();
  EXPECT_FALSE(test::FileExists(path));
}

TEST(CFileStreamTest, LargeReadsCrossTheBuffer) {
  const std::string path = test::TempPath(".bin");
  std::string content;
  for (int i = 0; i < 5000; ++i) content.push_back(static_cast<char>(i * 7));
  test::WriteFile(path, content);
  CFileStream stream(path, false);
  std::string got(5000, '\0');
  uint8_t first;
  ASSERT_TRUE(stream.ReadByte(&first));
  got[0] = static_cast<char>(first);
  size_t n;
  ASSERT_EQ(stream.Read(&got[1], 4999, &n), 0);
  EXPECT_EQ(got, content);
  remove(path.c_str());
}

}  // namespace
}  // namespace zoq
