#include "stream/sub_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

class SubStreamTest : public ::testing::Test {
 protected:
  std::string content_ = test::Pattern(1000);

  std::unique_ptr<CVelReadOnlySubStream> Make(int64_t offset, int64_t length) {
    Stream* inner = new CVelMemoryStream(content_.data(), 1000, 1000);
    auto sub = std::make_unique<CVelReadOnlySubStream>(inner, offset, length);
    EXPECT_EQ(inner, nullptr);  // taken over
    return sub;
  }
};

TEST_F(SubStreamTest, WindowOverTheInnerStream) {
  auto sub = Make(100, 50);
  EXPECT_EQ(sub->GetLength(), 50);  // also when closed
  EXPECT_EQ(sub->Tell(), -1);
  EXPECT_TRUE(sub->IsEof());
  ASSERT_EQ(sub->Open(kModeRead), kOk);
  EXPECT_EQ(sub->Tell(), 0);
  EXPECT_EQ(sub->inner()->Tell(), 100);
  EXPECT_EQ(sub->GetType(), kReadOnlySubStream);
  EXPECT_TRUE(sub->IsStorageStream());

  char buf[80];
  int64_t done = 0;
  ASSERT_EQ(sub->Read(buf, 80, &done), kOk);
  EXPECT_EQ(done, 50);
  EXPECT_EQ(std::string(buf, 50), content_.substr(100, 50));
  EXPECT_TRUE(sub->IsEof());
  int b = 0;
  EXPECT_EQ(sub->PeekByte(&b), kOk);
  EXPECT_EQ(b, -1);

  ASSERT_EQ(sub->Seek(0, kSeekEnd), kOk);
  EXPECT_EQ(sub->inner()->Tell(), 150);
  EXPECT_EQ(sub->Seek(1, kSeekEnd), 12050199);
  EXPECT_EQ(sub->Seek(-1, kSeekSet), 12050199);
  ASSERT_EQ(sub->Seek(-10, kSeekCur), kOk);
  EXPECT_EQ(sub->Tell(), 40);
  ASSERT_EQ(sub->ReadByte(&b), kOk);
  EXPECT_EQ(b, static_cast<uint8_t>(content_[140]));
  EXPECT_EQ(sub->Seek(0, 9), kInvalidArgument);
}

TEST_F(SubStreamTest, NeverChangesItsInnerStream) {
  auto sub = Make(10, 20);
  ASSERT_EQ(sub->Open(kModeRead), kOk);
  std::string before = content_;
  EXPECT_EQ(sub->Write("x", 1), kNotPossible);
  EXPECT_EQ(sub->Clear(), kNotPossible);
  EXPECT_EQ(sub->Flush(), kNotPossible);
  EXPECT_EQ(sub->SetLength(1), kNotPossible);
  EXPECT_EQ(content_, before);
  EXPECT_EQ(sub->GetAccess(), kAccessRead);
  EXPECT_EQ(sub->SetAccess(kAccessWrite), kFailed);
  EXPECT_EQ(sub->SetAccess(kAccessRead), kOk);
  EXPECT_FALSE(sub->SupportsAccess(kAccessReadWrite));
}

TEST_F(SubStreamTest, OnlyReadModeOpens) {
  auto sub = Make(0, 10);
  for (int mode : {2, 3, 4, 5, 6}) {
    EXPECT_EQ(sub->Open(mode), kBadOpenMode) << mode;
    EXPECT_FALSE(sub->IsOpen());
  }
  ASSERT_EQ(sub->Open(kModeRead), kOk);
  EXPECT_EQ(sub->Open(kModeClose), kOk);
  EXPECT_FALSE(sub->inner()->IsOpen());
}

TEST_F(SubStreamTest, BadArgumentsDestroyTheInnerStream) {
  Stream* inner = new CVelMemoryStream(content_.data(), 1000, 1000);
  try {
    CVelReadOnlySubStream sub(inner, -1, 5);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CVelReadOnlySubStream -- Cannot Decorate Stream -- Invalid argument!");
  }
  EXPECT_EQ(inner, nullptr);  // destroyed, not leaked (the leak checker sees it)
  Stream* none = nullptr;
  EXPECT_THROW(CVelReadOnlySubStream(none, 0, 0), std::runtime_error);
  inner = new CVelMemoryStream(content_.data(), 1000, 1000);
  EXPECT_THROW(CVelReadOnlySubStream(inner, INT64_MAX, 1), std::runtime_error);
}

TEST_F(SubStreamTest, CloneAndRelease) {
  test::TempDir dir;
  std::string path = dir.File("pkg");
  test::WriteFile(path, content_);
  Stream* inner = new CVelFileStream(path, false);
  ASSERT_EQ(inner->Open(kModeRead), kOk);
  auto* sub = new CVelReadOnlySubStream(inner, 500, 100);
  EXPECT_FALSE(sub->IsOpen());  // an open inner stream is closed at handover
  std::unique_ptr<Stream> clone(sub->Clone());
  ASSERT_NE(clone, nullptr);
  ASSERT_EQ(clone->Open(kModeRead), kOk);
  EXPECT_EQ(test::ReadOnce(clone.get(), 100), content_.substr(500, 100));
  // Release destroys the inner stream but keeps its file.
  EXPECT_EQ(sub->Release(), kOk);
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

TEST_F(SubStreamTest, CreateStreamTakesTheInnerStream) {
  SubStreamArgs args{new CVelMemoryStream(content_.data(), 1000, 1000), 990, 10};
  Stream* s = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &args, &s, kReadOnlySubStream), kOk);
  EXPECT_EQ(args.inner, nullptr);
  EXPECT_EQ(s->GetLength(), 10);
  EXPECT_EQ(s->Release(), kOk);

  SubStreamArgs bad{new CVelMemoryStream(content_.data(), 1000, 1000), 0, -5};
  EXPECT_EQ(CreateStream(kModeRead, &bad, &s, kReadOnlySubStream), kCreateException);
  EXPECT_EQ(bad.inner, nullptr);
  EXPECT_EQ(s, nullptr);
  SubStreamArgs write{new CVelMemoryStream(content_.data(), 1000, 1000), 0, 5};
  EXPECT_EQ(CreateStream(kModeWrite, &write, &s, kReadOnlySubStream), kBadOpenMode);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
}  // namespace zoq
