// The decorator base, exercised through a pass-through subclass that can
// buffer its whole content (seekable while writing) and can be told to
// break after a number of decoded windows.
#include "stream/stream_decorator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"
#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

constexpr int64_t kWin = CVelStreamDecorator::kWindowSize;

class PassThrough : public CVelStreamDecorator {
 public:
  PassThrough(Stream*& inner, bool whole, int64_t window = 1000)
      : CVelStreamDecorator(inner), whole_(whole), window_(window) {}
  ~PassThrough() override { Close().IgnoreError(); }  // tests close first where it matters

  int GetType() override { return 99; }
  Stream* Clone() override { return nullptr; }
  bool BuffersWholeContent() override { return whole_; }
  bool AllowsOverwrite() override { return whole_; }

  void Reset() override {
    buffer_.reset();
    CVelStreamDecorator::Reset();
  }

  zoq::Status Decode() override {
    ++decodes;
    if (end_of_input_) return kOk;
    if (!buffer_) buffer_.reset(new uint8_t[window_]);
    bool first = length_ == 0;
    int64_t got = 0;
    int code = inner_->Read(buffer_.get(), window_, &got);
    if (code != kOk) return code;
    SetWindow(buffer_.get(), window_, got);
    if (break_after >= 0 && decodes > break_after) {
      end_of_input_ = true;
      if (got == 0) return kDecodeFailed;
      decode_failure_ = kDecodeFailed;
    }
    length_ += got;
    if (inner_->IsEof()) {
      end_of_input_ = true;
      whole_in_first_window_ = first;
    }
    return kOk;
  }

  zoq::Status Encode(bool final) override {
    ++encodes;
    if (whole_) {
      if (!final) return kOk;
      for (size_t i = 0; i < blocks_.size(); ++i) {
        int64_t n = std::min<int64_t>(kWin, length_ - static_cast<int64_t>(i) * kWin);
        if (n > 0 && inner_->Write(blocks_[i].get(), n) != kOk) return kEncodeFailed;
      }
    } else {
      int code = inner_->Write(window_start_, data_end_ - window_start_);
      if (code != kOk) return code;
      cursor_ = data_end_ = window_start_;
    }
    if (final) dirty_ = false;
    return kOk;
  }

  int decodes = 0;
  int encodes = 0;
  int break_after = -1;

 private:
  bool whole_;
  int64_t window_;
  std::unique_ptr<uint8_t[]> buffer_;
};

std::string Contents(CVelDynamicMemoryStream* s) {
  EXPECT_EQ(s->Open(kModeRead), kOk);
  std::string out(static_cast<size_t>(s->GetLength()), '\0');
  int64_t done = 0;
  EXPECT_EQ(s->Read(out.data(), out.size(), &done), kOk);
  return out;
}

class DecoratorTest : public ::testing::Test {
 protected:
  // A pass-through decorator over a dynamic memory stream holding `content`.
  std::unique_ptr<PassThrough> Over(const std::string& content, bool whole,
                                    int64_t window = 1000) {
    auto* mem = new CVelDynamicMemoryStream();
    EXPECT_EQ(mem->Open(kModeWrite), kOk);
    EXPECT_EQ(mem->Write(content.data(), content.size()), kOk);
    EXPECT_EQ(mem->Close(), kOk);
    mem_ = mem;
    Stream* inner = mem;
    return std::make_unique<PassThrough>(inner, whole, window);
  }
  CVelDynamicMemoryStream* mem_ = nullptr;
};

