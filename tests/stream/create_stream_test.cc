#include <gtest/gtest.h>
#include <unistd.h>

#include "stream/dynamic_memory_stream.h"
#include "zoq/create_stream.h"
#include "zoq/stream.h"
#include "temp_dir.h"

namespace zoq {
namespace {

TEST(CreateStreamTest, RejectsBadTypesAndMissingArguments) {
  Stream* s = reinterpret_cast<Stream*>(0x1);
  EXPECT_EQ(CreateStream(0, nullptr, &s, 8), kInvalidArgument);
  EXPECT_EQ(CreateStream(0, nullptr, &s, 0), kInvalidArgument);
  EXPECT_EQ(s, reinterpret_cast<Stream*>(0x1));  // untouched for a bad type
  for (int type : {1, 2, 4, 5, 6, 7}) {
    EXPECT_EQ(CreateStream(0, nullptr, &s, type), kInvalidArgument) << type;
    EXPECT_EQ(s, nullptr);
  }
  EXPECT_EQ(CreateStream(0, nullptr, nullptr, 3), kInvalidArgument);
}

TEST(CreateStreamTest, ConstructorExceptionBecomes6005) {
  Stream* s = nullptr;
  FileStreamArgs file{"", false};
  EXPECT_EQ(CreateStream(0, &file, &s, kFileStream), kCreateException);
  EXPECT_EQ(s, nullptr);
  MemoryStreamArgs memory{nullptr, 10, 0};
  EXPECT_EQ(CreateStream(0, &memory, &s, kMemoryStream), kCreateException);
  EXPECT_EQ(s, nullptr);
}

TEST(CreateStreamTest, BuildsAndOpens) {
  test::TempDir dir;
  Stream* s = nullptr;
  FileStreamArgs file{dir.File("f"), false};
  ASSERT_EQ(CreateStream(kModeWrite, &file, &s, kFileStream), kOk);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->IsOpen());
  EXPECT_EQ(s->GetType(), kFileStream);
  EXPECT_TRUE(s->IsStorageStream());
  EXPECT_EQ(s->Release(), kOk);
  EXPECT_NE(access(file.path.c_str(), F_OK), 0);

  char buf[4] = "abc";
  MemoryStreamArgs memory{buf, 4, 3};
  ASSERT_EQ(CreateStream(kModeRead, &memory, &s, kMemoryStream), kOk);
  EXPECT_EQ(s->GetLength(), 3);
  EXPECT_EQ(s->Release(), kOk);

  ASSERT_EQ(CreateStream(kModeClose, nullptr, &s, kDynamicMemoryStream), kOk);
  EXPECT_FALSE(s->IsOpen());
  EXPECT_EQ(s->Release(), kOk);

  // The typed forms: the record names the kind.
  MemoryStreamArgs typed{buf, 4, 3};
  ASSERT_EQ(CreateStream(kModeRead, &typed, &s), kOk);
  EXPECT_EQ(s->GetType(), kMemoryStream);
  SubStreamArgs window{s, 1, 2};
  Stream* sub = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &window, &sub), kOk);
  EXPECT_EQ(window.inner, nullptr);  // taken over
  EXPECT_EQ(sub->GetLength(), 2);
  EXPECT_EQ(sub->Release(), kOk);
  DynamicMemoryStreamArgs none;
  EXPECT_EQ(CreateStream(kModeClose, &none, nullptr), kInvalidArgument);
}

TEST(CreateStreamTest, FailedOpenDestroysTheStream) {
  test::TempDir dir;
  Stream* s = nullptr;
  FileStreamArgs file{dir.File("missing"), false};
  EXPECT_EQ(CreateStream(kModeRead, &file, &s, kFileStream), kFileOpenFailed);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(CreateStream(6, &file, &s, kFileStream), kBadOpenMode);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
}  // namespace zoq
