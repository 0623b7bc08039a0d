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

}  // namespace zoq::test