TEST_F(DecoratorTest, ConstructionAndModes) {
  Stream* none = nullptr;
  try {
    PassThrough p(none, false);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CVelStreamDecorator -- Cannot Decorate Stream - Stream arguments error!");
  }
  auto d = Over("abc", false);
  EXPECT_FALSE(d->IsOpen());
  EXPECT_EQ(d->GetAccess(), kAccessRead);
  EXPECT_EQ(d->Open(kModeReadWrite), kBadOpenMode);
  EXPECT_EQ(d->Open(kModeReadWriteNew), kBadOpenMode);
  EXPECT_FALSE(d->IsOpen());
  EXPECT_FALSE(d->SupportsAccess(kAccessReadWrite));
  EXPECT_FALSE(d->IsStorageStream());
  ASSERT_EQ(d->Open(kModeRead), kOk);
  EXPECT_EQ(d->GetAccess(), kAccessRead);
  EXPECT_EQ(d->Write("x", 1), kStreamReadOnly);
  EXPECT_EQ(d->SetLength(3), kStreamReadOnly);
  EXPECT_EQ(d->Flush(), kStreamReadOnly);
  EXPECT_EQ(d->Clear(), 12070059);
  int64_t done;
  char c;
  EXPECT_EQ(d->Read(&c, -1, &done), 12070306);
  EXPECT_EQ(d->Read(nullptr, 1, &done), kInvalidArgument);
  ASSERT_EQ(d->Open(kModeWrite), kOk);
  EXPECT_EQ(d->Read(&c, 1, &done), kStreamWriteOnly);
  EXPECT_EQ(d->PeekByte(nullptr), kStreamWriteOnly);
  EXPECT_EQ(d->Write(nullptr, 1), 12070382);
  EXPECT_EQ(d->SetLength(3), kNotSupported);
}

TEST_F(DecoratorTest, LengthUnknownUntilTheEnd) {
  std::string content = test::Pattern(2500);
  auto d = Over(content, false);
  ASSERT_EQ(d->Open(kModeRead), kOk);
  EXPECT_EQ(d->GetLength(), -1);
  std::string out(2500, '\0');
  int64_t done = 0;
  ASSERT_EQ(d->Read(out.data(), 1200, &done), kOk);
  EXPECT_EQ(d->GetLength(), -1);
  ASSERT_EQ(d->Read(out.data() + 1200, 2000, &done), kOk);
  EXPECT_EQ(done, 1300);
  EXPECT_EQ(out, content);
  EXPECT_EQ(d->GetLength(), 2500);
  EXPECT_TRUE(d->IsEof());
  EXPECT_EQ(d->Seek(0, kSeekEnd), kNotPossible);
}

TEST_F(DecoratorTest, RewindOfWholeFirstWindowDecodesNothingAgain) {
  auto d = Over("small content", false);
  ASSERT_EQ(d->Open(kModeRead), kOk);
  char buf[32];
  int64_t done = 0;
  ASSERT_EQ(d->Read(buf, 32, &done), kOk);
  int decodes = d->decodes;
  ASSERT_EQ(d->Rewind(), kOk);
  EXPECT_EQ(test::ReadOnce(d.get(), 32), "small content");
  EXPECT_EQ(d->decodes, decodes);
}

TEST_F(DecoratorTest, BackwardSeekEqualsRewindAndForward) {
  std::string content = test::Pattern(5000);
  auto d = Over(content, false);
  ASSERT_EQ(d->Open(kModeRead), kOk);
  ASSERT_EQ(d->Seek(4500, kSeekSet), kOk);
  ASSERT_EQ(d->Seek(-4480, kSeekCur), kOk);  // backward, outside the window
  EXPECT_EQ(d->Tell(), 20);
  EXPECT_EQ(test::ReadOnce(d.get(), 4), content.substr(20, 4));
  EXPECT_EQ(d->Seek(-100, kSeekSet), 12070486);
  EXPECT_EQ(d->Seek(6000, kSeekSet), 12070519);
  EXPECT_EQ(d->Seek(1, 5), kInvalidArgument);
}

TEST_F(DecoratorTest, FailureAfterBytesIsReportedByTheNextRead) {
  std::string content = test::Pattern(5000);
  auto d = Over(content, false);
  d->break_after = 1;  // the second window breaks
  ASSERT_EQ(d->Open(kModeRead), kOk);
  std::string out(5000, '\0');
  int64_t done = 0;
  ASSERT_EQ(d->Read(out.data(), 5000, &done), kOk);
  EXPECT_EQ(done, 2000);  // both windows' bytes delivered
  EXPECT_EQ(out.substr(0, 2000), content.substr(0, 2000));
  EXPECT_FALSE(d->IsEof());
  EXPECT_EQ(d->GetLength(), -1);
  int b = 0;
  EXPECT_EQ(d->PeekByte(&b), 12070291);
  EXPECT_EQ(d->Read(out.data(), 10, &done), kDecodeFailed);
  EXPECT_EQ(done, 0);

  // CopyStream and ReadWholeStream fail instead of truncating.
  auto sink = std::make_unique<CVelDynamicMemoryStream>();
  ASSERT_EQ(sink->Open(kModeWrite), kOk);
  EXPECT_EQ(CopyStream(sink.get(), d.get(), nullptr, kSeekSet, 0), kCopyFailed);
  uint8_t* data = nullptr;
  int64_t size = 0;
  EXPECT_NE(ReadWholeStream(d.get(), &data, &size), kOk);
  EXPECT_EQ(data, nullptr);
}

