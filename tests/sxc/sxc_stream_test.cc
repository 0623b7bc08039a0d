// The SXC conversion stream over a file holding the stored (SXC) bytes.
#include "sxc/sxc_stream.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

#include "stream/file_stream.h"
#include "sxc/schema_codec.h"
#include "zoq/sxc_tools.h"
#include "test_util.h"

namespace zoq {
namespace {

int CountConversionFiles(const std::string& dir) {
  int count = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) count += std::string(e->d_name).rfind("~~SXC", 0) == 0;
    closedir(d);
  }
  return count;
}

class SxcStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempPath("_dir");
    mkdir(dir_.c_str(), 0700);
    schema_ = test::DataDir() + "/doc_basic.bsg";
    stored_ = dir_ + "/stored.sxc";
  }
  void TearDown() override {
    remove(stored_.c_str());
    rmdir(dir_.c_str());
  }
  std::unique_ptr<CVelSXCStream> Make(const std::string& stored) {
    Stream* inner = new CVelFileStream(stored, false);
    return std::make_unique<CVelSXCStream>(inner, schema_, dir_);
  }
  std::string ReadAll(Stream* stream, int* code) {
    std::string text;
    char buffer[4096];
    for (;;) {
      int64_t got = 0;
      *code = stream->Read(buffer, sizeof buffer, &got);
      if (*code != kOk || got == 0) break;
      text.append(buffer, static_cast<size_t>(got));
    }
    return text;
  }
  std::string dir_, schema_, stored_;
};

