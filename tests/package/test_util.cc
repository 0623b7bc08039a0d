#include "test_util.h"

#include <openssl/evp.h>

#include <fstream>
#include <iterator>

#include "zoq/utf.h"

namespace zoq::test {

std::string DataDir() { return std::string(ZOQ_TEST_DATA_DIR) + "/package"; }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
  uint8_t digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 15]);
  }
  return out;
}

std::u16string U16(const std::string& utf8) {
  std::u16string out;
  Utf8ToUtf16Strict(utf8, &out);
  return out;
}

std::string U8(const std::u16string& utf16) { return Utf16ToUtf8Lenient(utf16); }

namespace {
const uint8_t kTestKeyBytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
}  // namespace

const KeyInfo kTestKey{kTestKeyBytes, 16};

std::unique_ptr<Stream> MemoryReader(const void* data, size_t size) {
  MemoryStreamArgs args;
  args.buffer = const_cast<void*>(data);
  args.capacity = args.length = static_cast<int64_t>(size);
  Stream* raw = nullptr;
  if (CreateStream(kModeRead, &args, &raw, kMemoryStream) != kOk) return nullptr;
  return std::unique_ptr<Stream>(raw);
}

std::unique_ptr<Container> MakeContainer(bool no_temp_dir, bool no_tree) {
  ContainerOptions options;
  options.resource_dir = std::string(ZOQ_TEST_DATA_DIR);
  options.no_temp_dir = no_temp_dir;
  options.no_tree = no_tree;
  Container* container = nullptr;
  if (CreateContainer(&options, &container) != kOk) return nullptr;
  return std::unique_ptr<Container>(container);
}

int ReadAll(Stream* stream, std::vector<uint8_t>* out) {
  out->clear();
  uint8_t piece[65536];
  for (;;) {
    int64_t done = 0;
    int code = stream->Read(piece, sizeof piece, &done);
    if (code != kOk) return code;
    if (done <= 0) return kOk;
    out->insert(out->end(), piece, piece + done);
  }
}

int ReadContent(Container* container, const std::u16string& path, int revision_limit,
                const DecodeOptions* options, bool keep, std::vector<uint8_t>* out) {
  Stream* raw = nullptr;
  int code = container->OpenPart(path, &raw, revision_limit, options, keep);
  if (code != kOk) return code;
  std::unique_ptr<Stream> stream(raw);
  return ReadAll(stream.get(), out);
}

std::vector<uint8_t> PartContent(Container* container, const std::u16string& path,
                                 int revision_limit, const DecodeOptions* options) {
  std::vector<uint8_t> out;
  const int code = ReadContent(container, path, revision_limit, options, false, &out);
  if (code == kOk) return out;
  const std::string error = "<error " + std::to_string(code) + ">";
  return {error.begin(), error.end()};
}

}  // namespace zoq::test