TEST_F(DecoratorTest, StreamingWriteRefusesSeekAndRewind) {
  auto d = Over("", false);
  ASSERT_EQ(d->Open(kModeWrite), kOk);
  EXPECT_EQ(d->Rewind(), kOk);  // nothing written yet
  std::string content = test::Pattern(3 * kWin + 5);
  ASSERT_EQ(d->Write(content.data(), content.size()), kOk);
  EXPECT_EQ(d->GetLength(), static_cast<int64_t>(content.size()));
  EXPECT_EQ(d->Tell(), static_cast<int64_t>(content.size()));
  EXPECT_TRUE(d->IsEof());
  EXPECT_EQ(d->encodes, 3);  // one per full window
  EXPECT_EQ(d->Rewind(), kNotSupported);
  EXPECT_EQ(d->Seek(0, kSeekSet), 12070525);
  EXPECT_EQ(d->Seek(-2, kSeekEnd), kOk);  // inside the current window
  ASSERT_EQ(d->Flush(), kOk);
  EXPECT_EQ(d->Write("x", 1), 12070386);  // no overwrite after the flush
  ASSERT_EQ(d->Close(), kOk);
  EXPECT_EQ(Contents(mem_), content);
}

TEST_F(DecoratorTest, WholeContentBufferingSeeksWhileWriting) {
  auto d = Over("", true);
  ASSERT_EQ(d->Open(kModeWrite), kOk);
  std::string content = test::Pattern(2 * kWin);  // fills its last block exactly
  ASSERT_EQ(d->Write(content.data(), content.size()), kOk);
  ASSERT_EQ(d->Seek(10, kSeekSet), kOk);
  ASSERT_EQ(d->Write("ABC", 3), kOk);
  content.replace(10, 3, "ABC");
  ASSERT_EQ(d->Seek(kWin - 1, kSeekSet), kOk);
  ASSERT_EQ(d->Write("xyz", 3), kOk);  // across a block edge
  content.replace(kWin - 1, 3, "xyz");
  EXPECT_EQ(d->Seek(1, kSeekEnd), 12070526);
  ASSERT_EQ(d->Seek(0, kSeekEnd), kOk);
  ASSERT_EQ(d->Write("end", 3), kOk);  // grows into a new block
  content += "end";
  ASSERT_EQ(d->Rewind(), kOk);
  EXPECT_EQ(d->Tell(), 0);
  ASSERT_EQ(d->Write("S", 1), kOk);
  content[0] = 'S';
  EXPECT_EQ(d->GetLength(), static_cast<int64_t>(content.size()));
  ASSERT_EQ(d->Close(), kOk);
  EXPECT_EQ(Contents(mem_), content);
}

// Data still held when the stream is closed through Open is written then;
// when that fails, Open says so instead of losing the data unreported.
TEST_F(DecoratorTest, OpenReportsPendingDataThatCannotBeWritten) {
  for (int next_mode : {kModeClose, kModeRead}) {
    uint8_t room[4];
    Stream* inner = new CVelMemoryStream(room, sizeof room, 0);
    PassThrough d(inner, false);
    ASSERT_EQ(d.Open(kModeWrite), kOk);
    ASSERT_EQ(d.Write("0123456789", 10), kOk);  // held in the window
    EXPECT_EQ(d.Open(next_mode), 12040204) << next_mode;  // the memory block is full
    EXPECT_FALSE(d.IsOpen());
  }
}

TEST_F(DecoratorTest, ReleasePassesDown) {
  test::TempDir dir;
  std::string path = dir.File("f");
  test::WriteFile(path, "abc");
  Stream* inner = nullptr;
  FileStreamArgs args{path, false};
  ASSERT_EQ(CreateStream(0, &args, &inner, kFileStream), kOk);
  auto* d = new PassThrough(inner, false);
  ASSERT_EQ(d->Open(kModeRead), kOk);
  EXPECT_EQ(d->Release(), kOk);
  EXPECT_EQ(test::ReadFile(path), "");  // the file is gone
  EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace
}  // namespace zoq