TEST_F(SxcStreamTest, ReadsDecodedTextAndRewindsWithoutDecodingAgain) {
  test::WriteFile(stored_, test::ReadFile(test::DataDir() + "/doc_large.sxc"));
  auto stream = Make(stored_);
  ASSERT_EQ(stream->Open(kModeRead), kOk);
  EXPECT_EQ(stream->GetType(), kSxcStream);
  int code;
  const std::string expected = test::ReadFile(test::DataDir() + "/doc_large.expected.xml");
  EXPECT_EQ(ReadAll(stream.get(), &code), expected);
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(stream->GetLength(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(CountConversionFiles(dir_), 0) << "temporary files are deleted";
  ASSERT_EQ(stream->Rewind(), kOk);
  ASSERT_EQ(stream->Seek(100, kSeekSet), kOk);
  EXPECT_EQ(ReadAll(stream.get(), &code), expected.substr(100));
  EXPECT_EQ(CountConversionFiles(dir_), 0);
  EXPECT_EQ(stream->Close(), kOk);
}

TEST_F(SxcStreamTest, EmptyStoredBytesReadAsEmptyContent) {
  test::WriteFile(stored_, "");
  auto stream = Make(stored_);
  ASSERT_EQ(stream->Open(kModeRead), kOk);
  int code;
  EXPECT_EQ(ReadAll(stream.get(), &code), "");
  EXPECT_EQ(code, kOk);
  EXPECT_TRUE(stream->IsEof());
}

TEST_F(SxcStreamTest, CorruptStoredBytesFailTheRead) {
  std::string bytes = test::ReadFile(test::DataDir() + "/doc_basic.sxc");
  bytes[bytes.size() / 2] ^= 0x5A;
  bytes.resize(bytes.size() - 3);
  test::WriteFile(stored_, bytes);
  auto stream = Make(stored_);
  ASSERT_EQ(stream->Open(kModeRead), kOk);
  int peeked = 0;
  EXPECT_NE(stream->PeekByte(&peeked), kOk);
  int code;
  EXPECT_EQ(ReadAll(stream.get(), &code), "");
  EXPECT_NE(code, kOk);
  EXPECT_EQ(CountConversionFiles(dir_), 0);
}

TEST_F(SxcStreamTest, WritesEncodedDocumentOnClose) {
  const std::string xml = test::ReadFile(test::DataDir() + "/doc_mixed.xml");
  auto stream = Make(stored_);
  ASSERT_EQ(stream->Open(kModeWrite), kOk);
  // Written in pieces, with a seek back and an overwrite in the middle.
  ASSERT_EQ(stream->Write(xml.data(), 10), kOk);
  ASSERT_EQ(stream->Write("XXXX", 4), kOk);
  ASSERT_EQ(stream->Seek(10, kSeekSet), kOk);
  ASSERT_EQ(stream->Write(xml.data() + 10, static_cast<int64_t>(xml.size()) - 10), kOk);
  ASSERT_EQ(stream->Close(), kOk);
  stream.reset();
  EXPECT_EQ(CountConversionFiles(dir_), 0);
  auto codec = SchemaCodec::Create(schema_);
  const std::vector<uint8_t> sxc = test::ReadBytes(stored_);
  std::string decoded, error;
  ASSERT_TRUE(codec->DecodeToString(sxc.data(), sxc.size(), &decoded, &error)) << error;
  EXPECT_EQ(decoded, test::ReadFile(test::DataDir() + "/doc_mixed.expected.xml"));
}

TEST_F(SxcStreamTest, InvalidDocumentFailsTheEncode) {
  auto stream = Make(stored_);
  ASSERT_EQ(stream->Open(kModeWrite), kOk);
  const std::string xml = "<document id='x' version='1'><unknown/></document>";
  ASSERT_EQ(stream->Write(xml.data(), static_cast<int64_t>(xml.size())), kOk);
  testing::internal::CaptureStdout();
  EXPECT_EQ(stream->Flush(), kEncodeFailed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\ninvalidate node found in endElement: unknown(localname)");
  EXPECT_EQ(CountConversionFiles(dir_), 0);
}

TEST_F(SxcStreamTest, ConstructorRefusesBadArguments) {
  // What constructing a stream over `schema` throws, or "no exception".
  auto thrown = [&](const std::string& schema) -> std::string {
    Stream* inner = new CVelFileStream(stored_, false);
    try {
      CVelSXCStream stream(inner, schema, dir_);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no exception";
  };
  const std::string bad = dir_ + "/bad.bsg";
  test::WriteFile(bad, "not a schema at all, but long enough to hold a header");
  const std::pair<std::string, const char*> cases[] = {
      {"", "CVelSXCStream -- Cannot Decorate Stream - Argument path is empty!"},
      {dir_ + "/missing.bsg", "CFileStream -- Cannot open file!"},
      {bad, "CVelSXCStream -- Cannot Decorate Stream - Init filter error!"},
  };
  for (const auto& [schema, message] : cases) EXPECT_EQ(thrown(schema), message) << "schema '" << schema << "'";
  remove(bad.c_str());
  Stream* inner = new CVelFileStream(stored_, false);
  CVelSXCStream stream(inner, schema_, "");
  EXPECT_EQ(stream.temp_dir().back(), '/');
  Stream* clone = stream.Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(static_cast<CVelSXCStream*>(clone)->schema_path(), schema_);
  delete clone;
}

TEST_F(SxcStreamTest, CreateStreamBuildsTypeFour) {
  test::WriteFile(stored_, test::ReadFile(test::DataDir() + "/doc_basic.sxc"));
  SxcStreamArgs args;
  args.inner = new CVelFileStream(stored_, false);
  args.schema_path = schema_;
  args.temp_dir = dir_;
  Stream* stream = nullptr;
  RegisterSxcStream();
  ASSERT_EQ(CreateStream(kModeRead, &args, &stream, kSxcStream), kOk);
  EXPECT_EQ(args.inner, nullptr) << "the stream owns its inner stream";
  int code;
  EXPECT_EQ(ReadAll(stream, &code), test::ReadFile(test::DataDir() + "/doc_basic.expected.xml"));
  delete stream;
  args.inner = new CVelFileStream(stored_, false);
  args.schema_path = dir_ + "/missing.bsg";
  EXPECT_EQ(CreateStream(kModeRead, &args, &stream, kSxcStream), kCreateException);
  EXPECT_EQ(stream, nullptr);
}

TEST_F(SxcStreamTest, ParallelConversionsUseTheirOwnFiles) {
  test::WriteFile(stored_, test::ReadFile(test::DataDir() + "/doc_basic.sxc"));
  const std::string expected = test::ReadFile(test::DataDir() + "/doc_basic.expected.xml");
  std::string results[4];
  std::vector<std::thread> threads;
  for (std::string& result : results) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5 && result.empty(); ++i) {
        auto stream = Make(stored_);
        int code = stream->Open(kModeRead);
        const std::string text = ReadAll(stream.get(), &code);
        if (code != kOk || text != expected) result = "differs";
      }
      if (result.empty()) result = "ok";
    });
  }
  for (auto& t : threads) t.join();
  for (const std::string& result : results) EXPECT_EQ(result, "ok");
  EXPECT_EQ(CountConversionFiles(dir_), 0);
}

}  // namespace
}  // namespace zoq
